#include "TestEnvironment.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

std::unique_ptr<ObjectContext> openStore(const QString &folder)
{
    auto opened = PersistentStore::open(folder);
    if (auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&opened))
        return std::move(*context);
    return nullptr;
}

QString freshFolder(const QString &name)
{
    return TestEnvironment::dataHome() + QLatin1Char('/') + name + QLatin1Char('/') + PersistentStore::FolderName;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void firstOpenCreatesPrivateFolderAndFile();
    void recordsSurviveRestart();
    void pendingQueryIsPerBookmark();
    void deletingBookmarkKeepsItsLog();
    void undoTakesBackOneEdit();
    void failedSaveKeepsChanges();
    void saveObjectsWritesOnlyThoseRecords();
    void openingFailuresSayWhatHappened_data();
    void openingFailuresSayWhatHappened();
    void olderVersionIsMigrated();
};

void TestStore::firstOpenCreatesPrivateFolderAndFile()
{
    QCOMPARE(PersistentStore::applicationDocumentsDirectory(),
             TestEnvironment::dataHome() + QStringLiteral("/com.veltrane.LumaroImporter"));
    const QString folder = freshFolder(QStringLiteral("first"));
    auto context = openStore(folder);
    QVERIFY(context);
    const QFileInfo dir(folder);
    QVERIFY(dir.isDir());
    QCOMPARE(dir.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::ExeOther),
             QFile::Permissions());
    const QFileInfo file(folder + QStringLiteral("/LumaroImporter.storedata"));
    QVERIFY(file.exists());
    QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QVERIFY(!context->hasChanges());
    QCOMPARE(context->storeFile()->schemaVersion(), StoreFile::SchemaVersion);
}

void TestStore::recordsSurviveRestart()
{
    const QString folder = freshFolder(QStringLiteral("restart"));
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    {
        auto context = openStore(folder);
        QVERIFY(context);
        ServerBookmark *bookmark = context->insertBookmark();
        bookmark->setBookmarkName(QStringLiteral("Studio"));
        bookmark->setHostName(QStringLiteral("h"));
        bookmark->setPassword(QString::fromUtf8("p\xc3\xa4ss & word"));
        bookmark->setSecureConnect(false);
        bookmark->setPortNumber(8080);
        Asset *sent = context->insertAsset();
        sent->setFilePath(QStringLiteral("/tmp/with space.jpg"));
        sent->setBookmark(bookmark);
        sent->setCategoryID(17);
        sent->setCategoryPath(QStringLiteral("/A/B"));
        sent->setUploadDateTime(when);
        Asset *waiting = context->insertAsset();
        waiting->setFilePath(QStringLiteral("/tmp/w.png"));
        waiting->setBookmark(bookmark);
        waiting->setCategoryPath(QString()); // present but empty
        QVERIFY(context->hasChanges());
        QVERIFY(context->save());
        QVERIFY(!context->hasChanges());
        QVERIFY(bookmark->objectId() > 0);
    }
    auto context = openStore(folder);
    QVERIFY(context);
    const auto bookmarks = context->fetchAllBookmarks();
    QCOMPARE(bookmarks.size(), 1);
    ServerBookmark *bookmark = bookmarks.first();
    QCOMPARE(bookmark->password(), std::optional(QString::fromUtf8("p\xc3\xa4ss & word")));
    QCOMPARE(bookmark->urlString(), QStringLiteral("http://h:8080/cgi-bin/WebObjects/Lumaro.woa"));
    QVERIFY(!bookmark->userName()); // absent stays absent
    QCOMPARE(bookmark->sessionWindowOpen(), std::optional(false));
    const auto log = context->fetchUploadedAssets();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first()->uploadDateTime(), std::optional(when));
    QCOMPARE(log.first()->categoryID(), std::optional<qint64>(17));
    QCOMPARE(log.first()->bookmark(), bookmark);
    const auto pending = context->fetchPendingAssets(bookmark);
    QCOMPARE(pending.size(), 1);
    QVERIFY(!pending.first()->categoryID());
    QVERIFY(pending.first()->categoryPath().has_value());
    QVERIFY(pending.first()->categoryPath()->isEmpty());
    QVERIFY(!context->hasChanges());
}

void TestStore::pendingQueryIsPerBookmark()
{
    ObjectContext context;
    ServerBookmark *a = context.insertBookmark();
    ServerBookmark *b = context.insertBookmark();
    QList<Asset *> ofA;
    for (int i = 0; i < 3; ++i) {
        Asset *asset = context.insertAsset();
        asset->setFilePath(QStringLiteral("/same/file"));
        asset->setBookmark(i == 1 ? b : a);
        if (i != 1)
            ofA << asset;
    }
    Asset *uploadedB = context.insertAsset();
    uploadedB->setBookmark(b);
    uploadedB->setUploadDateTime(QDateTime::currentDateTimeUtc());
    Asset *uploadedA = context.insertAsset();
    uploadedA->setBookmark(a);
    uploadedA->setUploadDateTime(QDateTime::currentDateTimeUtc());

    QCOMPARE(context.fetchPendingAssets(a), ofA);
    QCOMPARE(context.fetchPendingAssets(b).size(), 1);
    QVERIFY(!context.fetchPendingAssets(b).contains(ofA.first()));
    QCOMPARE(context.fetchUploadedAssets(), (QList<Asset *>{uploadedB, uploadedA}));
    QVERIFY(context.fetchPendingAssets(nullptr).isEmpty());
}

