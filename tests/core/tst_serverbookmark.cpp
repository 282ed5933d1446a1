#include "TestEnvironment.h"
#include "store/ServerBookmark.h"

#include <QtTest>

namespace {
const QString DefaultPath = QStringLiteral("cgi-bin/WebObjects/Lumaro.woa");
}

class TestServerBookmark : public QObject {
    Q_OBJECT
private slots:
    void storedValuesPassThroughDefaults_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QString>("read"); // port|path|last view
        const QString secure = "443|" + DefaultPath + "|category";
        QTest::newRow("plain, no port")
            << QVariantMap{{"secureConnect", false}} << "80|" + DefaultPath + "|category";
        QTest::newRow("port 0 replaced") << QVariantMap{{"secureConnect", true}, {"portNumber", 0}} << secure;
        QTest::newRow("mismatched port stays")
            << QVariantMap{{"secureConnect", false}, {"portNumber", 443}} << secure;
        QTest::newRow("empty path replaced") << QVariantMap{{"applicationNameURL", ""}} << secure;
        QTest::newRow("one-letter path kept") << QVariantMap{{"applicationNameURL", "x"}} << "443|x|category";
        QTest::newRow("empty view kept")
            << QVariantMap{{"lastCategoryView", ""}} << "443|" + DefaultPath + "|";
    }

    void storedValuesPassThroughDefaults()
    {
        QFETCH(QVariantMap, stored);
        ServerBookmark bookmark(nullptr, stored, 7);
        QTEST(
            QStringLiteral("%1|%2|%3")
                .arg(bookmark.portNumber().value_or(-1))
                .arg(bookmark.applicationNameURL().value_or("-"), bookmark.lastCategoryView().value_or("-")),
            "read");
    }

    void urlStrings()
    {
        ServerBookmark bookmark(nullptr);
        bookmark.setHostName(QStringLiteral("assets.example"));
        QCOMPARE(bookmark.urlString(), "https://assets.example:443/" + DefaultPath);
        QCOMPARE(bookmark.urlShortString(), QStringLiteral("https://assets.example"));

        // Switching to a plain connection keeps the stored port.
        bookmark.setSecureConnect(false);
        QCOMPARE(bookmark.urlString(), "http://assets.example:443/" + DefaultPath);
        QCOMPARE(bookmark.urlShortString(), QStringLiteral("http://assets.example"));

        bookmark.setApplicationNameURL(QStringLiteral("/app/"));
        QCOMPARE(bookmark.urlString(), QStringLiteral("http://assets.example:443//app/"));
        QVERIFY(!bookmark.urlShortString().contains(QLatin1String("443")));

        // A bookmark saved without a host yields an address that reaches nothing, without failing.
        ServerBookmark empty(nullptr);
        QCOMPARE(empty.urlShortString(), QStringLiteral("https://"));
        QCOMPARE(empty.bookmarkLongName(), QStringLiteral("untitled"));
        // A name cleared on purpose stays empty rather than turning into "untitled".
        empty.setBookmarkName(QString(""));
        QCOMPARE(empty.bookmarkLongName(), QString());
    }
};

LUMARO_TEST_MAIN(TestServerBookmark)
#include "tst_serverbookmark.moc"
