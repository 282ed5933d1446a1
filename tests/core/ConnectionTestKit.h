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
