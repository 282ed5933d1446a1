// lumaro-import upload: one batch through the connection's own upload chain, so the wire sees
// what the window would send, and each uploaded file is logged the moment it is confirmed.
#include "CategoryResolver.h"
#include "Commands.h"
#include "ServerAccess.h"
#include "UploadReport.h"

#include "connection/LMRequestRules.h"
#include "connection/LMServerConnection.h"
#include "platform/FolderFiles.h"
#include "platform/NotificationCenter.h"
#include "platform/SleepInhibitor.h"
#include "platform/TerminationSignals.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonObject>

namespace {

QStringList filesOf(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        // Anything that is not a folder goes as given; one that cannot be read fails in its turn.
        if (info.isDir())
            files += FolderFiles::list(info.absoluteFilePath(), FolderFiles::Depth::Recursive);
        else
            files << info.absoluteFilePath();
    }
    return files;
}

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size();
}

QJsonObject categoryJson(const LMServerConnection &connection, bool known)
{
    const auto &selected = connection.selectedCategory();
    const QJsonValue id = known && selected ? selected->value(QLatin1String("id")) : QJsonValue();
    return {{"id", id}, {"path", connection.getSelectedCategoryPath()}};
}

int dryRun(const CliOptions &options, const LMServerConnection &connection, const QStringList &files,
           const QStringList &wouldCreate)
{
    QString path = connection.getSelectedCategoryPath();
    for (const QString &name : wouldCreate) {
        path += QLatin1Char('/') + name;
        if (options.json)
            UploadReport::event({{"event", "would-create"}, {"path", path}});
        else
            std::printf("would create %s\n", qPrintable(path));
    }
    QJsonObject category = categoryJson(connection, wouldCreate.isEmpty());
    category.insert("path", path);
    for (const QString &file : files) {
        if (options.json) {
            UploadReport::event({{"event", "would-upload"}, {"file", file}, {"bytes", double(fileSize(file))},
                                 {"category", category}});
        } else {
            const QString id = category.value("id").isDouble()
                                   ? QStringLiteral(" (id %1)").arg(category.value("id").toInteger())
                                   : QString();
            std::printf("would upload %s to %s%s\n", qPrintable(file), qPrintable(path), qPrintable(id));
        }
    }
    return ExitSuccess;
}

} // namespace

