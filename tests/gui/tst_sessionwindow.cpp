#include "GuiTestMain.h"

#include "SessionTestKit.h"

#include "session/LMNewCategoryViewController.h"
#include "store/Asset.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>

using namespace SessionTestKit;

// The session window controller: what it takes from the bookmark, what it writes back however
// the window closes, its views and its connection, and sessions side by side.
class TestSessionWindow : public QObject, SessionFixture {
    Q_OBJECT

    const ServerBookmark *stored(const ObjectContext &reopened, const ServerBookmark *bookmark)
    {
        return findBookmark(reopened, bookmark->objectId());
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
        ServerBookmark *bookmark = named ? makeBookmark(context(), 1, QStringLiteral("app"),
                                                        QStringLiteral(" My Server 2 "))
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
        QCOMPARE(session->frameAutosaveName(), QStringLiteral("ImportAssetWindow") + (named ? "MyServer2" : ""));
        QCOMPARE(session->currentView(), std::optional<QString>(named ? "upload" : "category"));
        QCOMPARE(session->startingCategory(), std::optional<qint64>(startingCategory));
        QVERIFY(!session->sessionWindowClosed());
        QVERIFY(!session->serverConnection());
        QCOMPARE(session->contentViewController(), session->initialView());

        // Marked open and saved at once, so a crash still reopens the session.
        std::unique_ptr<ObjectContext> reopened = reopenStore();
        QVERIFY(reopened);
        QCOMPARE(stored(*reopened, bookmark)->sessionWindowOpen(), std::optional<bool>(true));
        QVERIFY(!stored(*reopened, bookmark)->hasValue(ServerBookmark::kLastConnectedDate));
    }

    void closingWritesTheSessionBack_data()
    {
        QTest::addColumn<bool>("closeButton");
        QTest::addColumn<bool>("setCategory");
        QTest::newRow("close button") << true << false;
        QTest::newRow("close button after Set") << true << true;
        QTest::newRow("closed otherwise") << false << false;
    }

