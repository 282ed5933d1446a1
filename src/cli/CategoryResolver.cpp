#include "CategoryResolver.h"
#include "UploadReport.h"

#include "connection/LMRequestRules.h"
#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "store/ServerBookmark.h"

using LMRequestRules::integerValue;

NotificationWaiter::NotificationWaiter(LMServerConnection *connection) : m_connection(connection)
{
    NotificationCenter::defaultCenter()->addObserver(
        &m_observer, LMNotification::CertificateNeedsTrust, connection, [this](const Notification &n) {
            m_refusedCertificate = n.userInfo;
            // Answered after this delivery, as the window's sheet would be.
            QMetaObject::invokeMethod(
                m_connection, [connection = m_connection] { connection->answerCertificateQuestion(false); },
                Qt::QueuedConnection);
        });
}

std::optional<Notification> NotificationWaiter::waitFor(const QStringList &names)
{
    if (m_aborted)
        return std::nullopt;
    std::optional<Notification> received;
    QEventLoop loop;
    QObject observer;
    for (const QString &name : names) {
        NotificationCenter::defaultCenter()->addObserver(&observer, name, m_connection, [&](const Notification &n) {
            if (!received) {
                received = n;
                loop.quit();
            }
        });
    }
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    return m_aborted ? std::nullopt : received;
}

bool NotificationWaiter::run(CategoryTreeResolver *resolver)
{
    if (m_aborted)
        return false;
    QEventLoop loop;
    QObject::connect(resolver, &CategoryTreeResolver::finished, &loop, &QEventLoop::quit);
    m_resolver = resolver;
    resolver->start();
    loop.exec();
    m_resolver = nullptr;
    return !m_aborted;
}

void NotificationWaiter::abort()
{
    m_aborted = true;
    if (m_resolver)
        m_resolver->cancel();
    else if (m_loop)
        m_loop->quit();
}

Failure CategoryResolver::serverFailure(const QString &reason) const
{
    const ServerBookmark *bookmark = m_connection->serverBookmark();
    const QString address = bookmark ? bookmark->urlString() : QString();
    const QVariantMap &certificate = m_waiter->refusedCertificate();
    if (!certificate.isEmpty()) {
        // The fingerprint as the window shows it, so a person can compare the two.
        const QString fingerprint = certificate.value(LMUserInfoKey::Fingerprint).toString();
        QString message = QStringLiteral("cannot use %1: its certificate is not trusted. %2")
                              .arg(address, certificate.value(LMUserInfoKey::Problems).toStringList().join(QLatin1Char(' ')));
        if (certificate.value(LMUserInfoKey::Changed).toBool() && bookmark)
            message += QStringLiteral(" It is not the certificate trusted so far (%1): it was replaced, or another "
                                      "machine answers.")
                           .arg(bookmark->trustedCertificate());
        return {ExitUnusable, message + QStringLiteral("\nSHA-256 fingerprint: %1\nIf the server's administrator "
                                                       "confirms this fingerprint, trust the certificate in "
                                                       "LumaroImporter's window (its bookmark keeps it), or for one "
                                                       "run with:\n  --trust-certificate %1")
                                            .arg(fingerprint)};
    }
    if (m_connection->loginRefused() && bookmark)
        return {ExitUnusable, QStringLiteral("cannot use %1: the server refused the login of \"%2\" with %3 (%4)")
                                  .arg(address, bookmark->userName().value_or(QString()), m_passwordSource, reason)};
    return {ExitUnusable, QStringLiteral("cannot use %1: %2").arg(address, reason)};
}

std::optional<Failure> CategoryResolver::checkServer()
{
    m_connection->checkLMServer();
    const auto checked = m_waiter->waitFor({LMNotification::CheckedServer});
    if (!checked)
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    const QString why = checked->userInfo.value(LMUserInfoKey::Failure).toString();
    if (!m_waiter->refusedCertificate().isEmpty())
        return serverFailure(why);
    // No server answered: the reason names the culprit (the address, the proxy) by itself.
    const QVariantMap error = checked->userInfo.value(LMUserInfoKey::Error).toMap();
    if (!error.isEmpty() && error.value(LMErrorKey::Domain) != LMErrorDomain::Reply && !why.isEmpty())
        return Failure{ExitUnusable, why};
    switch (checked->userInfo.value(LMUserInfoKey::ServerCheck).toInt()) {
    case 0:
        return std::nullopt;
    case 2:
        return serverFailure(why.isEmpty() ? QStringLiteral("the server speaks another version of the interface than %1")
                                                 .arg(LMServerConnection::RESTAPIVERSION)
                                           : why);
    default:
        return serverFailure(QStringLiteral("this does not seem to be a Lumaro server") +
                             (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')')));
    }
}

std::optional<Failure> CategoryResolver::loadCategoryTypes()
{
    m_connection->retrieveCategoryTypes();
    const auto types = m_waiter->waitFor({LMNotification::RetrievedCategoryTypes});
    if (!types)
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    if (types->userInfo.contains(LMUserInfoKey::Failure))
        return serverFailure(types->userInfo.value(LMUserInfoKey::Failure).toString());
    return std::nullopt;
}

namespace {

QString levelPath(const QStringList &names, qsizetype depth)
{
    return depth == 0 ? QStringLiteral("the top level")
                      : UploadReport::escaped(QLatin1Char('/') + names.first(depth).join(QLatin1Char('/')));
}

} // namespace

