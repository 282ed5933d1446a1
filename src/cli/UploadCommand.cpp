// lumaro-import upload: one batch through the connection's own upload chain, so the wire sees
// what the window would send, and each uploaded file is logged the moment it is confirmed.
#include "CategoryResolver.h"
#include "Commands.h"
#include "ServerAccess.h"
#include "UploadReport.h"

#include "connection/LMRequestRules.h"
#include "connection/LMServerConnection.h"
#include "platform/AddedFiles.h"
#include "platform/NotificationCenter.h"
#include "platform/SleepInhibitor.h"
#include "platform/TerminationSignals.h"
#include "store/Asset.h"
#include "store/DuplicateCheck.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

namespace {

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size();
}

QJsonObject categoryJson(const LMServerConnection &connection)
{
    const auto &selected = connection.selectedCategory();
    const QJsonValue id = selected ? selected->value(QLatin1String("id")) : QJsonValue();
    return {{"id", id}, {"path", connection.getSelectedCategoryPath()}};
}

// Every item that was added but cannot be queued, with its reason, before anything is sent.
void reportNotAdded(const CliOptions &options, const QList<AddedFiles::Problem> &problems)
{
    for (const AddedFiles::Problem &problem : problems) {
        if (options.json)
            UploadReport::event({{"event", "not-added"}, {"file", problem.path}, {"reason", problem.reason}});
        Commands::report(Failure{ExitSomeFailed, QStringLiteral("not added: %1: %2").arg(UploadReport::escaped(problem.path), problem.reason)});
    }
}

// The window's check against the import log for this server: which of the batch went there
// before. Empty when the log holds nothing of the server, or the wait was interrupted.
QList<DuplicateMatch> findDuplicates(ObjectContext *store, const QString &serverKey, const QList<Asset *> &batch,
                                     QEventLoop **waiting)
{
    DuplicateCheck check(store);
    QList<DuplicateMatch> found;
    QEventLoop loop;
    QObject::connect(&check, &DuplicateCheck::finished, &loop, [&](const QList<DuplicateMatch> &duplicates) {
        found = duplicates;
        loop.quit();
    });
    if (!check.start(serverKey, batch))
        return {};
    *waiting = &loop;
    loop.exec();
    *waiting = nullptr;
    return found;
}

void reportSkipped(const CliOptions &options, const QList<DuplicateMatch> &skipped)
{
    for (const DuplicateMatch &match : skipped) {
        const QString path = match.record->filePath().value_or(QString());
        const QString when = match.uploaded.toLocalTime().toString(Qt::ISODate);
        if (!match.mayHaveArrived.isEmpty()) {
            if (options.json)
                UploadReport::event({{"event", "file-skipped"},
                                     {"file", path},
                                     {"uploadedTo", match.categoryPath},
                                     {"mayHaveArrived", match.mayHaveArrived}});
            else
                std::printf("skipped %s: may have arrived at %s before: %s\n", qPrintable(UploadReport::escaped(path)),
                            qPrintable(UploadReport::escaped(match.categoryPath)), qPrintable(match.mayHaveArrived));
            continue;
        }
        if (options.json) {
            UploadReport::event({{"event", "file-skipped"}, {"file", path}, {"uploadedTo", match.categoryPath},
                                 {"uploaded", when}});
        } else {
            std::printf("skipped %s: uploaded before to %s on %s\n", qPrintable(UploadReport::escaped(path)),
                        qPrintable(UploadReport::escaped(match.categoryPath)),
                        qPrintable(when));
        }
    }
}

// Why files in that folder (relative to the resolver's base) could not be placed; empty when they could.
QString placeProblem(const CategoryTreeResolver &resolver, const QStringList &parts, const QString &basePath)
{
    using State = CategoryTreeResolver::State;
    for (qsizetype n = 1; n <= parts.size(); ++n) {
        const CategoryTreeResolver::Node *node = resolver.node(parts.first(n));
        if (!node || node->state == State::Exists || node->state == State::Missing || node->state == State::Created)
            continue;
        const QString parent = basePath + (n > 1 ? QLatin1Char('/') + parts.first(n - 1).join(QLatin1Char('/')) : QString());
        return CategoryResolver::obstacle(*node, parent.isEmpty() ? QStringLiteral("the top level") : parent);
    }
    return {};
}