int Commands::upload(const CliOptions &options)
{
    const QStringList files = filesOf(options.inputs);
    if (files.isEmpty()) {
        report(Failure{ExitSuccess, QStringLiteral("no files to upload in %1").arg(options.inputs.join(QStringLiteral(", ")))});
        return ExitSuccess;
    }

    // Only the bookmarks are read: the log is written to, one entry at a time, never loaded.
    auto opened = ServerAccess::openStore(PersistentStore::Contents::BookmarksOnly);
    if (auto *failure = std::get_if<Failure>(&opened))
        return report(*failure);
    ObjectContext *store = std::get<std::unique_ptr<ObjectContext>>(opened).get();
    ServerBookmark *stored = nullptr;
    if (!options.bookmark.isEmpty()) {
        auto found = ServerAccess::findBookmark(store, options.bookmark);
        if (auto *failure = std::get_if<Failure>(&found))
            return report(*failure);
        stored = std::get<ServerBookmark *>(found);
    }
    ObjectContext memory;
    auto made = ServerAccess::connectionBookmark(&memory, options, stored);
    if (auto *failure = std::get_if<Failure>(&made))
        return report(*failure);
    // Nothing is sent that could not be logged.
    QString busy;
    if (!options.dryRun && !store->storeFile()->checkWritable(&busy)) {
        return report({ExitUnusable, busy});
    }

    LMServerConnection connection(std::get<ServerBookmark *>(made));
    if (options.limitRate)
        connection.setUploadRateLimit(*options.limitRate);
    NotificationWaiter waiter(&connection);
    bool batchRunning = false;
    int interruptions = 0;
    std::unique_ptr<UploadReport> progress;
    TerminationSignals signalWatch;
    QObject::connect(&signalWatch, &TerminationSignals::terminationRequested, [&] {
        ++interruptions;
        connection.setHaltUpload(true);
        if (batchRunning && interruptions == 1) {
            progress->note(QStringLiteral("stopping after the file in flight; press Ctrl+C again to stop at once"));
            return;
        }
        // The batch then fails its file in flight and ends; before it, the wait ends here.
        if (!batchRunning)
            waiter.abort();
        connection.cancelRequests();
    });

    CategoryResolver resolver(&connection, &waiter);
    QStringList wouldCreate;
    std::optional<Failure> failure = resolver.checkServer();
    if (!failure && !options.dryRun)
        failure = resolver.loadCategoryTypes();
    if (!failure)
        failure = resolver.loadTopLevel();
    if (!failure) {
        failure = options.categoryId ? resolver.climbTo(*options.categoryId)
                                     : resolver.walk(options.categoryPath, options.create, options.dryRun, &wouldCreate);
    }
    if (interruptions > 0)
        failure = Failure{ExitSomeFailed, QStringLiteral("interrupted; nothing was sent")};
    if (failure)
        return report(*failure);
    if (options.dryRun)
        return dryRun(options, connection, files, wouldCreate);

    QList<Asset *> batch;
    QHash<const Asset *, int> indexOf;
    qint64 totalBytes = 0;
    for (const QString &path : files) {
        Asset *asset = store->insertAsset();
        asset->setFilePath(path);
        asset->setBookmark(stored);
        batch << asset;
        indexOf.insert(asset, int(batch.size()));
        totalBytes += fileSize(path);
    }
    progress = std::make_unique<UploadReport>(options.json, int(batch.size()), totalBytes);

    QHash<const Asset *, bool> finished; // true: uploaded, false: failed
    QString batchError;
    QObject observer;
    auto *center = NotificationCenter::defaultCenter();
    auto assetOf = [](const Notification &n) {
        return qobject_cast<Asset *>(n.userInfo.value(QStringLiteral("asset")).value<QObject *>());
    };
    center->addObserver(&observer, LMNotification::UploadingAsset, &connection, [&](const Notification &n) {
        if (const Asset *asset = assetOf(n))
            progress->fileStarted(*asset->filePath(), indexOf.value(asset), fileSize(*asset->filePath()));
    });
    center->addObserver(&observer, LMNotification::UploadProgress, &connection, [&](const Notification &n) {
        const Asset *asset = assetOf(n);
        const qint64 total = n.userInfo.value(LMUserInfoKey::BytesTotal).toLongLong();
        if (asset && total > 0) {
            const double share = double(n.userInfo.value(LMUserInfoKey::BytesSent).toLongLong()) / double(total);
            progress->fileProgress(qint64(share * double(fileSize(*asset->filePath()))));
        }
    });
    center->addObserver(&observer, LMNotification::UploadedAsset, &connection, [&](const Notification &n) {
        if (const Asset *asset = assetOf(n)) {
            finished.insert(asset, true);
            progress->fileUploaded(*asset->filePath(), indexOf.value(asset), fileSize(*asset->filePath()),
                                   connection.currentAssetImportID());
        }
    });
    center->addObserver(&observer, LMNotification::UploadFailedAsset, &connection, [&](const Notification &n) {
        if (const Asset *asset = assetOf(n)) {
            finished.insert(asset, false);
            const QString reason = interruptions > 1 ? QStringLiteral("interrupted while it was sent")
                                                     : n.userInfo.value(LMUserInfoKey::Error).toString();
            progress->fileFailed(*asset->filePath(), indexOf.value(asset), reason);
        }
    });

    progress->batchStarted(categoryJson(connection, true));
    batchRunning = true;
    // The machine stays awake while the files go (released at the end, or with the process).
    SleepInhibitor inhibitor(QStringLiteral("lumaro-import is uploading files"));
    inhibitor.hold(&connection);
    connection.startAssetImport(batch);
    if (const auto done = waiter.waitFor({LMNotification::UploadDone}))
        batchError = done->userInfo.value(LMUserInfoKey::Error).toString();
    inhibitor.release(&connection);
    batchRunning = false;

    int uploaded = 0;
    QStringList notSent;
    QList<ManagedObject *> unlogged;
    for (Asset *asset : std::as_const(batch)) {
        if (!finished.contains(asset)) {
            notSent << *asset->filePath();
        } else if (finished.value(asset)) {
            ++uploaded;
            if (asset->hasChanges())
                unlogged << asset;
        }
    }
    // The chain saves each entry as it is confirmed; one the store refused then gets a second try.
    QString why;
    const bool logged = unlogged.isEmpty() || store->saveObjects(unlogged, &why);
    if (!logged) {
        for (ManagedObject *asset : std::as_const(unlogged))
            progress->note(QStringLiteral("uploaded, but not written to the import log (%1): %2")
                               .arg(why, *static_cast<Asset *>(asset)->filePath()));
    }
    const int failed = int(finished.size()) - uploaded;
    int status = failed == 0 && notSent.isEmpty() && logged ? ExitSuccess : ExitSomeFailed;
    if (!batchError.isEmpty() && finished.isEmpty() && interruptions == 0) {
        status = ExitUnusable;
        progress->note(QStringLiteral("cannot use %1: %2").arg(connection.serverBookmark()->urlString(), batchError));
    }
    progress->batchDone(uploaded, failed, notSent, status);
    return status;
}
