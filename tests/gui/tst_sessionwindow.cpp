#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "SessionTestKit.h"

#include "platform/widgets/BrowserColumnModel.h"
#include "session/CertificateSheet.h"
#include "store/Asset.h"

#include <QJsonDocument>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTemporaryFile>
#include <QWindow>

using namespace SessionTestKit;

namespace {

// Describes the session's category view after each level-loaded notification: queued, so the
// description is taken once the view's own handler is done.
class StepRecorder : public QObject {
public:
    StepRecorder(const QPointer<LMSessionWindowController> &session,
                 std::function<QString(const LMSessionCategoryViewController *)> describe)
    {
        auto snapshot = [this, &session, describe] {
            const LMSessionCategoryViewController *view = session ? session->categoryView() : nullptr;
            if (view && view->categoryBrowser())
                steps.append(describe(view));
        };
        NotificationCenter::defaultCenter()->addObserver(
            this, LMNotification::HasCategories, nullptr, [this, snapshot](const Notification &) {
                QMetaObject::invokeMethod(this, snapshot, Qt::QueuedConnection);
            });
    }
    QStringList steps;
};

qint64 postedParentId(const QJsonObject &request)
{
    return requestBody(request)["parentCategoryStructures"][0]["parentCategory"]["id"].toInteger(-1);
}

bool isLeafRow(const ColumnBrowser *browser, int column, int row)
{
    return browser->columnView(column)->model()->index(row, 0).data(BrowserColumnModel::LeafRole).toBool();
}

// A node without children is a leaf.
struct Node {
    QString name;
    QList<Node> children = {};
};

Node sampleTree()
{
    return {"",
            {{"Animals", {{"Cats", {{"Tabby"}, {"Siamese"}}}, {"Dogs", {{"Beagle"}}}}},
             {"Plants", {{"Trees", {{"Oak"}}}, {"Fern"}}},
             {"Readme"}}};
}

// A flat list of leaves, "file-0" onwards.
Node files(int count)
{
    Node root;
    for (int row = 0; row < count; ++row)
        root.children.append({QStringLiteral("file-%1").arg(row)});
    return root;
}

// Resolves a column through the browser's own selection path, as an application delegate does.
class TreeDelegate : public ColumnBrowserDelegate {
public:
    Node root = sampleTree();
    int cellsFilled = 0;

    const Node *parentOf(ColumnBrowser *browser, int column) const
    {
        const Node *node = &root;
        for (int c = 0; c < column && node; ++c) {
            const int row = browser->selectedRowInColumn(c);
            node = row >= 0 && row < node->children.size() ? &node->children.at(row) : nullptr;
        }
        return node;
    }
    int numberOfRowsInColumn(ColumnBrowser *browser, int column) override
    {
        const Node *parent = parentOf(browser, column);
        return parent ? int(parent->children.size()) : 0;
    }
    void willDisplayCell(ColumnBrowser *browser, BrowserCell &cell, int row, int column) override
    {
        ++cellsFilled;
        const Node &node = parentOf(browser, column)->children.at(row);
        cell.text = node.name;
        cell.leaf = node.children.isEmpty();
    }
};

} // namespace

// The session window controller against a real server: what it takes from the bookmark, the
// connecting view's start-up chain and how each kind of unusable server ends the session, what it
// writes back however the window closes, its views and its connection, and sessions side by side.
// Then its category browser driven through real clicks: the path walk of a stored category, user
// selections, stale levels, odd records and the new-category sheet. Last, the column browser on its
// own over a tree of its own: clicks, keys, programmatic changes and long lists.
class TestSessionWindow : public QObject {
    Q_OBJECT

    AppDelegate m_delegate;
    Storyboard m_storyboard{QStringLiteral("Main")};
    std::unique_ptr<DevServer> m_server;
    QPointer<LMSessionWindowController> m_session;

    ObjectContext *context() { return m_delegate.managedObjectContext(); }

    // A server started with args and a session opened on a bookmark for it, with its browser
    // loaded and idle.
    LMSessionCategoryViewController *open(const QStringList &args = {}, qint64 storedCategory = -1)
    {
        m_server = std::make_unique<DevServer>(args);
        if (!m_server->isRunning()) {
            qWarning().noquote() << m_server->errorString();
            return nullptr;
        }
        ServerBookmark *bookmark = makeBookmark(context(), *m_server);
        bookmark->setLastCategoryID(storedCategory);
        m_session = openSession(m_storyboard, bookmark);
        if (!m_session || !waitForContent(m_session, m_session->categoryView()) ||
            !waitUntilIdle(m_session->categoryView()))
            return nullptr;
        return m_session->categoryView();
    }

