// The upload chain against lumaro-devserver: what the server received and decoded, the order
// of notifications, what is stamped and saved, and how failures leave records pending.
#include "ConnectionTestKit.h"
#include "TestEnvironment.h"
#include "store/Asset.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QJsonObject Category{{"id", 3}, {"name", "Spring"}, {"isLeaf", true}};

struct UploadKit : ConnectionKit {
    QTemporaryDir files;

    explicit UploadKit(quint16 port) : ConnectionKit(port)
    {
        connection->setSelectedCategory(Category);
        connection->setCategoryPath({QJsonObject{{"id", 1}, {"name", "Photos"}}, QJsonObject{{"id", 2}, {"name", "2024"}}, Category});
        connection->setPathLevel(2);
    }

    Asset *queue(const QString &name, const QByteArray &content)
    {
        const QString path = files.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        file.close();
        return queuePath(path);
    }

    Asset *queuePath(const QString &path)
    {
        Asset *asset = context.insertAsset();
        asset->setFilePath(path);
        asset->setBookmark(bookmark);
        return asset;
    }

    QList<Asset *> queueNumbered(int count)
    {
        QList<Asset *> batch;
        for (int i = 1; i <= count; ++i)
            batch << queue(QStringLiteral("file %1.txt").arg(i), QByteArray("content of file ") + QByteArray::number(i));
        return batch;
    }
};

QStringList savedFiles(const DevServer &server)
{
    QStringList names = QDir(server.uploadDir()).entryList(QDir::Files, QDir::Name);
    return names;
}

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void batchOfThree();
    void haltDuringSecondOfFive();
    void failedRequestsStayPending();
    void unreadableFileIsSkippedWithReason();
    void batchThatCannotStart_data();
    void batchThatCannotStart();
    void emptyBatchEndsAtOnce();
    void noSelectedCategory();
};

void TestUpload::batchOfThree()
{
    DevServer server;
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    QByteArray binary(70000, Qt::Uninitialized);
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i % 251);
    const QList<Asset *> batch{kit.queue(QStringLiteral("holiday photo.jpg"), "jpeg bytes"),
                               kit.queue(QStringLiteral("empty.txt"), QByteArray()),
                               kit.queue(QString::fromUtf8("bin\xc3\xa4r.dat"), binary)};
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));

    QCOMPARE(kit.recorder->names(),
             (QStringList{LMNotification::UploadingAsset, LMNotification::UploadedAsset, LMNotification::UploadingAsset,
                          LMNotification::UploadedAsset, LMNotification::UploadingAsset, LMNotification::UploadedAsset,
                          LMNotification::UploadDone}));
    QCOMPARE(kit.recorder->all().first().userInfo.value("file name").toString(), QStringLiteral("holiday photo.jpg"));
    QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.contains("error"));

    const QList<QJsonObject> status = server.requests("/ra/assetImportStatus.json");
    QCOMPARE(status.size(), 1);
    QCOMPARE(requestBody(status.first()), QJsonObject({{"name", "LumaroImporter v2.0"}, {"count", 3}}));
    const QList<QJsonObject> assets = server.requests("/ra/categoryAssets.json");
    QCOMPARE(assets.size(), 3);
    const QStringList names{"holiday photo.jpg", "empty.txt", QString::fromUtf8("bin\xc3\xa4r.dat")};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject body = requestBody(assets.at(i));
        QCOMPARE(body.value("assetFileName").toString(), names.at(i));
        QCOMPARE(body.value("importStatusID"), QJsonValue(QStringLiteral("1")));
        QCOMPARE(body.value("category").toObject(), Category);
        QCOMPARE(assets.at(i).value("rawQuery").toString(),
                 QStringLiteral("loginName=admin&password=lumaro&roleName=CategoryAdmin"));
    }
    QCOMPARE(requestBody(assets.at(1)).value("assetData"), QJsonValue(QString()));

    // What the server decoded is what was on disk.
    const QStringList saved = savedFiles(server);
    QCOMPARE(saved, (QStringList{"1-holiday photo.jpg", "2-empty.txt", QString::fromUtf8("3-bin\xc3\xa4r.dat")}));
    QFile third(server.uploadDir() + QLatin1Char('/') + saved.at(2));
    QVERIFY(third.open(QIODevice::ReadOnly));
    QCOMPARE(third.readAll(), binary);

    const QList<QByteArray> contents{"jpeg bytes", QByteArray(), binary};
    for (Asset *asset : batch) {
        QVERIFY(asset->uploadDateTime());
        const QByteArray &content = contents.at(batch.indexOf(asset));
        QCOMPARE(asset->fileSize(), std::optional<qint64>(content.size()));
        QCOMPARE(asset->contentHash(), sha256(content));
        QCOMPARE(
            asset->serverKey(),
            std::optional(QStringLiteral("127.0.0.1:%1/cgi-bin/WebObjects/Lumaro.woa").arg(server.port())));
        QCOMPARE(asset->categoryID(), std::optional<qint64>(3));
        QCOMPARE(asset->categoryPath(), std::optional(QStringLiteral("/Photos/2024/Spring")));
    }
    QVERIFY(kit.connection->currentImportQueue().isEmpty());
    QCOMPARE(kit.connection->currentAssetImportID(), QStringLiteral("1"));
}

