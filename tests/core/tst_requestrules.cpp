#include "TestEnvironment.h"
#include "connection/AssetBody.h"
#include "connection/LMRequestRules.h"
#include "connection/SendOnceBuffer.h"
#include "connection/ServerAddress.h"
#include "platform/ConsoleLog.h"
#include "platform/DisplayName.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace LMRequestRules;
using namespace Qt::StringLiterals;

class TestRequestRules : public QObject {
    Q_OBJECT
private slots:
    void queryValueEncoding_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("encoded");
        // Separators and UTF-8 as typed into a login: tst_connection's loginValuesArriveAsTyped.
        QTest::newRow("unreserved") << "Az09-._~" << "Az09-._~";
        QTest::newRow("space and slash") << "p w/x" << "p%20w%2Fx";
        QTest::newRow("astral") << QString::fromUtf8("\xf0\x9f\x93\xb7") << "%F0%9F%93%B7";
        QTest::newRow("empty") << "" << "";
    }

    void queryValueEncoding()
    {
        QFETCH(QString, value);
        QFETCH(QString, encoded);
        QCOMPARE(percentEncodeQueryValue(value), encoded);
        // Whatever the user typed, the query keeps exactly its three parameters.
        const QString query = loginQuery(value, value);
        QCOMPARE(query.count(QLatin1Char('&')), 2);
        QVERIFY(query.endsWith(QLatin1String("&roleName=CategoryAdmin")));
    }

    void rootReply_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QVariant>("location");
        QTest::addColumn<QUrl>("finalUrl");
        QTest::addColumn<QString>("expected");
        const QUrl root(QStringLiteral("http://h/"));
        QTest::newRow("200 after redirect") << 200 << QVariant()
                                            << QUrl("http://h:8080/cgi-bin/WebObjects/Lumaro.woa/")
                                            << "cgi-bin/WebObjects/Lumaro.woa";
        QTest::newRow("200 percent-decoded") << 200 << QVariant() << QUrl("http://h/my%20app/") << "my app";
        QTest::newRow("302 relative") << 302 << QVariant(QByteArray("/cgi-bin/x")) << root << "cgi-bin/x";
        QTest::newRow("302 absolute")
            << 302 << QVariant(QByteArray("https://other:8443/apps/Lumaro.woa")) << root << "apps/Lumaro.woa";
        QTest::newRow("500 with location") << 500 << QVariant(QByteArray("/x")) << root << "";
    }

    void rootReply()
    {
        QFETCH(int, status);
        QFETCH(QVariant, location);
        QFETCH(QUrl, finalUrl);
        QFETCH(QString, expected);
        const auto loc = location.isValid() ? std::optional(location.toByteArray()) : std::nullopt;
        QCOMPARE(appPathFromRootReply(status, loc, finalUrl), expected);
    }

    void timestampIsUtcOn24HourClock()
    {
        const QDateTime afternoon(QDate(2015, 3, 7), QTime(15, 4, 5), Qt::UTC);
        QCOMPARE(categoryTimestamp(afternoon), QStringLiteral("2015-03-07T15:04:05Z"));
        // A local time is turned into UTC, not merely labelled with Z.
        const QDateTime zoned(QDate(2015, 3, 7), QTime(3, 4, 5), QTimeZone(3600));
        QCOMPARE(categoryTimestamp(zoned), QStringLiteral("2015-03-07T02:04:05Z"));
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("value"); // empty: no integer
        QTest::newRow("int") << QByteArray("[42]") << "42";
        QTest::newRow("negative") << QByteArray("[-1]") << "-1";
        QTest::newRow("fraction") << QByteArray("[4.5]") << "";
        QTest::newRow("string") << QByteArray("[\"42\"]") << "";
        QTest::newRow("bool") << QByteArray("[true]") << "";
        QTest::newRow("null") << QByteArray("[null]") << "";
        QTest::newRow("huge") << QByteArray("[1e300]") << "";
    }

    void integers()
    {
        QFETCH(QByteArray, json);
        const std::optional<qint64> got = integerValue(QJsonDocument::fromJson(json).array().at(0));
        QTEST(got ? QString::number(*got) : QString(), "value");
    }

    void childListChoice()
    {
        auto parse = [](const char *text) { return QJsonDocument::fromJson(text).object(); };
        // An empty preferred list is still the list.
        auto children = childRecords(parse(R"({"directChildCategoryStructuresSorted":[],
            "visibleChildCategoryStructures":[{"childCategory":{"id":1}}]})"));
        QVERIFY(children && children->isEmpty());
        children = childRecords(parse(R"({"visibleChildCategoryStructures":)"
                                      R"([{"childCategory":{"id":1}},{"childCategory":{"id":2}}]})"));
        QVERIFY(children);
        QCOMPARE(children->size(), 2);
        QCOMPARE(children->at(1).value("id").toInt(), 2);
        // Structures of the wrong shape are skipped rather than trusted.
        children = childRecords(parse(R"({"directChildCategoryStructuresSorted":)"
                                      R"([7,{"x":1},{"childCategory":"no"},{"childCategory":{"id":3}}]})"));
        QVERIFY(children);
        QCOMPARE(children->size(), 1);
        QVERIFY(!childRecords(parse(R"({"id":5})")));
        QVERIFY(!childRecords(parse(R"({"visibleChildCategoryStructures":[1,2]})")));
    }

    void hosts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("host"); // empty: refused
        // Names, spaces, ports, paths, user parts and bare IPv6 as typed and sent: tst_shell
        // and tst_connection's addressesMeanWhatTheySay.
        QTest::newRow("international name") << QStringLiteral("b\u00fccher.example")
                                            << QStringLiteral("b\u00fccher.example");
        QTest::newRow("IPv4") << "192.0.2.10" << "192.0.2.10";
        QTest::newRow("IPv6 in brackets") << "[2001:db8::1]" << "[2001:db8::1]";
        QTest::newRow("not an IPv4 address") << "192.0.2.300" << "";
        QTest::newRow("underscore") << "bad_name.example" << "";
        QTest::newRow("empty") << "   " << "";
    }

    void hosts()
    {
        QFETCH(QString, typed);
        QFETCH(QString, host);
        QString why;
        const std::optional<QString> checked = ServerAddress::checkHost(typed, &why);
        QCOMPARE(checked.value_or(QString()), host);
        QCOMPARE(why.isEmpty(), !host.isEmpty());
        // A host that passes cannot change anything but the host of a request.
        const QUrl url = ServerAddress::requestUrl(true, typed, 8443, QStringLiteral("/app/ra/abouts.json"));
        QCOMPARE(url.isValid(), !host.isEmpty());
        const QString wire = host.startsWith('[') ? host : QString::fromLatin1(QUrl::toAce(host));
        if (url.isValid())
            QCOMPARE(url.toString(QUrl::FullyEncoded),
                     QStringLiteral("https://%1:8443/app/ra/abouts.json").arg(wire));
    }

    void pastedAddresses_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("fields"); // host|secure|port|path, or empty: not an address to split
        QTest::newRow("everything") << " https://assets.example:8443/cgi-bin/WebObjects/Lumaro.woa/ "
                                    << "assets.example|1|8443|cgi-bin/WebObjects/Lumaro.woa";
        QTest::newRow("plain, no port, no path") << "http://192.0.2.10" << "192.0.2.10|0|-|";
        QTest::newRow("IPv6") << "https://[::1]:9443/x" << "[::1]|1|9443|x";
        QTest::newRow("with a query") << "https://assets.example/x?y" << "";
        QTest::newRow("other scheme") << "ftp://assets.example/" << "";
    }

    void pastedAddresses()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, fields);
        const std::optional<ServerAddress::PastedParts> parts = ServerAddress::splitPastedUrl(pasted);
        QCOMPARE(parts.has_value(), !fields.isEmpty());
        if (parts)
            QCOMPARE(QStringList({parts->host, parts->secure ? "1" : "0",
                                  parts->port ? QString::number(*parts->port) : "-", parts->path})
                         .join('|'),
                     fields);
    }

    void logLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("short") << "server check values = 4, x" << QByteArray("server check values = 4, x");
        QTest::newRow("line breaks and a terminal escape") << QStringLiteral("a\nb\x1b[2Jc")
                                                           << QByteArray("a\\x0ab\\x1b[2Jc");
        QTest::newRow("ten megabytes") << QString(10 << 20, QLatin1Char('x'))
            << QByteArray(ConsoleLog::MaxLineBytes, 'x') + "… (10485760 bytes in all)";
        // Two-byte letters from byte 399 on: the cut never splits one.
        QTest::newRow("cut between characters") << QString(399, QLatin1Char('x')) + QString(10, QChar(0xe4))
                                                << QByteArray(399, 'x') + "… (419 bytes in all)";
    }

    void logLines()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, shown);
        QCOMPARE(ConsoleLog::render(text), shown);
    }

    void shownNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("visible");
        QTest::newRow("override") << u"invoice\u202Egnp.exe"_s << "invoice<U+202E>gnp.exe";
        QTest::newRow("NUL and tab") << u"a\0b\tc"_s << "a<U+0000>b<U+0009>c";
        QTest::newRow("isolates, marks, DEL")
            << u"\u2066\u2069\u200F\u061C\x7F"_s << "<U+2066><U+2069><U+200F><U+061C><U+007F>";
        QTest::newRow("Hebrew, joiner and emoji kept")
            << u"\u05E9\u200D\U0001F4F7"_s << u"\u05E9\u200D\U0001F4F7"_s;
    }

    void shownNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, visible);
        QCOMPARE(DisplayName::visible(name), visible);
        QCOMPARE(DisplayName::isolated(name), QChar(0x2068) + visible + QChar(0x2069));
    }

    void encoderMatchesReference()
    {
        QRandomGenerator rng(4);
        for (int length : {0, 1, 2, 3, 4, 5, 6, 7, 255, 256, 257, 4096, 65537}) {
            QByteArray input(length, Qt::Uninitialized);
            for (char &c : input)
                c = char(rng.bounded(256));
            QByteArray out(AssetBody::encodedLength(length), '?');
            QCOMPARE(AssetBody::encodeBase64(input.constData(), length, out.data()), out.size());
            QCOMPARE(out, input.toBase64());
        }
    }

    void bodyIsTheCompactJsonObject_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("readSize");
        // Around the block of 786432 bytes, in libcurl's 2 MiB reads and in reads that straddle
        // every boundary, some too small for one group of Base64.
        for (qint64 size : {0, 1, 2, 3, 786431, 786432, 786433, 1600001}) {
            QTest::addRow("%lld bytes, 2 MiB reads", size) << size << 2 * 1024 * 1024;
            QTest::addRow("%lld bytes, 16385-byte reads", size) << size << 16385;
            QTest::addRow("%lld bytes, 3-byte reads", size) << size << 3;
        }
    }

    void bodyIsTheCompactJsonObject()
    {
        QFETCH(qint64, size);
        QFETCH(int, readSize);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file with space.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray content(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            content[i] = char((i * 131 + 7) % 256);
        file.write(content);
        file.close();

        const QJsonObject category{{"id", 3},
                                   {"name", QString::fromUtf8("Fr\xc3\xbchling \"assetData\":\"x\"")}};
        const QJsonObject members{
            {"assetFileName", "file with space.bin"}, {"category", category}, {"importStatusID", "12"}};
        AssetBody asset(path, members, QStringLiteral("assetData"));
        QByteArray seen;
        asset.setFileBlockHook([&](const char *data, qint64 length) { seen.append(data, length); });
        QString error;
        QVERIFY2(asset.open(&error), qPrintable(error));
        QByteArray body;
        QByteArray piece(readSize, Qt::Uninitialized);
        while (const qint64 n = asset.read(piece.data(), readSize)) {
            QVERIFY(n > 0);
            body.append(piece.constData(), n);
        }
        QCOMPARE(body.size(), asset.size());
        QJsonObject expected = members;
        expected.insert("assetData", QString::fromLatin1(content.toBase64()));
        QCOMPARE(body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
        // The hook saw the file's bytes once each, in order.
        QCOMPARE(seen, content);
    }

    void sendOnceBufferNeverRewoundOnceRead()
    {
        // Qt rewinds a body to send the request again on a fresh connection: before the first byte
        // went out that is harmless, after it the server may already have acted on it.
        QByteArray whole(500000, Qt::Uninitialized);
        for (int i = 0; i < whole.size(); ++i)
            whole[i] = char(i * 7);
        SendOnceBuffer small(whole);
        QVERIFY(small.seek(1000));
        QVERIFY(small.reset());
        const QByteArray head = small.read(70000);
        QVERIFY(!small.reset());
        QVERIFY(!small.seek(10));
        QVERIFY(small.seek(small.pos()));
        QCOMPARE(head + small.readAll(), whole);
    }

    void unreadableFileIsReported()
    {
        AssetBody missing(QStringLiteral("/nonexistent/dir/x.jpg"), {}, QStringLiteral("assetData"));
        QString error;
        QVERIFY(!missing.open(&error));
        QVERIFY(error.contains(QLatin1String("/nonexistent/dir/x.jpg")));
        AssetBody folder(QDir::tempPath(), {}, QStringLiteral("assetData"));
        QVERIFY(!folder.open(&error));

        // A file that shrinks while it is sent cannot give the length promised to the server.
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("shrinks")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000000, 'x'));
        file.flush();
        AssetBody shrinking(file.fileName(), {}, QStringLiteral("assetData"));
        QVERIFY(shrinking.open(&error));
        QByteArray buffer(2 * 1024 * 1024, Qt::Uninitialized);
        QVERIFY(shrinking.read(buffer.data(), buffer.size()) > 0);
        QVERIFY(file.resize(1000));
        qint64 n = 0;
        while ((n = shrinking.read(buffer.data(), buffer.size())) > 0) {
        }
        QCOMPARE(n, qint64(-1));
        QVERIFY(shrinking.errorString().contains(QLatin1String("changed while it was being sent")));
    }
};

LUMARO_TEST_MAIN(TestRequestRules)
#include "tst_requestrules.moc"
