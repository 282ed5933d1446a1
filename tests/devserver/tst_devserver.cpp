// Checks of lumaro-devserver itself, driven through the same DevServer helper
// and Qt networking the client tests use.

#include "DevServer.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QtTest>

namespace {

struct Answer {
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QJsonDocument json() const { return QJsonDocument::fromJson(body); }
};

// Percent-encodes every value completely, the way a correct client must.
QUrl loginUrl(const DevServer &server, const QString &resource, const QString &user = QStringLiteral("admin"),
              const QString &password = QStringLiteral("lumaro"))
{
    const QByteArray query = "loginName=" + QUrl::toPercentEncoding(user) +
                             "&password=" + QUrl::toPercentEncoding(password) + "&roleName=CategoryAdmin";
    return QUrl::fromEncoded((server.baseUrl() + resource).toUtf8() + '?' + query, QUrl::StrictMode);
}

Answer exchange(const QUrl &url, const QByteArray &postBody = QByteArray())
{
    QNetworkAccessManager nam;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Qt's default label for a POST body; the server must read JSON regardless.
    if (!postBody.isNull())
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = postBody.isNull() ? nam.get(request) : nam.post(request, postBody);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    Answer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.error = reply->isFinished() ? reply->error() : QNetworkReply::TimeoutError;
    answer.body = reply->readAll();
    reply->deleteLater();
    return answer;
}

QByteArray assetBody(const QByteArray &data, const QString &fileName, const QString &importStatusId,
                     const QByteArray &base64 = QByteArray())
{
    const QJsonObject body{{"assetFileName", fileName},
                           {"assetData", QString::fromLatin1(base64.isNull() ? data.toBase64() : base64)},
                           {"category", QJsonObject{{"id", 3}}},
                           {"importStatusID", importStatusId}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace

class TestDevServer : public QObject {
    Q_OBJECT
private slots:
    void aboutsNeedsNoLoginAndIsLogged();
    void loginValuesArePercentDecoded();
    void createdCategoryJoinsTheTree();
    void uploadWritesDecodedBytesOnlyForValidBase64();
    void faultHitsOnlyTheNthRequest();
    void dropFaultIsATransportError();
    void discardModeOnlyCountsBytes();
    void freeClosedPortRefuses();
};

void TestDevServer::aboutsNeedsNoLoginAndIsLogged()
{
    DevServer server({"--identity", "feedc0de"});
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    const Answer about = exchange(QUrl(server.baseUrl() + "/ra/abouts.json"));
    QCOMPARE(about.status, 200);
    QCOMPARE(about.json()["LumaroUID"].toString(), QStringLiteral("feedc0de"));
    QCOMPARE(exchange(QUrl(server.baseUrl() + "/ra/categoryTypes.json")).status, 401);

    QVERIFY(server.waitForRequests(2));
    const QList<QJsonObject> log = server.requests();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0]["resource"].toString(), QStringLiteral("/ra/abouts.json"));
    QCOMPARE(log[1]["status"].toInt(), 401);
}

void TestDevServer::loginValuesArePercentDecoded()
{
    const QString user = QStringLiteral("Jürgen Müller");
    const QString password = QStringLiteral("p a&s+s=w%o#rd");
    DevServer server({"--user", user + ':' + password});
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));

    QCOMPARE(exchange(loginUrl(server, "/ra/categoryTypes.json", user, password)).status, 200);
    const QJsonObject query = server.requests().last()["query"].toObject();
    QCOMPARE(query["loginName"].toString(), user);
    QCOMPARE(query["password"].toString(), password);

    // A literal "+" reads as a space, so a client that leaves it unencoded is refused.
    QByteArray sloppy = loginUrl(server, "/ra/categoryTypes.json", user, password).toEncoded();
    sloppy.replace("%2B", "+");
    QCOMPARE(exchange(QUrl::fromEncoded(sloppy, QUrl::StrictMode)).status, 401);
    QCOMPARE(exchange(loginUrl(server, "/ra/categoryTypes.json", user, password + 'x')).status, 401);
}

