// The upload side of LMServerConnection: one import status id per batch, then its files in
// queue order, one at a time or as many at once as the session allows, each streamed as a
// Base64 JSON body by the asset session.
#include "CategoryTreeResolver.h"
#include "CurlUploader.h"
#include "LMRequestRules.h"
#include "LMServerConnection.h"
#include "ProxyRule.h"
#include "TransportFailure.h"
#include "UploadOutcome.h"
#include "platform/NotificationCenter.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QSet>
#include <QTimer>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcConnection)

using namespace LMRequestRules;

namespace {
const QString ImporterName = QStringLiteral("LumaroImporter v2.0");
const QString DataKey = QStringLiteral("assetData");

QVariantMap assetInfo(Asset *asset)
{
    return {{LMUserInfoKey::FileName, asset->fileName()}, {QStringLiteral("asset"), QVariant::fromValue<QObject *>(asset)}};
}

ObjectContext *contextOf(Asset *asset, ObjectContext *fallback)
{
    return asset->managedObjectContext() ? asset->managedObjectContext() : fallback;
}
} // namespace

void LMServerConnection::startAssetImport(const QList<Asset *> &batch)
{
    if (batch.isEmpty()) {
        // Nothing to send, but the caller still hears that the batch is over.
        postLater(LMNotification::UploadDone);
        return;
    }
    m_uploading = true;
    setHaltUpload(false);
    m_batchTargets.clear();
    retrySchedule()->reset();
    m_triesOf.clear();
    m_tries = 0;
    m_pendingEnd.reset();
    QList<QPointer<Asset>> records;
    QStringList folders;
    QSet<QString> seen;
    for (Asset *asset : batch) {
        records.append(asset);
        const QString folder = asset->folderPath().value_or(QString());
        if (!folder.isEmpty() && !seen.contains(folder)) {
            seen.insert(folder);
            folders.append(folder);
        }
    }
    if (folders.isEmpty()) {
        requestImportStatus(records);
        return;
    }
    prepareCategories(records, folders);
}

void LMServerConnection::requestImportStatus(const QList<QPointer<Asset>> &records)
{
    const QJsonObject body{{QStringLiteral("name"), ImporterName},
                           {QStringLiteral("count"), int(records.size())}};
    sendPost(QStringLiteral("/ra/assetImportStatus.json"), body, [this, records](const Reply &reply) {
        if (reply.transportError) {
            endBatch(tr("Could not start the upload: %1")
                         .arg(reply.error.value(LMErrorKey::Description).toString()));
            return;
        }
        const std::optional<QJsonValue> json = decodeJson(reply);
        const QJsonValue id = json && json->isObject() ? json->toObject().value(QLatin1String("id")) : QJsonValue();
        if (!id.isString()) {
            endBatch(tr("Could not start the upload: the server gave no import status id (HTTP %1 %2)")
                         .arg(reply.status)
                         .arg(reply.statusText)
                         .trimmed());
            return;
        }
        m_currentImportQueue = records;
        m_currentAssetImportID = id.toString();
        uploadNextAsset(m_currentAssetImportID);
    });
}

void LMServerConnection::prepareCategories(const QList<QPointer<Asset>> &records, const QStringList &folders)
{
    if (!m_selectedCategory) {
        endBatch(tr("No category is selected."));
        return;
    }
    // Every category the batch needs exists before the first file goes, so no file waits on
    // one, and a branch that cannot be made fails its files before any is counted in.
    auto *resolver =
        new CategoryTreeResolver(this, m_selectedCategory, folders, CategoryTreeResolver::Mode::Create, this);
    resolver->setBasePath(getSelectedCategoryPath());
    m_categoryPhase = resolver;
    postLater(LMNotification::PreparingCategories,
              {{LMUserInfoKey::CategoriesDone, 0},
               {LMUserInfoKey::CategoriesTotal, int(resolver->nodes().size())}});
    connect(resolver, &CategoryTreeResolver::progress, this, [this](int done, int total) {
        post(LMNotification::PreparingCategories,
             {{LMUserInfoKey::CategoriesDone, done}, {LMUserInfoKey::CategoriesTotal, total}});
    });
    connect(resolver, &CategoryTreeResolver::finished, this,
            [this, resolver, records] { categoriesPrepared(resolver, records); });
    resolver->start();
}

