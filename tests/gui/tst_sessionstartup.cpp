#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "SessionTestKit.h"

#include "session/CertificateSheet.h"

#include <QCryptographicHash>
#include <QProgressBar>
#include <QSslCertificate>
#include <QTemporaryDir>

using namespace SessionTestKit;

// The connecting view's start-up chain against a real server: which requests go out in which
// order, where it hands the window over, and how each kind of unusable server ends the session.
class TestSessionStartup : public QObject, SessionFixture {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(context()); }

    void startupChainEndsInTheCategoryBrowser_data()
    {
        QTest::addColumn<bool>("discover"); // the bookmark has no application path
        QTest::addColumn<QStringList>("expectedRequests");
        const QStringList chain{"GET /ra/abouts.json", "GET /ra/categoryTypes.json", "GET /ra/categories.json"};
        QTest::newRow("path known") << false << chain;
        // Discovery asks the root page on the bookmark's port, which redirects to the application's.
        QTest::newRow("path discovered") << true << QStringList{"GET /", "GET /"} + chain;
    }

    // The check answers slowly, so the connecting view stays up to be looked at.
    void startupChainEndsInTheCategoryBrowser()
    {
        QFETCH(bool, discover);
        QFETCH(QStringList, expectedRequests);
        DevServer server({"--fault", "GET /ra/abouts.json=delay:1500"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server, QStringLiteral("Studio Archive"));
        if (discover)
            bookmark->setApplicationNameURL(QString());
        QStringList seen;
        QObject observer;
        for (const QString &name : {LMNotification::GotFullURL, LMNotification::CheckedServer})
            NotificationCenter::defaultCenter()->addObserver(&observer, name, nullptr,
                                                             [&](const Notification &n) { seen.append(n.name); });
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QVERIFY(session);
        QVERIFY(QTest::qWaitForWindowExposed(session->window()));

        LMSessionInitialViewController *initial = session->initialView();
        QCOMPARE(session->contentViewController(), initial);
        QCOMPARE(initial->statusLabel()->text(), QStringLiteral("Connecting to 127.0.0.1"));
        QVERIFY(initial->statusLabel()->isVisible());
        QVERIFY(initial->busyIndicator()->isVisible());
        QCOMPARE(initial->busyIndicator()->maximum(), 0); // busy, no known end
        QCOMPARE(session->window()->windowTitle(), QStringLiteral("admin@127.0.0.1"));
        QVERIFY(saveScreenshot(session->window(), QStringLiteral("session-connecting")));
        QCOMPARE(AccessibleTree::unnamedControls(session->window()), QString());
        QCOMPARE(bookmark->serverConnection(), session->serverConnection());
        QCOMPARE(session->serverConnection()->parent(), session.data());
        QCOMPARE(session->serverConnection()->managedObjectContext(), context());

        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitForContent(session, categories));
        QVERIFY(waitUntilIdle(categories));
        QCOMPARE(AccessibleTree::unnamedControls(session->window()), QString());
        QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("category")));
        QCOMPARE(columnTexts(categories->categoryBrowser(), 0),
                 (QStringList{"Archive", "Documents", "Marketing", "Photos", "Video"}));
        QCOMPARE(categories->categoryBrowser()->selectedColumn(), -1);
        QCOMPARE(categories->categoryBrowser()->columnCount(), 1);

        // Discovery only without a path; the check goes to the path found; nothing beyond the top.
        QCOMPARE(seen, (discover ? QStringList{LMNotification::GotFullURL, LMNotification::CheckedServer}
                                 : QStringList{LMNotification::CheckedServer}));
        QCOMPARE(bookmark->applicationNameURL(), std::optional<QString>(server.appPath()));
        // Each request's path and login: tst_connection's everyRequestOnTheWire.
        QTRY_COMPARE(requestLines(server), expectedRequests);

        QVERIFY(closeSession(session));
        QVERIFY(bookmark->serverConnection() == nullptr);
    }

    void failureAlertEndsTheSession_data()
    {
        QTest::addColumn<QStringList>("serverArguments");
        QTest::addColumn<QString>("host"); // %1: a port nothing listens on, %2: the server's
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason"); // %1 and %2 as in host
        QTest::addColumn<QStringList>("expectedRequests");
        const QStringList check{"GET /ra/abouts.json"};
        const QString server = QStringLiteral("127.0.0.1:%2");
        QTest::newRow("another kind of server") << QStringList{"--identity", "5C02AD91E7B311E6"} << server
                                                << LMSessionInitialViewController::notLumaroServerText()
                                                << "The server's answer is no Lumaro identity." << check;
        QTest::newRow("another API version")
            << QStringList{"--api-version", "5"} << server
            << LMSessionInitialViewController::versionMismatchText()
            << "The server speaks interface version 5; this application speaks version 4." << check;
        QTest::newRow("no folder type")
            << QStringList{"--no-folder-type"} << server << LMSessionInitialViewController::noFolderTypeText()
            << "The server lists no “Folder” category type."
            << (check + QStringList{"GET /ra/categoryTypes.json"});
        QTest::newRow("error status") << QStringList{"--fault", "GET /ra/abouts.json=status:404"} << server
                                      << LMSessionInitialViewController::notLumaroServerText()
                                      << "The server answered HTTP 404 Not Found" << check;
        // No server answered: the alert names what failed, and blames no server for its kind.
        QTest::newRow("nothing listening")
            << QStringList{} << QStringLiteral("127.0.0.1:%1")
            << "Cannot reach 127.0.0.1:%1: connection refused" << QString() << QStringList{};
        // Stored before hosts were checked: no request leaves, and the alert says why.
        QTest::newRow("stored host with a path in it")
            << QStringList{} << QStringLiteral("127.0.0.1:%2/x?y#z")
            << "The host “127.0.0.1:%2/x?y#z” cannot be used: The host is only the server's name or address, "
               "without a scheme or port; the port belongs in the advanced settings. A whole address pasted here "
               "is taken apart."
            << QString() << QStringList{};
    }

    void failureAlertEndsTheSession()
    {
        QFETCH(QStringList, serverArguments);
        QFETCH(QString, host);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        QFETCH(QStringList, expectedRequests);

        DevServer server(serverArguments);
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const quint16 closed = DevServer::freeClosedPort();
        auto ports = [&](QString text) {
            return text.replace(QLatin1String("%1"), QString::number(closed))
                .replace(QLatin1String("%2"), QString::number(server.port()));
        };
        const QString address = ports(host);
        const qsizetype colon = address.indexOf(QLatin1Char(':'));
        ServerBookmark *bookmark = makeBookmark(context(), address.mid(colon + 1).toUShort(), server.appPath());
        if (address.contains(QLatin1Char('/')))
            bookmark->setHostName(address);
        // A category remembered from before is forgotten: nothing was selected in this session.
        bookmark->setLastCategoryID(7);
        context()->save();

        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QVERIFY(alerts.waitForAlert());
        QMessageBox *box = alerts.last();
        QCOMPARE(box->objectName(), QStringLiteral("LumaroAlert"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->informativeText(),
                 ports(reason.isEmpty() ? message : message + QStringLiteral("\n\n") + reason));
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->parentWidget(), session->window());
        if (QByteArray(QTest::currentDataTag()) == "nothing listening")
            QVERIFY(saveScreenshot(box, QStringLiteral("session-connection-refused")));
        const QList<QAbstractButton *> buttons = AlertCatcher::userButtons(box);
        QCOMPARE(buttons.size(), 1);

        // The window waits for the user.
        QVERIFY(session->window()->isVisible());
        QCOMPARE(session->contentViewController(), session->initialView());
        QCOMPARE(requestLines(server), expectedRequests);

        buttons.constFirst()->click();
        QTRY_VERIFY(session.isNull());
        QCOMPARE(alerts.count(), 1);
        std::unique_ptr<ObjectContext> reopened = reopenStore();
        QVERIFY(reopened);
        const ServerBookmark *stored = findBookmark(*reopened, bookmark->objectId());
        QVERIFY(stored);
        QCOMPARE(stored->sessionWindowOpen(), std::optional<bool>(false));
        QCOMPARE(stored->lastCategoryID(), std::optional<qint64>(-1));
        QCOMPARE(stored->lastCategoryView(), std::optional<QString>(QStringLiteral("category")));
    }

    void certificateIsAskedAboutOncePerBookmark()
    {
        QTemporaryDir certificates;
        const QStringList first = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("first"));
        const QStringList second = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("second"));
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        const QString fingerprint = QString::fromLatin1(
            QSslCertificate::fromPath(first.at(1)).value(0).digest(QCryptographicHash::Sha256).toHex(':').toUpper());
        DevServer server(first);
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server, QStringLiteral("Self-signed"));
        bookmark->setSecureConnect(true);
        context()->save();

        // First contact: the sheet, then trusted for the bookmark.
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QTRY_VERIFY_WITH_TIMEOUT(session->certificateSheet(), kTimeout);
        CertificateSheet *sheet = session->certificateSheet();
        auto label = [](QWidget *sheet, const char *name) { return sheet->findChild<QLabel *>(QLatin1String(name))->text(); };
        QCOMPARE(sheet->parentWidget(), session->window());
        QCOMPARE(label(sheet, "certificateFingerprint").remove(QLatin1Char('\n')), fingerprint);
        QVERIFY(label(sheet, "certificateHeading").contains(QStringLiteral("127.0.0.1:%1").arg(server.port())));
        QVERIFY(label(sheet, "certificateProblems").contains(QLatin1String("self-signed")));
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        QVERIFY(saveScreenshot(sheet, QStringLiteral("session-certificate-sheet")));
        sheet->trustButton()->click();
        QVERIFY(waitForContent(session, session->categoryView()));
        QVERIFY(closeSession(session));
        QCOMPARE(findBookmark(*reopenStore(), bookmark->objectId())->trustedCertificate(), fingerprint);

        // Trusted: the next session goes straight through.
        session = openSession(m_storyboard, bookmark);
        QVERIFY(waitForContent(session, session->categoryView()));
        QVERIFY(!session->certificateSheet());
        QVERIFY(closeSession(session));

        // Another certificate where the trusted one was: asked again, said to have changed;
        // Cancel ends the start without a further alert and without a request.
        DevServer changed(second);
        QVERIFY2(changed.isRunning(), qPrintable(changed.errorString()));
        bookmark->setPortNumber(changed.port());
        AlertCatcher alerts;
        session = openSession(m_storyboard, bookmark);
        QTRY_VERIFY_WITH_TIMEOUT(session->certificateSheet(), kTimeout);
        QVERIFY(label(session->certificateSheet(), "certificateHeading").contains(QLatin1String("has changed")));
        session->certificateSheet()->cancelButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(session.isNull(), kTimeout);
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(changed.requests().size(), 0);
        QCOMPARE(bookmark->trustedCertificate(), fingerprint);
        QCOMPARE(bookmark->sessionWindowOpen(), std::optional<bool>(false));
    }

    void onlyOwnConnectionsResultsCount()
    {
        // The server check is held back so the posted results are the only ones.
        DevServer server({"--fault", "GET /ra/abouts.json=delay:4000"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QPointer<LMServerConnection> connection = session->serverConnection();
        QVERIFY(connection);

        QObject stranger;
        NotificationCenter::defaultCenter()->post(LMNotification::CheckedServer, &stranger,
                                                  {{LMUserInfoKey::ServerCheck, 1}});
        QCOMPARE(alerts.count(), 0);

        // A code the connection never sends still ends the session, with an empty text.
        NotificationCenter::defaultCenter()->post(LMNotification::CheckedServer, connection,
                                                  {{LMUserInfoKey::ServerCheck, 3}});
        QVERIFY(alerts.waitForAlert());
        QCOMPARE(alerts.last()->informativeText(), QString());
        QCOMPARE(alerts.last()->icon(), QMessageBox::Critical);
        // A second result while the alert is up does not stack another alert.
        NotificationCenter::defaultCenter()->post(LMNotification::CheckedServer, connection,
                                                  {{LMUserInfoKey::ServerCheck, 2}});
        QCOMPARE(alerts.count(), 1);

        AlertCatcher::userButtons(alerts.last()).constFirst()->click();
        QTRY_VERIFY(session.isNull());
        // The connection went with its window, its request still outstanding.
        QTRY_VERIFY(connection.isNull());
        std::unique_ptr<ObjectContext> reopened = reopenStore();
        QCOMPARE(findBookmark(*reopened, bookmark->objectId())->sessionWindowOpen(),
                 std::optional<bool>(false));
    }

    void storedUploadViewNeedsAKnownCategory_data()
    {
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<QString>("path"); // empty: the browser opens instead
        QTest::newRow("known") << qint64(7) << "/Photos/2025/Events";
        // The server answers 404 with a JSON error object; that is no category to upload into.
        QTest::newRow("unknown") << qint64(999) << "";
    }

    void storedUploadViewNeedsAKnownCategory()
    {
        QFETCH(qint64, stored);
        QFETCH(QString, path);
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        bookmark->setLastCategoryView(QStringLiteral("upload"));
        bookmark->setLastCategoryID(stored);
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        LMServerConnection *connection = session->serverConnection();
        LMSessionCategoryViewController *categories = session->categoryView();
        if (path.isEmpty()) {
            QVERIFY(waitForContent(session, categories));
            QVERIFY(waitUntilIdle(categories));
            QCOMPARE(categories->categoryBrowser()->selectedColumn(), -1);
            QVERIFY(!connection->selectedCategory());
            QCOMPARE(connection->pathLevel(), -1);
            // The browser is what the session shows, so that is the view to come back to.
            QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("category")));
            QVERIFY(closeSession(session));
            QCOMPARE(bookmark->lastCategoryID(), std::optional<qint64>(-1));
            return;
        }
        QVERIFY(waitForContent(session, session->uploadView()));
        QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("upload")));
        QCOMPARE(categories->initialCategoryID(), stored);
        // The category browser has not been shown yet, so it has asked for nothing.
        QVERIFY(!categories->alreadyInitialized());
        QTRY_COMPARE(
            requestLines(server),
            (QStringList{"GET /ra/abouts.json", "GET /ra/categoryTypes.json", "GET /ra/categories/7.json",
                         "GET /ra/categories/6.json", "GET /ra/categories/1.json"}));
        QCOMPARE(connection->getSelectedCategoryPath(), path);
        QCOMPARE(recordId(connection->selectedCategory()), stored);
        QVERIFY(closeSession(session));
    }
};

LUMARO_GUI_TEST_MAIN(TestSessionStartup)
#include "tst_sessionstartup.moc"