    void closingWritesTheSessionBack()
    {
        QFETCH(bool, closeButton);
        QFETCH(bool, setCategory);
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *bookmark = makeBookmark(context(), server);
        Asset *removed = context()->insertAsset();
        removed->setFilePath(QStringLiteral("/nowhere/removed.jpg"));
        removed->setBookmark(bookmark);
        QVERIFY(context()->save());
        QPointer<LMSessionWindowController> session = openSession(m_storyboard, bookmark);
        // Removed from the queue as the Delete key does it: not saved there and then.
        context()->deleteObject(removed);
        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitUntilIdle(categories));
        ColumnBrowser *browser = categories->categoryBrowser();
        QVERIFY(pick(categories, 0, QStringLiteral("Photos")));
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
            QCOMPARE(stored(*reopenStore(), bookmark)->lastCategoryView(),
                     std::optional<QString>("category"));
            QCOMPARE(browser->selectedRowInColumn(1), rowOf(browser, 1, QStringLiteral("2025")));
            QCOMPARE(columnTexts(browser, 2), QStringList{"Events"});
            QVERIFY(isIdle(categories));
            QVERIFY(pick(categories, 2, QStringLiteral("Events")));
            QTRY_COMPARE(requestLines(server), asked + QStringList{"GET /ra/categories/7.json"});
            chosen = 7;
            categories->setCategoryButton()->click();
            QCOMPARE(session->contentViewController(), session->uploadView());
        }
        // Where the user is was written at once, that record alone: the removal is not saved yet.
        std::unique_ptr<ObjectContext> now = reopenStore();
        QCOMPARE(stored(*now, bookmark)->lastCategoryID(), std::optional<qint64>(chosen));
        QCOMPARE(stored(*now, bookmark)->lastCategoryView(),
                 std::optional<QString>(setCategory ? "upload" : "category"));
        QCOMPARE(now->fetchPendingAssets(stored(*now, bookmark)).size(), 1);

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

        std::unique_ptr<ObjectContext> reopened = reopenStore();
        const ServerBookmark *saved = stored(*reopened, bookmark);
        QCOMPARE(saved->sessionWindowOpen(), std::optional<bool>(!closeButton));
        QCOMPARE(saved->lastCategoryID(), std::optional<qint64>(chosen));
        QCOMPARE(saved->lastCategoryView(), std::optional<QString>(setCategory ? "upload" : "category"));
        // The close saved the whole context, the removal with it.
        QVERIFY(reopened->fetchPendingAssets(saved).isEmpty());
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
        QCOMPARE(reopened->fetchPendingAssets(stored(*reopened, bookmark)).size(), 1);
        QCOMPARE(stored(*reopened, bookmark)->sessionWindowOpen(), std::optional<bool>(false));
    }

    void twoSessionsKeepToThemselves()
    {
        DevServer serverA;
        DevServer serverB({"--short-records"});
        QVERIFY2(serverA.isRunning() && serverB.isRunning(),
                 qPrintable(serverA.errorString() + serverB.errorString()));
        ServerBookmark *bookmarkA = makeBookmark(context(), serverA, QStringLiteral("Studio A"));
        ServerBookmark *bookmarkB = makeBookmark(context(), serverB, QStringLiteral("Studio B"));
        QPointer<LMSessionWindowController> a = openSession(m_storyboard, bookmarkA);
        QPointer<LMSessionWindowController> b = openSession(m_storyboard, bookmarkB);
        QVERIFY(waitUntilIdle(a->categoryView()));
        QVERIFY(waitUntilIdle(b->categoryView()));
        QVERIFY(a->serverConnection() != b->serverConnection());
        QTRY_COMPARE(serverB.requests().size(), 3);

        ColumnBrowser *browserA = a->categoryView()->categoryBrowser();
        ColumnBrowser *browserB = b->categoryView()->categoryBrowser();
        QVERIFY(pick(a->categoryView(), 0, QStringLiteral("Photos")));
        LMNewCategoryViewController *sheet = nullptr;
        a->categoryView()->newCategoryButton()->click();
        sheet = qobject_cast<LMNewCategoryViewController *>(
            a->categoryView()->presentedViewControllers().value(0));
        QVERIFY(sheet);
        QTest::keyClicks(sheet->textNewCategory(), QStringLiteral("Only in A"));
        sheet->saveButton()->click();
        QTRY_COMPARE(columnTexts(browserA, 1), (QStringList{"2024", "2025", "Only in A"}));
        QVERIFY(waitUntilIdle(a->categoryView()));

        // B heard nothing of it: same requests, same browser, never busy.
        QVERIFY(isIdle(b->categoryView()));
        QCOMPARE(browserB->selectedColumn(), -1);
        QCOMPARE(browserB->columnCount(), 1);
        QCOMPARE(serverB.requests().size(), 3);
        QVERIFY(!b->serverConnection()->selectedCategory());

        // Ending A leaves B running and reopening at the next launch.
        a->window()->windowHandle()->close();
        QTRY_VERIFY(a.isNull());
        QVERIFY(b->window()->isVisible());
        QVERIFY(pick(b->categoryView(), 0, QStringLiteral("Video")));
        QCOMPARE(columnTexts(browserB, 1), (QStringList{"Edited", "Raw"}));
        std::unique_ptr<ObjectContext> reopened = reopenStore();
        QCOMPARE(stored(*reopened, bookmarkA)->sessionWindowOpen(), std::optional<bool>(false));
        QCOMPARE(stored(*reopened, bookmarkB)->sessionWindowOpen(), std::optional<bool>(true));
        QVERIFY(closeSession(b));
    }
};

LUMARO_GUI_TEST_MAIN(TestSessionWindow)
#include "tst_sessionwindow.moc"
