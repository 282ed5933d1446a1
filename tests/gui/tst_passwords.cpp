#include "GuiTestMain.h"

#include "KeyringDaemon.h"
#include "SessionTestKit.h"

#include "session/PasswordSheet.h"
#include "store/BookmarkPasswords.h"
#include "store/SecretStore.h"
#include "store/UndoManager.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace SessionTestKit;

// Bookmark passwords against a real keyring daemon: moved out of the store file at launch, kept
// there when the keyring fails, and the keyring following deletes, edits and their undo. Then
// where a session's password comes from: the keyring, or the user when the bookmark asks each
// time; what the server received says which password was used.
class TestPasswords : public QObject {
    Q_OBJECT

    KeyringDaemon m_keyring;
    Storyboard m_storyboard{QStringLiteral("Main")};

    static QString storePath()
    {
        return PersistentStore::applicationDocumentsDirectory() + QLatin1Char('/') +
               PersistentStore::FileName;
    }

    // The password column as SQLite has it, read past the application's own code.
    static QVariant passwordInFile(const QString &uuid)
    {
        // Forgotten after the connection and its query are gone.
        const auto forget = qScopeGuard([] { QSqlDatabase::removeDatabase(QStringLiteral("raw")); });
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(storePath());
        QSqlQuery query(db);
        const bool found =
            db.open() &&
            query.exec(QStringLiteral("SELECT password FROM ServerBookmark WHERE uuid = '%1'").arg(uuid)) &&
            query.next();
        return found ? query.value(0) : QVariant();
    }

    // One run of the application: the store, the keyring and the mover over both.
    struct Launch {
        std::unique_ptr<ObjectContext> context = openStore();
        SecretStore secrets;
        BookmarkPasswords passwords{context.get(), &secrets};
        QSignalSpy moved{&passwords, &BookmarkPasswords::passwordMoved};

        BookmarkPasswords::Answer passwordFor(ServerBookmark *bookmark)
        {
            std::optional<BookmarkPasswords::Answer> answer;
            QObject receiver;
            passwords.passwordFor(bookmark, &receiver,
                                  [&](const BookmarkPasswords::Answer &a) { answer = a; });
            return QTest::qWaitFor([&] { return answer.has_value(); }, 10000) ? *answer
                                                                              : BookmarkPasswords::Answer{};
        }
    };

