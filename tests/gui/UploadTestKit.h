#pragma once

// Shared by the upload view, relaunch and import log tests: a session window opened
// straight into the upload view against its own DevServer, and files to queue.

#include "SessionTestKit.h"

#include "session/LMAssetBrowser.h"
#include "session/LMSessionUploadViewController.h"
#include "store/Asset.h"

#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <memory>

namespace UploadTestKit {

using namespace SessionTestKit;

// Category 3 of the sample tree ("Spring", below "Photos" and "2024").
inline constexpr qint64 kSpringCategory = 3;

// One session window on its own server, shown in the upload view with "Spring" selected.
class UploadSession {
public:
    UploadSession(ObjectContext *context, const QString &bookmarkName, const QStringList &serverArgs = {})
        : server(serverArgs)
    {
        if (!server.isRunning())
            return;
        bookmark = makeBookmark(context, server, bookmarkName);
        // A session last left in the upload view reopens there once the path is rebuilt.
        bookmark->setLastCategoryView(LMSessionWindowController::UploadViewName);
        bookmark->setLastCategoryID(kSpringCategory);
        context->save();
        session = openSession(Storyboard::main(), bookmark);
    }
    ~UploadSession() { closeSession(session); }
    UploadSession(const UploadSession &) = delete;
    UploadSession &operator=(const UploadSession &) = delete;

    // Waits until the upload view is the content and the target category is known.
    bool waitUntilReady()
    {
        return session && waitForContent(session, session->uploadView()) &&
               QTest::qWaitFor(
                   [this] { return recordId(connection()->selectedCategory()) == kSpringCategory; },
                   kTimeout);
    }

    [[nodiscard]] LMSessionUploadViewController *upload() const
    {
        return session ? session->uploadView() : nullptr;
    }
    [[nodiscard]] LMServerConnection *connection() const
    {
        return session ? session->serverConnection() : nullptr;
    }
    [[nodiscard]] LMAssetBrowser *browser() const { return upload()->assetBrowser(); }
    [[nodiscard]] QAbstractItemView *list() const { return browser()->columnView(0); }
    [[nodiscard]] QString status() const { return upload()->uploadStatusField()->text(); }
    // Neither comparing the queue with the log nor uploading.
    [[nodiscard]] bool isIdle() const
    {
        return !upload()->uploadInProgress() && !upload()->checkingForDuplicates();
    }

    DevServer server;
    ServerBookmark *bookmark = nullptr;
    QPointer<LMSessionWindowController> session;
};

// Writes a file with the given bytes, making folders as needed; returns its path.
inline QString writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

// count files "name-<n>.txt" in folder, each with distinct content; paths in order.
inline QStringList writeFiles(const QString &folder, int count, qsizetype size = 64,
                              const QString &stem = QStringLiteral("file"))
{
    QStringList paths;
    for (int n = 1; n <= count; ++n) {
        QByteArray content = QStringLiteral("%1 %2 ").arg(stem).arg(n).toUtf8();
        while (content.size() < size)
            content += char('a' + (content.size() * 7 + n) % 26);
        paths.append(
            writeFile(QStringLiteral("%1/%2-%3.txt").arg(folder, stem).arg(n, 2, 10, QLatin1Char('0')),
                      content.left(std::max<qsizetype>(size, 1))));
    }
    return paths;
}

inline QList<QUrl> fileUrls(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

inline QStringList filePaths(const QList<Asset *> &records)
{
    QStringList paths;
    for (const Asset *record : records)
        paths.append(record->filePath().value_or(QString()));
    return paths;
}

// The categories the server holds below one, as "name/name" paths with their ids (several for
// twins), asked of the server itself.
inline QMultiHash<QString, qint64> categoriesBelow(const DevServer &server, qint64 id,
                                                   const QStringList &login = {"admin", "lumaro"},
                                                   const QString &prefix = {})
{
    QMultiHash<QString, qint64> found;
    QNetworkAccessManager manager;
    QUrl url(server.baseUrl() + QStringLiteral("/ra/categories/%1.json").arg(id));
    url.setQuery(QUrlQuery{
        {"loginName", login.value(0)}, {"password", login.value(1)}, {"roleName", "CategoryAdmin"}});
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!done.wait(kTimeout))
        return found;
    const QJsonObject record = QJsonDocument::fromJson(reply->readAll()).object();
    delete reply;
    for (const QJsonValue &structure : record.value("directChildCategoryStructuresSorted").toArray()) {
        const QJsonObject child = structure["childCategory"].toObject();
        const QString path = prefix + child.value("name").toString();
        found.insert(path, child.value("id").toInteger());
        found.unite(categoriesBelow(server, child.value("id").toInteger(), login, path + QLatin1Char('/')));
    }
    return found;
}

} // namespace UploadTestKit