void TestStore::deletingBookmarkKeepsItsLog()
{
    const QString folder = freshFolder(QStringLiteral("delete"));
    {
        auto context = openStore(folder);
        ServerBookmark *bookmark = context->insertBookmark();
        Asset *pending = context->insertAsset();
        pending->setBookmark(bookmark);
        Asset *done = context->insertAsset();
        done->setBookmark(bookmark);
        done->setFilePath(QStringLiteral("/x"));
        done->setUploadDateTime(QDateTime::currentDateTimeUtc());
        QVERIFY(context->save());
        context->deleteObject(bookmark);
        QVERIFY(context->fetchAllBookmarks().isEmpty());
        QCOMPARE(context->fetchUploadedAssets().size(), 1);
        QVERIFY(!context->fetchUploadedAssets().first()->bookmark());
        QVERIFY(context->save());
    }
    auto context = openStore(folder);
    QVERIFY(context->fetchAllBookmarks().isEmpty());
    const auto log = context->fetchUploadedAssets();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first()->filePath(), std::optional(QStringLiteral("/x")));
    QVERIFY(!log.first()->bookmark());
}

void TestStore::undoTakesBackOneEdit()
{
    ObjectContext context;
    ServerBookmark *bookmark = context.insertBookmark();
    UndoManager *undo = context.undoManager();
    undo->setValue(bookmark, ServerBookmark::kHostName, QStringLiteral("first"));
    undo->setValue(bookmark, ServerBookmark::kHostName, QStringLiteral("second"));
    undo->setValue(bookmark, ServerBookmark::kUserName, QStringLiteral("me"));
    // Programmatic changes are not undo steps.
    bookmark->setSessionWindowOpen(true);
    undo->undo();
    QVERIFY(!bookmark->userName());
    QCOMPARE(bookmark->hostName(), std::optional(QStringLiteral("second")));
    QCOMPARE(bookmark->sessionWindowOpen(), std::optional(true));
    undo->redo();
    QCOMPARE(bookmark->userName(), std::optional(QStringLiteral("me")));
    undo->undo();
    undo->undo();
    QCOMPARE(bookmark->hostName(), std::optional(QStringLiteral("first")));
    QCOMPARE(undo->undoCount(), 1);
}

void TestStore::failedSaveKeepsChanges()
{
    const QString folder = freshFolder(QStringLiteral("failing"));
    {
        auto context = openStore(folder);
        ServerBookmark *kept = context->insertBookmark();
        kept->setBookmarkName(QStringLiteral("kept"));
        QVERIFY(context->save());
        ServerBookmark *added = context->insertBookmark();
        added->setBookmarkName(QStringLiteral("added"));
        kept->setHostName(QStringLiteral("changed"));
        context->storeFile()->setFailureForTesting(QStringLiteral("disk full"));
        QString error;
        QVERIFY(!context->save(&error));
        QCOMPARE(error, QStringLiteral("disk full"));
        QVERIFY(context->hasChanges());
        QVERIFY(added->isInserted());
        QVERIFY(kept->hasChanges());
        QCOMPARE(context->fetchAllBookmarks().size(), 2);
        // Once the store works again the same changes are written.
        context->storeFile()->setFailureForTesting({});
        QVERIFY(context->save());
        QVERIFY(!context->hasChanges());
    }
    auto context = openStore(folder);
    const auto bookmarks = context->fetchAllBookmarks();
    QCOMPARE(bookmarks.size(), 2);
    QCOMPARE(bookmarks.at(0)->hostName(), std::optional(QStringLiteral("changed")));
    QCOMPARE(bookmarks.at(1)->bookmarkName(), std::optional(QStringLiteral("added")));
}

void TestStore::saveObjectsWritesOnlyThoseRecords()
{
    const QString folder = freshFolder(QStringLiteral("partial"));
    {
        auto context = openStore(folder);
        ServerBookmark *bookmark = context->insertBookmark();
        Asset *asset = context->insertAsset();
        asset->setBookmark(bookmark);
        ServerBookmark *other = context->insertBookmark();
        other->setBookmarkName(QStringLiteral("unsaved edit"));
        // The asset drags its unsaved bookmark along, nothing else.
        QVERIFY(context->saveObjects({asset}));
        QVERIFY(!asset->hasChanges());
        QVERIFY(!bookmark->hasChanges());
        QVERIFY(other->hasChanges());
    }
    auto context = openStore(folder);
    QCOMPARE(context->fetchAllBookmarks().size(), 1);
    QCOMPARE(context->fetchPendingAssets(context->fetchAllBookmarks().first()).size(), 1);
}