void TestUpload::haltDuringSecondOfFive()
{
    DevServer server({"--fault", "POST /ra/categoryAssets.json#2=delay:400"});
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    const QList<Asset *> batch = kit.queueNumbered(5);
    auto observer = std::make_unique<QObject>();
    NotificationCenter::defaultCenter()->addObserver(observer.get(), LMNotification::UploadingAsset, kit.connection.get(),
                                                     [&](const Notification &) {
                                                         if (kit.recorder->count(LMNotification::UploadingAsset) == 2)
                                                             kit.connection->setHaltUpload(true);
                                                     });
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(kit.recorder->count(LMNotification::UploadedAsset), 2);
    QCOMPARE(kit.recorder->names().mid(2), (QStringList{LMNotification::UploadingAsset, LMNotification::UploadedAsset,
                                                        LMNotification::UploadDone}));
    QVERIFY(batch.at(1)->uploadDateTime());
    for (int i = 2; i < 5; ++i)
        QVERIFY(batch.at(i)->isPending());
    QCOMPARE(kit.connection->currentImportQueue(), batch.mid(2));
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), 2);
    QVERIFY(kit.connection->haltUpload());

    // The next batch starts afresh: the halt is cleared before its import status request.
    observer.reset();
    kit.recorder->clear();
    kit.connection->startAssetImport(batch.mid(2));
    QVERIFY(!kit.connection->haltUpload());
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(kit.recorder->count(LMNotification::UploadedAsset), 3);
    const QList<QJsonObject> assets = server.requests("/ra/categoryAssets.json");
    QCOMPARE(assets.size(), 5);
    QCOMPARE(requestBody(assets.at(4)).value("importStatusID"), QJsonValue(QStringLiteral("2")));
    QCOMPARE(requestBody(assets.at(4)).value("assetFileName").toString(), QStringLiteral("file 5.txt"));
}

void TestUpload::failedRequestsStayPending()
{
    DevServer server({"--fault", "POST /ra/categoryAssets.json#2=status:500", "--fault",
                      "POST /ra/categoryAssets.json#4=drop"});
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    const QList<Asset *> batch = kit.queueNumbered(5);
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(kit.recorder->count(LMNotification::UploadedAsset), 3);
    QCOMPARE(kit.recorder->count(LMNotification::UploadFailedAsset), 2);
    QList<Notification> failures;
    for (const Notification &n : kit.recorder->all()) {
        if (n.name == LMNotification::UploadFailedAsset)
            failures << n;
    }
    QCOMPARE(failures.at(0).userInfo.value("file name").toString(), QStringLiteral("file 2.txt"));
    QVERIFY2(failures.at(0).userInfo.value("error").toString().contains(QLatin1String("500")),
             qPrintable(failures.at(0).userInfo.value("error").toString()));
    QCOMPARE(failures.at(1).userInfo.value("file name").toString(), QStringLiteral("file 4.txt"));
    QVERIFY(!failures.at(1).userInfo.value("error").toString().isEmpty());
    QVERIFY(batch.at(1)->isPending());
    QVERIFY(batch.at(3)->isPending());
    QVERIFY(batch.at(0)->uploadDateTime() && batch.at(2)->uploadDateTime() && batch.at(4)->uploadDateTime());
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), 5); // no automatic retry
    QCOMPARE(savedFiles(server), (QStringList{"1-file 1.txt", "2-file 3.txt", "3-file 5.txt"}));
}

void TestUpload::unreadableFileIsSkippedWithReason()
{
    DevServer server;
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    QList<Asset *> batch = kit.queueNumbered(2);
    batch.insert(1, kit.queuePath(kit.files.filePath(QStringLiteral("gone.jpg"))));
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(kit.recorder->count(LMNotification::UploadedAsset), 2);
    const Notification failure = kit.recorder->last(LMNotification::UploadFailedAsset);
    QCOMPARE(failure.userInfo.value("file name").toString(), QStringLiteral("gone.jpg"));
    QVERIFY(failure.userInfo.value("error").toString().contains(QLatin1String("gone.jpg")));
    QVERIFY(batch.at(1)->isPending());
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), 2);
}

void TestUpload::batchThatCannotStart_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("id is a number") << R"(POST /ra/assetImportStatus.json=body:{"id":42})";
    QTest::newRow("not json") << "POST /ra/assetImportStatus.json=html";
    QTest::newRow("error status") << "POST /ra/assetImportStatus.json=status:503";
    QTest::newRow("dropped") << "POST /ra/assetImportStatus.json=drop";
}

void TestUpload::batchThatCannotStart()
{
    QFETCH(QString, fault);
    DevServer server({"--fault", fault});
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    const QList<Asset *> batch = kit.queueNumbered(2);
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(kit.recorder->names(), QStringList{LMNotification::UploadDone});
    QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.value("error").toString().isEmpty());
    QVERIFY(!kit.connection->isUploading());
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), 0);
    QVERIFY(batch.at(0)->isPending() && batch.at(1)->isPending());
}

void TestUpload::emptyBatchEndsAtOnce()
{
    DevServer server;
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    kit.connection->startAssetImport({});
    QCOMPARE(kit.recorder->all().size(), 0);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QVERIFY(kit.recorder->last(LMNotification::UploadDone).userInfo.isEmpty());
    QCOMPARE(server.requests().size(), 0);
}

void TestUpload::noSelectedCategory()
{
    DevServer server;
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    kit.connection->setSelectedCategory(std::nullopt);
    kit.connection->startAssetImport(kit.queueNumbered(1));
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.value("error").toString().isEmpty());
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), 0);
}

LUMARO_TEST_MAIN(TestUpload)
#include "tst_upload.moc"
