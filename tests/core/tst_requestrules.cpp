#include "TestEnvironment.h"
#include "connection/LMRequestRules.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTimeZone>
#include <QtTest>

using namespace LMRequestRules;

class TestRequestRules : public QObject {
    Q_OBJECT
private slots:
    void queryValueEncoding_data();
    void queryValueEncoding();
    void rootReply_data();
    void rootReply();
    void timestampIsUtcOn24HourClock();
    void integers_data();
    void integers();
    void childListChoice();
};

void TestRequestRules::queryValueEncoding_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("unreserved") << "Az09-._~" << "Az09-._~";
    QTest::newRow("separators") << "a&b=c+d?e#f%g" << "a%26b%3Dc%2Bd%3Fe%23f%25g";
    QTest::newRow("space and slash") << "p w/x" << "p%20w%2Fx";
    QTest::newRow("utf-8, upper-case hex") << QString::fromUtf8("J\xc3\xb6rg") << "J%C3%B6rg";
    QTest::newRow("astral") << QString::fromUtf8("\xf0\x9f\x93\xb7") << "%F0%9F%93%B7";
    QTest::newRow("empty") << "" << "";
}

void TestRequestRules::queryValueEncoding()
{
    QFETCH(QString, value);
    QFETCH(QString, encoded);
    QCOMPARE(percentEncodeQueryValue(value), encoded);
    // Whatever the user typed, the query keeps exactly its three parameters.
    const QString query = loginQuery(value, value);
    QCOMPARE(query.count(QLatin1Char('&')), 2);
    QVERIFY(query.endsWith(QLatin1String("&roleName=CategoryAdmin")));
}

void TestRequestRules::rootReply_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QVariant>("location");
    QTest::addColumn<QUrl>("finalUrl");
    QTest::addColumn<QString>("expected");
    const QUrl root(QStringLiteral("http://h/"));
    QTest::newRow("200 after redirect") << 200 << QVariant() << QUrl("http://h:8080/cgi-bin/WebObjects/Lumaro.woa/")
                                        << "cgi-bin/WebObjects/Lumaro.woa";
    QTest::newRow("200 percent-decoded") << 200 << QVariant() << QUrl("http://h/my%20app/") << "my app";
    QTest::newRow("302 relative") << 302 << QVariant(QByteArray("/cgi-bin/x")) << root << "cgi-bin/x";
    QTest::newRow("302 absolute") << 302 << QVariant(QByteArray("https://other:8443/apps/Lumaro.woa")) << root
                                  << "apps/Lumaro.woa";
    QTest::newRow("302 without location") << 302 << QVariant() << root << "";
    QTest::newRow("404") << 404 << QVariant() << root << "";
    QTest::newRow("500 with location") << 500 << QVariant(QByteArray("/x")) << root << "";
}

void TestRequestRules::rootReply()
{
    QFETCH(int, status);
    QFETCH(QVariant, location);
    QFETCH(QUrl, finalUrl);
    QFETCH(QString, expected);
    const std::optional<QByteArray> loc = location.isValid() ? std::optional(location.toByteArray()) : std::nullopt;
    QCOMPARE(appPathFromRootReply(status, loc, finalUrl), expected);
}

void TestRequestRules::timestampIsUtcOn24HourClock()
{
    const QDateTime afternoon(QDate(2015, 3, 7), QTime(15, 4, 5), Qt::UTC);
    QCOMPARE(categoryTimestamp(afternoon), QStringLiteral("2015-03-07T15:04:05Z"));
    // A local time is turned into UTC, not merely labelled with Z.
    const QDateTime zoned(QDate(2015, 3, 7), QTime(3, 4, 5), QTimeZone(3600));
    QCOMPARE(categoryTimestamp(zoned), QStringLiteral("2015-03-07T02:04:05Z"));
}

void TestRequestRules::integers_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("isInteger");
    QTest::addColumn<qint64>("value");
    QTest::newRow("int") << QByteArray("[42]") << true << qint64(42);
    QTest::newRow("negative") << QByteArray("[-1]") << true << qint64(-1);
    QTest::newRow("fraction") << QByteArray("[4.5]") << false << qint64(0);
    QTest::newRow("string") << QByteArray("[\"42\"]") << false << qint64(0);
    QTest::newRow("bool") << QByteArray("[true]") << false << qint64(0);
    QTest::newRow("null") << QByteArray("[null]") << false << qint64(0);
    QTest::newRow("huge") << QByteArray("[1e300]") << false << qint64(0);
}

void TestRequestRules::integers()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, isInteger);
    QFETCH(qint64, value);
    const std::optional<qint64> got = integerValue(QJsonDocument::fromJson(json).array().at(0));
    QCOMPARE(got.has_value(), isInteger);
    if (isInteger)
        QCOMPARE(*got, value);
}

void TestRequestRules::childListChoice()
{
    auto parse = [](const char *text) { return QJsonDocument::fromJson(text).object(); };
    // An empty preferred list is still the list.
    auto children = childRecords(parse(R"({"directChildCategoryStructuresSorted":[],
        "visibleChildCategoryStructures":[{"childCategory":{"id":1}}]})"));
    QVERIFY(children && children->isEmpty());
    children = childRecords(parse(R"({"visibleChildCategoryStructures":[{"childCategory":{"id":1}},{"childCategory":{"id":2}}]})"));
    QVERIFY(children);
    QCOMPARE(children->size(), 2);
    QCOMPARE(children->at(1).value("id").toInt(), 2);
    // Structures of the wrong shape are skipped rather than trusted.
    children = childRecords(parse(R"({"directChildCategoryStructuresSorted":[7,{"x":1},{"childCategory":"no"},{"childCategory":{"id":3}}]})"));
    QVERIFY(children);
    QCOMPARE(children->size(), 1);
    QVERIFY(!childRecords(parse(R"({"id":5})")));
    QVERIFY(!childRecords(parse(R"({"visibleChildCategoryStructures":[1,2]})")));
}

LUMARO_TEST_MAIN(TestRequestRules)
#include "tst_requestrules.moc"