    // A bookmark saved with its password in the file, as every store before the keyring had it.
    static QString seedStoredPassword(const QString &password, quint16 port = 0, const QString &appPath = {})
    {
        Launch before; // never started: nothing is moved
        ServerBookmark *bookmark = makeBookmark(before.context.get(), port, appPath);
        bookmark->setPassword(password);
        before.context->save();
        return bookmark->uuid();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_keyring.start(&error), qPrintable(error));
        registerSessionControllers(m_storyboard);
    }

    void init() { QDir(PersistentStore::applicationDocumentsDirectory()).removeRecursively(); }

    void launchMovesStoredPasswordsIntoTheKeyring()
    {
        const QString password = QStringLiteral("s3cret &+ä moved");
        DevServer server({"--user", "admin:" + password});
        QVERIFY(server.isRunning());
        const QString uuid = seedStoredPassword(password, server.port(), server.appPath());
        QCOMPARE(passwordInFile(uuid).toString(), password);
        {
            Launch launch;
            launch.passwords.start();
            QVERIFY(launch.moved.wait(10000));
        }
        QCOMPARE(m_keyring.lookup(uuid), password);
        QVERIFY(passwordInFile(uuid).isNull());
        // No copy left behind in freed pages or in the journal.
        for (const QString &suffix : {QString(), QStringLiteral("-wal")}) {
            QFile file(storePath() + suffix);
            QVERIFY(!file.open(QIODevice::ReadOnly) || !file.readAll().contains(password.toUtf8()));
        }
        // The next run reads it from the keyring, for a session, without an edit.
        Launch next;
        ServerBookmark *bookmark = next.context->fetchAllBookmarks().constFirst();
        QVERIFY(!bookmark->password());
        QCOMPARE(next.passwordFor(bookmark).password, std::optional<QString>(password));
        QVERIFY(!bookmark->hasChanges());

        // The command line reads it from the keyring as well: the server sees it arrive.
        QCOMPARE(QProcess::execute(QStringLiteral(LUMARO_BINARY_DIR "/src/cli/lumaro-import"),
                                   {"upload", "--bookmark", "Dev Server", "--category", "/Photos",
                                    "--dry-run", storePath()}),
                 0);
        const QList<QJsonObject> types = server.requests(QStringLiteral("/ra/categories.json"));
        QCOMPARE(types.size(), 1);
        QCOMPARE(types.first().value("query").toObject().value("password").toString(), password);
    }

    void failedKeyringWriteKeepsThePasswordInTheStore_data()
    {
        QTest::addColumn<int>("collection"); // -1: no service at all
        QTest::addColumn<QString>("saying");
        QTest::newRow("no secret service on the bus") << -1 << "No keyring service is running. Install";
        QTest::newRow("locked collection")
            << int(KeyringDaemon::Collection::Locked) << "keyring is locked. Unlock";
        QTest::newRow("no default collection")
            << int(KeyringDaemon::Collection::Missing) << "no default collection. Create a keyring";
    }

    void failedKeyringWriteKeepsThePasswordInTheStore()
    {
        QFETCH(int, collection);
        QFETCH(QString, saying);
        const QString uuid = seedStoredPassword(QStringLiteral("kept-1"));
        m_keyring.stop();
        QString error;
        QVERIFY2(collection < 0 || m_keyring.start(&error, KeyringDaemon::Collection(collection)),
                 qPrintable(error));
        {
            Launch launch;
            QSignalSpy unavailable(&launch.passwords, &BookmarkPasswords::keyringUnavailable);
            launch.passwords.start();
            QVERIFY(unavailable.wait(10000));
            QVERIFY2(unavailable.constFirst().constFirst().toString().contains(saying),
                     qPrintable(unavailable.constFirst().constFirst().toString()));
            // Another password saved meanwhile, and a session that needs one from the keyring: no
            // second notice; the session is to ask its user, saying why.
            ServerBookmark *other = launch.context->insertBookmark();
            other->setPassword(QStringLiteral("kept-2"));
            ServerBookmark *inKeyring = launch.context->insertBookmark();
            launch.context->save();
            const BookmarkPasswords::Answer answer = launch.passwordFor(inKeyring);
            QVERIFY(answer.mustAsk && answer.reason.contains(saying));
            QCOMPARE(unavailable.count(), 1);
            QCOMPARE(passwordInFile(uuid).toString(), QStringLiteral("kept-1"));
            QCOMPARE(passwordInFile(other->uuid()).toString(), QStringLiteral("kept-2"));
        }
        m_keyring.stop();
        QVERIFY2(m_keyring.start(&error), qPrintable(error));
        // Back for the next run: both move.
        Launch launch;
        launch.passwords.start();
        QTRY_COMPARE_WITH_TIMEOUT(launch.moved.count(), 2, 10000);
        QVERIFY(passwordInFile(uuid).isNull());
        QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("kept-1"));
    }

    void keyringFollowsEditsUndoAndRetirement_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("edit, then undo") << "edit";
        QTest::newRow("bookmark deleted") << "delete";
        QTest::newRow("bookmark asks each time") << "ask";
    }

    void keyringFollowsEditsUndoAndRetirement()
    {
        QFETCH(QString, change);
        const QString uuid = seedStoredPassword(QStringLiteral("before"));
        Launch launch;
        launch.passwords.start();
        QVERIFY(launch.moved.wait(10000));
        ServerBookmark *bookmark = launch.context->fetchAllBookmarks().constFirst();
        UndoManager *undo = launch.context->undoManager();
        if (change == QLatin1String("edit")) {
            // As the editor commits a typed password: one undo step, saved, moved.
            undo->setValue(bookmark, ServerBookmark::kPassword, QStringLiteral("after"));
            QVERIFY(launch.context->save());
            QVERIFY(launch.moved.wait(10000));
            QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("after"));
            undo->undo();
            QVERIFY(bookmark->hasChanges());
            QVERIFY(launch.context->save());
            QVERIFY(launch.moved.wait(10000));
            QCOMPARE(m_keyring.lookup(uuid), QStringLiteral("before"));
            QVERIFY(passwordInFile(uuid).isNull());
            return;
        }
        if (change == QLatin1String("delete"))
            launch.context->deleteObject(bookmark);
        else
            undo->setValue(bookmark, ServerBookmark::kAskForPassword, true);
        // Not before the change is saved: a removal asked for now would be answered before this
        // read, which reaches the keyring after it.
        QString stillThere;
        QObject receiver;
        launch.secrets.read(uuid, &receiver, [&](const SecretStore::Result &r) { stillThere = r.secret; });
        QTRY_COMPARE_WITH_TIMEOUT(stillThere, QStringLiteral("before"), 10000);
        QVERIFY(launch.context->save());
        QTRY_VERIFY_WITH_TIMEOUT(m_keyring.lookup(uuid).isEmpty(), 10000);
        QVERIFY(passwordInFile(uuid).isNull());
        if (change == QLatin1String("ask"))
            QVERIFY(launch.passwordFor(bookmark).mustAsk);
    }

    void sessionGetsItsPassword_data()
    {
        QTest::addColumn<bool>("asks");
        QTest::addColumn<QString>("typed"); // empty: Cancel
        QTest::newRow("from the keyring") << false << QString();
        QTest::newRow("asked, answered") << true << "lumaro";
        QTest::newRow("asked, cancelled") << true << QString();
    }

    void sessionGetsItsPassword()
    {
        QFETCH(bool, asks);
        QFETCH(QString, typed);
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        std::unique_ptr<AppDelegate> app = AppTestSupport::freshDelegate();
        ObjectContext *context = app->managedObjectContext();
        // Known only to the keyring, or to nobody.
        ServerBookmark *bookmark = context->insertBookmark();
        bookmark->setBookmarkName(QStringLiteral("Dev Server"));
        bookmark->setHostName(QStringLiteral("127.0.0.1"));
        bookmark->setSecureConnect(false);
        bookmark->setPortNumber(server.port());
        bookmark->setApplicationNameURL(server.appPath());
        bookmark->setUserName(QStringLiteral("admin"));
        bookmark->setAskForPassword(asks);
        QVERIFY(context->save());
        QObject receiver;
        if (!asks)
            app->bookmarkPasswords()->secrets()->write(bookmark->uuid(), QStringLiteral("lumaro"), &receiver, {});
        QTRY_COMPARE_WITH_TIMEOUT(m_keyring.lookup(bookmark->uuid()), asks ? QString() : QStringLiteral("lumaro"),
                                  kTimeout);

        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark, false);
        session->setBookmarkPasswords(app->bookmarkPasswords());
        session->showWindow();
        if (asks) {
            QTRY_VERIFY_WITH_TIMEOUT(session->initialView()->passwordSheet(), kTimeout);
            PasswordSheet *sheet = session->initialView()->passwordSheet();
            QCOMPARE(sheet->windowModality(), Qt::WindowModal);
            QCOMPARE(sheet->passwordField()->echoMode(), QLineEdit::Password);
            // Nothing goes to the server before the password is known.
            QCOMPARE(server.requests().size(), 0);
            QTest::keyClicks(sheet->passwordField(), typed);
            (typed.isEmpty() ? sheet->cancelButton() : sheet->connectButton())->click();
        }
        if (asks && typed.isEmpty()) {
            // Cancel ends the start like a failed check, without an alert.
            QTRY_VERIFY_WITH_TIMEOUT(session.isNull(), kTimeout);
            QCOMPARE(alerts.count(), 0);
            QCOMPARE(server.requests().size(), 0);
            QCOMPARE(bookmark->sessionWindowOpen(), std::optional<bool>(false));
            return;
        }
        QVERIFY(waitForContent(session, session->categoryView()));
        QCOMPARE(server.requests("/ra/categoryTypes.json").constFirst().value("rawQuery").toString(),
                 QStringLiteral("loginName=admin&password=lumaro&roleName=CategoryAdmin"));
        QVERIFY(closeSession(session));
        // Neither read nor typed passwords reach the store file; a typed one not even the keyring.
        QVERIFY(!AppTestSupport::readStore().named(QStringLiteral("Dev Server"))->password());
        QCOMPARE(m_keyring.lookup(bookmark->uuid()), asks ? QString() : QStringLiteral("lumaro"));
    }
};

LUMARO_GUI_TEST_MAIN(TestPasswords)
#include "tst_passwords.moc"
