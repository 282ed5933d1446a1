#include "TestEnvironment.h"
#include "connection/LMRequestRules.h"
#include "connection/ServerAddress.h"
#include "platform/ConsoleLog.h"
#include "platform/DisplayName.h"

#include <QDateTime>
#include <QJsonDocument>
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
        // Names, spaces, ports, paths, user parts and bare IPv6 as typed and sent: tst_bookmarkeditor
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
};

LUMARO_TEST_MAIN(TestRequestRules)
#include "tst_requestrules.moc"