void LMServerConnection::categoriesPrepared(CategoryTreeResolver *resolver,
                                            const QList<QPointer<Asset>> &records)
{
    resolver->deleteLater();
    if (haltUpload() || resolver->wasCancelled()) {
        // Halted before any file went: the whole batch is still to send.
        m_currentImportQueue = records;
        endBatch();
        return;
    }
    QList<QPointer<Asset>> remaining;
    for (const QPointer<Asset> &asset : records) {
        if (!asset)
            continue;
        const QString folder = asset->folderPath().value_or(QString());
        if (folder.isEmpty()) {
            remaining.append(asset);
            continue;
        }
        QString why;
        const std::optional<CategoryRecord> category = resolver->categoryFor(folder, &why);
        if (!category) {
            failAsset(asset, why);
            continue;
        }
        m_batchTargets.insert(asset, {*category, resolver->categoryPathOf(folder)});
        remaining.append(asset);
    }
    if (remaining.isEmpty()) {
        endBatch();
        return;
    }
    requestImportStatus(remaining);
}

void LMServerConnection::setHaltUpload(bool halt)
{
    m_haltUpload.store(halt);
    if (halt && m_categoryPhase)
        m_categoryPhase->cancel();
    // A batch waiting to go on ends now; the file it waited with stays queued.
    if (halt && m_uploading && isWaitingToRetry())
        endBatch();
}

RetrySchedule *LMServerConnection::retrySchedule()
{
    if (!m_retry)
        m_retry = new RetrySchedule(this);
    // Read at each decision: a bookmark's setting changed mid-batch counts from then on.
    RetrySchedule::Limits limits;
    limits.retryForMs = m_retrySettings.retryForMs ? *m_retrySettings.retryForMs
                        : m_serverBookmark         ? m_serverBookmark->retryMinutes() * 60000
                                                   : limits.retryForMs;
    limits.retries = m_retrySettings.retries;
    limits.firstWaitMs = m_retrySettings.firstWaitMs;
    limits.longestWaitMs = m_retrySettings.longestWaitMs;
    m_retry->setLimits(limits);
    return m_retry;
}

bool LMServerConnection::isWaitingToRetry() const
{
    return m_retry && m_retry->isWaiting();
}

void LMServerConnection::retryNow()
{
    // Never inside the caller's call: what follows posts notifications.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_retry)
                m_retry->retryNow();
        },
        Qt::QueuedConnection);
}

int LMServerConnection::simultaneousUploads() const
{
    const int count = m_simultaneousUploads ? *m_simultaneousUploads
                      : m_serverBookmark    ? m_serverBookmark->simultaneousUploads()
                                            : 1;
    return std::clamp(count, 1, int(ServerBookmark::MaxSimultaneousUploads));
}

void LMServerConnection::uploadNextAsset(const QString &importStatusID)
{
    if (!m_selectedCategory) {
        endBatch(tr("No category is selected."));
        return;
    }
    if (haltUpload() || m_pendingEnd) {
        endBatch();
        return;
    }
    // A batch waiting to try again sends nothing meanwhile; the files on their way finish.
    if (isWaitingToRetry())
        return;
    const int limit = simultaneousUploads();
    qsizetype at = 0;
    while (m_inFlight.size() < limit) {
        // The next record in queue order that is not on its way already. Records deleted while
        // waiting have nothing left to send, and one uploaded already (its record not yet saved)
        // is never sent again.
        Asset *next = nullptr;
        while (at < m_currentImportQueue.size()) {
            Asset *asset = m_currentImportQueue.at(at);
            if (!asset || !asset->isPending()) {
                m_currentImportQueue.removeAt(at);
                continue;
            }
            ++at;
            bool busy = false;
            for (const QPointer<Asset> &sending : std::as_const(m_inFlight))
                busy = busy || sending == asset;
            if (!busy) {
                next = asset;
                break;
            }
        }
        if (!next)
            break;
        sendAsset(next, importStatusID);
    }
    if (m_inFlight.isEmpty())
        endBatch();
}