    // What the next launch finds in the store file for the bookmark: "open|last category|last view|files
    // queued" ("?": not stored), e.g. "closed|-1|category|0".
    static QString storedSession(const ServerBookmark *bookmark)
    {
        const std::unique_ptr<ObjectContext> reopened = openStore();
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

    std::unique_ptr<ColumnBrowser> m_browser;
    TreeDelegate m_tree;
    TreeDelegate m_files;

    ColumnBrowser *browser() { return m_browser.get(); }

    // The browser alone, over the sample tree.
    bool showBrowser()
    {
        m_tree.root = sampleTree();
        m_browser = std::make_unique<ColumnBrowser>();
        m_browser->resize(900, 300);
        m_browser->setColumnWidth(180);
        m_browser->setDelegate(&m_tree);
        m_browser->show();
        return QTest::qWaitForWindowExposed(m_browser.get());
    }

    // A real double click is a click followed by the double-click press.
    bool doubleClickRow(int row, int column)
    {
        if (!clickRow(browser(), row, column))
            return false;
        QTest::mouseDClick(browser()->columnView(column)->viewport(), Qt::LeftButton, {},
                           browser()->visualRectOfRow(row, column).center());
        return true;
    }

public:
    TestSessionWindow() { registerSessionControllers(m_storyboard); }

private slots:
    void initTestCase() { QVERIFY(context()); }

    void cleanup()
    {
        QVERIFY(closeSession(m_session));
        m_browser.reset();
    }

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
        QVERIFY(!findBookmark(*openStore(), bookmark->objectId())
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
            QCOMPARE(shown(categories->categoryBrowser()), u"Archive Documents Marketing Photos Video @-1"_s);
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
        QCOMPARE(findBookmark(*openStore(), bookmark->objectId())->trustedCertificate(), fingerprint);

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
            QCOMPARE(shown(browser),
                     u"Archive Documents Marketing [Photos] Video / 2024 [2025] Only in A / Events @1"_s);
            QVERIFY(isIdle(categories));
            QVERIFY(pick(categories, 2, QStringLiteral("Events")));
            QTRY_COMPARE(requestLines(server), asked + QStringList{"GET /ra/categories/7.json"});
            chosen = 7;
            categories->setCategoryButton()->click();
            QCOMPARE(session->contentViewController(), session->uploadView());
        }
        // The other session heard nothing of it: same requests, same browser, never busy.
        QVERIFY(isIdle(other->categoryView()));
        QCOMPARE(shown(other->categoryView()->categoryBrowser()),
                 u"Archive Documents Marketing Photos Video @-1"_s);
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
        LMSessionCategoryViewController *categories =
            open({"--fault", "POST /ra/categoryAssets.json#1=delay:1500"});
        QVERIFY(categories);
        QVERIFY(pick(categories, 0, QStringLiteral("Archive")));
        ServerBookmark *bookmark = m_session->connectionBookmark();
        QTemporaryDir files;
        QList<Asset *> batch;
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

        QPointer<LMServerConnection> connection = m_session->serverConnection();
        connection->startAssetImport(batch);
        QVERIFY(m_server->waitForRequests(4, kTimeout)); // ... then the import status
        // The first file is on its way once its record says so; the window closes at once all the same.
        QTRY_VERIFY(batch.at(0)->uploadState() == Asset::UploadState::Sending && !batch.at(0)->hasChanges());
        QPointer<QMainWindow> window = m_session->window();
        window->windowHandle()->close();
        QTRY_VERIFY(m_session.isNull());
        QVERIFY(window.isNull());
        QVERIFY(connection);
        QCOMPARE(connection->parent(), nullptr);
        QVERIFY(connection->haltUpload());

        QTRY_VERIFY_WITH_TIMEOUT(connection.isNull(), kTimeout);
        QCOMPARE(m_server->requests(QStringLiteral("/ra/categoryAssets.json")).size(), 1);
        std::unique_ptr<ObjectContext> reopened = openStore();
        const QList<Asset *> uploaded = reopened->fetchUploadedAssets();
        const auto sent = std::find_if(uploaded.cbegin(), uploaded.cend(), [&](const Asset *asset) {
            return asset->filePath() == batch.at(0)->filePath();
        });
        QVERIFY(sent != uploaded.cend());
        QCOMPARE((*sent)->categoryID(), std::optional<qint64>(23));
        QCOMPARE(storedSession(bookmark), u"closed|23|category|1"_s);
    }

