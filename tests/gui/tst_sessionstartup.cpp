#include "GuiTestMain.h"

#include "SessionTestKit.h"

#include <QProgressBar>

using namespace SessionTestKit;

// The connecting view's start-up chain against a real server: which requests go out in which
// order, where it hands the window over, and how each kind of unusable server ends the session.
class TestSessionStartup : public QObject, SessionFixture {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(context()); }

    void startupChainEndsInTheCategoryBrowser()
    {
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        int discoveries = 0;
        QObject observer;
        NotificationCenter::defaultCenter()->addObserver(&observer, LMNotification::GotFullURL, nullptr,
                                                         [&](const Notification &) { ++discoveries; });
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QVERIFY(session);

        LMSessionInitialViewController *initial = session->initialView();
        QCOMPARE(session->contentViewController(), initial);
        QCOMPARE(initial->statusLabel()->text(), QStringLiteral("Connecting to 127.0.0.1"));
        QVERIFY(session->serverConnection());
        QCOMPARE(bookmark->serverConnection(), session->serverConnection());
        QCOMPARE(session->serverConnection()->parent(), session.data());
        QCOMPARE(session->serverConnection()->managedObjectContext(), context());

        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitForContent(session, categories));
        QVERIFY(waitUntilIdle(categories));
        QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("category")));
        QCOMPARE(columnTexts(categories->categoryBrowser(), 0),
                 (QStringList{"Archive", "Documents", "Marketing", "Photos", "Video"}));
        QCOMPARE(categories->categoryBrowser()->selectedColumn(), -1);
        QCOMPARE(categories->categoryBrowser()->columnCount(), 1);

        // The bookmark has a path: no discovery, and nothing beyond the top level.
        QCOMPARE(discoveries, 0);
        QTRY_COMPARE(requestLines(server), (QStringList{"GET /ra/abouts.json", "GET /ra/categoryTypes.json",
                                                        "GET /ra/categories.json"}));
        const QList<QJsonObject> requests = server.requests();
        QVERIFY(
            !requests.at(0).value(QLatin1String("rawQuery")).toString().contains(QLatin1String("loginName")));
        for (int i = 1; i < 3; ++i)
            QCOMPARE(requests.at(i).value(QLatin1String("rawQuery")).toString(),
                     QStringLiteral("loginName=admin&password=lumaro&roleName=CategoryAdmin"));

        QVERIFY(closeSession(session));
        QVERIFY(bookmark->serverConnection() == nullptr);
    }

    void bookmarkWithoutPathDiscoversItFirst()
    {
        // Discovery asks the host's root page, which for this server (on a port of its own) is
        // not where it listens; what matters here is the order and what the view keeps.
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        bookmark->setApplicationNameURL(QString());
        QStringList seen;
        QVariant appURL;
        QObject observer;
        for (const QString &name : {LMNotification::GotFullURL, LMNotification::CheckedServer})
            NotificationCenter::defaultCenter()->addObserver(
                &observer, name, nullptr, [&](const Notification &n) {
                    seen.append(n.name);
                    if (n.name == LMNotification::GotFullURL)
                        appURL = n.userInfo.value(LMUserInfoKey::AppURL);
                });
        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);

        QTRY_VERIFY_WITH_TIMEOUT(seen.size() == 2, kTimeout);
        QCOMPARE(seen, (QStringList{LMNotification::GotFullURL, LMNotification::CheckedServer}));
        QCOMPARE(bookmark->applicationNameURL(), std::optional<QString>(appURL.toString()));
        // The check went to the path just found.
        const QString expected = appURL.toString().isEmpty() ? QStringLiteral("/ra/abouts.json")
                                                             : QLatin1Char('/') + appURL.toString() +
                                                                   QStringLiteral("/ra/abouts.json");
        if (!server.requests().isEmpty())
            QCOMPARE(server.requests().constFirst().value(QLatin1String("path")).toString(), expected);
        if (alerts.waitForAlert())
            AlertCatcher::userButtons(alerts.last()).constFirst()->click();
        QVERIFY(closeSession(session));
    }

    void failureAlertEndsTheSession_data()
    {
        QTest::addColumn<QStringList>("serverArguments");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expectedRequests");
        const QStringList check{"GET /ra/abouts.json"};
        QTest::newRow("another kind of server")
            << QStringList{"--identity", "5C02AD91E7B311E6"} << true
            << LMSessionInitialViewController::NotLumaroServerText << check;
        QTest::newRow("another API version") << QStringList{"--api-version", "5"} << true
                                             << LMSessionInitialViewController::VersionMismatchText << check;
        QTest::newRow("no folder type")
            << QStringList{"--no-folder-type"} << true << LMSessionInitialViewController::NoFolderTypeText
            << (check + QStringList{"GET /ra/categoryTypes.json"});
        QTest::newRow("nothing listening")
            << QStringList{} << false << LMSessionInitialViewController::NotLumaroServerText << QStringList{};
    }

    void failureAlertEndsTheSession()
    {
        QFETCH(QStringList, serverArguments);
        QFETCH(bool, reachable);
        QFETCH(QString, message);
        QFETCH(QStringList, expectedRequests);

        DevServer server(serverArguments);
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const quint16 port = reachable ? server.port() : DevServer::freeClosedPort();
        ServerBookmark *bookmark = makeBookmark(context(), port, server.appPath());
        // A category remembered from before is forgotten: nothing was selected in this session.
        bookmark->setLastCategoryID(7);
        context()->save();

        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QVERIFY(alerts.waitForAlert());
        QMessageBox *box = alerts.last();
        QCOMPARE(box->objectName(), QStringLiteral("LumaroAlert"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->informativeText(), message);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->parentWidget(), session->window());
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

    void connectingViewWhileTheServerIsSlow()
    {
        DevServer server({"--fault", "GET /ra/abouts.json=delay:1500"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server, QStringLiteral("Studio Archive"));
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QVERIFY(QTest::qWaitForWindowExposed(session->window()));

        LMSessionInitialViewController *initial = session->initialView();
        QCOMPARE(session->contentViewController(), initial);
        QVERIFY(initial->busyIndicator()->isVisible());
        QCOMPARE(initial->busyIndicator()->maximum(), 0); // busy, no known end
        QVERIFY(initial->statusLabel()->isVisible());
        QCOMPARE(session->window()->windowTitle(), QStringLiteral("admin@127.0.0.1"));
        QVERIFY(saveScreenshot(session->window(), QStringLiteral("session-connecting")));

        QVERIFY(waitUntilIdle(session->categoryView()));
        QVERIFY(closeSession(session));
    }

    void restoredPathOpensTheUploadViewDirectly()
    {
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        bookmark->setLastCategoryView(QStringLiteral("upload"));
        bookmark->setLastCategoryID(7);
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);

        QVERIFY(waitForContent(session, session->uploadView()));
        QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("upload")));
        QCOMPARE(session->categoryView()->initialCategoryID(), 7);
        // The category browser has not been shown yet, so it has asked for nothing.
        QVERIFY(!session->categoryView()->alreadyInitialized());
        QTRY_COMPARE(
            requestLines(server),
            (QStringList{"GET /ra/abouts.json", "GET /ra/categoryTypes.json", "GET /ra/categories/7.json",
                         "GET /ra/categories/6.json", "GET /ra/categories/1.json"}));
        LMServerConnection *connection = session->serverConnection();
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Photos/2025/Events"));
        QCOMPARE(recordId(connection->selectedCategory()), 7);
        QVERIFY(closeSession(session));
    }

    void unknownStoredCategoryNeverOpensTheUploadView()
    {
        // The server answers 404 with a JSON error object; that is no category to upload into.
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        bookmark->setLastCategoryView(QStringLiteral("upload"));
        bookmark->setLastCategoryID(999);
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);

        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitForContent(session, categories));
        QVERIFY(waitUntilIdle(categories));
        QCOMPARE(categories->categoryBrowser()->selectedColumn(), -1);
        QVERIFY(!session->serverConnection()->selectedCategory());
        QCOMPARE(session->serverConnection()->pathLevel(), -1);
        QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("upload")));
        QVERIFY(closeSession(session));
        QCOMPARE(bookmark->lastCategoryID(), std::optional<qint64>(-1));
    }
};

LUMARO_GUI_TEST_MAIN(TestSessionStartup)
#include "tst_sessionstartup.moc"