void LMServerConnection::sendAsset(Asset *asset, const QString &importStatusID)
{
    m_tries = ++m_triesOf[asset];
    // Each file goes into its own category, with that category's path for the log.
    const auto target = m_batchTargets.constFind(asset);
    const CategoryRecord &category = target != m_batchTargets.cend() ? target->record : *m_selectedCategory;
    asset->setCategoryID(integerValue(category.value(QLatin1String("id"))));
    asset->setCategoryPath(target != m_batchTargets.cend() ? target->path : getSelectedCategoryPath());

    const QJsonObject members{{QStringLiteral("assetFileName"), asset->fileName()},
                              {QStringLiteral("category"), category},
                              {QStringLiteral("importStatusID"), importStatusID}};
    // The file holds its place among those in flight while its record is written.
    const quint64 token = ++m_lastPost;
    m_inFlight.insert(token, asset);
    // Nothing goes that could not be recorded first: a crash then leaves the record saying so.
    recordSending(asset, [this, token, members](Asset *record, const QString &why) {
        if (!record || !why.isEmpty() || haltUpload() || m_pendingEnd || isWaitingToRetry()) {
            m_inFlight.remove(token);
            if (record && !why.isEmpty()) {
                endBatch(QStringLiteral("%1 was not sent, because its record could not be saved: %2")
                             .arg(record->fileName(), why),
                         true);
                return;
            }
            // Stopped (or waiting) while its record was written: never announced, it stays queued
            // and has not been tried.
            if (record) {
                --m_triesOf[record];
                keepQueued(record);
            }
            uploadNextAsset(m_currentAssetImportID);
            return;
        }
        postAsset(record, token, members);
    });
}

void LMServerConnection::postAsset(Asset *asset, quint64 token, const QJsonObject &members)
{
    // Every file of the batch is announced, also one that then cannot be read, so the count
    // the user follows never skips a number.
    QVariantMap announced = assetInfo(asset);
    announced.insert(LMUserInfoKey::InFlight, int(m_inFlight.size()));
    post(LMNotification::UploadingAsset, announced);

    QPointer<Asset> record(asset);
    auto progress = [this, record](qint64 sent, qint64 total) {
        QVariantMap info{{LMUserInfoKey::BytesSent, sent}, {LMUserInfoKey::BytesTotal, total}};
        if (record)
            info.insert(assetInfo(record));
        post(LMNotification::UploadProgress, info);
    };
    sendRequest(
        requestUrl(QStringLiteral("/ra/categoryAssets.json"), true), "POST", {},
        [this, record, token](const Reply &r) {
            m_inFlight.remove(token);
            // What went out, for the log's duplicate check.
            if (record && m_serverBookmark && !r.transportError && r.status >= 200 && r.status <= 299)
                record->setFingerprint(r.fileSize, r.contentHash, m_serverBookmark->serverKey());
            assetRequestFinished(record, r);
        },
        AssetPost{asset->filePath().value_or(QString()), members, progress});
}

