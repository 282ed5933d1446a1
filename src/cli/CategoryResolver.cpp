#include "CategoryResolver.h"

#include "connection/LMRequestRules.h"
#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"

using LMRequestRules::integerValue;

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

void NotificationWaiter::abort()
{
    m_aborted = true;
    if (m_loop)
        m_loop->quit();
}

Failure CategoryResolver::serverFailure(const QString &reason) const
{
    const QString address = m_connection->serverBookmark() ? m_connection->serverBookmark()->urlString() : QString();
    return {ExitUnusable, QStringLiteral("cannot use %1: %2").arg(address, reason)};
}

QString CategoryResolver::levelPath(qint64 column) const
{
    QString path;
    for (qint64 n = 0; n < column && n < m_rows.size(); ++n)
        path += QLatin1Char('/') + m_connection->categoryData().value(n).value(m_rows.at(n)).value(QLatin1String("name")).toString();
    return path.isEmpty() ? QStringLiteral("the top level") : path;
}

std::optional<Failure> CategoryResolver::checkServer()
{
    m_connection->checkLMServer();
    const auto checked = m_waiter->waitFor({LMNotification::CheckedServer});
    if (!checked)
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    const QString why = checked->userInfo.value(LMUserInfoKey::Failure).toString();
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

std::optional<Failure> CategoryResolver::loadTopLevel()
{
    m_connection->retrieveTopCategories();
    const auto loaded = m_waiter->waitFor({LMNotification::HasCategories});
    if (!loaded)
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    if (loaded->userInfo.contains(LMUserInfoKey::Failure))
        return serverFailure(loaded->userInfo.value(LMUserInfoKey::Failure).toString());
    m_rows.clear();
    return std::nullopt;
}

std::optional<Failure> CategoryResolver::select(qint64 column, qint64 row)
{
    m_connection->selectCategory(column, row);
    const auto loaded = m_waiter->waitFor({LMNotification::HasCategories});
    if (!loaded)
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    if (loaded->userInfo.contains(LMUserInfoKey::Failure))
        return serverFailure(loaded->userInfo.value(LMUserInfoKey::Failure).toString());
    m_rows = m_rows.mid(0, column);
    m_rows.append(row);
    return std::nullopt;
}

std::optional<Failure> CategoryResolver::walk(const QStringList &names, bool create, bool dryRun,
                                              QStringList *wouldCreate)
{
    for (qint64 column = 0; column < names.size(); ++column) {
        const QString &name = names.at(column);
        const CategoryLevel level = m_connection->categoryData().value(column);
        QList<qint64> rows;
        QStringList there;
        for (qint64 row = 0; row < level.size(); ++row) {
            const QString candidate = level.at(row).value(QLatin1String("name")).toString();
            there << QLatin1Char('"') + candidate + QLatin1Char('"');
            if (candidate == name)
                rows << row;
        }
        if (rows.size() > 1) {
            QStringList ids;
            for (qint64 row : rows)
                ids << QString::number(integerValue(level.at(row).value(QLatin1String("id"))).value_or(-1));
            return Failure{ExitUnusable, QStringLiteral("%1 categories in %2 are named \"%3\" (ids %4); "
                                                        "pick one with --category-id")
                                             .arg(rows.size())
                                             .arg(levelPath(column), name, ids.join(QStringLiteral(", ")))};
        }
        qint64 row = rows.value(0, -1);
        if (row < 0 && !create) {
            return Failure{ExitUnusable, QStringLiteral("no category \"%1\" in %2; there are: %3")
                                             .arg(name, levelPath(column),
                                                  there.isEmpty() ? QStringLiteral("none") : there.join(QStringLiteral(", ")))};
        }
        if (row < 0 && dryRun) {
            *wouldCreate = names.mid(column);
            return std::nullopt;
        }
        if (row < 0) {
            if (auto failure = this->create(column, name, &row))
                return failure;
        }
        if (auto failure = select(column, row))
            return failure;
    }
    return std::nullopt;
}

std::optional<Failure> CategoryResolver::create(qint64 column, const QString &name, qint64 *row)
{
    const QString where = levelPath(column);
    if (m_connection->folderCategoryTypeID() == 0) {
        return Failure{ExitUnusable, QStringLiteral("cannot create \"%1\" in %2: the server has no \"Folder\" category type")
                                         .arg(name, where)};
    }
    // Under the selected parent, as the new-category sheet does; at the top level nothing is
    // selected yet, so the category has no parent.
    m_connection->createNewCategory(name);
    const auto created = m_waiter->waitFor({LMNotification::CreatedNewCategory, LMNotification::CreateCategoryFailed});
    if (!created)
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    const std::optional<qint64> id =
        integerValue(created->userInfo.value(LMUserInfoKey::NewCategory).toJsonObject().value(QLatin1String("id")));
    if (created->name == LMNotification::CreateCategoryFailed || !id) {
        return Failure{ExitUnusable, QStringLiteral("could not create \"%1\" in %2: %3")
                                         .arg(name, where, created->userInfo.value(LMUserInfoKey::Error).toString())};
    }
    // The parent's listing is read again, so the new category is selected as the server lists it.
    if (column == 0) {
        if (auto failure = loadTopLevel())
            return failure;
    } else {
        const qint64 parentRow = m_rows.value(column - 1);
        m_connection->forgetChildren(column - 1, parentRow);
        if (auto failure = select(column - 1, parentRow))
            return failure;
    }
    *row = m_connection->findCategory(*id, column);
    if (*row < 0)
        return serverFailure(QStringLiteral("the new category \"%1\" (id %2) is not listed in %3").arg(name).arg(*id).arg(where));
    return std::nullopt;
}

std::optional<Failure> CategoryResolver::climbTo(qint64 categoryID)
{
    m_connection->retrieveCategoryPath(categoryID);
    if (!m_waiter->waitFor({LMNotification::HasCategoryPath}))
        return Failure{ExitSomeFailed, QStringLiteral("interrupted")};
    const auto selected = m_connection->selectedCategory();
    if (m_connection->categoryPath().isEmpty() || !selected ||
        integerValue(selected->value(QLatin1String("id"))) != categoryID)
        return Failure{ExitUnusable, QStringLiteral("no category with id %1 on the server").arg(categoryID)};
    return std::nullopt;
}