void TestDevServer::createdCategoryJoinsTheTree()
{
    DevServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    const QJsonObject request{
        {"name", "Autumn"},
        {"categoryType", QJsonObject{{"id", 7}}},
        {"parentCategoryStructures", QJsonArray{QJsonObject{{"directReferenceCount", 1},
                                                            {"inheritedReferenceCount", 0},
                                                            {"parentCategory", QJsonObject{{"id", 6}}}}}}};
    const Answer created = exchange(loginUrl(server, "/ra/categories.json"),
                                    QJsonDocument(request).toJson(QJsonDocument::Compact));
    QCOMPARE(created.status, 200);
    const int id = created.json()["id"].toInt();
    QVERIFY(id > 23);

    const Answer parent = exchange(loginUrl(server, "/ra/categories/6.json"));
    QStringList children;
    for (const QJsonValue &child : parent.json()["directChildCategoryStructuresSorted"].toArray())
        children << child["childCategory"]["name"].toString();
    QCOMPARE(children, QStringList({"Autumn", "Events"}));

    const Answer fetched = exchange(loginUrl(server, QStringLiteral("/ra/categories/%1.json").arg(id)));
    QCOMPARE(fetched.json()["parentCategoryStructures"][0]["parentCategory"]["id"].toInt(), 6);

    QJsonObject orphan = request;
    orphan["parentCategoryStructures"] =
        QJsonArray{QJsonObject{{"parentCategory", QJsonObject{{"id", 999}}}}};
    QCOMPARE(exchange(loginUrl(server, "/ra/categories.json"), QJsonDocument(orphan).toJson()).status, 400);
}

void TestDevServer::uploadWritesDecodedBytesOnlyForValidBase64()
{
    DevServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    const Answer status =
        exchange(loginUrl(server, "/ra/assetImportStatus.json"), R"({"name":"t","count":2})");
    QCOMPARE(status.json()["id"].toString(), QStringLiteral("1"));

    QByteArray data;
    for (int i = 0; i < 70000; ++i)
        data.append(char(i * 7));
    QCOMPARE(
        exchange(loginUrl(server, "/ra/categoryAssets.json"), assetBody(data, "../Grüße.bin", "1")).status,
        200);
    QCOMPARE(exchange(loginUrl(server, "/ra/categoryAssets.json"), assetBody({}, "bad.bin", "1", "aGVsbG8"))
                 .status,
             400);

    const QStringList saved = QDir(server.uploadDir()).entryList(QDir::Files);
    QCOMPARE(saved, QStringList({QStringLiteral("1-_._Grüße.bin")}));
    QFile file(QDir(server.uploadDir()).filePath(saved.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), data);
}

void TestDevServer::faultHitsOnlyTheNthRequest()
{
    DevServer server({"--fault", "GET /ra/categoryTypes.json#2=status:503"});
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    const QUrl url = loginUrl(server, "/ra/categoryTypes.json");
    QCOMPARE(exchange(url).status, 200);
    QCOMPARE(exchange(url).status, 503);
    QCOMPARE(exchange(url).status, 200);
    QCOMPARE(server.requests()[1]["fault"].toString(), QStringLiteral("status:503"));
}

void TestDevServer::dropFaultIsATransportError()
{
    DevServer server({"--fault", "POST /ra/categoryAssets.json=drop"});
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    exchange(loginUrl(server, "/ra/assetImportStatus.json"), R"({"name":"t","count":1})");
    const Answer dropped =
        exchange(loginUrl(server, "/ra/categoryAssets.json"), assetBody("abc", "a.txt", "1"));
    QVERIFY(dropped.error != QNetworkReply::NoError);
    QVERIFY(dropped.error != QNetworkReply::TimeoutError);
    QVERIFY(QDir(server.uploadDir()).entryList(QDir::Files).isEmpty());
}

void TestDevServer::discardModeOnlyCountsBytes()
{
    DevServer server({"--discard-bodies"});
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    const QByteArray body(3 * 1024 * 1024, 'x'); // not even JSON: discard mode never parses
    const Answer answer = exchange(loginUrl(server, "/ra/categoryAssets.json"), body);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.json()["received"].toInteger(), body.size());
    const QJsonObject logged = server.requests().last();
    QCOMPARE(logged["bodySize"].toInteger(), body.size());
    QVERIFY(!logged.contains("body"));
}

void TestDevServer::freeClosedPortRefuses()
{
    const quint16 port = DevServer::freeClosedPort();
    QVERIFY(port != 0);
    const Answer answer = exchange(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    QCOMPARE(answer.error, QNetworkReply::ConnectionRefusedError);
}

QTEST_GUILESS_MAIN(TestDevServer)
#include "tst_devserver.moc"