void LMServerConnection::dispatchAsset(const std::shared_ptr<Outgoing> &request)
{
    if (!m_assetSession)
        m_assetSession = new CurlUploader(this);
    CurlUploader::Job job;
    job.url = request->url;
    job.filePath = request->asset->filePath;
    job.members = request->asset->members;
    job.dataKey = DataKey;
    job.pinnedCertificate = m_serverBookmark ? m_serverBookmark->trustedCertificate() : QString();
    // The proxy the session's other requests take (none for loopback), in libcurl's terms.
    const ProxyRule::Decision proxy = ProxyRule::fromEnvironment().decide(request->url);
    job.proxy = proxy.curlProxy();
    job.proxyUser = proxy.user;
    job.proxyPassword = proxy.password;
    job.maxBytesPerSecond = m_uploadRateLimit  ? *m_uploadRateLimit
                            : m_serverBookmark ? m_serverBookmark->uploadLimitBytesPerSecond()
                                               : 0;
    job.idleMs = m_timeouts.idleMs;
    job.answerMsPerGiB = m_timeouts.answerMsPerGiB;

    m_assetSession->start(job, request->asset->progress, [this, request, job](const CurlUploader::Result &result) {
        Reply reply;
        reply.finalUrl = request->url;
        if (result.untrustedCertificate) {
            // Decided anew when the bookmark came to trust another certificate meanwhile.
            const QString pinned = m_serverBookmark ? m_serverBookmark->trustedCertificate() : QString();
            if (m_trust == Trust::Open && pinned == job.pinnedCertificate)
                askAboutCertificate(QSslCertificate(result.certificateDer, QSsl::Der), result.certificateErrors(),
                                    request->url);
            if (m_trust == Trust::Refused)
                fail(request, certificateRefused(request->url));
            else
                dispatch(request);
            return;
        }
        reply.transportError = result.transportError;
        reply.lastByteOut = result.lastByteOut;
        reply.retryAfter = result.retryAfter;
        reply.fileSize = result.fileSize;
        reply.contentHash = result.contentHash;
        if (!result.bodyProblem.isEmpty()) {
            reply.error = {{LMErrorKey::Domain, QStringLiteral("LMAssetBody")},
                           {LMErrorKey::Code, 0},
                           {LMErrorKey::Description, result.bodyProblem}};
        } else if (result.transportError) {
            const QString description =
                result.timedOutAfterMs > 0
                    ? (result.connected
                           ? TransportFailure::timedOut(!result.bodySent, result.timedOutAfterMs)
                           : TransportFailure::notConnected(request->url, result.timedOutAfterMs))
                    : TransportFailure::describe(result.code, result.answered, request->url,
                                                 result.stackText);
            reply.error = {{LMErrorKey::Domain, QStringLiteral("libcurl")},
                           {LMErrorKey::Code, result.curlCode},
                           {LMErrorKey::Description, description}};
        } else {
            reply.status = result.status;
            reply.statusText = result.statusText;
            reply.body = result.body;
        }
        noteLoginAnswer(reply);
        request->handler(reply);
    });
}

void LMServerConnection::assetRequestFinished(Asset *asset, const Reply &reply)
{
    if (!asset) {
        m_currentImportQueue.removeIf([](const QPointer<Asset> &record) { return record.isNull(); });
        uploadNextAsset(m_currentAssetImportID);
        return;
    }
    m_tries = m_triesOf.value(asset);
    judgeAsset(asset, reply);
    // The batch was asked to end while this file was on its way.
    endWhenSettled();
}

void LMServerConnection::endWhenSettled()
{
    if (m_pendingEnd && m_inFlight.isEmpty() && m_recordsBeingWritten == 0)
        endBatch(m_pendingEnd->error, m_pendingEnd->storeFailure);
}

void LMServerConnection::judgeAsset(Asset *asset, const Reply &reply)
{
    UploadOutcome::Attempt attempt;
    attempt.transportError = reply.transportError;
    // Failures the connection decided itself (an unreadable file, an unusable address or proxy,
    // a certificate not trusted) would only meet the same again.
    attempt.settled =
        reply.transportError && reply.error.value(LMErrorKey::Domain).toString() != QLatin1String("libcurl");
    attempt.lastByteOut = reply.lastByteOut;
    attempt.status = reply.status;
    attempt.retryAfter = reply.retryAfter;
    const UploadOutcome::Verdict verdict = UploadOutcome::judge(attempt);
    const QString reason = failureReason(reply, std::nullopt);
    switch (verdict.kind) {
    case UploadOutcome::Kind::Uploaded:
        retrySchedule()->answered();
        uploadedAsset(asset);
        return;
    case UploadOutcome::Kind::Refused:
        if (!reply.transportError)
            retrySchedule()->answered();
        failAsset(asset, reason);
        break;
    case UploadOutcome::Kind::NotDelivered:
        if (haltUpload()) {
            // Stopped on the way: the file never arrived and waits for the next batch.
            keepQueued(asset);
            endBatch();
            return;
        }
        notDelivered(asset, reason, verdict.retryAfterMs);
        return;
    case UploadOutcome::Kind::MayHaveArrived: {
        mayHaveArrived(
            asset, haltUpload() && reply.transportError ? tr("Stopped before the server answered.") : reason,
            reply);
        if (!verdict.gateway)
            break;
        m_lastProblem = reason;
        const RetrySchedule::Decision decision = retrySchedule()->gateway();
        if (decision.step == RetrySchedule::Step::Pause) {
            waitThen(LMWaitKind::Paused, decision.waitMs, reason, [this] { probeServer(); });
            return;
        }
        if (decision.step == RetrySchedule::Step::Stop) {
            endBatch(tr("Stopped after %1 failures in a row: %2")
                         .arg(RetrySchedule::FailuresBeforePause)
                         .arg(reason));
            return;
        }
        break;
    }
    }
    uploadNextAsset(m_currentAssetImportID);
}

