// The read-only commands: bookmarks, categories and the import log.
#include "CategoryResolver.h"
#include "Commands.h"
#include "ServerAccess.h"
#include "UploadReport.h"

#include "connection/LMRequestRules.h"
#include "connection/LMServerConnection.h"
#include "store/LogQuery.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QDateTime>

#include <cstdio>
#include <limits>

namespace {

// One record a line, its fields split by tabs: a tab or newline in a name must not add either.
void line(const QStringList &fields)
{
    QStringList shown;
    for (const QString &field : fields)
        shown << UploadReport::escaped(field);
    std::printf("%s\n", shown.join(QLatin1Char('\t')).toUtf8().constData());
}

} // namespace

int Commands::report(const Failure &failure)
{
    std::fprintf(stderr, "lumaro-import: %s\n", failure.message.toUtf8().constData());
    return failure.status;
}

int Commands::exitEarly(const Failure &failure, bool json)
{
    if (json) {
        QString reason = failure.message;
        if (reason.endsWith(UsageHint))
            reason.chop(UsageHint.size());
        UploadReport::event({{"event", "exit"}, {"exitStatus", failure.status}, {"reason", reason}});
    }
    return report(failure);
}

int Commands::bookmarks()
{
    auto opened = ServerAccess::openStore(PersistentStore::Contents::BookmarksOnly);
    if (auto *failure = std::get_if<Failure>(&opened))
        return report(*failure);
    for (const ServerBookmark *bookmark : std::get<std::unique_ptr<ObjectContext>>(opened)->fetchAllBookmarks())
        line({bookmark->bookmarkLongName(), bookmark->urlString(), bookmark->userName().value_or(QString())});
    return ExitSuccess;
}

int Commands::categories(const CliOptions &options)
{
    std::unique_ptr<ObjectContext> store;
    const ServerBookmark *stored = nullptr;
    if (!options.bookmark.isEmpty()) {
        auto opened = ServerAccess::openStore(PersistentStore::Contents::BookmarksOnly);
        if (auto *failure = std::get_if<Failure>(&opened))
            return report(*failure);
        store = std::move(std::get<std::unique_ptr<ObjectContext>>(opened));
        auto found = ServerAccess::findBookmark(store.get(), options.bookmark);
        if (auto *failure = std::get_if<Failure>(&found))
            return report(*failure);
        stored = std::get<ServerBookmark *>(found);
    }
    ObjectContext memory;
    QString passwordSource;
    auto made = ServerAccess::connectionBookmark(&memory, options, stored, &passwordSource);
    if (auto *failure = std::get_if<Failure>(&made))
        return report(*failure);

    LMServerConnection connection(std::get<ServerBookmark *>(made));
    ServerAccess::configure(&connection, options);
    NotificationWaiter waiter(&connection);
    CategoryResolver resolver(&connection, &waiter, passwordSource);
    std::optional<Failure> failure = resolver.checkServer();
    if (!failure && !options.categoryPath.isEmpty())
        failure = resolver.findTarget(options.categoryPath, false);
    CategoryLevel children;
    if (!failure)
        failure = resolver.listChildren(connection.selectedCategory(), &children);
    if (failure)
        return report(*failure);
    for (const CategoryRecord &record : std::as_const(children)) {
        const auto id = LMRequestRules::integerValue(record.value(QLatin1String("id")));
        line({id ? QString::number(*id) : QString(), record.value(QLatin1String("name")).toString()});
    }
    return ExitSuccess;
}

int Commands::log(const CliOptions &options)
{
    auto opened = ServerAccess::openStore(PersistentStore::Contents::BookmarksOnly);
    if (auto *failure = std::get_if<Failure>(&opened))
        return report(*failure);
    ObjectContext *store = std::get<std::unique_ptr<ObjectContext>>(opened).get();
    qint64 only = 0;
    if (!options.bookmark.isEmpty()) {
        auto found = ServerAccess::findBookmark(store, options.bookmark);
        if (auto *failure = std::get_if<Failure>(&found))
            return report(*failure);
        only = std::get<ServerBookmark *>(found)->objectId();
    }
    // Row by row from the file, oldest first: a long log is never held in memory.
    LogQuery query;
    query.order = Qt::AscendingOrder;
    const qint64 since = options.since ? options.since->toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    LogReader reader;
    QString error;
    const bool read = reader.open(store->storeFile()->path(), &error) &&
                      reader.forEachRow(query, store->logSnapshot(), [&](const LogRow &row) {
                          if ((only && row.bookmarkId != only) || row.uploadMs < since)
                              return true;
                          line({QDateTime::fromMSecsSinceEpoch(row.uploadMs)
                                    .toLocalTime()
                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                row.bookmarkName.isNull() ? QStringLiteral("-") : row.bookmarkName,
                                row.categoryID.isValid() ? QString::number(row.categoryID.toLongLong()) : QString(),
                                row.categoryPath, row.filePath});
                          return true;
                      }, &error);
    if (!read)
        return report({ExitUnusable, QStringLiteral("Cannot read the import log: ") + error});
    return ExitSuccess;
}
