#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "SessionTestKit.h"

#include "session/CertificateSheet.h"
#include "store/Asset.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QWindow>

using namespace SessionTestKit;

// The session window controller against a real server: what it takes from the bookmark, the
// connecting view's start-up chain and how each kind of unusable server ends the session, what it
// writes back however the window closes, its views and its connection, and sessions side by side.
class TestSessionWindow : public QObject, SessionFixture {
    Q_OBJECT

    // What the next launch finds in the store file for the bookmark: "open|last category|last view|files
    // queued" ("?": not stored), e.g. "closed|-1|category|0".
    static QString storedSession(const ServerBookmark *bookmark)
    {
        const std::unique_ptr<ObjectContext> reopened = reopenStore();
        const ServerBookmark *stored = reopened ? findBookmark(*reopened, bookmark->objectId()) : nullptr;
        if (!stored)
            return u"not stored"_s;
        auto text = [](const auto &field) { return field ? QVariant(*field).toString() : u"?"_s; };
        const std::optional<bool> open = stored->sessionWindowOpen();
        return QStringList{open ? (*open ? u"open"_s : u"closed"_s) : u"?"_s, text(stored->lastCategoryID()),
                           text(stored->lastCategoryView()),
                           QString::number(reopened->fetchPendingAssets(stored).size())}
            .join(u'|');
    }

private slots:
    void initTestCase() { QVERIFY(context()); }

    void bookmarkSetsUpTheWindow_data()
    {
        QTest::addColumn<QVariant>("lastCategoryID"); // none: a bookmark without names or category
        QTest::addColumn<qint64>("startingCategory");
        QTest::newRow("none") << QVariant(-1) << qint64(-1);
        QTest::newRow("zero") << QVariant(0) << qint64(-1);
        QTest::newRow("negative") << QVariant(-12) << qint64(-1);
        QTest::newRow("first id") << QVariant(1) << qint64(1);
        QTest::newRow("stored") << QVariant(42) << qint64(42);
        QTest::newRow("nothing set") << QVariant() << qint64(-1);
    }

    void bookmarkSetsUpTheWindow()
    {
        QFETCH(QVariant, lastCategoryID);
        QFETCH(qint64, startingCategory);
        const bool named = lastCategoryID.isValid();
        ServerBookmark *bookmark =
            named ? makeBookmark(context(), 1, QStringLiteral("app"), QStringLiteral(" My Server 2 "))
                  : context()->insertBookmark();
        if (named) {
            bookmark->setValue(ServerBookmark::kLastCategoryID, lastCategoryID);
            bookmark->setLastCategoryView(QStringLiteral("upload"));
        }
        context()->save();

        // Not shown: nothing connects.
        std::unique_ptr<LMSessionWindowController> session(openSession(m_storyboard, bookmark, false));
        QVERIFY(session);
        QCOMPARE(session->window()->windowTitle(), named ? QStringLiteral("admin@127.0.0.1") : "@");
        QCOMPARE(session->frameAutosaveName(), u"ImportAssetWindow"_s + (named ? "MyServer2" : ""));
        QCOMPARE(session->currentView(), std::optional<QString>(named ? "upload" : "category"));
        QCOMPARE(session->startingCategory(), std::optional<qint64>(startingCategory));
        QVERIFY(!session->sessionWindowClosed());
        QVERIFY(!session->serverConnection());
        QCOMPARE(session->contentViewController(), session->initialView());

        // Marked open and saved at once, so a crash still reopens the session.
        QVERIFY(storedSession(bookmark).startsWith("open|"_L1));
        QVERIFY(!findBookmark(*reopenStore(), bookmark->objectId())
                     ->hasValue(ServerBookmark::kLastConnectedDate));
    }

