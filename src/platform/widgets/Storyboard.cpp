#include "platform/widgets/Storyboard.h"

#include "platform/widgets/ViewController.h"
#include "platform/widgets/WidgetsLogging.h"
#include "platform/widgets/WindowController.h"

Storyboard::Storyboard(const QString &name) : m_name(name) {}

Storyboard::~Storyboard() = default;

Storyboard &Storyboard::main()
{
    static Storyboard storyboard(QStringLiteral("Main"));
    return storyboard;
}

void Storyboard::registerController(const QString &identifier, Factory factory)
{
    if (m_factories.contains(identifier))
        qCDebug(lcPlatformWidgets) << "storyboard" << m_name << "replaces controller" << identifier;
    m_factories.insert(identifier, std::move(factory));
}

bool Storyboard::hasController(const QString &identifier) const
{
    return m_factories.contains(identifier);
}

QObject *Storyboard::instantiateController(const QString &identifier) const
{
    const auto it = m_factories.constFind(identifier);
    if (it == m_factories.constEnd() || !*it) {
        qCWarning(lcPlatformWidgets) << "storyboard" << m_name << "has no controller" << identifier;
        return nullptr;
    }
    QObject *controller = (*it)();
    if (!controller)
        qCWarning(lcPlatformWidgets) << "storyboard" << m_name << "factory for" << identifier
                                     << "returned null";
    return controller;
}

void Storyboard::discardMistyped(QObject *object, const QString &identifier, const char *expected)
{
    qCWarning(lcPlatformWidgets) << "controller" << identifier << "is a" << object->metaObject()->className()
                                 << "not a" << expected;
    delete object;
}

void Storyboard::registerSegue(const QString &segueIdentifier, const QString &destinationIdentifier,
                               Segue::Kind kind)
{
    m_segues.insert(segueIdentifier, SegueEntry{destinationIdentifier, kind});
}

bool Storyboard::hasSegue(const QString &segueIdentifier) const
{
    return m_segues.contains(segueIdentifier);
}

QString Storyboard::segueDestination(const QString &segueIdentifier) const
{
    return m_segues.value(segueIdentifier).destination;
}

std::optional<Segue> Storyboard::makeSegue(const QString &segueIdentifier, QObject *source) const
{
    const SegueEntry entry = m_segues.value(segueIdentifier);
    QObject *destination = instantiateController(entry.destination);
    if (!destination)
        return std::nullopt;

    // Nested segues from the destination resolve in the storyboard it came from.
    if (auto *vc = qobject_cast<ViewController *>(destination))
        vc->setStoryboard(const_cast<Storyboard *>(this));
    else if (auto *wc = qobject_cast<WindowController *>(destination))
        wc->setStoryboard(const_cast<Storyboard *>(this));

    return Segue{segueIdentifier, source, destination, entry.kind};
}

void Storyboard::performSegue(const QString &segueIdentifier, QObject *source, QObject *sender) const
{
    auto *sourceVc = qobject_cast<ViewController *>(source);
    auto *sourceWc = qobject_cast<WindowController *>(source);
    if (!sourceVc && !sourceWc) {
        qCWarning(lcPlatformWidgets) << "segue" << segueIdentifier << "from a source that is no controller";
        return;
    }
    if (!hasSegue(segueIdentifier)) {
        qCWarning(lcPlatformWidgets) << "storyboard" << m_name << "has no segue" << segueIdentifier;
        return;
    }
    const bool allowed = sourceVc ? sourceVc->shouldPerformSegue(segueIdentifier, sender)
                                  : sourceWc->shouldPerformSegue(segueIdentifier, sender);
    if (!allowed)
        return;

    std::optional<Segue> segue = makeSegue(segueIdentifier, source);
    if (!segue)
        return;
    if (sourceVc)
        sourceVc->prepareForSegue(*segue, sender);
    else
        sourceWc->prepareForSegue(*segue, sender);
    present(*segue);
}

void Storyboard::present(const Segue &segue)
{
    switch (segue.kind) {
    case Segue::Kind::Sheet: {
        auto *sheet = qobject_cast<ViewController *>(segue.destination);
        ViewController *presenter = qobject_cast<ViewController *>(segue.source);
        if (!presenter)
            if (auto *wc = qobject_cast<WindowController *>(segue.source))
                presenter = wc->contentViewController();
        if (!sheet || !presenter) {
            qCWarning(lcPlatformWidgets)
                << "sheet segue" << segue.identifier
                << (sheet ? "has no view controller to present from" : "does not lead to a view controller");
            delete segue.destination;
            return;
        }
        presenter->presentAsSheet(sheet);
        return;
    }
    case Segue::Kind::Window: {
        auto *wc = qobject_cast<WindowController *>(segue.destination);
        if (!wc) {
            qCWarning(lcPlatformWidgets)
                << "window segue" << segue.identifier << "does not lead to a window controller";
            delete segue.destination;
            return;
        }
        // Unless prepareForSegue handed it to an owner, the new window lives as long as its source.
        if (!wc->parent())
            wc->setParent(segue.source);
        wc->showWindow();
        return;
    }
    }
}
