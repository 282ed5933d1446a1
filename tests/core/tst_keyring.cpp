#include "KeyringDaemon.h"
#include "TestEnvironment.h"

#include "store/BookmarkPasswords.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/SecretStore.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"
#include "store/UndoManager.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <memory>
#include <variant>

// Bookmark passwords against a real keyring daemon: moved out of the store file at launch, kept
// there when the keyring fails, and the keyring following deletes, edits and their undo.
class TestKeyring : public QObject {
    Q_OBJECT

    KeyringDaemon m_keyring;

    static std::unique_ptr<ObjectContext> openStore()
    {
        auto opened = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
        auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&opened);
        return context ? std::move(*context) : nullptr;
    }

    static QString storePath()
    {
        return PersistentStore::applicationDocumentsDirectory() + QLatin1Char('/') + PersistentStore::FileName;
    }

    // The password column as SQLite has it, read past the application's own code; a null
    // QVariant for NULL.
    static QVariant passwordInFile(const QString &uuid)
    {
        QVariant result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            db.setDatabaseName(storePath());
            if (db.open()) {
                QSqlQuery query(db);
                query.prepare(QStringLiteral("SELECT password FROM ServerBookmark WHERE uuid = ?"));
                query.addBindValue(uuid);
                if (query.exec() && query.next())
                    result = query.value(0);
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        return result;
    }

    // Every byte the store keeps on disk, journal included.
    static QByteArray storeBytes()
    {
        QByteArray bytes;
        for (const QString &suffix : {QString(), QStringLiteral("-wal")}) {
            QFile file(storePath() + suffix);
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll();
        }
        return bytes;
    }

    // A bookmark saved with its password in the file, as every store before the keyring had it.
    static QString seedStoredPassword(const QString &name, const QString &password)
    {
        std::unique_ptr<ObjectContext> context = openStore();
        ServerBookmark *bookmark = context->insertBookmark();
        bookmark->setBookmarkName(name);
        bookmark->setHostName(QStringLiteral("assets.example"));
        bookmark->setPassword(password);
        context->save();
        return bookmark->uuid();
    }

    static ServerBookmark *byUUID(const ObjectContext &context, const QString &uuid)
    {
        for (ServerBookmark *bookmark : context.fetchAllBookmarks())
            if (bookmark->uuid() == uuid)
                return bookmark;
        return nullptr;
    }

    // One launch's worth: the store, the keyring and the mover over both.
    struct Launch {
        std::unique_ptr<ObjectContext> context = openStore();
        SecretStore secrets;
        BookmarkPasswords passwords{context.get(), &secrets};
    };

    static BookmarkPasswords::Answer passwordFor(BookmarkPasswords &passwords, ServerBookmark *bookmark)
    {
        BookmarkPasswords::Answer answer;
        bool answered = false;
        QObject receiver;
        passwords.passwordFor(bookmark, &receiver, [&](const BookmarkPasswords::Answer &a) {
            answer = a;
            answered = true;
        });
        if (!QTest::qWaitFor([&] { return answered; }, 10000))
            qWarning("passwordFor never answered");
        return answer;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_keyring.start(&error), qPrintable(error));
    }

    void init() { QDir(PersistentStore::applicationDocumentsDirectory()).removeRecursively(); }

    void launchMovesStoredPasswordsIntoTheKeyring()
    {
        const QString password = QStringLiteral("s3cret &+ä moved");
        const QString uuid = seedStoredPassword(QStringLiteral("Old store"), password);
        QCOMPARE(passwordInFile(uuid).toString(), password);
        {
            Launch launch;
            QSignalSpy moved(&launch.passwords, &BookmarkPasswords::passwordMoved);
            launch.passwords.start();
            QVERIFY(moved.wait(10000));
        }
        QCOMPARE(m_keyring.lookup(uuid), password);
        QVERIFY(passwordInFile(uuid).isNull());
        // No copy left behind in freed pages or in the journal.
        QVERIFY(!storeBytes().contains(password.toUtf8()));

        // The next launch reads it from the keyring, for a session.
        Launch next;
        ServerBookmark *bookmark = byUUID(*next.context, uuid);
        QVERIFY(bookmark && !bookmark->password());
        const BookmarkPasswords::Answer answer = passwordFor(next.passwords, bookmark);
        QCOMPARE(answer.password, std::optional<QString>(password));
        QVERIFY(!answer.mustAsk);
        QVERIFY(!bookmark->hasChanges());
    }

    void failedKeyringWriteKeepsThePasswordInTheStore()
    {
        const QString uuid = seedStoredPassword(QStringLiteral("Kept"), QStringLiteral("kept-1"));
        m_keyring.stop();
        {
            Launch launch;
            QSignalSpy unavailable(&launch.passwords, &BookmarkPasswords::keyringUnavailable);
            launch.passwords.start();
            QVERIFY(unavailable.wait(10000));
            // A second password saved while the keyring is gone, and a session that needs one from
            // the keyring: no second notice, and the session is to ask its user, saying why.
            ServerBookmark *other = launch.context->insertBookmark();
            other->setPassword(QStringLiteral("kept-2"));
            ServerBookmark *inKeyring = launch.context->insertBookmark();
            launch.context->save();
            const BookmarkPasswords::Answer answer = passwordFor(launch.passwords, inKeyring);
            QVERIFY(answer.mustAsk);
            QVERIFY(answer.reason.contains(QLatin1String("keyring")));
            QCOMPARE(unavailable.count(), 1);
            QCOMPARE(passwordInFile(uuid).toString(), QStringLiteral("kept-1"));
            QCOMPARE(passwordInFile(other->uuid()).toString(), QStringLiteral("kept-2"));
        }
        QString error;
        QVERIFY2(m_keyring.start(&error), qPrintable(error));
        // Back next time: both move.
        Launch launch;
        QSignalSpy moved(&launch.passwords, &BookmarkPasswords::passwordMoved);
        launch.passwords.start();
        QTRY_COMPARE_WITH_TIMEOUT(moved.count(), 2, 10000);
        QVERIFY(passwordInFile(uuid).isNull());
        QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("kept-1"));
    }

    void undoOfAPasswordEditReachesTheKeyring()
    {
        const QString uuid = seedStoredPassword(QStringLiteral("Edited"), QStringLiteral("before"));
        Launch launch;
        QSignalSpy moved(&launch.passwords, &BookmarkPasswords::passwordMoved);
        launch.passwords.start();
        QVERIFY(moved.wait(10000));
        ServerBookmark *bookmark = byUUID(*launch.context, uuid);
        UndoManager *undo = launch.context->undoManager();

        // As the editor commits a typed password: one undo step, saved, moved.
        undo->setValue(bookmark, ServerBookmark::kPassword, QStringLiteral("after"));
        QVERIFY(launch.context->save());
        QVERIFY(moved.wait(10000));
        QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("after"));
        QVERIFY(passwordInFile(uuid).isNull());

        undo->undo();
        QCOMPARE(bookmark->password(), std::optional<QString>(QStringLiteral("before")));
        QVERIFY(bookmark->hasChanges());
        QVERIFY(launch.context->save());
        QVERIFY(moved.wait(10000));
        QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("before"));
        QVERIFY(passwordInFile(uuid).isNull());
        QVERIFY(!bookmark->hasChanges());
    }

    void entryGoesWhenTheBookmarkKeepsNoPassword_data()
    {
        QTest::addColumn<bool>("deleteIt");
        QTest::newRow("bookmark deleted") << true;
        QTest::newRow("bookmark asks each time") << false;
    }

    void entryGoesWhenTheBookmarkKeepsNoPassword()
    {
        QFETCH(bool, deleteIt);
        const QString uuid = seedStoredPassword(QStringLiteral("Retired"), QStringLiteral("retired"));
        Launch launch;
        QSignalSpy moved(&launch.passwords, &BookmarkPasswords::passwordMoved);
        launch.passwords.start();
        QVERIFY(moved.wait(10000));
        QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("retired"));
        ServerBookmark *bookmark = byUUID(*launch.context, uuid);
        if (deleteIt)
            launch.context->deleteObject(bookmark);
        else
            launch.context->undoManager()->setValue(bookmark, ServerBookmark::kAskForPassword, true);
        // Not before the change is saved: a removal asked for now would be answered before this
        // read, which goes to the keyring after it.
        SecretStore::Result stillThere;
        QObject receiver;
        launch.secrets.read(uuid, &receiver, [&](const SecretStore::Result &r) { stillThere = r; });
        QTRY_COMPARE_WITH_TIMEOUT(stillThere.secret, QStringLiteral("retired"), 10000);
        QVERIFY(launch.context->save());
        QTRY_VERIFY_WITH_TIMEOUT(m_keyring.lookup(uuid).isEmpty(), 10000);
        QVERIFY(passwordInFile(uuid).isNull());
        if (!deleteIt)
            QVERIFY(passwordFor(launch.passwords, bookmark).mustAsk);
    }
};

LUMARO_TEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