    void aColumnNeverShowsAnotherSelectionsRows()
    {
        // Photos answers late; Video, clicked after it, answers first. Documents fails once.
        LMSessionCategoryViewController *view =
            open({"--short-records", "--fault", "GET /ra/categories/1.json#1=delay:1500", "--fault",
                  "GET /ra/categories/13.json#1=status:500"});
        QVERIFY(view);
        // Each step: what column 1 shows, then the loading label.
        StepRecorder recorder(m_session, [](const LMSessionCategoryViewController *view) {
            return columnTexts(view->categoryBrowser(), 1).join(u',') + u'|' +
                   view->loadingCategoryLabel()->text();
        });
        ColumnBrowser *browser = view->categoryBrowser();

        QVERIFY(clickRow(browser, 0, QStringLiteral("Photos")));
        QCOMPARE(columnTexts(browser, 1), QStringList());
        QVERIFY(clickRow(browser, 0, QStringLiteral("Video")));
        QCOMPARE(columnTexts(browser, 1), QStringList());

        // Both answers arrive, Photos' last, with no round more; the last click wins and nothing
        // else shows up below it on the way.
        QTRY_COMPARE_WITH_TIMEOUT(recorder.steps.size(), 2, kTimeout);
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(shown(browser), u"Archive Documents Marketing Photos [Video] / Edited Raw @0"_s);
        LMServerConnection *connection = m_session->serverConnection();
        QCOMPARE(recordId(connection->selectedCategory()), 10);
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Video"));
        for (const QString &step : std::as_const(recorder.steps))
            QVERIFY2(step.startsWith("Edited,Raw|"_L1) || step == "|getting categories"_L1, qPrintable(step));
        QTRY_COMPARE(m_server->requests(QStringLiteral("/ra/categories/1.json")).size(), 1);
        QCOMPARE(m_server->requests(QStringLiteral("/ra/categories/10.json")).size(), 1);

        // A failed load shows nothing below the category and says why, until a click retries it.
        QVERIFY(pick(view, 0, QStringLiteral("Photos")));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025"}));
        QVERIFY(clickRow(browser, 0, QStringLiteral("Documents")));
        QTRY_VERIFY(view->loadFailureLabel()->text().startsWith(
            QLatin1String("Could not load the sub-categories of Documents: HTTP 500")));
        QVERIFY(view->loadFailureLabel()->isVisible());
        QVERIFY(isIdle(view));
        QCOMPARE(columnTexts(browser, 1), QStringList());
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Documents"));
        QVERIFY(saveScreenshot(m_session->window(), QStringLiteral("session-category-load-failed")));
        QVERIFY(pick(view, 0, QStringLiteral("Documents")));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Contracts", "Invoices"}));
        QVERIFY(!view->loadFailureLabel()->isVisible());
    }

    void storedCategoryIsWalkedOneLevelPerNotification()
    {
        // Each step: the row clicked, "column,row", then the level loaded > the level aimed at.
        StepRecorder recorder(m_session, [](const LMSessionCategoryViewController *view) {
            return QString::asprintf("%lld,%lld %lld>%lld", view->clickedCategory().column,
                                     view->clickedCategory().row, view->currentPathLevel(),
                                     view->targetPathLevel());
        });
        LMSessionCategoryViewController *view = open({"--short-records"}, 7);
        QVERIFY(view);
        QCOMPARE(view->initialCategoryID(), 7);

        // Climb (stored category up to the top), then the walk: top level, then one level per
        // notification, each asked only once the level above it had arrived.
        QTRY_COMPARE(
            requestLines(*m_server).mid(2), // after the server check
            (QStringList{"GET /ra/categories/7.json", "GET /ra/categories/6.json",
                         "GET /ra/categories/1.json", "GET /ra/categories.json", "GET /ra/categories/1.json",
                         "GET /ra/categories/6.json", "GET /ra/categories/7.json"}));
        QTRY_COMPARE(recorder.steps.size(), 4);
        QCOMPARE(recorder.steps, (QStringList{"0,3 0>2", "1,1 1>2", "2,0 2>2", "2,0 -1>-1"}));

        QCOMPARE(shown(view->categoryBrowser()),
                 u"Archive Documents Marketing [Photos] Video / 2024 [2025] / [Events] / "
                 u"Team Day Trade Fair Munich @2"_s);
        QVERIFY(isIdle(view));
        QCOMPARE(recordId(m_session->serverConnection()->selectedCategory()), 7);
        QCOMPARE(view->selectionLabel()->text(), u"Selected: \u2068/Photos/2025/Events\u2069"_s);

        QVERIFY(QTest::qWaitForWindowExposed(m_session->window()));
        QVERIFY(saveScreenshot(m_session->window(), QStringLiteral("session-category-browser")));
    }

