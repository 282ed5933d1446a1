#pragma once

#include "DevServer.h"
#include "NotificationRecorder.h"
#include "connection/LMServerConnection.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QUrlQuery>

#include <memory>

// A bookmark on a dev server, its connection and a recorder of everything the connection posts.
struct ConnectionKit {
    ObjectContext context;
    ServerBookmark *bookmark = nullptr;
    std::unique_ptr<LMServerConnection> connection;
    std::unique_ptr<NotificationRecorder> recorder;

    ConnectionKit(quint16 port, const QString &user = QStringLiteral("admin"),
                  const QString &password = QStringLiteral("lumaro"))
    {
        bookmark = context.insertBookmark();
        bookmark->setHostName(QStringLiteral("127.0.0.1"));
        bookmark->setSecureConnect(false);
        bookmark->setPortNumber(port);
        bookmark->setUserName(user);
        bookmark->setPassword(password);
        connection = std::make_unique<LMServerConnection>(bookmark);
        // A failed file fails at once, unless a test turns retries on.
        connection->setRetrySettings({qint64(0), std::nullopt, 2000, 300000});
        recorder = std::make_unique<NotificationRecorder>(
            connection.get(),
            QStringList{LMNotification::GotFullURL, LMNotification::CheckedServer,
                        LMNotification::RetrievedCategoryTypes, LMNotification::HasCategories,
                        LMNotification::HasCategoryPath, LMNotification::CreatedNewCategory,
                        LMNotification::CreateCategoryFailed,
                        LMNotification::UploadingAsset, LMNotification::UploadedAsset,
                        LMNotification::UploadFailedAsset, LMNotification::UploadDone});
    }
};

inline qint64 recordId(const QJsonObject &record)
{
    return qint64(record.value(QStringLiteral("id")).toDouble(-1));
}

// What the server was asked, one entry per request: "GET top", "GET 5", "+name<3" for a category
// created below category 3 (a parent structure of another form shows as "<?"), "status 4" for an
// import status of four files, "name>3" for a file sent into category 3.
inline QStringList requestSummary(const DevServer &server)
{
    QStringList out;
    for (const QJsonObject &request : server.requests()) {
        const QString resource = request.value(QStringLiteral("resource")).toString();
        const QJsonObject body = requestBody(request);
        if (request.value(QStringLiteral("method")).toString() == QLatin1String("GET")) {
            out << (resource == QLatin1String("/ra/categories.json")
                        ? QStringLiteral("GET top")
                        : QStringLiteral("GET ") + resource.section(QLatin1Char('/'), 3).chopped(5));
        } else if (resource == QLatin1String("/ra/categories.json")) {
            QString entry = QLatin1Char('+') + body.value(QStringLiteral("name")).toString();
            if (body.contains(QStringLiteral("parentCategoryStructures"))) {
                const QJsonArray parents = body.value(QStringLiteral("parentCategoryStructures")).toArray();
                const QJsonObject parent = parents.first().toObject();
                const qint64 id = recordId(parent.value(QStringLiteral("parentCategory")).toObject());
                const bool usual = parents.size() == 1 &&
                                   parent.value(QStringLiteral("directReferenceCount")) == 1 &&
                                   parent.value(QStringLiteral("inheritedReferenceCount")) == 0 &&
                                   parent.value(QStringLiteral("parentCategory")).toObject().size() == 1;
                entry += QLatin1Char('<') + (usual ? QString::number(id) : QStringLiteral("?"));
            }
            out << entry;
        } else if (resource == QLatin1String("/ra/assetImportStatus.json")) {
            out << QStringLiteral("status %1").arg(body.value(QStringLiteral("count")).toInt());
        } else if (resource == QLatin1String("/ra/categoryAssets.json")) {
            out << body.value(QStringLiteral("assetFileName")).toString() + QLatin1Char('>') +
                       QString::number(recordId(body.value(QStringLiteral("category")).toObject()));
        } else {
            out << request.value(QStringLiteral("method")).toString() + QLatin1Char(' ') + resource;
        }
    }
    return out;
}
