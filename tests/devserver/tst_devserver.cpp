// Checks of lumaro-devserver itself where a lenient server would let a faulty client pass,
// driven through the same DevServer helper and Qt networking the client tests use.

#include "DevServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QtTest>

namespace {

struct Answer {
    int status = 0;
    QJsonDocument json;
};

Answer post(const DevServer &server, const QString &resource, const QByteArray &body)
{
    QNetworkAccessManager nam;
    QNetworkRequest request(
        QUrl(server.baseUrl() + resource + "?loginName=admin&password=lumaro&roleName=CategoryAdmin"));
    // Qt's default label for a POST body; the server must read JSON regardless.
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply *reply = nam.post(request, body);
    QSignalSpy(reply, &QNetworkReply::finished).wait(10000);
    const Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                        QJsonDocument::fromJson(reply->readAll())};
    reply->deleteLater();
    return answer;
}

QByteArray assetBody(const QString &fileName, const QByteArray &base64)
{
    const QJsonObject body{{"assetFileName", fileName},
                           {"assetData", QString::fromLatin1(base64)},
                           {"category", QJsonObject{{"id", 3}}},
                           {"importStatusID", "1"}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace

class TestDevServer : public QObject {
    Q_OBJECT
private slots:
    // What a client sent must be what lands on disk; a name cannot leave the upload folder.
    void uploadWritesDecodedBytesOnlyForValidBase64()
    {
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const Answer status = post(server, "/ra/assetImportStatus.json", R"({"name":"t","count":2})");
        QCOMPARE(status.json["id"].toString(), QStringLiteral("1"));

        QByteArray data;
        for (int i = 0; i < 70000; ++i)
            data.append(char(i * 7));
        const QByteArray valid = assetBody("../Grüße.bin", data.toBase64());
        QCOMPARE(post(server, "/ra/categoryAssets.json", valid).status, 200);
        QCOMPARE(post(server, "/ra/categoryAssets.json", assetBody("bad.bin", "aGVsbG8")).status, 400);

        const QStringList saved = QDir(server.uploadDir()).entryList(QDir::Files);
        QCOMPARE(saved, QStringList({QStringLiteral("1-_._Grüße.bin")}));
        QFile file(QDir(server.uploadDir()).filePath(saved.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), data);
    }

    void discardModeOnlyCountsBytes()
    {
        DevServer server({"--discard-bodies"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const QByteArray body(3 * 1024 * 1024, 'x'); // not even JSON: discard mode never parses
        const Answer answer = post(server, "/ra/categoryAssets.json", body);
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.json["received"].toInteger(), body.size());
        const QJsonObject logged = server.requests().last();
        QCOMPARE(logged["bodySize"].toInteger(), body.size());
        QVERIFY(!logged.contains("body"));
    }
};

QTEST_GUILESS_MAIN(TestDevServer)
#include "tst_devserver.moc"