    void storedCategoryThatCannotBeRebuilt_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("stored");
        QTest::newRow("unknown to the server") << QStringList{} << qint64(999);
        QTest::newRow("parent cycle") << QStringList{"--parent-cycle", "14,15"} << qint64(14);
    }

    void storedCategoryThatCannotBeRebuilt()
    {
        QFETCH(QStringList, args);
        QFETCH(qint64, stored);
        LMSessionCategoryViewController *view = open(args, stored);
        QVERIFY(view);
        QCOMPARE(shown(view->categoryBrowser()), u"Archive Documents Marketing Photos Video @-1"_s);
        QVERIFY(!m_session->serverConnection()->selectedCategory());
        // The climb, then the top level (once more if the walk had to clear a selection).
        const QString climb = QStringLiteral("GET /ra/categories/%1.json").arg(stored);
        QTRY_VERIFY(requestLines(*m_server).contains(QStringLiteral("GET /ra/categories.json")));
        const QStringList lines = requestLines(*m_server).mid(2); // after the server check
        const qsizetype top = lines.indexOf(QStringLiteral("GET /ra/categories.json"));
        for (const QString &line : lines.mid(top))
            QCOMPARE(line, QStringLiteral("GET /ra/categories.json"));
        QCOMPARE(lines.constFirst(), climb);

        // Set has nothing to go to.
        view->setCategoryButton()->click();
        QCOMPARE(m_session->contentViewController(), view);
        QCOMPARE(m_session->currentView(), std::optional<QString>(QStringLiteral("category")));

        // Nothing shown selected means nothing selected: the sheet and the request agree.
        LMNewCategoryViewController *sheet = openSheet(view, QStringLiteral("Fresh"));
        QVERIFY(sheet);
        QCOMPARE(sheet->view()->findChild<QLabel *>(QStringLiteral("newCategoryPlaceLabel"))->text(),
                 QStringLiteral("The category is created at the top level."));
        sheet->saveButton()->click();
        QTRY_VERIFY(requestLines(*m_server).contains(QStringLiteral("POST /ra/categories.json")));
        for (const QJsonObject &request : m_server->requests(QStringLiteral("/ra/categories.json")))
            QVERIFY(!requestBody(request).contains(QLatin1String("parentCategoryStructures")));
        QVERIFY(waitUntilIdle(view));
    }

    void walkEndsWhereThePathNoLongerMatches()
    {
        // By the time the walk opens Photos, 2025 is gone from it.
        const QString photos =
            QStringLiteral(R"({"id":1,"name":"Photos","isLeaf":false,"directChildCategoryStructuresSorted":)"
                           R"([{"childCategory":{"id":2,"name":"2024","isLeaf":false}}]})");
        LMSessionCategoryViewController *view =
            open({"--short-records", "--fault", "GET /ra/categories/1.json#2=body:" + photos}, 7);
        QVERIFY(view);
        QCOMPARE(shown(view->categoryBrowser()), u"Archive Documents Marketing [Photos] Video / 2024 @0"_s);
        QCOMPARE(m_session->serverConnection()->getSelectedCategoryPath(), QStringLiteral("/Photos"));
    }

    void oddRecordsStillBrowse()
    {
        const QString level = QStringLiteral(R"([{"id":1},{"id":13,"name":42,"isLeaf":"yes"},)"
                                             R"({"name":"Loose","isLeaf":true},{"id":10,"name":"Video"},)"
                                             R"({"name":"Cut\u0000here \u202Egnp.exe","isLeaf":true}])");
        LMSessionCategoryViewController *view = open({"--fault", "GET /ra/categories.json=body:" + level});
        QVERIFY(view);
        ColumnBrowser *browser = view->categoryBrowser();
        // Controls in a name are shown, to the eye and to a screen reader, never obeyed.
        const QString odd = QStringLiteral("Cut<U+0000>here <U+202E>gnp.exe");
        QCOMPARE(columnTexts(browser, 0), (QStringList{"", "", "Loose", "Video", odd}));
        for (int row = 0; row < 5; ++row)
            QCOMPARE(isLeafRow(browser, 0, row), row == 2 || row == 4);
        QVERIFY(pick(view, 0, odd));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(browser->columnView(0));
        QCOMPARE(list->tableInterface()->cellAt(4, 0)->text(QAccessible::Name), odd);
        QCOMPARE(view->selectionLabel()->text(), u"Selected: \u2068/"_s + odd + QChar(0x2069));

        // A record without an id cannot be fetched; selecting it still completes.
        QVERIFY(pick(view, 0, QStringLiteral("Loose")));
        QCOMPARE(browser->columnCount(), 1);
        QVERIFY(pick(view, 0, QString())); // the first record without a name: Photos
        QCOMPARE(columnTexts(browser, 0).at(0), QStringLiteral("Photos"));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025"}));
        QVERIFY(pick(view, 0, QString())); // now the next one, whose name is a number
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Contracts", "Invoices"}));
    }

    void deepPathAndLongLevel()
    {
        // Fifty levels, the second one holding 3000 categories besides the way down.
        QJsonObject node{{"id", 50}, {"name", "Level 50"}};
        for (int id = 49; id >= 1; --id) {
            QJsonArray children{node};
            if (id == 1)
                for (int n = 0; n < 3000; ++n)
                    children.append(
                        QJsonObject{{"id", 1000 + n}, {"name", u"Item %1"_s.arg(n, 4, 10, QChar(u'0'))}});
            node = QJsonObject{{"id", id}, {"name", u"Level %1"_s.arg(id)}, {"children", children}};
        }
        QTemporaryFile tree;
        QVERIFY(tree.open());
        tree.write(QJsonDocument(QJsonObject{{"categories", QJsonArray{node}}}).toJson());
        tree.flush();

        LMSessionCategoryViewController *view = open({"--tree", tree.fileName()}, 50);
        QVERIFY(view);
        ColumnBrowser *browser = view->categoryBrowser();
        QCOMPARE(browser->selectedColumn(), 49);
        QCOMPARE(browser->rowCountInColumn(1), 3001);
        QCOMPARE(browser->selectedRowInColumn(1), 3000); // "Level 2" sorts after the items
        QCOMPARE(m_session->serverConnection()->pathLevel(), 49);
        const int requests = int(m_server->requests().size());

        // Rows come from the model: showing every row of the long column asks the server nothing,
        // so the next request it sees is the one the following click makes.
        browser->columnView(1)->scrollToTop();
        QCOMPARE(columnTexts(browser, 1).indexOf(u"Item 2999"_s), 2999);
        QVERIFY(pick(view, 1, QStringLiteral("Item 0005")));
        QTRY_COMPARE(int(m_server->requests().size()), requests + 1);
        QCOMPARE(requestLines(*m_server).constLast(), QStringLiteral("GET /ra/categories/1005.json"));
        QCOMPARE(browser->columnCount(), 2);
    }

    void clicksSelectAndNewCategoriesGoUnderTheSelection()
    {
        // The third creation is answered with an object that is no category (an empty name's refusal
        // on the wire: tst_connection).
        LMSessionCategoryViewController *view =
            open({"--fault", R"(POST /ra/categories.json#3=body:{"error":"that name is taken"})"});
        QVERIFY(view);
        ColumnBrowser *browser = view->categoryBrowser();
        LMServerConnection *connection = m_session->serverConnection();
        QVERIFY(clickRow(browser, 0, QStringLiteral("Photos")));
        // Under way until the connection reports back, and the browser still takes clicks.
        QCOMPARE(view->loadingCategoryLabel()->text(), QStringLiteral("getting categories"));
        QVERIFY(!view->setCategoryButton()->isEnabled());
        QVERIFY(browser->isEnabled());
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025"}));
        QCOMPARE(recordId(connection->selectedCategory()), 1);
        // Which records are fetched for their children: tst_connection's everyRequestOnTheWire.
        QVERIFY(pick(view, 1, QStringLiteral("2025")));
        QCOMPARE(columnTexts(browser, 2), QStringList{"Events"});

        LMNewCategoryViewController *sheet = openSheet(view, QStringLiteral("  Night Shots "));
        QVERIFY(sheet);
        QCOMPARE(sheet->myTarget(), view);
        QVERIFY(sheet->view()->isVisible());
        QCOMPARE(sheet->view()->window()->windowModality(), Qt::WindowModal);
        QVERIFY(saveScreenshot(sheet->view()->window(), QStringLiteral("session-new-category-sheet")));
        QCOMPARE(AccessibleTree::unnamedControls(sheet->view()->window()), QString());
        sheet->saveButton()->click();
        QVERIFY(view->presentedViewControllers().isEmpty());

        QTRY_COMPARE(m_server->requests(QStringLiteral("/ra/categories.json")).size(), 2);
        const QJsonObject post = m_server->requests(QStringLiteral("/ra/categories.json")).constLast();
        QCOMPARE(post.value(QLatin1String("method")).toString(), QStringLiteral("POST"));
        QCOMPARE(requestBody(post).value(QLatin1String("name")).toString(), QStringLiteral("  Night Shots "));
        QCOMPARE(postedParentId(post), 6);
        QTRY_COMPARE(columnTexts(browser, 2), (QStringList{"  Night Shots ", "Events"}));
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(shown(browser),
                 u"Archive Documents Marketing [Photos] Video / 2024 [2025] /   Night Shots  Events @1"_s);

        // Cancel sends nothing: the next request the server sees is the click after it.
        sheet = openSheet(view, QStringLiteral("Never"));
        QVERIFY(sheet);
        sheet->cancelButton()->click();
        QVERIFY(view->presentedViewControllers().isEmpty());
        QVERIFY(clickRow(browser, 2, QStringLiteral("Events")));
        QTRY_VERIFY(requestLines(*m_server).endsWith(QStringLiteral("GET /ra/categories/7.json")));
        QCOMPARE(m_server->requests(QStringLiteral("/ra/categories.json")).size(), 2);
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(columnTexts(browser, 3), (QStringList{"Team Day", "Trade Fair Munich"}));
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Photos/2025/Events"));

        // Below a leaf: the leaf turns into a branch and opens its new child.
        QVERIFY(pick(view, 3, QStringLiteral("Team Day")));
        QVERIFY(isLeafRow(browser, 3, columnTexts(browser, 3).indexOf(u"Team Day"_s)));
        sheet = openSheet(view, QStringLiteral("Speakers"));
        QVERIFY(sheet);
        QCOMPARE(sheet->view()->findChild<QLabel *>(QStringLiteral("newCategoryPlaceLabel"))->text(),
                 QStringLiteral("The category is created inside /Photos/2025/Events/Team Day."));
        QTest::keyClick(sheet->textNewCategory(), Qt::Key_Return);
        QTRY_COMPARE(columnTexts(browser, 4), QStringList{"Speakers"});
        QVERIFY(!isLeafRow(browser, 3, columnTexts(browser, 3).indexOf(u"Team Day"_s)));
        QCOMPARE(postedParentId(m_server->requests(QStringLiteral("/ra/categories.json")).constLast()), 9);

        // A new choice further left drops the columns to its right.
        QVERIFY(pick(view, 0, QStringLiteral("Video")));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Edited", "Raw"}));
        QCOMPARE(connection->pathLevel(), 0);
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Video"));

        // Refused: said in a warning; the selection stays.
        AlertCatcher alerts;
        sheet = openSheet(view, QStringLiteral("Taken"));
        QVERIFY(sheet);
        sheet->saveButton()->click();
        QVERIFY(alerts.waitForAlert());
        QCOMPARE(alerts.last()->icon(), QMessageBox::Warning);
        QCOMPARE(alerts.last()->informativeText(), QStringLiteral("The server answered: that name is taken"));
        QCOMPARE(postedParentId(m_server->requests(QStringLiteral("/ra/categories.json")).constLast()), 10);
        AlertCatcher::userButtons(alerts.last()).constFirst()->click();
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(shown(browser), u"Archive Documents Marketing Photos [Video] / Edited Raw @0"_s);
    }

    void clicksOpenAndCloseColumnsOnlyWhenEnabled()
    {
        QVERIFY(showBrowser());
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        QSignalSpy doubles(browser(), &ColumnBrowser::doubleClicked);
        browser()->setEnabled(false);
        QVERIFY(doubleClickRow(1, 0));
        QTest::keyClick(browser()->columnView(0), Qt::Key_Down);
        QCOMPARE(shown(browser()), u"Animals Plants Readme @-1"_s);
        QCOMPARE(actions.count(), 0);
        QCOMPARE(doubles.count(), 0);

        browser()->setEnabled(true);
        // Each click (row, column), what the browser shows after it and the actions so far. A leaf opens
        // nothing further; a new choice in column 0 drops the whole path to its right; clicking the
        // selected branch again reopens its column with nothing selected there.
        for (const auto &[row, column, after, count] : {
                 std::tuple{0, 0, "[Animals] Plants Readme / Cats Dogs @0", 1},
                 {0, 1, "[Animals] Plants Readme / [Cats] Dogs / Tabby Siamese @1", 2},
                 {1, 2, "[Animals] Plants Readme / [Cats] Dogs / Tabby [Siamese] @2", 3},
                 {1, 0, "Animals [Plants] Readme / Trees Fern @0", 4},
                 {2, 0, "Animals Plants [Readme] @0", 5},
                 {0, 0, "[Animals] Plants Readme / Cats Dogs @0", 6},
                 {1, 1, "[Animals] Plants Readme / Cats [Dogs] / Beagle @1", 7},
                 {0, 0, "[Animals] Plants Readme / Cats Dogs @0", 8},
             }) {
            QVERIFY(clickRow(browser(), row, column));
            QCOMPARE(shown(browser()), QString::fromLatin1(after));
            QCOMPARE(actions.count(), count);
        }
        QCOMPARE(browser()->columnView(2), nullptr);
        QVERIFY(doubleClickRow(1, 1));
        QCOMPARE(QList<QVariantList>(doubles), (QList<QVariantList>{{1, 1}}));
    }

    void branchesShowAnArrowAndLeavesDoNot()
    {
        QVERIFY(showBrowser());
        // Ink at the right end of a row is the arrow: rows 0 and 1 are branches, row 2 a leaf.
        QTRY_VERIFY(browser()->visualRectOfRow(2, 0).isValid());
        const QImage image = browser()->columnView(0)->viewport()->grab().toImage();
        const auto inkAtRightEnd = [&](int row) {
            const QRect rect = browser()->visualRectOfRow(row, 0);
            const QRgb background = image.pixel(rect.right() - 1, rect.top() + 1);
            int ink = 0;
            for (int x = rect.right() - 20; x < rect.right(); ++x)
                for (int y = rect.top(); y <= rect.bottom(); ++y)
                    ink += image.pixel(x, y) != background;
            return ink;
        };
        for (const auto &[row, leaf] : {std::pair{0, false}, {1, false}, {2, true}}) {
            QCOMPARE(isLeafRow(browser(), 0, row), leaf);
            QCOMPARE(inkAtRightEnd(row) > 0, !leaf);
        }
    }

    void programmaticChangesAreSilentAndKeepTheSelection()
    {
        QVERIFY(showBrowser());
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        browser()->selectRow(0, 0);
        browser()->selectRow(1, 1);
        const QString dogs = u"[Animals] Plants Readme / Cats [Dogs] / Beagle @1"_s;
        QCOMPARE(shown(browser()), dogs);

        // Positions of -1 or past the end change nothing and create no column.
        for (const auto &[row, column] : {std::pair{-1, -1}, {0, -1}, {-1, 0}, {3, 0}, {0, 3}, {5, 2}})
            browser()->selectRow(row, column);
        for (const int column : {-1, 3, 42})
            browser()->reloadColumn(column);
        QCOMPARE(shown(browser()), dogs);
        QCOMPARE(browser()->selectedRowInColumn(-1), -1);
        QCOMPARE(browser()->selectedRowsInColumn(7), QList<int>());
        QVERIFY(browser()->visualRectOfRow(0, 5).isNull());

        // Rows inserted, changed and removed around the selected Dogs, whose Beagle shows in column 2.
        QSignalSpy resets(browser()->columnView(1)->model(), &QAbstractItemModel::modelReset);
        QList<Node> &animals = m_tree.root.children[0].children;
        animals.prepend({"Ants"});
        browser()->insertRows(0, 1, 1);
        animals[1].name = QStringLiteral("Lions");
        browser()->reloadRows(1, 1, 1);
        QCOMPARE(shown(browser()), u"[Animals] Plants Readme / Ants Lions [Dogs] / Beagle @1"_s);
        animals.removeFirst();
        browser()->removeRows(0, 1, 1);
        QCOMPARE(shown(browser()), u"[Animals] Plants Readme / Lions [Dogs] / Beagle @1"_s);
        // The selected branch itself leaving: the list selects its neighbour, whose children
        // replace the ones of the branch that left.
        animals.removeLast();
        browser()->removeRows(1, 1, 1);
        QCOMPARE(shown(browser()), u"[Animals] Plants Readme / [Lions] / Tabby Siamese @1"_s);
        QCOMPARE(resets.count(), 0);

        // A reloaded column keeps its selection, which still leads to its column.
        animals.append({"Birds"});
        browser()->reloadColumn(1);
        QCOMPARE(shown(browser()), u"[Animals] Plants Readme / [Lions] Birds / Tabby Siamese @1"_s);
        // A kept row that turned into a leaf closes the columns to its right.
        animals = {{"Moth"}};
        browser()->reloadColumn(1);
        QCOMPARE(shown(browser()), u"[Animals] Plants Readme / [Moth] @1"_s);
        // A selected row past the new end is dropped, and its columns with it.
        m_tree.root.children = {{"Only"}};
        browser()->reloadColumn(0);
        browser()->selectRow(0, 0);
        m_tree.root.children.clear();
        browser()->reloadColumn(0);
        QCOMPARE(shown(browser()), u" @-1"_s);
        // A leaf that became a branch opens its column.
        m_tree.root = sampleTree();
        browser()->reloadColumn(0);
        browser()->selectRow(2, 0);
        m_tree.root.children[2] = {"Readme", {{"Page"}}};
        browser()->reloadColumn(0);
        QCOMPARE(shown(browser()), u"Animals Plants [Readme] / Page @0"_s);

        browser()->loadColumnZero();
        QCOMPARE(shown(browser()), u"Animals Plants Readme @-1"_s);
        QCOMPARE(actions.count(), 0);
    }

    void multipleSelectionAndLongLists()
    {
        QVERIFY(showBrowser());
        m_files.root = files(10);
        browser()->setDelegate(&m_files);
        browser()->setAllowsMultipleSelection(true);
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        QVERIFY(clickRow(browser(), 2, 0));
        QVERIFY(clickRow(browser(), 5, 0, Qt::ControlModifier));
        QVERIFY(clickRow(browser(), 7, 0, Qt::ShiftModifier));
        QCOMPARE(browser()->selectedRowsInColumn(0), (QList<int>{2, 5, 6, 7}));
        QCOMPARE(browser()->selectedRowInColumn(0), 2);
        QVERIFY(clickRow(browser(), 2, 0, Qt::ControlModifier));
        QCOMPARE(browser()->selectedRowsInColumn(0), (QList<int>{5, 6, 7}));
        QCOMPARE(actions.count(), 4);

        m_files.root = files(7);
        browser()->reloadColumn(0);
        QCOMPARE(browser()->selectedRowsInColumn(0), (QList<int>{5, 6}));

        // Several branches selected at once open no column.
        browser()->setDelegate(&m_tree);
        QVERIFY(clickRow(browser(), 0, 0));
        QVERIFY(clickRow(browser(), 1, 0, Qt::ControlModifier));
        QCOMPARE(shown(browser()), u"[Animals] [Plants] Readme @0"_s);

        browser()->setAllowsMultipleSelection(false);
        QVERIFY(clickRow(browser(), 2, 0));
        QCOMPARE(shown(browser()), u"Animals Plants [Readme] @0"_s);

        // Ten thousand rows: only the cells shown are asked for, and all of them can be selected.
        m_files.root = files(10000);
        m_files.cellsFilled = 0;
        browser()->setDelegate(&m_files);
        QCOMPARE(browser()->rowCountInColumn(0), 10000);
        QVERIFY(clickRow(browser(), 0, 0));
        browser()->selectRow(9999, 0);
        QTRY_VERIFY(browser()->columnView(0)->viewport()->rect().contains(
            browser()->visualRectOfRow(9999, 0).center()));
        QVERIFY2(m_files.cellsFilled < 500, qPrintable(QString::number(m_files.cellsFilled)));
        browser()->setAllowsMultipleSelection(true);
        QTest::keyClick(browser()->columnView(0), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(browser()->selectedRowsInColumn(0).size(), 10000);
        browser()->reloadColumn(0);
        QCOMPARE(browser()->selectedRowsInColumn(0).size(), 10000);
    }

    void keyboardNavigation()
    {
        QVERIFY(showBrowser());
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        // The key pressed (or the text typed) in a column, what the browser shows after it and the
        // actions so far. Right on a leaf goes nowhere; typing a name's first letters jumps to it;
        // Return opens it like Right.
        for (const auto &[column, key, typed, after, count] : {
                 std::tuple{0, Qt::Key_Down, "", "[Animals] Plants Readme / Cats Dogs @0", 1},
                 {0, Qt::Key_Down, "", "Animals [Plants] Readme / Trees Fern @0", 2},
                 {0, Qt::Key_Up, "", "[Animals] Plants Readme / Cats Dogs @0", 3},
                 {0, Qt::Key_Right, "", "[Animals] Plants Readme / [Cats] Dogs / Tabby Siamese @1", 4},
                 {1, Qt::Key_Down, "", "[Animals] Plants Readme / Cats [Dogs] / Beagle @1", 5},
                 {1, Qt::Key_Right, "", "[Animals] Plants Readme / Cats [Dogs] / [Beagle] @2", 6},
                 {2, Qt::Key_Right, "", "[Animals] Plants Readme / Cats [Dogs] / [Beagle] @2", 6},
                 {2, Qt::Key_Left, "", "[Animals] Plants Readme / Cats [Dogs] / Beagle @1", 7},
                 {1, Qt::Key_Left, "", "[Animals] Plants Readme / Cats Dogs @0", 8},
                 {0, Qt::Key_Left, "", "[Animals] Plants Readme / Cats Dogs @0", 8},
                 {0, Qt::Key_unknown, "pl", "Animals [Plants] Readme / Trees Fern @0", 9},
                 {0, Qt::Key_Return, "", "Animals [Plants] Readme / [Trees] Fern / Oak @1", 10},
                 {1, Qt::Key_unknown, "f", "Animals [Plants] Readme / Trees [Fern] @1", 11},
             }) {
            if (*typed)
                QTest::keyClicks(browser()->columnView(column), QString::fromLatin1(typed));
            else
                QTest::keyClick(browser()->columnView(column), key);
            QCOMPARE(shown(browser()), QString::fromLatin1(after));
            QCOMPARE(actions.count(), count);
        }
        // Return moved the focus into the column it opened.
        QVERIFY(browser()->columnView(1)->hasFocus());
    }
};

LUMARO_GUI_TEST_MAIN(TestSessionWindow)
#include "tst_sessionwindow.moc"