    void startupChainOpensTheStoredView_data()
    {
        QTest::addColumn<bool>("discover");     // the bookmark has no application path
        QTest::addColumn<qint64>("uploadInto"); // the upload view stored with this category; -1: none
        QTest::addColumn<QString>("path");      // the category the upload view opens with; empty: the browser
        QTest::addColumn<QStringList>("expectedRequests");
        const QStringList check{"GET /ra/abouts.json", "GET /ra/categoryTypes.json"};
        const QStringList chain = check + QStringList{"GET /ra/categories.json"};
        QTest::newRow("path known") << false << qint64(-1) << QString() << chain;
        // Discovery asks the root page on the bookmark's port, which redirects to the application's.
        QTest::newRow("path discovered")
            << true << qint64(-1) << QString() << QStringList{"GET /", "GET /"} + chain;
        // The category's path is climbed to the top; the browser, not shown yet, asks for nothing.
        QTest::newRow("stored upload view")
            << false << qint64(7) << "/Photos/2025/Events"
            << check + QStringList{"GET /ra/categories/7.json", "GET /ra/categories/6.json",
                                   "GET /ra/categories/1.json"};
        // The server answers 404 with a JSON error object: no category to upload into, so the
        // browser opens, and it is the view to come back to.
        QTest::newRow("stored upload view, unknown category")
            << false << qint64(999) << QString()
            << check + QStringList{"GET /ra/categories/999.json", chain.constLast()};
    }

    // Where the connecting view is looked at, the check answers slowly so that it stays up.
    void startupChainOpensTheStoredView()
    {
        QFETCH(bool, discover);
        QFETCH(qint64, uploadInto);
        QFETCH(QString, path);
        QFETCH(QStringList, expectedRequests);
        const bool watch = uploadInto == -1;
        DevServer server(watch ? QStringList{"--fault", "GET /ra/abouts.json=delay:1500"} : QStringList());
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server, QStringLiteral("Studio Archive"));
        if (discover)
            bookmark->setApplicationNameURL(QString());
        if (!watch) {
            bookmark->setLastCategoryView(QStringLiteral("upload"));
            bookmark->setLastCategoryID(uploadInto);
        }
        QStringList seen;
        QObject observer;
        for (const QString &name : {LMNotification::GotFullURL, LMNotification::CheckedServer})
            NotificationCenter::defaultCenter()->addObserver(
                &observer, name, nullptr, [&](const Notification &n) { seen.append(n.name); });
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QVERIFY(session);
        LMServerConnection *connection = session->serverConnection();
        QCOMPARE(bookmark->serverConnection(), connection);
        QCOMPARE(connection->parent(), session.data());
        QCOMPARE(connection->managedObjectContext(), context());
        if (watch) {
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
        }

        LMSessionCategoryViewController *categories = session->categoryView();
        const bool upload = !path.isEmpty();
        QVERIFY(upload ? waitForContent(session, session->uploadView())
                       : waitForContent(session, categories));
        QCOMPARE(session->currentView(), std::optional<QString>(upload ? "upload" : "category"));
        if (upload) {
            QCOMPARE(categories->initialCategoryID(), uploadInto);
            QVERIFY(!categories->alreadyInitialized());
        } else {
            QVERIFY(waitUntilIdle(categories));
            QCOMPARE(AccessibleTree::unnamedControls(session->window()), QString());
            QCOMPARE(columnTexts(categories->categoryBrowser(), 0),
                     (QStringList{"Archive", "Documents", "Marketing", "Photos", "Video"}));
            QCOMPARE(selection(categories->categoryBrowser()), QStringLiteral("- @-1"));
            QCOMPARE(connection->pathLevel(), -1);
        }

        // Discovery only without a path; the check goes to the path found; nothing beyond the top.
        QCOMPARE(seen, (discover ? QStringList{LMNotification::GotFullURL, LMNotification::CheckedServer}
                                 : QStringList{LMNotification::CheckedServer}));
        QCOMPARE(bookmark->applicationNameURL(), std::optional<QString>(server.appPath()));
        // Each request's path and login: tst_connection's everyRequestOnTheWire.
        QTRY_COMPARE(requestLines(server), expectedRequests);
        QCOMPARE(connection->getSelectedCategoryPath(), path);
        QCOMPARE(recordId(connection->selectedCategory()), upload ? uploadInto : -1);