// What the upload would do, from a resolver that looked without creating: the categories it
// would make, and where each file would go.
int dryRun(const CliOptions &options, const LMServerConnection &connection, const CategoryTreeResolver &resolver,
           const QList<Asset *> &batch, bool leftOut)
{
    using State = CategoryTreeResolver::State;
    // Names from the top, or the climbed category's path below which the resolver looked.
    const QString basePath = options.categoryPath.isEmpty() ? connection.getSelectedCategoryPath() : QString();
    auto pathOf = [&](const QString &key) { return key.isEmpty() ? basePath : basePath + QLatin1Char('/') + key; };
    for (const CategoryTreeResolver::Node &node : resolver.nodes()) {
        if (node.state != State::Missing)
            continue;
        if (options.json)
            UploadReport::event({{"event", "would-create"}, {"path", pathOf(node.folder)}});
        else
            std::printf("would create %s\n", qPrintable(UploadReport::escaped(pathOf(node.folder))));
    }
    int failing = 0;
    for (const Asset *asset : batch) {
        const QString file = *asset->filePath();
        const QString folder = asset->folderPath().value_or(QString());
        const QStringList names = options.categoryPath + folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        const QString key = names.join(QLatin1Char('/'));
        const QString problem = placeProblem(resolver, names, basePath);
        if (!problem.isEmpty()) {
            ++failing;
            if (options.json)
                UploadReport::event({{"event", "would-fail"}, {"file", file}, {"reason", problem}});
            Commands::report(Failure{ExitSomeFailed, QStringLiteral("would fail: %1: %2").arg(UploadReport::escaped(file), problem)});
            continue;
        }
        const CategoryTreeResolver::Node *node = names.isEmpty() ? nullptr : resolver.node(names);
        std::optional<CategoryRecord> record = node ? node->record : connection.selectedCategory();
        if (node && node->state != State::Exists)
            record.reset();
        const QJsonValue id = record ? record->value(QLatin1String("id")) : QJsonValue();
        if (options.json) {
            UploadReport::event({{"event", "would-upload"}, {"file", file}, {"bytes", double(fileSize(file))},
                                 {"category", QJsonObject{{"id", id}, {"path", pathOf(key)}}}});
        } else {
            const QString shownId = id.isDouble() ? QStringLiteral(" (id %1)").arg(id.toInteger()) : QString();
            std::printf("would upload %s to %s%s\n", qPrintable(UploadReport::escaped(file)),
                        qPrintable(UploadReport::escaped(pathOf(key))), qPrintable(shownId));
        }
    }
    return failing > 0 || leftOut ? ExitSomeFailed : ExitSuccess;
}

} // namespace