void LMServerConnection::notDelivered(Asset *asset, const QString &reason, std::optional<qint64> retryAfterMs)
{
    m_lastProblem = reason;
    // Without a network nothing is tried, and nothing counts against the file or the server.
    if (retrySchedule()->retrying() && m_retry->isOffline()) {
        keepQueued(asset);
        m_triesOf[asset] = --m_tries;
        waitThen(LMWaitKind::Offline, 0, reason, [this] { uploadNextAsset(m_currentAssetImportID); });
        return;
    }
    const RetrySchedule::Decision decision = retrySchedule()->notDelivered(m_tries, retryAfterMs);
    switch (decision.step) {
    case RetrySchedule::Step::Retry:
        keepQueued(asset);
        waitThen(LMWaitKind::Retry, decision.waitMs, reason,
                 [this] { uploadNextAsset(m_currentAssetImportID); });
        return;
    case RetrySchedule::Step::Pause:
        keepQueued(asset);
        waitThen(LMWaitKind::Paused, decision.waitMs, reason, [this] { probeServer(); });
        return;
    case RetrySchedule::Step::Stop:
        keepQueued(asset);
        endBatch(m_retry->limits().retryForMs > 0
                     ? tr("Gave up after %1 minutes without reaching the server: %2")
                           .arg(m_retry->troubleMinutes())
                           .arg(reason)
                     : tr("Stopped after %1 failures in a row: %2")
                           .arg(RetrySchedule::FailuresBeforePause)
                           .arg(reason));
        return;
    case RetrySchedule::Step::Fail:
    case RetrySchedule::Step::Next:
        failAsset(asset,
                  m_tries > 1 ? QStringLiteral("%1 (tried %2 times)").arg(reason).arg(m_tries) : reason);
        uploadNextAsset(m_currentAssetImportID);
        return;
    }
}

void LMServerConnection::waitThen(const QString &kind, qint64 ms, const QString &reason,
                                  std::function<void()> then)
{
    QVariantMap info{
        {LMUserInfoKey::WaitKind, kind}, {LMUserInfoKey::Error, reason}, {LMUserInfoKey::Attempt, m_tries}};
    // The file that goes next.
    for (const QPointer<Asset> &next : std::as_const(m_currentImportQueue)) {
        if (next) {
            info.insert(assetInfo(next));
            break;
        }
    }
    if (kind == LMWaitKind::Offline) {
        m_retry->waitForNetwork(std::move(then));
    } else {
        m_retry->wait(ms, std::move(then));
        info.insert(LMUserInfoKey::RetryAt, m_retry->waitingUntil());
    }
    qCInfo(lcConnection) << "upload batch waits:" << kind << ms << "ms;" << reason;
    post(LMNotification::UploadWaiting, info);
}

