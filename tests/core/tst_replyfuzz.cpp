// Feeds every reply handler of the connection malformed bodies over real HTTP: random bytes,
// truncated JSON and JSON of the wrong types. Run under the sanitizer build this proves that no
// reply can crash the client or make it index outside a list.
#include "ConnectionTestKit.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "store/Asset.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QtTest>

namespace {

QJsonValue randomValue(QRandomGenerator &rng, int depth)
{
    switch (rng.bounded(depth > 2 ? 5 : 7)) {
    case 0: return QJsonValue();
    case 1: return rng.bounded(2) == 1;
    case 2: return rng.bounded(-3, 100000) + (rng.bounded(3) == 0 ? 0.5 : 0.0);
    case 3: return QStringLiteral("x").repeated(rng.bounded(5));
    case 4: return -1;
    case 5: {
        QJsonArray array;
        for (int i = rng.bounded(4); i > 0; --i)
            array.append(randomValue(rng, depth + 1));
        return array;
    }
    default: {
        static const QStringList keys = {"id", "name", "isLeaf", "childCategory", "directChildCategoryStructuresSorted",
                                         "visibleChildCategoryStructures", "parentCategoryStructures",
                                         "parentCategory", "directReferenceCount", "LumaroUID", "RestAPIVersion",
                                         "LumaroVersion"};
        QJsonObject object;
        for (int i = rng.bounded(5); i > 0; --i)
            object.insert(keys.at(rng.bounded(keys.size())), randomValue(rng, depth + 1));
        return object;
    }
    }
}

// Replaces values inside a realistic reply with values of random types.
QJsonValue mutate(const QJsonValue &value, QRandomGenerator &rng)
{
    if (rng.bounded(4) == 0)
        return randomValue(rng, 0);
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (const QString &key : object.keys())
            object.insert(key, mutate(object.value(key), rng));
        return object;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            array[i] = mutate(array.at(i), rng);
        return array;
    }
    return value;
}

QByteArray malformedBody(QRandomGenerator &rng)
{
    static const QList<QByteArray> templates = {
        R"({"LumaroUID":"5c02ad91e7b311e6","RestAPIVersion":"4","LumaroVersion":"7"})",
        R"([{"id":7,"name":"Folder"},{"id":3,"name":"Collection"}])",
        R"([{"id":1,"name":"A","isLeaf":false,"directChildCategoryStructuresSorted":[{"childCategory":{"id":2,"name":"B"}}]}])",
        R"({"id":2,"name":"B","parentCategoryStructures":[{"directReferenceCount":1,"parentCategory":{"id":1}}],"visibleChildCategoryStructures":[{"childCategory":{"id":3}}]})",
        R"({"id":"42","name":"n"})",
    };
    const QByteArray base = templates.at(rng.bounded(templates.size()));
    switch (rng.bounded(4)) {
    case 0: {
        QByteArray bytes(rng.bounded(64), Qt::Uninitialized);
        for (char &c : bytes)
            c = char(rng.bounded(256));
        return bytes;
    }
    case 1:
        return base.left(rng.bounded(base.size()));
    case 2: {
        const QJsonDocument doc = QJsonDocument::fromJson(base);
        const QJsonValue mutated = mutate(doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array()), rng);
        if (mutated.isObject())
            return QJsonDocument(mutated.toObject()).toJson(QJsonDocument::Compact);
        if (mutated.isArray())
            return QJsonDocument(mutated.toArray()).toJson(QJsonDocument::Compact);
        return "\"fragment\"";
    }
    default:
        return base;
    }
}

} // namespace

class TestReplyFuzz : public QObject {
    Q_OBJECT
private slots:
    void everyHandlerSurvivesMalformedReplies();
};

void TestReplyFuzz::everyHandlerSurvivesMalformedReplies()
{
    ScriptedServer server;
    ConnectionKit kit(server.port());
    LMServerConnection &connection = *kit.connection;
    int finished = 0;
    connect(connection.urlSession(), &QNetworkAccessManager::finished, this, [&] { ++finished; });

    QTemporaryFile file;
    QVERIFY(file.open() && file.write("payload") == 7 && file.flush());

    QRandomGenerator rng(20261206);
    constexpr int Rounds = 60;
    for (int round = 0; round < Rounds; ++round) {
        const int operation = round % 8;
        for (int i = 0; i < 3; ++i)
            server.enqueue({rng.bounded(5) == 0 ? 500 : 200, malformedBody(rng)});
        const int before = finished;
        switch (operation) {
        case 0: connection.checkLMServer(); break;
        case 1: connection.getFullURL(); break;
        case 2: connection.retrieveCategoryTypes(); break;
        case 3: connection.retrieveTopCategories(); break;
        case 4: {
            // Select whatever the model holds, including rows that a reply replaced meanwhile.
            const auto &data = connection.categoryData();
            const qint64 column = rng.bounded(int(data.size()) + 1) - 1;
            const qint64 rows = column >= 0 ? data.at(column).size() : 0;
            connection.selectCategory(column, rows > 0 ? rng.bounded(int(rows) + 1) - 1 : 0);
            break;
        }
        case 5: connection.retrieveCategoryPath(rng.bounded(1, 9)); break;
        case 6: connection.createNewCategory(QStringLiteral("n")); break;
        default: {
            Asset *asset = kit.context.insertAsset();
            asset->setFilePath(file.fileName());
            asset->setBookmark(kit.bookmark);
            if (!connection.selectedCategory())
                connection.setSelectedCategory(QJsonObject{{"id", 1}});
            connection.startAssetImport({asset});
            break;
        }
        }
        // Every operation that reached the network has had its reply handled.
        QTRY_VERIFY_WITH_TIMEOUT(finished > before || operation == 4, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!connection.isUploading(), 5000);
        QCoreApplication::processEvents();

        // The model keeps its invariants whatever arrived.
        QVERIFY(!connection.categoryData().isEmpty());
        // The selected level always indexes the path: a view reads categoryPath().at(pathLevel()).
        QVERIFY(connection.pathLevel() >= -1 && connection.pathLevel() < connection.categoryPath().size());
        (void)connection.getSelectedCategoryPath();
        for (qint64 level = -1; level <= connection.categoryData().size(); ++level)
            QCOMPARE(connection.findCategory(-12345, level), qint64(-1));
    }
    QVERIFY(!kit.recorder->all().isEmpty());
    QVERIFY(server.requestCount() >= Rounds - Rounds / 8);
}

LUMARO_TEST_MAIN(TestReplyFuzz)
#include "tst_replyfuzz.moc"