int Commands::upload(const CliOptions &options)
{
    // Every way out before the batch (which ends with batch-done) is told as one exit event too.
    auto stop = [&](const Failure &failure) { return exitEarly(failure, options.json); };
    const AddedFiles::Result added = AddedFiles::collect(options.inputs);
    reportNotAdded(options, added.problems);
    const bool leftOut = !added.problems.isEmpty();
    if (added.files.isEmpty()) {
        if (leftOut)
            return stop(Failure{ExitSomeFailed, QStringLiteral("nothing left to upload")});
        return stop(Failure{ExitSuccess, QStringLiteral("no files to upload in %1").arg(options.inputs.join(QStringLiteral(", ")))});
    }

    // Only the bookmarks are read: the log is written to, one entry at a time, never loaded.
    auto opened = ServerAccess::openStore(PersistentStore::Contents::BookmarksOnly);
    if (auto *failure = std::get_if<Failure>(&opened))
        return stop(*failure);
    ObjectContext *store = std::get<std::unique_ptr<ObjectContext>>(opened).get();
    ServerBookmark *stored = nullptr;
    if (!options.bookmark.isEmpty()) {
        auto found = ServerAccess::findBookmark(store, options.bookmark);
        if (auto *failure = std::get_if<Failure>(&found))
            return stop(*failure);
        stored = std::get<ServerBookmark *>(found);
    }
    ObjectContext memory;
    QString passwordSource;
    auto made = ServerAccess::connectionBookmark(&memory, options, stored, &passwordSource);
    if (auto *failure = std::get_if<Failure>(&made))
        return stop(*failure);
    // Nothing is sent that could not be logged.
    QString busy;
    if (!options.dryRun && !store->storeFile()->checkWritable(&busy)) {
        return stop({ExitUnusable, busy});
    }

    LMServerConnection connection(std::get<ServerBookmark *>(made));
    ServerAccess::configure(&connection, options);
    NotificationWaiter waiter(&connection);
    bool batchRunning = false;
    int interruptions = 0;
    QEventLoop *checking = nullptr;
    std::unique_ptr<UploadReport> progress;
    TerminationSignals signalWatch;
    QObject::connect(&signalWatch, &TerminationSignals::terminationRequested, [&] {
        ++interruptions;
        connection.setHaltUpload(true);
        if (batchRunning && interruptions == 1) {
            progress->note(QStringLiteral("stopping after the %1 in flight; press Ctrl+C again to stop at once")
                               .arg(connection.uploadsInFlight() > 1 ? QStringLiteral("files") : QStringLiteral("file")));
            return;
        }
        // The batch then fails its file in flight and ends; before it, the wait ends here.
        if (checking)
            checking->quit();
        if (!batchRunning)
            waiter.abort();
        connection.cancelRequests();
    });

    // Each file below its added folder keeps that folder's place below the target, unless flattened.
    // A file that may have arrived in an earlier upload to this server comes with its record, so
    // the check below asks about it as about a duplicate.
    QHash<QString, Asset *> inDoubt;
    for (Asset *asset : store->assetsInDoubt(connection.serverBookmark()->serverKey()))
        inDoubt.insert(asset->filePath().value_or(QString()), asset);
    QSet<const Asset *> adopted;
    QList<Asset *> batch;
    for (const AddedFiles::File &file : added.files) {
        Asset *asset = inDoubt.take(file.path);
        if (asset) {
            adopted.insert(asset);
        } else {
            asset = store->insertAsset();
            asset->setFilePath(file.path);
            asset->setBookmark(stored);
        }
        const QString folder = options.flatten ? QString() : file.folder;
        // An adopted record keeps no folder from its earlier run that this run does not give it.
        asset->setFolderPath(folder.isEmpty() ? std::nullopt : std::optional<QString>(folder));
        batch << asset;
    }
    // A run repeated (by cron, say) sends only what the import log does not have from this server.
    if (!options.uploadDuplicates) {
        const QList<DuplicateMatch> skipped =
            findDuplicates(store, connection.serverBookmark()->serverKey(), batch, &checking);
        if (interruptions > 0)
            return stop(Failure{ExitSomeFailed, QStringLiteral("interrupted; nothing was sent")});
        reportSkipped(options, skipped);
        for (const DuplicateMatch &match : skipped) {
            batch.removeOne(match.record.data());
            // One that may have arrived keeps its record, so the next run asks again.
            if (!adopted.contains(match.record))
                store->deleteObject(match.record);
        }
        if (batch.isEmpty()) {
            if (!options.json) {
                std::printf("nothing to upload: the %lld files were uploaded to this server before "
                            "(--upload-duplicates sends them again)\n",
                            qlonglong(skipped.size()));
            } else {
                UploadReport::event({{"event", "batch-done"}, {"uploaded", 0}, {"failed", 0}, {"mayHaveArrived", 0},
                                     {"notSent", QJsonArray()}, {"skipped", skipped.size()},
                                     {"notAdded", added.problems.size()},
                                     {"exitStatus", leftOut ? ExitSomeFailed : ExitSuccess}});
            }
            return leftOut ? ExitSomeFailed : ExitSuccess;
        }
    }
    QStringList folders;
    for (const Asset *asset : std::as_const(batch)) {
        if (asset->folderPath() && !folders.contains(*asset->folderPath()))
            folders << *asset->folderPath();
    }

    CategoryResolver resolver(&connection, &waiter, passwordSource);
    std::unique_ptr<CategoryTreeResolver> preview;
    std::optional<Failure> failure = resolver.checkServer();
    if (!failure && !options.dryRun)
        failure = resolver.loadCategoryTypes();
    if (!failure && options.categoryId)
        failure = resolver.climbTo(*options.categoryId);
    if (!failure && options.dryRun)
        failure = resolver.preview(options.categoryPath, options.create, folders, &preview);
    else if (!failure && !options.categoryId)
        failure = resolver.findTarget(options.categoryPath, options.create);
    if (interruptions > 0)
        failure = Failure{ExitSomeFailed, QStringLiteral("interrupted; nothing was sent")};
    if (failure)
        return stop(*failure);
    if (options.dryRun)
        return dryRun(options, connection, *preview, batch, leftOut);

    QHash<const Asset *, int> indexOf;
    qint64 totalBytes = 0;
    for (const Asset *asset : std::as_const(batch)) {
        indexOf.insert(asset, int(indexOf.size()) + 1);
        totalBytes += fileSize(*asset->filePath());
    }
    progress = std::make_unique<UploadReport>(options.json, int(batch.size()), totalBytes);

    QHash<const Asset *, bool> finished; // true: uploaded, false: failed or may have arrived
    QHash<const Asset *, qint64> sentOf;  // of the files on their way
    int mayHaveArrived = 0;
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
            sentOf.insert(asset, qint64(share * double(fileSize(*asset->filePath()))));
            // Of every file on its way: a handful at most.
            qint64 sent = 0;
            for (const qint64 bytes : std::as_const(sentOf))
                sent += bytes;
            progress->fileProgress(sent);
        }
    });
    center->addObserver(&observer, LMNotification::UploadedAsset, &connection, [&](const Notification &n) {
        if (const Asset *asset = assetOf(n)) {
            sentOf.remove(asset);
            finished.insert(asset, true);
            progress->fileUploaded(*asset->filePath(), indexOf.value(asset), fileSize(*asset->filePath()),
                                   connection.currentAssetImportID());
        }
    });
    center->addObserver(&observer, LMNotification::UploadWaiting, &connection, [&](const Notification &n) {
        const Asset *asset = assetOf(n);
        const QDateTime at = n.userInfo.value(LMUserInfoKey::RetryAt).toDateTime();
        const qint64 seconds = at.isValid() ? (QDateTime::currentDateTimeUtc().msecsTo(at) + 999) / 1000 : -1;
        progress->retryWait(asset ? *asset->filePath() : QString(), indexOf.value(asset),
                            n.userInfo.value(LMUserInfoKey::WaitKind).toString(),
                            std::max<qint64>(seconds, -1), n.userInfo.value(LMUserInfoKey::Attempt).toInt(),
                            n.userInfo.value(LMUserInfoKey::Error).toString());
    });
    center->addObserver(
        &observer, LMNotification::UploadFailedAsset, &connection, [&](const Notification &n) {
            const Asset *asset = assetOf(n);
            sentOf.remove(asset);
            if (asset && n.userInfo.value(LMUserInfoKey::MayHaveArrived).toBool()) {
                finished.insert(asset, false);
                ++mayHaveArrived;
                progress->fileMayHaveArrived(*asset->filePath(), indexOf.value(asset),
                                             n.userInfo.value(LMUserInfoKey::Error).toString());
            } else if (asset) {
                finished.insert(asset, false);
                const QString reason = interruptions > 1 ? QStringLiteral("interrupted while it was sent")
                                                         : n.userInfo.value(LMUserInfoKey::Error).toString();
                progress->fileFailed(*asset->filePath(), indexOf.value(asset), reason);
            }
        });

    LMServerConnection::RetrySettings retry;
    retry.retryForMs = options.retryForMs;
    retry.retries = options.retries;
    connection.setRetrySettings(retry);
    progress->batchStarted(categoryJson(connection));
    batchRunning = true;
    // The machine stays awake while the files go (released at the end, or with the process).
    SleepInhibitor inhibitor(QStringLiteral("lumaro-import is uploading files"));
    inhibitor.hold(&connection);
    connection.startAssetImport(batch);
    bool storeFailure = false;
    if (const auto done = waiter.waitFor({LMNotification::UploadDone})) {
        batchError = done->userInfo.value(LMUserInfoKey::Error).toString();
        storeFailure = done->userInfo.value(LMUserInfoKey::StoreFailure).toBool();
    }
    inhibitor.release(&connection);
    batchRunning = false;

    int uploaded = 0;
    QStringList notSent;
    QList<ManagedObject *> unlogged;
    QList<ManagedObject *> unsent;
    for (Asset *asset : std::as_const(batch)) {
        if (!finished.contains(asset)) {
            notSent << *asset->filePath();
        } else if (finished.value(asset)) {
            ++uploaded;
            if (asset->hasChanges())
                unlogged << asset;
        }
        // Saved only while it was being sent: this program keeps no queue. One that may have
        // arrived stays, so a later run asks about it.
        if (asset->isPending() && asset->uploadState() == Asset::UploadState::Waiting &&
            asset->objectId() > 0 && !adopted.contains(asset)) {
            store->deleteObject(asset);
            unsent << asset;
        }
    }
    store->saveObjects(unsent);
    // The chain saves each entry as it is confirmed; one the store refused then gets a second try.
    QString why;
    const bool logged = unlogged.isEmpty() || store->saveObjects(unlogged, &why);
    if (!logged) {
        for (ManagedObject *asset : std::as_const(unlogged))
            progress->note(QStringLiteral("uploaded, but not written to the import log (%1): %2")
                               .arg(why, *static_cast<Asset *>(asset)->filePath()));
    }
    const int failed = int(finished.size()) - uploaded - mayHaveArrived;
    int status = failed == 0 && mayHaveArrived == 0 && notSent.isEmpty() && logged && !leftOut
                     ? ExitSuccess
                     : ExitSomeFailed;
    if (storeFailure) {
        status = ExitUnusable;
        progress->note(batchError);
    } else if (!batchError.isEmpty() && finished.isEmpty() && interruptions == 0) {
        status = ExitUnusable;
        progress->note(QStringLiteral("cannot use %1: %2").arg(connection.serverBookmark()->urlString(), batchError));
    } else if (!batchError.isEmpty() && interruptions == 0) {
        progress->note(batchError);
    }
    progress->batchDone(uploaded, failed, notSent, int(added.files.size() - batch.size()),
                        int(added.problems.size()), status, mayHaveArrived);
    return status;
}
