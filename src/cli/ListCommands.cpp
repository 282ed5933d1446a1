// The read-only commands: bookmarks, categories and the import log.
#include "CategoryResolver.h"
#include "Commands.h"
#include "ServerAccess.h"

#include "connection/LMRequestRules.h"
#include "connection/LMServerConnection.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <algorithm>
#include <cstdio>

namespace {

void line(const QStringList &fields)
{
    std::printf("%s\n", fields.join(QLatin1Char('\t')).toUtf8().constData());
}

} // namespace

int Commands::report(const Failure &failure)
{
    std::fprintf(stderr, "lumaro-import: %s\n", failure.message.toUtf8().constData());
    return failure.status;
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
    auto made = ServerAccess::connectionBookmark(&memory, options, stored);
    if (auto *failure = std::get_if<Failure>(&made))
        return report(*failure);

    LMServerConnection connection(std::get<ServerBookmark *>(made));
    NotificationWaiter waiter(&connection);
    CategoryResolver resolver(&connection, &waiter);
    std::optional<Failure> failure = resolver.checkServer();
    if (!failure)
        failure = resolver.loadTopLevel();
    if (!failure)
        failure = resolver.walk(options.categoryPath, false, false, nullptr);
    if (failure)
        return report(*failure);
    for (const CategoryRecord &record : connection.categoryData().value(options.categoryPath.size())) {
        const auto id = LMRequestRules::integerValue(record.value(QLatin1String("id")));
        line({id ? QString::number(*id) : QString(), record.value(QLatin1String("name")).toString()});
    }
    return ExitSuccess;
}

int Commands::log(const CliOptions &options)
{
    auto opened = ServerAccess::openStore(PersistentStore::Contents::Everything);
    if (auto *failure = std::get_if<Failure>(&opened))
        return report(*failure);
    ObjectContext *store = std::get<std::unique_ptr<ObjectContext>>(opened).get();
    const ServerBookmark *only = nullptr;
    if (!options.bookmark.isEmpty()) {
        auto found = ServerAccess::findBookmark(store, options.bookmark);
        if (auto *failure = std::get_if<Failure>(&found))
            return report(*failure);
        only = std::get<ServerBookmark *>(found);
    }
    QList<Asset *> entries = store->fetchUploadedAssets();
    entries.removeIf([&](const Asset *asset) {
        return (only && asset->bookmark() != only) || (options.since && *asset->uploadDateTime() < *options.since);
    });
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Asset *a, const Asset *b) { return *a->uploadDateTime() < *b->uploadDateTime(); });
    for (const Asset *asset : std::as_const(entries)) {
        const auto categoryID = asset->categoryID();
        line({asset->uploadDateTime()->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
              asset->bookmark() ? asset->bookmark()->bookmarkLongName() : QStringLiteral("-"),
              categoryID ? QString::number(*categoryID) : QString(), asset->categoryPath().value_or(QString()),
              asset->filePath().value_or(QString())});
    }
    return ExitSuccess;
}
