#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "AppTestSupport.h"
#include "DevServer.h"
#include "app/ApplicationMenus.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "session/LMImportLogWindowController.h"
#include "session/LMSessionWindowController.h"
#include "store/UndoManager.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

using namespace AppTestSupport;

class TestAppDelegate : public QObject, DelegateFixture {
    Q_OBJECT

    [[nodiscard]] static QStringList menuTitles(QMainWindow *window, const QString &menuName)
    {
        QStringList titles;
        auto *menu = window->menuBar()->findChild<QMenu *>(menuName);
        if (!menu)
            return titles;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                titles.append(action->text().remove(QLatin1Char('&')));
        }
        return titles;
    }

private slots:
    void init()
    {
        resetPersistentState();
        m_app = std::make_unique<AppDelegate>();
    }

    void cleanup() { quitApp(); }

    void quitSavesOrAsksAndSaysWhatWasShowing_data()
    {
        QTest::addColumn<QVariant>("preference"); // at launch
        QTest::addColumn<bool>("closeWindow");    // its title-bar button, else the quit command
        QTest::addColumn<QString>("answer");      // to a failed save's question; empty: it saves
        QTest::newRow("first launch, quit") << QVariant() << false << "";
        // Hidden at the last quit, but nothing else would come up.
        QTest::newRow("hidden before, quit") << QVariant(false) << false << "";
        QTest::newRow("window closed") << QVariant() << true << "";
        QTest::newRow("failed save, quit, Cancel") << QVariant() << false << "Cancel";
        QTest::newRow("failed save, quit, Quit anyway") << QVariant() << false << "Quit anyway";
        QTest::newRow("failed save, window closed, Cancel") << QVariant() << true << "Cancel";
    }

    void quitSavesOrAsksAndSaysWhatWasShowing()
    {
        QFETCH(QVariant, preference);
        QFETCH(bool, closeWindow);
        QFETCH(QString, answer);
        if (preference.isValid())
            QSettings().setValue(AppDelegate::ShowBookmarksKey, preference);
        launch();
        QVERIFY(m_app->showingBookmarksWindow());
        if (!answer.isEmpty()) {
            seed(context(), BookmarkSeed(QStringLiteral("Unsaved"), QStringLiteral("u.example")));
            context()->storeFile()->setFailureForTesting(QStringLiteral("disk full"));
        }

        AlertAnswerer answerer({QStringLiteral("OK"), answer});
        StdoutCapture out;
        QSignalSpy terminated(m_app.get(), &AppDelegate::terminated);
        if (closeWindow)
            bookmarksWindow()->window()->close();
        else
            m_app->terminate();
        if (!answer.isEmpty()) {
            QTRY_COMPARE(answerer.seen().size(), 2);
            QCOMPARE(answerer.seen().at(0).informativeText, QStringLiteral("disk full"));
            QCOMPARE(answerer.seen().at(1).all(),
                     (QStringList{
                         "Could not save changes while quitting. Quit anyway?",
                         "Quitting now will lose any changes you have made since the last successful save",
                         "Quit anyway", "Cancel"}));
        }
        if (answer == QLatin1String("Cancel")) {
            QCOMPARE(terminated.size(), 0);
            QVERIFY(out.lines().isEmpty());
            QVERIFY(context()->hasChanges());
            QTRY_VERIFY(bookmarksWindow()->window()->isVisible());
            // Once the store works again, the next quit saves them.
            context()->storeFile()->setFailureForTesting({});
            m_app->terminate();
            QCOMPARE(terminated.size(), 1);
            QCOMPARE(readStore().names(), QStringList{QStringLiteral("Unsaved")});
            return;
        }
        if (closeWindow) {
            QVERIFY(!m_app->showingBookmarksWindow());
            QVERIFY(terminated.wait());
        } else {
            QCOMPARE(terminated.size(), 1);
            QVERIFY(bookmarksWindow()->window()->isVisible()); // quitting closes no window
        }
        // No other alert, not even a second error from the exit save after Quit anyway.
        QCOMPARE(answerer.seen().size(), answer.isEmpty() ? 0 : 2);
        QCOMPARE(out.lines(), QStringList{QStringLiteral("bookmarks window showing on exit = ") +
                                          (closeWindow ? "false" : "true")});
        QCOMPARE(QSettings().value(AppDelegate::ShowBookmarksKey), QVariant(!closeWindow));
        if (!answer.isEmpty())
            QVERIFY(readStore().bookmarks.isEmpty());
    }

    void aHiddenBookmarksWindowStillReopensTheSessions()
    {
        DevServer server({QStringLiteral("--user"), QStringLiteral("eve:pw")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        seed(context(), BookmarkSeed(QStringLiteral("Kept open"), QStringLiteral("127.0.0.1"))
                            .withPort(server.port())
                            .withLogin(QStringLiteral("eve"), QStringLiteral("pw"))
                            .withOpenSession());
        QVERIFY(context()->save());
        QSettings().setValue(AppDelegate::ShowBookmarksKey, false);
        m_app->applicationDidFinishLaunching();

        QCOMPARE(bookmarksWindow()->sessionWindowControllers().size(), 1);
        LMSessionWindowController *session = bookmarksWindow()->sessionWindowControllers().constFirst();
        QVERIFY(QTest::qWaitForWindowExposed(session->window()));
        QVERIFY(bookmarksWindow()->isWindowLoaded());
        QVERIFY(!bookmarksWindow()->window()->isVisible());
        QVERIFY(!m_app->showingBookmarksWindow());
        QTRY_VERIFY(!server.requests(QStringLiteral("/ra/categories.json")).isEmpty());

        // The menus of the session window bring the bookmarks window back.
        QVERIFY(ApplicationMenus::isInstalled(session->window()));
        m_app->menus()->bookmarksItem()->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(bookmarksWindow()->window()));
        QVERIFY(m_app->showingBookmarksWindow());

        // A screen reader reads the session window's menus first, then that window goes: the
        // bookmarks window's menus keep every item for it.
        for (QMainWindow *window : {session->window(), bookmarksWindow()->window()}) {
            if (window == bookmarksWindow()->window()) {
                QPointer<LMSessionWindowController> closing = session;
                session->close();
                QTRY_VERIFY(closing.isNull());
            }
            for (const QString &name : {QStringLiteral("fileMenu"), QStringLiteral("editMenu")})
                QCOMPARE(AccessibleTree::menuItems(window->menuBar()->findChild<QMenu *>(name)),
                         menuTitles(window, name));
        }

        // Quitting keeps the session marked open for the next launch.
        StdoutCapture out;
        QSignalSpy terminated(m_app.get(), &AppDelegate::terminated);
        m_app->menus()->quitItem()->trigger();
        QVERIFY(terminated.wait());
        QCOMPARE(out.lines(), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QCOMPARE(readStore().named(QStringLiteral("Kept open"))->sessionWindowOpen(), true);
    }

    void aSessionThatCannotStartNeverQuitsTheApplication()
    {
        // The only window is a reopened session whose server is gone; its failure alert closes it.
        seed(context(), BookmarkSeed(QStringLiteral("Gone"), QStringLiteral("127.0.0.1"))
                            .withPort(DevServer::freeClosedPort())
                            .withLogin(QStringLiteral("admin"), QStringLiteral("lumaro"))
                            .withOpenSession());
        QVERIFY(context()->save());
        QSettings().setValue(AppDelegate::ShowBookmarksKey, false);
        AlertAnswerer answerer;
        QSignalSpy terminated(m_app.get(), &AppDelegate::terminated);
        m_app->applicationDidFinishLaunching();
        QVERIFY(!bookmarksWindow()->window()->isVisible());

        QTRY_VERIFY(bookmarksWindow()->sessionWindowControllers().isEmpty());
        QTRY_VERIFY(bookmarksWindow()->window()->isVisible());
        QVERIFY(terminated.isEmpty());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(readStore().named(QStringLiteral("Gone"))->sessionWindowOpen(), false);
    }

    void everyWindowGetsTheApplicationMenus()
    {
        launch();
        QMainWindow *bookmarks = bookmarksWindow()->window();
        const QStringList file{QStringLiteral("New Bookmark…"), QStringLiteral("Connect"),
                               QStringLiteral("Save"),          QStringLiteral("Import Log"),
                               QStringLiteral("Bookmarks"),     QStringLiteral("Quit")};
        QCOMPARE(menuTitles(bookmarks, QStringLiteral("fileMenu")), file);
        QCOMPARE(menuTitles(bookmarks, QStringLiteral("editMenu")),
                 (QStringList{QStringLiteral("Undo"), QStringLiteral("Redo")}));
        QCOMPARE(m_app->menus()->saveItem()->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(m_app->menus()->quitItem()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));

        m_app->menus()->importLogItem()->trigger();
        auto *log = m_app->findChild<LMImportLogWindowController *>();
        QVERIFY(log);
        QVERIFY(QTest::qWaitForWindowExposed(log->window()));
        QCOMPARE(menuTitles(log->window(), QStringLiteral("fileMenu")), file);
        // Every window carries the application icon, in a size X11 taskbars take.
        QVERIFY(QApplication::windowIcon().availableSizes().contains(QSize(32, 32)));
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY(!window->isVisible() || !window->windowIcon().pixmap(32).isNull());

        // Undo and Redo work on the shared context, one field edit at a time.
        ServerBookmark *bookmark =
            seed(context(), BookmarkSeed(QStringLiteral("Undoable"), QStringLiteral("a")));
        // A disabled item ignores trigger(): each one that works was enabled.
        QVERIFY(!m_app->menus()->undoItem()->isEnabled());
        context()->undoManager()->setValue(bookmark, ServerBookmark::kHostName, QStringLiteral("b"));
        m_app->menus()->undoItem()->trigger();
        QCOMPARE(bookmark->hostName(), QStringLiteral("a"));
        m_app->menus()->redoItem()->trigger();
        QCOMPARE(bookmark->hostName(), QStringLiteral("b"));

        m_app->menus()->saveItem()->trigger();
        QCOMPARE(readStore().named(QStringLiteral("Undoable"))->hostName(), QStringLiteral("b"));
    }

    void editsThatCannotBeCommittedCancelTheQuit()
    {
        m_app->applicationDidFinishLaunching();
        QObject stubbornEditor;
        context()->addEditor(&stubbornEditor, [] { return false; });
        StdoutCapture out;
        QCOMPARE(m_app->applicationShouldTerminate(), AppDelegate::TerminateCancel);
        QCOMPARE(out.lines(),
                 QStringList{QStringLiteral("AppDelegate unable to commit editing to terminate")});
    }

    // A plain file where the data folder belongs: the user is told once, with the exact texts, and
    // the application runs on without a store.
    void aFileWhereTheDataFolderBelongs()
    {
        const QString folder = PersistentStore::applicationDocumentsDirectory();
        QDir().mkpath(QFileInfo(folder).path());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const auto unblock = qScopeGuard([&] { blocker.remove(); });
        AlertAnswerer alerts;
        QVERIFY(!context());
        QVERIFY(!context()); // not tried, nor said, again
        QVERIFY(!m_app->windowWillReturnUndoManager());
        m_app->saveAction();
        // The bookmarks window still comes up, with nothing to list.
        m_app->applicationDidFinishLaunching();
        QTRY_VERIFY(bookmarksWindow()->window()->isVisible());
        QCOMPARE(alerts.seen().size(), 1);
        QCOMPARE(
            alerts.seen().first().all(),
            (QStringList{"Failed to initialize the application's saved data",
                         "Expected a folder to store application data, found a file " + folder + '.', "OK"}));
        QVERIFY(m_app->storeOpeningFailed());
        QVERIFY(QFileInfo(folder).isFile());

        // A new bookmark cannot be kept: the save says so and the sheet stays with what was typed.
        bookmarksWindow()->showNewBookmarkView();
        QCOMPARE(list()->presentedViewControllers().size(), 1);
        auto *editor =
            qobject_cast<LMBookmarkEditViewController *>(list()->presentedViewControllers().constFirst());
        QVERIFY(editor && editor->isNew());
        QVERIFY(!editor->deleteButton()->isEnabled());
        QTest::keyClicks(editor->hostTextField(), QStringLiteral("kept.example"));
        editor->saveButton()->click();
        QCOMPARE(alerts.seen().size(), 2);
        QCOMPARE(alerts.seen().last().text,
                 QStringLiteral("The bookmark could not be saved: the data store is not available"));
        QCOMPARE(list()->presentedViewControllers().size(), 1);
        QCOMPARE(editor->hostTextField()->text(), QStringLiteral("kept.example"));
        m_app.reset(); // while the alerts are still answered
    }
};

LUMARO_GUI_TEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
