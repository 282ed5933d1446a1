#include "GuiTestMain.h"

#include "KeyringDaemon.h"
#include "SessionTestKit.h"

#include "session/PasswordSheet.h"
#include "store/BookmarkPasswords.h"
#include "store/SecretStore.h"

#include <QLineEdit>

using namespace SessionTestKit;

// Where a session's password comes from, against a real keyring daemon: the keyring, or the user
// when the bookmark asks each time. What the server received says which password was used.
class TestPasswords : public QObject {
    Q_OBJECT

    KeyringDaemon m_keyring;
    Storyboard m_storyboard{QStringLiteral("Main")};

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_keyring.start(&error), qPrintable(error));
        registerSessionControllers(m_storyboard);
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