void LMServerConnection::probeServer()
{
    // The server check's request: cheap, and never a file's body.
    serverCheck([this](int result, const QVariantMap &problem) {
        if (!m_uploading)
            return;
        if (haltUpload()) {
            endBatch();
            return;
        }
        if (result == 0) {
            retrySchedule()->probeAnswered();
            uploadNextAsset(m_currentAssetImportID);
            return;
        }
        const QString reason = problem.value(LMErrorKey::Description, m_lastProblem).toString();
        if (retrySchedule()->isOffline()) {
            waitThen(LMWaitKind::Offline, 0, reason, [this] { probeServer(); });
            return;
        }
        const RetrySchedule::Decision decision = retrySchedule()->probeFailed();
        if (decision.step == RetrySchedule::Step::Stop) {
            endBatch(tr("Gave up after %1 minutes without reaching the server: %2")
                         .arg(m_retry->troubleMinutes())
                         .arg(reason));
            return;
        }
        waitThen(LMWaitKind::Paused, decision.waitMs, reason, [this] { probeServer(); });
    });
}

void LMServerConnection::uploadedAsset()
{
    Asset *head = nullptr;
    for (const QPointer<Asset> &asset : std::as_const(m_currentImportQueue)) {
        if (asset) {
            head = asset;
            break;
        }
    }
    if (!head) {
        m_currentImportQueue.clear();
        uploadNextAsset(m_currentAssetImportID);
        return;
    }
    uploadedAsset(head);
}

void LMServerConnection::uploadedAsset(Asset *asset)
{
    // Stamped when its own answer comes, whatever the files sent before it are doing.
    m_currentImportQueue.removeOne(asset);
    asset->setUploadDateTime(QDateTime::currentDateTimeUtc());
    asset->setUploadState(Asset::UploadState::Waiting);
    // Written before the next file goes, so a crash mid-batch neither loses the log entry nor
    // sends the file again; the written stamp is what the user is told of.
    saveRecord(asset, [this](Asset *record, const QString &why) {
        if (!record) {
            uploadNextAsset(m_currentAssetImportID);
            return;
        }
        QVariantMap info = assetInfo(record);
        info.insert(LMUserInfoKey::InFlight, int(m_inFlight.size()));
        if (!why.isEmpty()) {
            // Uploaded, so never sent again; but a batch that cannot record what it sends stops.
            info.insert(LMUserInfoKey::NotRecorded, why);
            post(LMNotification::UploadedAsset, info);
            endBatch(tr("Stopped: the upload of %1 could not be recorded: %2")
                         .arg(record->fileName(), why),
                     true);
            return;
        }
        post(LMNotification::UploadedAsset, info);
        uploadNextAsset(m_currentAssetImportID);
    });
    // The next file's record is written after this stamp, and its POST waits for that: it may
    // be picked now, which spares a batch of one file at a time a wait on the writer per file.
    uploadNextAsset(m_currentAssetImportID);
}

void LMServerConnection::failAsset(Asset *asset, const QString &reason)
{
    qCWarning(lcConnection) << "upload of" << asset->filePath().value_or(QString()) << "failed:" << reason;
    m_currentImportQueue.removeOne(asset);
    keepQueued(asset);
    QVariantMap info = assetInfo(asset);
    info.insert(LMUserInfoKey::Error, reason);
    info.insert(LMUserInfoKey::InFlight, int(m_inFlight.size()));
    post(LMNotification::UploadFailedAsset, info);
}

void LMServerConnection::mayHaveArrived(Asset *asset, const QString &reason, const Reply &reply)
{
    qCWarning(lcConnection) << "upload of" << asset->filePath().value_or(QString())
                            << "may have arrived:" << reason;
    m_currentImportQueue.removeOne(asset);
    asset->setUploadState(Asset::UploadState::MayHaveArrived, reason);
    if (m_serverBookmark && reply.contentHash)
        asset->setFingerprint(reply.fileSize, reply.contentHash, m_serverBookmark->serverKey());
    // A record the store cannot take says "sending", which reads the same after a restart.
    writeRecord(asset, {});
    QVariantMap info = assetInfo(asset);
    info.insert(LMUserInfoKey::Error, reason);
    info.insert(LMUserInfoKey::MayHaveArrived, true);
    info.insert(LMUserInfoKey::InFlight, int(m_inFlight.size()));
    post(LMNotification::UploadFailedAsset, info);
}

