// The upload side of LMServerConnection: one import status id per batch, then one file at a
// time, each streamed as a Base64 JSON body by the asset session.
#include "CategoryTreeResolver.h"
#include "CurlUploader.h"
#include "LMRequestRules.h"
#include "LMServerConnection.h"
#include "ProxyRule.h"
#include "TransportFailure.h"
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

Q_DECLARE_LOGGING_CATEGORY(lcConnection)

using namespace LMRequestRules;

namespace {
const QString ImporterName = QStringLiteral("LumaroImporter v2.0");
const QString DataKey = QStringLiteral("assetData");

QVariantMap assetInfo(Asset *asset)
{
    return {{LMUserInfoKey::FileName, asset->fileName()}, {QStringLiteral("asset"), QVariant::fromValue<QObject *>(asset)}};
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
            endBatch(QStringLiteral("Could not start the upload: %1")
                         .arg(reply.error.value(LMErrorKey::Description).toString()));
            return;
        }
        const std::optional<QJsonValue> json = decodeJson(reply);
        const QJsonValue id = json && json->isObject() ? json->toObject().value(QLatin1String("id")) : QJsonValue();
        if (!id.isString()) {
            endBatch(QStringLiteral("Could not start the upload: the server gave no import status id (HTTP %1 %2)")
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
        endBatch(QStringLiteral("No category is selected."));
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
}

void LMServerConnection::uploadNextAsset(const QString &importStatusID)
{
    if (!m_selectedCategory) {
        endBatch(QStringLiteral("No category is selected."));
        return;
    }
    if (haltUpload() || m_currentImportQueue.isEmpty()) {
        endBatch();
        return;
    }
    // Records deleted while waiting have nothing left to send.
    Asset *asset = m_currentImportQueue.constFirst();
    if (!asset) {
        m_currentImportQueue.removeFirst();
        uploadNextAsset(importStatusID);
        return;
    }
    // Each file goes into its own category, with that category's path for the log.
    const auto target = m_batchTargets.constFind(asset);
    const CategoryRecord &category = target != m_batchTargets.cend() ? target->record : *m_selectedCategory;
    asset->setCategoryID(integerValue(category.value(QLatin1String("id"))));
    asset->setCategoryPath(target != m_batchTargets.cend() ? target->path : getSelectedCategoryPath());

    const QJsonObject members{{QStringLiteral("assetFileName"), asset->fileName()},
                              {QStringLiteral("category"), category},
                              {QStringLiteral("importStatusID"), importStatusID}};
    // Every file of the batch is announced, also one that then cannot be read, so the count
    // the user follows never skips a number.
    post(LMNotification::UploadingAsset, assetInfo(asset));

    QPointer<Asset> record(asset);
    auto progress = [this, record](qint64 sent, qint64 total) {
        QVariantMap info{{LMUserInfoKey::BytesSent, sent}, {LMUserInfoKey::BytesTotal, total}};
        if (record)
            info.insert(assetInfo(record));
        post(LMNotification::UploadProgress, info);
    };
    sendRequest(requestUrl(QStringLiteral("/ra/categoryAssets.json"), true), "POST", {},
                [this, record](const Reply &r) {
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
            reply.fileSize = result.fileSize;
            reply.contentHash = result.contentHash;
        }
        request->handler(reply);
    });
}

void LMServerConnection::assetRequestFinished(Asset *asset, const Reply &reply)
{
    if (!asset) {
        if (!m_currentImportQueue.isEmpty())
            m_currentImportQueue.removeFirst();
        uploadNextAsset(m_currentAssetImportID);
        return;
    }
    if (reply.transportError) {
        failAsset(asset, reply.error.value(LMErrorKey::Description).toString());
    } else if (reply.status < 200 || reply.status > 299) {
        failAsset(asset, failureReason(reply, std::nullopt));
    } else {
        uploadedAsset();
        return;
    }
    uploadNextAsset(m_currentAssetImportID);
}

void LMServerConnection::uploadedAsset()
{
    if (m_currentImportQueue.isEmpty()) {
        uploadNextAsset(m_currentAssetImportID);
        return;
    }
    Asset *asset = m_currentImportQueue.takeFirst();
    if (asset) {
        asset->setUploadDateTime(QDateTime::currentDateTimeUtc());
        saveRecord(asset);
        post(LMNotification::UploadedAsset, assetInfo(asset));
    }
    uploadNextAsset(m_currentAssetImportID);
}

void LMServerConnection::failAsset(Asset *asset, const QString &reason)
{
    qCWarning(lcConnection) << "upload of" << asset->filePath().value_or(QString()) << "failed:" << reason;
    m_currentImportQueue.removeOne(asset);
    QVariantMap info = assetInfo(asset);
    info.insert(LMUserInfoKey::Error, reason);
    post(LMNotification::UploadFailedAsset, info);
}

void LMServerConnection::saveRecord(Asset *asset)
{
    // Saved at once, so a crash mid-batch neither loses the log entry nor sends the file again.
    ObjectContext *context = asset->managedObjectContext() ? asset->managedObjectContext() : m_managedObjectContext;
    if (!context)
        return;
    QString error;
    if (!context->saveObjects({asset}, &error))
        qCWarning(lcConnection) << "could not record the upload of" << asset->fileName() << ":" << error;
}

void LMServerConnection::endBatch(const QString &error)
{
    m_uploading = false;
    m_batchTargets.clear();
    QVariantMap info;
    if (!error.isEmpty())
        info.insert(LMUserInfoKey::Error, error);
    postLater(LMNotification::UploadDone, info);
}