void TestStore::openingFailuresSayWhatHappened_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reason"); // "%1": the folder, "%2": the store file
    QTest::addColumn<bool>("underlying");
    QTest::newRow("a file where the folder belongs")
        << "file" << "Expected a folder to store application data, found a file %1." << false;
    QTest::newRow("folder cannot be created")
        << "uncreatable" << "There was an error creating or loading the application's saved data." << true;
    QTest::newRow("store in use by another program")
        << "locked" << "The data store is in use by another program: %2" << false;
    QTest::newRow("store of random bytes")
        << "noise" << "There was an error creating or loading the application's saved data." << true;
}

void TestStore::openingFailuresSayWhatHappened()
{
    QFETCH(QString, situation);
    QFETCH(QString, reason);
    QFETCH(bool, underlying);
    const QString parent = TestEnvironment::dataHome() + QLatin1Char('/') + situation;
    QString folder = parent + QLatin1Char('/') + PersistentStore::FolderName;
    const QString file = folder + QLatin1Char('/') + PersistentStore::FileName;
    QByteArray before;
    QSqlDatabase locker;
    if (situation == QLatin1String("file") || situation == QLatin1String("uncreatable")) {
        QDir().mkpath(parent);
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        if (situation == QLatin1String("uncreatable"))
            folder += QStringLiteral("/inner");
    } else if (situation == QLatin1String("noise")) {
        QDir().mkpath(folder);
        QFile noise(file);
        QVERIFY(noise.open(QIODevice::WriteOnly));
        noise.write(QByteArray(4096, '\x5a'));
    } else {
        QVERIFY(openStore(folder));
        // Another program holds the store for itself, longer than the store waits for it.
        locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        locker.setDatabaseName(file);
        QVERIFY(locker.open());
        QSqlQuery hold(locker);
        QVERIFY(hold.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
        QVERIFY(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(hold.exec(QStringLiteral("UPDATE ServerBookmark SET id = id")));
    }
    if (QFileInfo(file).isFile()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        before = f.readAll();
    }

    auto opened = PersistentStore::open(folder);
    auto *error = std::get_if<StoreOpenError>(&opened);
    QVERIFY(error);
    QCOMPARE(error->reason, QString(reason).replace(QLatin1String("%1"), folder).replace(QLatin1String("%2"), file));
    QCOMPARE(!error->underlying.isEmpty(), underlying);
    if (!before.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before); // never reset or overwritten
    }
    if (locker.isValid()) {
        locker.close();
        locker = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    }
}

void TestStore::olderVersionIsMigrated()
{
    const QString folder = freshFolder(QStringLiteral("migrate"));
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/LumaroImporter.storedata");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QFile script(QFINDTESTDATA("fixtures/store-v1.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        for (const QByteArray &statement : script.readAll().split(';')) {
            const QString sql = QString::fromUtf8(statement).split(QLatin1Char('\n')).filter(QRegularExpression("^(?!--)")).join(QLatin1Char('\n')).trimmed();
            if (sql.isEmpty())
                continue;
            QSqlQuery query(db);
            QVERIFY2(query.exec(sql), qPrintable(sql));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));

    auto context = openStore(folder);
    QVERIFY(context);
    QCOMPARE(context->storeFile()->schemaVersion(), StoreFile::SchemaVersion);
    const auto bookmarks = context->fetchAllBookmarks();
    QCOMPARE(bookmarks.size(), 2);
    QCOMPARE(bookmarks.at(0)->password(), std::optional(QStringLiteral("pa ss&word")));
    QCOMPARE(bookmarks.at(0)->lastCategoryView(), std::optional(QStringLiteral("upload")));
    QCOMPARE(bookmarks.at(0)->value(ServerBookmark::kLastConnectedDate).toDateTime(),
             QDateTime(QDate(2024, 5, 1), QTime(8, 30), Qt::UTC));
    // The defaults pass fills what the old file left at 0 or empty.
    QCOMPARE(bookmarks.at(1)->portNumber(), std::optional<qint64>(80));
    QCOMPARE(bookmarks.at(1)->applicationNameURL(), std::optional(QStringLiteral("cgi-bin/WebObjects/Lumaro.woa")));
    const auto log = context->fetchUploadedAssets();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first()->uploadDateTime(), std::optional(QDateTime(QDate(2024, 5, 1), QTime(9, 15, 30, 250), Qt::UTC)));
    QCOMPARE(context->fetchPendingAssets(bookmarks.at(0)).size(), 1);
    QCOMPARE(context->fetchPendingAssets(bookmarks.at(1)).size(), 1);
    QVERIFY(context->save());
}

LUMARO_TEST_MAIN(TestStore)
#include "tst_store.moc"
