#include "StoreAccess.h"
#include "TestEnvironment.h"
#include "store/Asset.h"
#include "store/LogQuery.h"
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

QString freshFolder(const QString &name)
{
    return TestEnvironment::dataHome() + QLatin1Char('/') + name + QLatin1Char('/') +
           PersistentStore::FolderName;
}

// "file|size|category id|category path|folder|uploaded", "-" for a value not set.
QString describe(const Asset *asset)
{
    const auto shown = [](const auto &value) {
        return value ? QVariant(*value).toString() : QStringLiteral("-");
    };
    return QStringList{shown(asset->filePath()),   shown(asset->fileSize()),
                       shown(asset->categoryID()), shown(asset->categoryPath()),
                       shown(asset->folderPath()), shown(asset->uploadDateTime())}
        .join(QLatin1Char('|'));
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT
private slots:
    // What a relaunch reads back (the log on demand), and what deleting a bookmark or clearing the log does.
    void recordsSurviveRestart()
    {
        QCOMPARE(PersistentStore::applicationDocumentsDirectory(),
                 TestEnvironment::dataHome() + QStringLiteral("/com.veltrane.LumaroImporter"));
        const QString folder = freshFolder(QStringLiteral("restart"));
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
        {
            // The first open makes a folder and a file for this user alone.
            auto context = openStore(folder);
            QVERIFY(context);
            QCOMPARE(QFileInfo(folder).permissions() &
                         (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::ExeOther),
                     QFile::Permissions());
            const QFileInfo file(folder + QStringLiteral("/LumaroImporter.storedata"));
            QVERIFY(file.exists());
            QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
            QVERIFY(!context->hasChanges());
            QCOMPARE(context->storeFile()->schemaVersion(), StoreFile::SchemaVersion);
            ServerBookmark *bookmark = context->insertBookmark();
            bookmark->setBookmarkName(QStringLiteral("Studio"));
            bookmark->setHostName(QStringLiteral("h"));
            bookmark->setPassword(QString::fromUtf8("p\xc3\xa4ss & word"));
            bookmark->setSecureConnect(false);
            bookmark->setPortNumber(8080);
            bookmark->setUploadSpeedLimit(2.5);
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
            waiting->setFolderPath(QStringLiteral("card/DCIM/100CANON"));
            Asset *later = context->insertAsset(); // never loaded below
            later->setBookmark(bookmark);
            later->setUploadDateTime(when.addSecs(60));
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
        QCOMPARE(bookmark->uploadLimitBytesPerSecond(), qint64(2.5 * 1024 * 1024));
        const auto pending = context->fetchPendingAssets(bookmark);
        QCOMPARE(pending.size(), 1);
        // An empty category path stays present; a queued file of a kept tree goes back to its place.
        QCOMPARE(describe(pending.first()), "/tmp/w.png|-|-||card/DCIM/100CANON|-");
        // A launch reads the queues only; the log's records come one by one, one object each.
        const qint64 sentId = pending.first()->objectId() - 1;
        QVERIFY(!context->registeredAsset(sentId));
        Asset *sent = context->assetWithId(sentId);
        QVERIFY(sent);
        QCOMPARE(context->assetWithId(sentId), sent);
        QCOMPARE(describe(sent), "/tmp/with space.jpg|-|17|/A/B|-|" + when.toString(Qt::ISODateWithMs));
        QCOMPARE(sent->bookmark(), bookmark);
        QVERIFY(!context->hasChanges());
        // The delete rule reaches records never loaded: the log stays, without its bookmark.
        context->deleteObject(bookmark);
        QVERIFY(!sent->bookmark());
        QVERIFY(context->save());
        {
            auto after = openStore(folder);
            QVERIFY(after->fetchAllBookmarks().isEmpty());
            const auto log = after->fetchUploadedAssets();
            QCOMPARE(log.size(), 2);
            QVERIFY(!log.last()->bookmark());
        }
        // A cleared log reaches the file with the next save, and no sooner; a queued file stamped
        // after the clear stays, whatever its clock said.
        Asset *late = context->insertAsset();
        QVERIFY(context->save());
        context->deleteUploadedAssets();
        late->setUploadDateTime(QDateTime::fromMSecsSinceEpoch(1, Qt::UTC));
        QVERIFY(context->hasChanges());
        QVERIFY(!context->assetWithId(sentId));
        QCOMPARE(openStore(folder)->fetchUploadedAssets().size(), 2);
        QVERIFY(context->save());
        QTRY_VERIFY(!context->isDeletingLog());
        QCOMPARE(openStore(folder)->fetchUploadedAssets().size(), 1);
    }

    void pendingQueryIsPerBookmark()
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

    void undoTakesBackOneEdit()
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

    void failedSaveKeepsChangesAndSaveObjectsWritesOnlyThose()
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

            // Saving one asset writes its unsaved bookmark along, nothing else.
            ServerBookmark *owner = context->insertBookmark();
            Asset *asset = context->insertAsset();
            asset->setBookmark(owner);
            context->insertBookmark()->setBookmarkName(QStringLiteral("unsaved"));
            kept->setBookmarkName(QStringLiteral("unsaved edit"));
            QVERIFY(context->saveObjects({asset}));
            QVERIFY(!asset->hasChanges());
            QVERIFY(!owner->hasChanges());
            QVERIFY(kept->hasChanges());

            // Saves on the writer thread are heard after the call, in the order asked; a refused one
            // keeps its change, and a save at once comes after those handed over before it.
            QStringList heard;
            auto hear = [&heard](const QString &name) {
                return [&heard, name](bool saved, const QString &error) { heard << (saved ? name : error); };
            };
            for (const QString &path :
                 {QStringLiteral("/first"), QStringLiteral("/second"), QStringLiteral("/refused")}) {
                context->storeFile()->setFailureForTesting(path == "/refused" ? QStringLiteral("disk full")
                                                                              : QString());
                asset->setCategoryPath(path);
                context->saveInBackground({asset}, hear(path));
            }
            context->storeFile()->setFailureForTesting({});
            QVERIFY(heard.isEmpty());
            QTRY_COMPARE(heard, (QStringList{"/first", "/second", "disk full"}));
            QVERIFY(asset->hasChanges());
            context->saveInBackground({asset}, hear("/refused"));
            asset->setCategoryPath(QStringLiteral("/at once"));
            QVERIFY(context->saveObjects({asset}));
            QTRY_COMPARE(heard.size(), 4);
            QVERIFY(!asset->hasChanges());
        }
        auto context = openStore(folder);
        const auto bookmarks = context->fetchAllBookmarks();
        QCOMPARE(bookmarks.size(), 3);
        QCOMPARE(bookmarks.at(0)->hostName(), std::optional(QStringLiteral("changed")));
        QCOMPARE(bookmarks.at(0)->bookmarkName(), std::optional(QStringLiteral("kept")));
        QCOMPARE(bookmarks.at(1)->bookmarkName(), std::optional(QStringLiteral("added")));
        QCOMPARE(context->fetchPendingAssets(bookmarks.at(2)).size(), 1);
        QCOMPARE(context->fetchPendingAssets(bookmarks.at(2)).at(0)->categoryPath(),
                 std::optional(QStringLiteral("/at once")));
    }

    void openingFailuresSayWhatHappened_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("reason"); // "%1": the folder, "%2": the store file
        QTest::addColumn<bool>("underlying");
        QTest::newRow("a file where the folder belongs")
            << "file"
            << "Expected a folder to store application data, found a file %1." << false;
        QTest::newRow("folder cannot be created")
            << "uncreatable"
            << "There was an error creating or loading the application's saved data." << true;
        QTest::newRow("store in use by another program")
            << "locked"
            << "The data store is in use by another program: %2" << false;
        QTest::newRow("store of random bytes")
            << "noise"
            << "There was an error creating or loading the application's saved data." << true;
    }

    void openingFailuresSayWhatHappened()
    {
        QFETCH(QString, situation);
        QFETCH(QString, reason);
        QFETCH(bool, underlying);
        const QString parent = TestEnvironment::dataHome() + QLatin1Char('/') + situation;
        QString folder = parent + QLatin1Char('/') + PersistentStore::FolderName;
        const QString file = folder + QLatin1Char('/') + PersistentStore::FileName;
        const auto contents = [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        // After the last handle on it has gone.
        const auto dropLocker = qScopeGuard([] { QSqlDatabase::removeDatabase(QStringLiteral("locker")); });
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
        const QByteArray before = contents();

        auto opened = PersistentStore::open(folder);
        auto *error = std::get_if<StoreOpenError>(&opened);
        QVERIFY(error);
        QCOMPARE(error->reason,
                 QString(reason).replace(QLatin1String("%1"), folder).replace(QLatin1String("%2"), file));
        QCOMPARE(!error->underlying.isEmpty(), underlying);
        QCOMPARE(contents(), before); // never reset or overwritten
    }

    void olderVersionIsMigrated_data()
    {
        QTest::addColumn<int>("version");
        for (int version = 1; version <= 8; ++version)
            QTest::newRow(qPrintable(QStringLiteral("version %1").arg(version))) << version;
    }

    void olderVersionIsMigrated()
    {
        QFETCH(int, version);
        const QString folder =
            freshFolder(QStringLiteral("migrate-") + QLatin1String(QTest::currentDataTag()));
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/LumaroImporter.storedata");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QFile script(QFINDTESTDATA(QStringLiteral("fixtures/store-v%1.sql").arg(version)));
            QVERIFY(script.open(QIODevice::ReadOnly));
            for (const QByteArray &statement : script.readAll().split(';')) {
                const QString sql = QString::fromUtf8(statement)
                                        .split(QLatin1Char('\n'))
                                        .filter(QRegularExpression("^(?!--)"))
                                        .join(QLatin1Char('\n'))
                                        .trimmed();
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
        // Kept from version 3 on, made for older files.
        const bool keptUuid = version >= 3;
        QCOMPARE(bookmarks.at(0)->uuid().size(), 36);
        QVERIFY(!keptUuid ||
                bookmarks.at(0)->uuid() == QLatin1String("0f5e3c1a-9b2d-4c7e-8a41-6d2f0b9e7c35"));
        QCOMPARE(bookmarks.at(0)->lastCategoryView(), std::optional(QStringLiteral("upload")));
        QCOMPARE(bookmarks.at(0)->value(ServerBookmark::kLastConnectedDate).toDateTime(),
                 QDateTime(QDate(2024, 5, 1), QTime(8, 30), Qt::UTC));
        // No bookmark had a speed limit before.
        QCOMPARE(bookmarks.at(0)->uploadLimitBytesPerSecond(), qint64(0));
        // Batches keep trying for the usual time and send one file at a time, as the file now says.
        QCOMPARE(bookmarks.at(0)->retryMinutes(), 30);
        QCOMPARE(bookmarks.at(0)->value(ServerBookmark::kSimultaneousUploads).toInt(), 1);
        QVERIFY(!keptUuid || !bookmarks.at(0)->hasChanges());
        // Files queued before folder trees go into the upload target itself; sizes are known from version 4
        // on.
        const auto log = context->fetchUploadedAssets();
        QCOMPARE(log.size(), 1);
        QCOMPARE(describe(log.first()),
                 QStringLiteral("/home/ann/a.jpg|%1|12|/Photos/2024|-|2024-05-01T09:15:30.250Z")
                     .arg(version >= 4 ? "5120" : "-"));
        const auto pendingA = context->fetchPendingAssets(bookmarks.at(0));
        QCOMPARE(pendingA.size(), 1);
        QCOMPARE(describe(pendingA.first()), "/home/ann/b.jpg|-|-|-|-|-");
        QCOMPARE(context->fetchPendingAssets(bookmarks.at(1)).size(), 1);
        QVERIFY(context->save());
        // The log finds a record by its file name, not by the folder it lies in.
        LogReader reader;
        QVERIFY(reader.open(path, nullptr));
        QCOMPARE(reader.keys({QStringLiteral("A.JPG")}, {}, nullptr)->keys, QList<qint64>{1});
        QVERIFY(reader.keys({QStringLiteral("home")}, {}, nullptr)->keys.isEmpty());
    }

    void logQuery_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("unsaved"); // gamma deleted, Studio renamed Zeta, a new stamp
        QTest::addColumn<QString>("expected");
        const int desc = Qt::DescendingOrder;
        const int asc = Qt::AscendingOrder;
        const int time = LogQuery::Time;
        QTest::newRow("newest first") << "" << time << desc << false << "gamma.jpg,Beta %.png,alpha.jpg";
        QTest::newRow("by name") << "" << int(LogQuery::File) << asc << false
                                 << "alpha.jpg,Beta %.png,gamma.jpg";
        QTest::newRow("by size") << "" << int(LogQuery::Size) << desc << false
                                 << "alpha.jpg,gamma.jpg,Beta %.png";
        QTest::newRow("by bookmark") << "" << int(LogQuery::Bookmark) << asc << false
                                     << "Beta %.png,alpha.jpg,gamma.jpg";
        QTest::newRow("every word") << "JPG photos" << time << desc << false << "alpha.jpg";
        QTest::newRow("wildcards are text") << "%" << time << desc << false << "Beta %.png";
        QTest::newRow("bookmark name") << "studio" << time << desc << false << "gamma.jpg,alpha.jpg";
        QTest::newRow("unsaved, newest first")
            << "" << time << desc << true << "new.jpg,Beta %.png,alpha.jpg";
        QTest::newRow("unsaved name")
            << "zeta" << int(LogQuery::Bookmark) << asc << true << "new.jpg,alpha.jpg";
        QTest::newRow("unsaved, by name")
            << "" << int(LogQuery::File) << desc << true << "new.jpg,Beta %.png,alpha.jpg";
    }

    void logQuery()
    {
        QFETCH(QString, search);
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(bool, unsaved);
        QFETCH(QString, expected);
        auto context =
            openStore(freshFolder(QStringLiteral("log-") + QLatin1String(QTest::currentDataTag())));
        ServerBookmark *studio = context->insertBookmark();
        studio->setBookmarkName(QStringLiteral("Studio"));
        ServerBookmark *archive = context->insertBookmark();
        archive->setBookmarkName(QStringLiteral("Archive"));
        auto add = [&](const QString &name, const QString &category, int minutes, qint64 size,
                       ServerBookmark *b) {
            Asset *asset = context->insertAsset();
            asset->setFilePath(QStringLiteral("/p/") + name);
            asset->setCategoryPath(category);
            asset->setUploadDateTime(QDateTime::fromSecsSinceEpoch(60 * minutes, Qt::UTC));
            asset->setFingerprint(size, std::nullopt, QStringLiteral("h:80/"));
            asset->setBookmark(b);
            return asset;
        };
        add("alpha.jpg", "/Photos/Summer", 1, 300, studio);
        add("Beta %.png", "/Photos/Winter", 2, 100, archive);
        Asset *gamma = add("gamma.jpg", "/Docs", 4, 200, studio);
        context->insertAsset()->setFilePath(QStringLiteral("/p/pending.jpg"));
        QVERIFY(context->save());
        if (unsaved) {
            context->deleteObject(gamma);
            studio->setBookmarkName(QStringLiteral("Zeta"));
            add("new.jpg", "/New", 3, 1, studio);
        }
        LogReader reader;
        QVERIFY(reader.open(context->storeFile()->path(), nullptr));
        const auto keys = reader.keys({search, LogQuery::Column(column), Qt::SortOrder(order)},
                                      context->logSnapshot(), nullptr);
        QVERIFY(keys);
        QStringList shown;
        for (qint64 key : keys->keys)
            shown << context->assetForLogKey(key)->fileName();
        QCOMPARE(shown.join(QLatin1Char(',')), expected);
        QCOMPARE(keys->total, 3);
    }

    void csvEscaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QStringLiteral("/a b/c.jpg") << QStringLiteral("/a b/c.jpg");
        QTest::newRow("comma") << QStringLiteral("a,b.jpg") << QStringLiteral("\"a,b.jpg\"");
        QTest::newRow("quotes") << QStringLiteral("say \"hi\".jpg")
                                << QStringLiteral("\"say \"\"hi\"\".jpg\"");
        QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
        QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
        const QString nonAscii = QString::fromUtf8("St\xc3\xa4"
                                                   "dte \xe6\x9d\xb1\xe4\xba\xac.jpg");
        QTest::newRow("non-ASCII") << nonAscii << nonAscii;
    }

    void csvEscaping()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(Csv::line({text, QStringLiteral("x")}), field + QStringLiteral(",x\r\n"));
    }
};

LUMARO_TEST_MAIN(TestStore)
#include "tst_store.moc"