        QVERIFY(closeSession(session));
        QVERIFY(bookmark->serverConnection() == nullptr);
        if (!watch)
            QCOMPARE(bookmark->lastCategoryID(), std::optional<qint64>(upload ? uploadInto : -1));
    }

    void failureAlertEndsTheSession_data()
    {
        QTest::addColumn<QStringList>("serverArguments");
        QTest::addColumn<QString>("host"); // %1: a port nothing listens on, %2: the server's
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason"); // %1 and %2 as in host
        QTest::addColumn<QStringList>("expectedRequests");
        QTest::addColumn<int>("posted"); // a check result posted for the connection by the test
        const QStringList check{"GET /ra/abouts.json"};
        const QString server = QStringLiteral("127.0.0.1:%2");
        QTest::newRow("another kind of server") << QStringList{"--identity", "5C02AD91E7B311E6"} << server
                                                << LMSessionInitialViewController::notLumaroServerText()
                                                << "The server's answer is no Lumaro identity." << check << 0;
        QTest::newRow("another API version")
            << QStringList{"--api-version", "5"} << server
            << LMSessionInitialViewController::versionMismatchText()
            << "The server speaks interface version 5; this application speaks version 4." << check << 0;
        QTest::newRow("no folder type")
            << QStringList{"--no-folder-type"} << server << LMSessionInitialViewController::noFolderTypeText()
            << "The server lists no “Folder” category type."
            << (check + QStringList{"GET /ra/categoryTypes.json"}) << 0;
        QTest::newRow("error status") << QStringList{"--fault", "GET /ra/abouts.json=status:404"} << server
                                      << LMSessionInitialViewController::notLumaroServerText()
                                      << "The server answered HTTP 404 Not Found" << check << 0;
        // No server answered: the alert names what failed, and blames no server for its kind.
        QTest::newRow("nothing listening")
            << QStringList{} << QStringLiteral("127.0.0.1:%1")
            << "Cannot reach 127.0.0.1:%1: connection refused" << QString() << QStringList{} << 0;
        // Stored before hosts were checked: no request leaves, and the alert says why.
        QTest::newRow("stored host with a path in it")
            << QStringList{} << QStringLiteral("127.0.0.1:%2/x?y#z")
            << "The host “127.0.0.1:%2/x?y#z” cannot be used: The host is only the server's name or address, "
               "without a scheme or port; the port belongs in the advanced settings. A whole address pasted "
               "here is taken apart."
            << QString() << QStringList{} << 0;
        // The server's answer is held back; a code the connection never sends still ends the
        // session, with an empty text.
        QTest::newRow("unknown result code") << QStringList{"--fault", "GET /ra/abouts.json=delay:4000"}
                                             << server << QString() << QString() << QStringList{} << 3;
    }

    void failureAlertEndsTheSession()
    {
        QFETCH(QStringList, serverArguments);
        QFETCH(QString, host);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        QFETCH(QStringList, expectedRequests);
        QFETCH(int, posted);

        DevServer server(serverArguments);
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const QString closed = QString::number(DevServer::freeClosedPort());
        auto ports = [&](QString text) {
            return text.replace("%1"_L1, closed).replace("%2"_L1, QString::number(server.port()));
        };
        const QString address = ports(host);
        ServerBookmark *bookmark =
            makeBookmark(context(), address.section(u':', 1).toUShort(), server.appPath());
        if (address.contains(QLatin1Char('/')))
            bookmark->setHostName(address);
        // A category remembered from before is forgotten: nothing was selected in this session.
        bookmark->setLastCategoryID(7);
        context()->save();

        AlertCatcher alerts;
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QPointer<LMServerConnection> connection = session->serverConnection();
        QVERIFY(connection);
        auto postResult = [](QObject *sender, int code) {
            NotificationCenter::defaultCenter()->post(LMNotification::CheckedServer, sender,
                                                      {{LMUserInfoKey::ServerCheck, code}});
        };
        if (posted) {
            QObject stranger;
            postResult(&stranger, 1);
            QCOMPARE(alerts.count(), 0);
            postResult(connection, posted);
        }
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

        // The window waits for the user, and another result meanwhile stacks no further alert.
        postResult(connection, 2);
        QVERIFY(session->window()->isVisible());
        QCOMPARE(session->contentViewController(), session->initialView());
        QCOMPARE(requestLines(server), expectedRequests);

        buttons.constFirst()->click();
        QTRY_VERIFY(session.isNull());
        // The connection went with its window, any request of it still outstanding.
        QTRY_VERIFY(connection.isNull());
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(storedSession(bookmark), u"closed|-1|category|0"_s);
    }

    void certificateIsAskedAboutOncePerBookmark()
    {
        QTemporaryDir certificates;
        const QStringList first = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("first"));
        const QStringList second = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("second"));
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        const QSslCertificate certificate = QSslCertificate::fromPath(first.at(1)).value(0);
        const QString fingerprint = certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper();
        DevServer server(first);
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server, QStringLiteral("Self-signed"));
        bookmark->setSecureConnect(true);
        context()->save();

        // First contact: the sheet, then trusted for the bookmark.
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QTRY_VERIFY_WITH_TIMEOUT(session->certificateSheet(), kTimeout);
        CertificateSheet *sheet = session->certificateSheet();
        auto label = [](QWidget *sheet, const char *name) {
            return sheet->findChild<QLabel *>(QLatin1String(name))->text();
        };
        QCOMPARE(sheet->parentWidget(), session->window());
        QCOMPARE(label(sheet, "certificateFingerprint").remove(QLatin1Char('\n')), fingerprint);
        QVERIFY(label(sheet, "certificateHeading").contains(u"127.0.0.1:%1"_s.arg(server.port())));
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
        QVERIFY(label(session->certificateSheet(), "certificateHeading").contains("has changed"_L1));
        session->certificateSheet()->cancelButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(session.isNull(), kTimeout);
        QCOMPARE(alerts.count(), 0);
        QCOMPARE(changed.requests().size(), 0);
        QCOMPARE(bookmark->trustedCertificate(), fingerprint);
        QCOMPARE(bookmark->sessionWindowOpen(), std::optional<bool>(false));
    }

    void closingWritesTheSessionBack_data()
    {
        QTest::addColumn<bool>("closeButton");
        QTest::addColumn<bool>("setCategory");
        QTest::newRow("close button") << true << false;
        QTest::newRow("close button after Set") << true << true;
        QTest::newRow("closed otherwise") << false << false;
    }

    // A second session, on a server of its own, runs beside the one that closes and hears nothing of it.
    void closingWritesTheSessionBack()
    {
        QFETCH(bool, closeButton);
        QFETCH(bool, setCategory);
        DevServer server;
        DevServer otherServer({"--short-records"});
        QVERIFY2(server.isRunning() && otherServer.isRunning(),
                 qPrintable(server.errorString() + otherServer.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server, QStringLiteral("Studio A"));
        ServerBookmark *otherBookmark = makeBookmark(context(), otherServer, QStringLiteral("Studio B"));
        Asset *removed = context()->insertAsset();
        removed->setFilePath(QStringLiteral("/nowhere/removed.jpg"));
        removed->setBookmark(bookmark);
        QVERIFY(context()->save());
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        QPointer<LMSessionWindowController> other = openSession(m_storyboard, otherBookmark);
        // Removed from the queue as the Delete key does it: not saved there and then.
        context()->deleteObject(removed);
        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitUntilIdle(categories));
        QVERIFY(waitUntilIdle(other->categoryView()));
        QVERIFY(session->serverConnection() != other->serverConnection());
        QTRY_COMPARE(otherServer.requests().size(), 3);
        ColumnBrowser *browser = categories->categoryBrowser();
        QVERIFY(pick(categories, 0, QStringLiteral("Photos")));
        LMNewCategoryViewController *sheet = openSheet(categories, QStringLiteral("Only in A"));
        QVERIFY(sheet);
        sheet->saveButton()->click();
        QTRY_COMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025", "Only in A"}));
        QVERIFY(waitUntilIdle(categories));
        QVERIFY(pick(categories, 1, QStringLiteral("2025")));
        qint64 chosen = 6;
        if (setCategory) {
            QVERIFY(QTest::qWaitForWindowExposed(session->window()));
            const QSize size = categories->view()->size();
            const QStringList asked = requestLines(server);
            categories->setCategoryButton()->click();
            QCOMPARE(session->contentViewController(), session->uploadView());
            QCOMPARE(session->uploadView()->view()->size(), size);
            QVERIFY(!categories->view()->isVisible());
            // Back: the browser as it was left, asking nothing again; the next click asks on.
            session->uploadView()->backToCategoriesButtonClicked();
            QCOMPARE(session->contentViewController(), categories);
            QCOMPARE(session->currentView(), std::optional<QString>(QStringLiteral("category")));
            QCOMPARE(storedSession(bookmark), u"open|6|category|1"_s);
            QCOMPARE(selection(browser), QStringLiteral("Photos/2025/- @1"));
            QCOMPARE(columnTexts(browser, 2), QStringList{"Events"});
            QVERIFY(isIdle(categories));
            QVERIFY(pick(categories, 2, QStringLiteral("Events")));
            QTRY_COMPARE(requestLines(server), asked + QStringList{"GET /ra/categories/7.json"});
            chosen = 7;
            categories->setCategoryButton()->click();
            QCOMPARE(session->contentViewController(), session->uploadView());
        }
        // The other session heard nothing of it: same requests, same browser, never busy.
        QVERIFY(isIdle(other->categoryView()));
        QCOMPARE(selection(other->categoryView()->categoryBrowser()), QStringLiteral("- @-1"));
        QCOMPARE(otherServer.requests().size(), 3);
        QVERIFY(!other->serverConnection()->selectedCategory());
        // Where the user is was written at once, that record alone: the removal is not saved yet.
        const QString place = u"%1|%2"_s.arg(chosen).arg(setCategory ? "upload"_L1 : "category"_L1);
        QCOMPARE(storedSession(bookmark), u"open|%1|1"_s.arg(place));

        QPointer<LMServerConnection> connection = session->serverConnection();
        QPointer<ViewController> views[] = {session->initialView(), categories, session->uploadView()};
        QSignalSpy closed(session.data(), &WindowController::closed);
        QPointer<QMainWindow> window = session->window();
        if (closeButton)
            window->windowHandle()->close(); // the title-bar button
        else
            session->close();
        QCOMPARE(session->sessionWindowClosed(), closeButton);
        QTRY_VERIFY(!window || !window->isVisible());

        // Gone after the close, with everything it owned.
        QTRY_VERIFY(session.isNull());
        QCOMPARE(closed.count(), 1);
        QVERIFY(connection.isNull());
        for (const QPointer<ViewController> &view : views)
            QVERIFY(view.isNull());

        // The close saved the whole context, the removal with it.
        QCOMPARE(storedSession(bookmark), u"%1|%2|0"_s.arg(closeButton ? "closed"_L1 : "open"_L1, place));

        // The other session runs on, and reopens at the next launch.
        QVERIFY(other->window()->isVisible());
        QVERIFY(pick(other->categoryView(), 0, QStringLiteral("Video")));
        QCOMPARE(columnTexts(other->categoryView()->categoryBrowser(), 1), (QStringList{"Edited", "Raw"}));
        QCOMPARE(storedSession(otherBookmark), u"open|10|category|0"_s);
        QVERIFY(closeSession(other));
    }

    void closingMidUploadFinishesTheFileInFlight()
    {
        QTemporaryDir files;
        QVERIFY(files.isValid());
        QList<Asset *> batch;
        DevServer server({"--fault", "POST /ra/categoryAssets.json#1=delay:1500"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        for (const QString &name : {QStringLiteral("first.jpg"), QStringLiteral("second.jpg")}) {
            QFile file(files.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(64 * 1024, 'x'));
            Asset *asset = context()->insertAsset();
            asset->setFilePath(file.fileName());
            asset->setBookmark(bookmark);
            batch.append(asset);
        }
        QVERIFY(context()->save());

        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitUntilIdle(categories));
        QVERIFY(pick(categories, 0, QStringLiteral("Archive")));

        QPointer<LMServerConnection> connection = session->serverConnection();
        connection->startAssetImport(batch);
        QVERIFY(server.waitForRequests(4, kTimeout)); // ... then the import status
        // The first file is on its way once its record says so; the window closes at once all the same.
        QTRY_VERIFY(batch.at(0)->uploadState() == Asset::UploadState::Sending && !batch.at(0)->hasChanges());
        QPointer<QMainWindow> window = session->window();
        window->windowHandle()->close();
        QTRY_VERIFY(session.isNull());
        QVERIFY(window.isNull());
        QVERIFY(connection);
        QCOMPARE(connection->parent(), nullptr);
        QVERIFY(connection->haltUpload());

        QTRY_VERIFY_WITH_TIMEOUT(connection.isNull(), kTimeout);
        QCOMPARE(server.requests(QStringLiteral("/ra/categoryAssets.json")).size(), 1);
        std::unique_ptr<ObjectContext> reopened = reopenStore();
        const QList<Asset *> uploaded = reopened->fetchUploadedAssets();
        const auto sent = std::find_if(uploaded.cbegin(), uploaded.cend(), [&](const Asset *asset) {
            return asset->filePath() == batch.at(0)->filePath();
        });
        QVERIFY(sent != uploaded.cend());
        QCOMPARE((*sent)->categoryID(), std::optional<qint64>(23));
        QCOMPARE(storedSession(bookmark), u"closed|23|category|1"_s);
    }
};

LUMARO_GUI_TEST_MAIN(TestSessionWindow)
#include "tst_sessionwindow.moc"
