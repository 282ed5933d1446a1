#include "platform/widgets/Alert.h"

#include "platform/widgets/WidgetsLogging.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {
std::function<void(QMessageBox *)> &testHook()
{
    static std::function<void(QMessageBox *)> hook;
    return hook;
}

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Informational:
        return QMessageBox::Information;
    case Alert::Style::Warning:
        return QMessageBox::Warning;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The message box's own button list also holds its "Show Details" button, so the pressed index
// is looked up in the buttons the caller asked for, kept on the box.
constexpr char kButtonsProperty[] = "lumaroAlertButtons";

QMessageBox *makeBox(QWidget *parent, Alert::Style style, const QString &messageText,
                     const QString &informativeText, QStringList buttons)
{
    auto *box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("LumaroAlert"));
    box->setIcon(iconFor(style));
    box->setText(messageText);
    box->setInformativeText(informativeText);
    if (buttons.isEmpty())
        buttons.append(QMessageBox::tr("OK"));
    // One shared role keeps the platform's button-box policy from reordering them.
    QList<QObject *> added;
    for (const QString &title : std::as_const(buttons)) {
        QPushButton *button = box->addButton(title, QMessageBox::ActionRole);
        added.append(button);
        const QString plain = QString(title).remove(QLatin1Char('&'));
        if (plain.compare(QMessageBox::tr("Cancel"), Qt::CaseInsensitive) == 0)
            box->setEscapeButton(button);
    }
    // A lone button is also what Escape and the close button mean.
    if (added.size() == 1)
        box->setEscapeButton(qobject_cast<QPushButton *>(added.constFirst()));
    box->setDefaultButton(qobject_cast<QPushButton *>(added.constFirst()));
    box->setProperty(kButtonsProperty, QVariant::fromValue(added));
    return box;
}

int pressedIndex(const QMessageBox *box)
{
    QObject *clicked = box->clickedButton();
    if (!clicked)
        return 0;
    const auto added = box->property(kButtonsProperty).value<QList<QObject *>>();
    return std::max(0, int(added.indexOf(clicked)));
}

int execBox(QMessageBox *box)
{
    box->setWindowModality(Qt::ApplicationModal);
    if (testHook()) {
        // Queued, so it runs inside exec()'s loop: a button pressed any earlier would leave
        // exec() waiting on a box that is already gone.
        QMetaObject::invokeMethod(
            box, [box] { testHook()(box); }, Qt::QueuedConnection);
    }
    qCInfo(lcPlatformWidgets).noquote() << "blocking alert:" << box->text();
    // The parent may go away during the nested loop and take the box with it.
    QPointer<QMessageBox> guard(box);
    box->exec();
    const int index = guard ? pressedIndex(guard) : 0;
    delete guard.data();
    return index;
}
} // namespace

void Alert::beginSheet(QWidget *window, Style style, const QString &messageText,
                       const QString &informativeText, const QStringList &buttons,
                       std::function<void(int buttonIndex)> completion, const QString &detailedText)
{
    if (!window)
        qCWarning(lcPlatformWidgets) << "alert sheet without a window:" << messageText;
    QMessageBox *box =
        makeBox(window ? window->window() : nullptr, style, messageText, informativeText, buttons);
    if (!detailedText.isEmpty())
        box->setDetailedText(detailedText);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QDialog::finished, box, [box, completion = std::move(completion)](int) {
        const int index = pressedIndex(box);
        box->deleteLater();
        if (completion)
            completion(index);
    });
    box->open();
    if (testHook())
        testHook()(box);
}

int Alert::runModal(QWidget *parent, Style style, const QString &messageText, const QString &informativeText,
                    const QStringList &buttons)
{
    return execBox(makeBox(parent, style, messageText, informativeText, buttons));
}

void Alert::presentError(QWidget *parent, const QString &description, const QString &failureReason,
                         const QString &underlying)
{
    QMessageBox *box = makeBox(parent, Style::Critical, description, failureReason, {});
    if (!underlying.isEmpty())
        box->setDetailedText(underlying);
    execBox(box);
}

void Alert::setTestHook(std::function<void(QMessageBox *)> hook)
{
    testHook() = std::move(hook);
}
