#include "GuiTestMain.h"

#include "KeyringDaemon.h"
#include "SessionTestKit.h"

#include "session/PasswordSheet.h"
#include "store/BookmarkPasswords.h"

#include <QLineEdit>

using namespace SessionTestKit;

// Sessions and the application against a real keyring daemon: passwords moved out of the store
// at launch and read back for a session, and a bookmark that asks each time.
class TestPasswords : public QObject {
    Q_OBJECT

    KeyringDaemon m_keyring;
    Storyboard m_storyboard{QStringLiteral("Main")};
    std::unique_ptr<AppDelegate> m_app;

    LMSessionWindowController *openWithPasswords(ServerBookmark *bookmark)
    {
        LMSessionWindowController *session = openSession(m_storyboard, bookmark, false);
        session->setBookmarkPasswords(m_app->bookmarkPasswords());
        session->showWindow();
        return session;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_keyring.start(&error), qPrintable(error));
        registerSessionControllers(m_storyboard);
    }

    void init() { m_app = AppTestSupport::freshDelegate(); }
    void cleanup() { m_app.reset(); }

    void launchMovesThePasswordAndASessionReadsItBack()
    {
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        QString uuid;
        {
            // A store from before the keyring: the password is in the file.
            std::unique_ptr<ObjectContext> old = reopenStore();
            uuid = makeBookmark(old.get(), server)->uuid();
        }
        QVERIFY(m_app->managedObjectContext());
        QTRY_COMPARE_WITH_TIMEOUT(m_keyring.lookup(uuid), QStringLiteral("lumaro"), kTimeout);
        QTRY_VERIFY(!AppTestSupport::readStore().named(QStringLiteral("Dev Server"))->password());

        // The next launch knows the password only from the keyring.
        m_app = std::make_unique<AppDelegate>();
        m_app->setQuitOnLastWindowClosed(false);
        QVERIFY(m_app->managedObjectContext());
        ServerBookmark *bookmark = m_app->managedObjectContext()->fetchAllBookmarks().constFirst();
        QVERIFY(!bookmark->password());

        QPointer<LMSessionWindowController> session = openWithPasswords(bookmark);
        QVERIFY(waitForContent(session, session->categoryView()));
        QTRY_VERIFY(server.requests("/ra/categoryTypes.json").size() == 1);
        QCOMPARE(server.requests("/ra/categoryTypes.json").constFirst().value("rawQuery").toString(),
                 QStringLiteral("loginName=admin&password=lumaro&roleName=CategoryAdmin"));
        QVERIFY(!session->window()->windowTitle().contains(QLatin1String("lumaro")));
        QVERIFY(closeSession(session));
        // Read, not edited: the store still keeps no copy.
        QVERIFY(!AppTestSupport::readStore().named(QStringLiteral("Dev Server"))->password());
    }

    void bookmarkThatAsksAsksEachSession_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("cancelled") << false;
        QTest::newRow("answered") << true;
    }

    void bookmarkThatAsksAsksEachSession()
    {
        QFETCH(bool, answer);
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ObjectContext *context = m_app->managedObjectContext();
        ServerBookmark *bookmark = context->insertBookmark();
        bookmark->setBookmarkName(QStringLiteral("Dev Server"));
        bookmark->setHostName(QStringLiteral("127.0.0.1"));
        bookmark->setSecureConnect(false);
        bookmark->setPortNumber(server.port());
        bookmark->setApplicationNameURL(server.appPath());
        bookmark->setUserName(QStringLiteral("admin"));
        bookmark->setAskForPassword(true);
        QVERIFY(context->save());

        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openWithPasswords(bookmark);
        QTRY_VERIFY_WITH_TIMEOUT(session->initialView()->passwordSheet(), kTimeout);
        PasswordSheet *sheet = session->initialView()->passwordSheet();
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(sheet->passwordField()->echoMode(), QLineEdit::Password);
        // Nothing goes to the server before the password is known.
        QCOMPARE(server.requests().size(), 0);
        if (!answer) {
            sheet->cancelButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(session.isNull(), kTimeout);
            QCOMPARE(alerts.count(), 0);
            QCOMPARE(server.requests().size(), 0);
            QCOMPARE(AppTestSupport::readStore().named(QStringLiteral("Dev Server"))->sessionWindowOpen(),
                     std::optional<bool>(false));
            return;
        }
        QTest::keyClicks(sheet->passwordField(), QStringLiteral("lumaro"));
        sheet->connectButton()->click();
        QVERIFY(waitForContent(session, session->categoryView()));
        QTRY_VERIFY(server.requests("/ra/categoryTypes.json").size() == 1);
        QCOMPARE(server.requests("/ra/categoryTypes.json").constFirst().value("rawQuery").toString(),
                 QStringLiteral("loginName=admin&password=lumaro&roleName=CategoryAdmin"));
        QVERIFY(closeSession(session));
        // Held by the session only.
        QVERIFY(!bookmark->password());
        QVERIFY(!AppTestSupport::readStore().named(QStringLiteral("Dev Server"))->password());
        QCOMPARE(m_keyring.lookup(bookmark->uuid()), QString());
    }
};

LUMARO_GUI_TEST_MAIN(TestPasswords)
#include "tst_passwords.moc"