void LMServerConnection::writeRecord(Asset *asset, std::function<void(Asset *, const QString &)> then)
{
    ObjectContext *context = contextOf(asset, m_managedObjectContext);
    if (!context) {
        if (then)
            then(asset, {});
        return;
    }
    // The batch ends only once the file has what it was told.
    ++m_recordsBeingWritten;
    QPointer<LMServerConnection> self(this);
    QPointer<Asset> record(asset);
    context->saveInBackground(
        {asset}, [self, record, then = std::move(then)](bool saved, const QString &error) {
            if (!self)
                return;
            --self->m_recordsBeingWritten;
            if (then)
                then(record, saved ? QString() : error.isEmpty() ? QStringLiteral("unknown error") : error);
            self->endWhenSettled();
        });
}

void LMServerConnection::recordSending(Asset *asset, std::function<void(Asset *, const QString &)> then)
{
    const Asset::UploadState before = asset->uploadState();
    const QString beforeReason = asset->uploadStateReason();
    asset->setUploadState(Asset::UploadState::Sending);
    if (m_serverBookmark)
        asset->setServerKey(m_serverBookmark->serverKey());
    writeRecord(asset,
                [this, before, beforeReason, then = std::move(then)](Asset *record, const QString &why) {
                    if (record && !why.isEmpty()) {
                        record->setUploadState(before, beforeReason);
                        qCWarning(lcConnection) << "not sending" << record->fileName()
                                                << ": its record could not be saved:" << why;
                    }
                    then(record, why);
                });
}

void LMServerConnection::keepQueued(Asset *asset)
{
    if (asset->uploadState() != Asset::UploadState::Sending)
        return;
    asset->setUploadState(Asset::UploadState::Waiting);
    writeRecord(asset, {});
}

void LMServerConnection::saveRecord(Asset *asset, std::function<void(Asset *, const QString &)> then)
{
    writeRecord(asset, [this, then = std::move(then)](Asset *record, const QString &why) {
        if (record && !why.isEmpty()) {
            qCWarning(lcConnection) << "could not record the upload of" << record->fileName() << ":" << why;
            m_unrecorded.append(record);
            if (!m_recordTimer) {
                m_recordTimer = new QTimer(this);
                connect(m_recordTimer, &QTimer::timeout, this, &LMServerConnection::recordLater);
            }
            m_recordTimer->start(std::max(m_retrySettings.firstWaitMs, 1));
        }
        then(record, why);
    });
}

void LMServerConnection::recordLater()
{
    QList<ManagedObject *> records;
    ObjectContext *context = nullptr;
    for (const QPointer<Asset> &asset : std::as_const(m_unrecorded)) {
        if (asset) {
            records.append(asset);
            context = contextOf(asset, m_managedObjectContext);
        }
    }
    if (context && !context->saveObjects(records))
        return;
    m_recordTimer->stop();
    const QList<QPointer<Asset>> recorded = std::exchange(m_unrecorded, {});
    for (const QPointer<Asset> &asset : recorded) {
        if (asset)
            post(LMNotification::UploadRecorded, assetInfo(asset));
    }
}

void LMServerConnection::endBatch(const QString &reason, bool failedStore)
{
    if (m_retry)
        m_retry->cancelWait();
    // Files on their way finish first, each judged and stamped on its own answer, and their
    // records written.
    if (!m_inFlight.isEmpty() || m_recordsBeingWritten > 0) {
        if (!m_pendingEnd)
            m_pendingEnd = PendingEnd{reason, failedStore};
        return;
    }
    QString error = reason;
    bool storeFailure = failedStore;
    if (m_pendingEnd && error.isEmpty()) {
        error = m_pendingEnd->error;
        storeFailure = m_pendingEnd->storeFailure;
    }
    m_pendingEnd.reset();
    m_uploading = false;
    m_batchTargets.clear();
    if (m_retry)
        m_retry->cancelWait();
    QVariantMap info;
    if (!error.isEmpty())
        info.insert(LMUserInfoKey::Error, error);
    if (storeFailure)
        info.insert(LMUserInfoKey::StoreFailure, true);
    postLater(LMNotification::UploadDone, info);
}
