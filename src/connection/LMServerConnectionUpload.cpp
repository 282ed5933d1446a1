// The upload side of LMServerConnection: one import status id per batch, then one file at a
// time, each streamed as a Base64 JSON body.
#include "AssetBodyDevice.h"
#include "LMRequestRules.h"
#include "LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkReply>

Q_DECLARE_LOGGING_CATEGORY(lcConnection)

using namespace LMRequestRules;

namespace {
const QString ImporterName = QStringLiteral("LumaroImporter v2.0");

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
    const QJsonObject body{{QStringLiteral("name"), ImporterName}, {QStringLiteral("count"), int(batch.size())}};
    setHaltUpload(false);
    QList<QPointer<Asset>> records;
    for (Asset *asset : batch)
        records.append(asset);
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
    const QJsonValue categoryID = m_selectedCategory->value(QLatin1String("id"));
    asset->setCategoryID(integerValue(categoryID));
    asset->setCategoryPath(getSelectedCategoryPath());

    const QJsonObject members{{QStringLiteral("assetFileName"), asset->fileName()},
                              {QStringLiteral("category"), *m_selectedCategory},
                              {QStringLiteral("importStatusID"), importStatusID}};
    auto *body = new AssetBodyDevice(asset->filePath().value_or(QString()), members, QStringLiteral("assetData"), this);
    // Every file of the batch is announced, also one that then cannot be read, so the count
    // the user follows never skips a number.
    post(LMNotification::UploadingAsset, assetInfo(asset));
    QString reason;
    if (!body->openBody(&reason)) {
        delete body;
        // Go on with the next file from the event loop, so a long run of unreadable files
        // neither nests calls nor holds the window.
        failAsset(asset, reason);
        QMetaObject::invokeMethod(this, [this] { uploadNextAsset(m_currentAssetImportID); }, Qt::QueuedConnection);
        return;
    }

    QPointer<Asset> record(asset);
    // Progress is for people: a few updates a second are plenty. Hooked to every reply made for
    // the request, also one sent after a certificate was trusted.
    auto reportProgress = [this, record](QNetworkReply *reply) {
        auto *clock = new QElapsedTimer;
        clock->start();
        connect(reply, &QNetworkReply::uploadProgress, this, [this, record, clock](qint64 sent, qint64 total) {
            if (sent != total && clock->elapsed() < 50)
                return;
            clock->restart();
            QVariantMap info{{LMUserInfoKey::BytesSent, sent}, {LMUserInfoKey::BytesTotal, total}};
            if (record)
                info.insert(assetInfo(record));
            post(LMNotification::UploadProgress, info);
        });
        connect(reply, &QObject::destroyed, this, [clock] { delete clock; });
    };
    sendRequest(requestUrl(QStringLiteral("/ra/categoryAssets.json"), true), "POST", body, {},
                [this, record, body](const Reply &r) {
                    body->deleteLater();
                    // What went out, for the log's duplicate check.
                    if (record && m_serverBookmark && !r.transportError && r.status >= 200 && r.status <= 299)
                        record->setFingerprint(body->fileSize(), body->contentHash(), m_serverBookmark->serverKey());
                    assetRequestFinished(record, r);
                },
                reportProgress);
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
    QVariantMap info;
    if (!error.isEmpty())
        info.insert(LMUserInfoKey::Error, error);
    postLater(LMNotification::UploadDone, info);
}