std::optional<Failure> CategoryResolver::targetFailure(const CategoryTreeResolver &resolver, const QStringList &names,
                                                       bool missingAllowed)
{
    using State = CategoryTreeResolver::State;
    for (qsizetype depth = 0; depth < names.size(); ++depth) {
        const QString &name = names.at(depth);
        const CategoryTreeResolver::Node *node = resolver.node(names.first(depth + 1));
        if (!node)
            return Failure{ExitUnusable, QStringLiteral("\"%1\" in %2 was not looked for").arg(name, levelPath(names, depth))};
        switch (node->state) {
        case State::Exists:
        case State::Created:
            continue;
        case State::Missing: {
            if (missingAllowed)
                return std::nullopt;
            // What there is instead, from a listing of its own: the resolver keeps none.
            std::optional<CategoryRecord> parent;
            if (depth > 0)
                parent = resolver.node(names.first(depth))->record;
            CategoryLevel children;
            if (auto failure = listChildren(parent, &children))
                return failure;
            QStringList there;
            for (const CategoryRecord &record : std::as_const(children))
                there << QLatin1Char('"') + UploadReport::escaped(record.value(QLatin1String("name")).toString()) +
                             QLatin1Char('"');
            return Failure{ExitUnusable, QStringLiteral("no category \"%1\" in %2; there are: %3")
                                             .arg(UploadReport::escaped(name), levelPath(names, depth),
                                                  there.isEmpty() ? QStringLiteral("none") : there.join(QStringLiteral(", ")))};
        }
        case State::Twins:
            return Failure{ExitUnusable,
                           obstacle(*node, levelPath(names, depth)) + QStringLiteral("; pick one with --category-id")};
        case State::Unknown:
        case State::Failed:
            if (m_connection->loginRefused())
                return serverFailure(node->reason);
            return Failure{ExitUnusable, QStringLiteral("cannot %1 \"%2\" in %3: %4")
                                             .arg(node->state == State::Failed ? QStringLiteral("find or create")
                                                                               : QStringLiteral("find"),
                                                  name, levelPath(names, depth), node->reason)};
        }
    }
    return std::nullopt;
}

QString CategoryResolver::obstacle(const CategoryTreeResolver::Node &node, const QString &where)
{
    if (node.state != CategoryTreeResolver::State::Twins)
        return node.reason;
    QStringList ids;
    for (qint64 id : node.twinIds)
        ids << QString::number(id);
    return QStringLiteral("%1 categories in %2 are named \"%3\" (ids %4)")
        .arg(node.twinIds.size())
        .arg(where, UploadReport::escaped(node.name), ids.join(QStringLiteral(", ")));
}

std::optional<Failure> CategoryResolver::listChildren(const std::optional<CategoryRecord> &parent,
                                                      CategoryLevel *children)
{
    std::optional<LMServerConnection::ChildListing> listing;
    QEventLoop loop;
    m_connection->listChildren(parent, [&](const LMServerConnection::ChildListing &answer) {
        listing = answer;
        loop.quit();
    });
    if (!listing)
        loop.exec();
    if (!listing->children)
        return serverFailure(listing->failure);
    *children = *listing->children;
    return std::nullopt;
}

std::optional<Failure> CategoryResolver::findTarget(const QStringList &names, bool create)
{
    using Mode = CategoryTreeResolver::Mode;
    CategoryTreeResolver resolver(m_connection, std::nullopt, QList<QStringList>{names},
                                  create ? Mode::Create : Mode::Preview);
    if (!m_waiter->run(&resolver))
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    if (auto failure = targetFailure(resolver, names, false))
        return failure;
    const QList<CategoryRecord> records = resolver.recordsTo(names);
    m_connection->setSelectedCategory(records.constLast());
    m_connection->setCategoryPath(records);
    m_connection->setPathLevel(records.size() - 1);
    return std::nullopt;
}

std::optional<Failure> CategoryResolver::preview(const QStringList &names, bool create, const QStringList &folders,
                                                 std::unique_ptr<CategoryTreeResolver> *resolver)
{
    // As names, since a target's name may hold a slash; a folder's cannot.
    QList<QStringList> all;
    if (!names.isEmpty())
        all << names;
    for (const QString &folder : folders)
        all << names + folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // With an id the target is the climbed category; with names the walk starts at the top.
    const std::optional<CategoryRecord> base = names.isEmpty() ? m_connection->selectedCategory() : std::nullopt;
    *resolver = std::make_unique<CategoryTreeResolver>(m_connection, base, all, CategoryTreeResolver::Mode::Preview);
    if (!m_waiter->run(resolver->get()))
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    return targetFailure(**resolver, names, create);
}

std::optional<Failure> CategoryResolver::climbTo(qint64 categoryID)
{
    m_connection->retrieveCategoryPath(categoryID);
    if (!m_waiter->waitFor({LMNotification::HasCategoryPath}))
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    if (m_connection->loginRefused())
        return serverFailure(QStringLiteral("HTTP 401"));
    const auto selected = m_connection->selectedCategory();
    if (m_connection->categoryPath().isEmpty() || !selected ||
        integerValue(selected->value(QLatin1String("id"))) != categoryID)
        return Failure{ExitUnusable, QStringLiteral("no category with id %1 on the server").arg(categoryID)};
    return std::nullopt;
}
