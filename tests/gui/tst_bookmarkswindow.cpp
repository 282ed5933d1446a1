#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "AppTestSupport.h"
#include "DevServer.h"
#include "bookmarks/BookmarksTableModel.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "platform/widgets/Segue.h"
#include "session/LMSessionWindowController.h"

#include <QAction>
#include <QSignalSpy>

using namespace AppTestSupport;

class TestBookmarksWindow : public QObject, DelegateFixture {
    Q_OBJECT
    [[nodiscard]] QTableView *table() { return list()->bookmarksTableView(); }

    [[nodiscard]] QPoint rowCentre(int row)
    {
        return table()->visualRect(table()->model()->index(row, 0)).center();
    }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, modifiers, rowCentre(row));
    }

    // A user's double-click: a click, then the second press that the system reports as double.
    void doubleClickRow(int row)
    {
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, rowCentre(row));
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, rowCentre(row));
    }

    [[nodiscard]] bool controlsEnabled(bool expected)
    {
        return m_app->connectMenuItem()->isEnabled() == expected &&
               bookmarksWindow()->connectToolbarItem()->isEnabled() == expected &&
               bookmarksWindow()->editToolbarItem()->isEnabled() == expected;
    }

    [[nodiscard]] static BookmarkSeed devBookmark(const DevServer &server, const QString &name,
                                                  const QString &user)
    {
        return BookmarkSeed(name, QStringLiteral("127.0.0.1"))
            .withPort(server.port())
            .withLogin(user, QStringLiteral("pw-") + user);
    }

    // The logins the server saw on authenticated requests, sorted.
    [[nodiscard]] static QStringList loginsSeen(const DevServer &server, const QString &resource)
    {
        QStringList logins;
        for (const QJsonObject &request : server.requests(resource))
            logins.append(request.value(QStringLiteral("query"))
                              .toObject()
                              .value(QStringLiteral("loginName"))
                              .toString());
        logins.sort();
        return logins;
    }

private slots:
    void init() { m_app = freshDelegate(); }

    void cleanup() { quitApp(); }

    void listIsSortedByNameAndFollowsTheContext()
    {
        seed(context(), BookmarkSeed(QStringLiteral("beta"), QStringLiteral("b.example")));
        seed(context(), BookmarkSeed(QStringLiteral("Alpha"), QStringLiteral("a.example")).withSecure());
        ServerBookmark *demo =
            seed(context(), BookmarkSeed(QStringLiteral("demo"), QStringLiteral("::1")).withPort(43837));
        ServerBookmark *gamma =
            seed(context(), BookmarkSeed(QStringLiteral("gamma"), QStringLiteral("g.example")));
        QVERIFY(context()->save());
        launch();

        QCOMPARE(listedNames(), (QStringList{"Alpha", "beta", "demo", "gamma"}));
        // A port shows when it is not the scheme's own; the bookmark's own short form stays.
        QCOMPARE(
            listedNames(BookmarksTableModel::ServerColumn),
            (QStringList{"https://a.example", "http://b.example", "http://[::1]:43837", "http://g.example"}));
        QCOMPARE(demo->urlShortString(), QStringLiteral("http://::1"));
        QCOMPARE(AccessibleTree::unnamedControls(bookmarksWindow()->window()), QString());

        // Unsaved inserts, renames and deletions show at once.
        ServerBookmark *added = context()->insertBookmark();
        QCOMPARE(listedNames().value(4), QStringLiteral("untitled"));
        added->setBookmarkName(QStringLiteral("delta"));
        gamma->setBookmarkName(QStringLiteral("Aardvark"));
        QCOMPARE(listedNames(), (QStringList{"Aardvark", "Alpha", "beta", "delta", "demo"}));
        gamma->setSecureConnect(true); // port 80 stays, no longer the scheme's own
        QCOMPARE(listedNames(BookmarksTableModel::ServerColumn).value(0),
                 QStringLiteral("https://g.example:80"));
        context()->deleteObject(added);
        QCOMPARE(listedNames().size(), 4);
    }

    // The controls follow the selection; the editor shows the clicked bookmark. The pictures go to
    // the build folder for looking at.
    void clicksEnableTheControlsAndTheEditorShowsTheBookmark()
    {
        seed(context(),
             BookmarkSeed(QStringLiteral("Studio archive"), QStringLiteral("assets.studio.example"))
                 .withSecure()
                 .withLogin(QStringLiteral("ann"), QStringLiteral("pw")));
        seed(context(), BookmarkSeed(QStringLiteral("Local Lumaro"), QStringLiteral("127.0.0.1"))
                            .withPort(8080)
                            .withLogin(QStringLiteral("admin"), QStringLiteral("secret")));
        QVERIFY(context()->save());
        launch();
        bookmarksWindow()->window()->resize(620, 360);
        // The row that looks chosen at launch (the current one) is the selection, and usable.
        QCOMPARE(list()->selectedBookmark()->bookmarkName(), QStringLiteral("Local Lumaro"));
        QCOMPARE(table()->selectionModel()->selectedRows(), QModelIndexList{table()->currentIndex()});
        QVERIFY(controlsEnabled(true));
        const QPoint belowRows(10, table()->viewport()->height() - 5);
        QVERIFY(!table()->indexAt(belowRows).isValid());
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, belowRows);
        QVERIFY(controlsEnabled(false));
        QCOMPARE(list()->selectedBookmark(), nullptr);

        clickRow(0);
        QVERIFY(table()->selectionModel()->isRowSelected(0, {}));
        QVERIFY(controlsEnabled(true));
        QVERIFY(saveScreenshot(bookmarksWindow()->window(), QStringLiteral("bookmarks-window")));
        bookmarksWindow()->editToolbarItem()->trigger();
        QCOMPARE(list()->presentedViewControllers().size(), 1);
        auto *editor =
            qobject_cast<LMBookmarkEditViewController *>(list()->presentedViewControllers().constFirst());
        QVERIFY(editor);
        QVERIFY(QTest::qWaitForWindowExposed(editor->view()->window()));
        const QStringList shown{editor->labelTextField()->text(), editor->hostTextField()->text(),
                                editor->userTextField()->text(), editor->passwordTextField()->text()};
        QCOMPARE(shown, (QStringList{"Local Lumaro", "127.0.0.1", "admin", "secret"}));
        QVERIFY(saveScreenshot(editor->view()->window(), QStringLiteral("bookmark-editor")));
    }

    void ctrlDeleteRemovesOnlyTheFirstSelectedAndDoesNotSave()
    {
        seed(context(), BookmarkSeed(QStringLiteral("Alpha"), QStringLiteral("a.example")));
        seed(context(), BookmarkSeed(QStringLiteral("Beta"), QStringLiteral("b.example")));
        seed(context(), BookmarkSeed(QStringLiteral("Gamma"), QStringLiteral("c.example")));
        QVERIFY(context()->save());
        launch();

        clickRow(1);
        clickRow(0, Qt::ControlModifier);
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 2);
        QTest::keyClick(table(), Qt::Key_Delete);
        QCOMPARE(listedNames().size(), 3);
        QTest::keyClick(table(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(listedNames(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Gamma")}));
        QCOMPARE(readStore().names().size(), 3);

        clickRow(1);
        QTest::keyClick(table(), Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(listedNames(), QStringList{QStringLiteral("Beta")});
        QVERIFY(context()->hasChanges());
        m_app->saveAction();
        QCOMPARE(readStore().names(), QStringList{QStringLiteral("Beta")});
    }

    void openSessionGuardsEditConnectAndDelete()
    {
        DevServer server({QStringLiteral("--user"), QStringLiteral("dana:pw-dana")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        ServerBookmark *dev =
            seed(context(), devBookmark(server, QStringLiteral("Dev"), QStringLiteral("dana")));
        QVERIFY(context()->save());
        launch();

        // A double-click connects.
        doubleClickRow(0);
        QCOMPARE(bookmarksWindow()->sessionWindowControllers().size(), 1);
        LMSessionWindowController *session = bookmarksWindow()->sessionWindowControllers().constFirst();
        QCOMPARE(session->connectionBookmark(), dev);
        QVERIFY(QTest::qWaitForWindowExposed(session->window()));
        QCOMPARE(readStore().named(QStringLiteral("Dev"))->sessionWindowOpen(), true);
        QTRY_VERIFY(
            loginsSeen(server, QStringLiteral("/ra/categoryTypes.json")).contains(QStringLiteral("dana")));

        // Neither a second session, nor an editor, nor a deletion while it is open.
        bookmarksWindow()->window()->activateWindow();
        clickRow(0);
        QVERIFY(controlsEnabled(true));
        doubleClickRow(0);
        bookmarksWindow()->connectToolbarItem()->trigger();
        m_app->connectMenuItem()->trigger();
        QCOMPARE(bookmarksWindow()->sessionWindowControllers().size(), 1);
        bookmarksWindow()->editToolbarItem()->trigger();
        QVERIFY(list()->presentedViewControllers().isEmpty());
        {
            AlertAnswerer answerer;
            QTest::keyClick(table(), Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(answerer.seen().size(), 1);
            QVERIFY(answerer.seen().constFirst().text.contains(QStringLiteral("“Dev”")));
        }
        QCOMPARE(listedNames(), QStringList{QStringLiteral("Dev")});

        // Once the session ends by its close button, all three are allowed again.
        QSignalSpy closed(session, &WindowController::closed);
        session->closeThisWindow();
        QVERIFY(closed.wait());
        QCOMPARE(dev->sessionWindowOpen(), false);
        QTRY_VERIFY(bookmarksWindow()->sessionWindowControllers().isEmpty());
        QVERIFY(bookmarksWindow()->hasSelectedBookmark());
        QTest::keyClick(table(), Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(listedNames().isEmpty());
    }

    void sessionsOpenAtTheLastQuitAreReopenedInStoreOrder()
    {
        DevServer server({QStringLiteral("--user"), QStringLiteral("zoe:pw-zoe"), QStringLiteral("--user"),
                          QStringLiteral("abe:pw-abe"), QStringLiteral("--user"),
                          QStringLiteral("max:pw-max")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        // Store order differs from name order on purpose.
        ServerBookmark *zeta = seed(
            context(), devBookmark(server, QStringLiteral("Zeta"), QStringLiteral("zoe")).withOpenSession());
        seed(context(), devBookmark(server, QStringLiteral("Mid"), QStringLiteral("max")));
        ServerBookmark *alpha = seed(
            context(), devBookmark(server, QStringLiteral("Alpha"), QStringLiteral("abe")).withOpenSession());
        QVERIFY(context()->save());
        launch();

        const QList<LMSessionWindowController *> sessions = bookmarksWindow()->sessionWindowControllers();
        QCOMPARE(sessions.size(), 2);
        QCOMPARE(sessions.at(0)->connectionBookmark(), zeta);
        QCOMPARE(sessions.at(1)->connectionBookmark(), alpha);
        QCOMPARE(bookmarksWindow()->bookmarkToOpen(), nullptr);
        // Launch selects the first bookmark not already at work in a window.
        QCOMPARE(list()->selectedBookmark()->bookmarkName(), QStringLiteral("Mid"));
        for (LMSessionWindowController *session : sessions)
            QVERIFY(QTest::qWaitForWindowExposed(session->window()));
        QTRY_COMPARE(loginsSeen(server, QStringLiteral("/ra/categories.json")),
                     (QStringList{QStringLiteral("abe"), QStringLiteral("zoe")}));
    }

    void withoutAKeyringPasswordsStayAndTheWindowSaysSoOnce()
    {
        // This test sees no session bus at all: no secret service.
        seed(context(), BookmarkSeed(QStringLiteral("Kept"), QStringLiteral("kept.example"))
                            .withLogin(QStringLiteral("ann"), QStringLiteral("kept-password")));
        QVERIFY(context()->save());
        AlertAnswerer alerts;
        launch();
        QTRY_VERIFY(bookmarksWindow()->keyringNotice().contains(QStringLiteral("no desktop session bus")));
        QTRY_VERIFY(
            bookmarksWindow()->window()->findChild<QLabel *>(QStringLiteral("keyringNotice"))->isVisible());
        QVERIFY(
            saveScreenshot(bookmarksWindow()->window(), QStringLiteral("bookmarks-window-keyring-notice")));
        QVERIFY(alerts.seen().isEmpty());
        QCOMPARE(readStore().named(QStringLiteral("Kept"))->password(), QStringLiteral("kept-password"));
    }

    void anUnknownSegueChangesNothing()
    {
        launch();
        QVERIFY(controlsEnabled(false));
        Segue segue{QStringLiteral("noSuchSegue"), bookmarksWindow(), nullptr, Segue::Kind::Window};
        bookmarksWindow()->prepareForSegue(segue, bookmarksWindow());
        // Never taken for a new bookmark: nothing inserted, nothing presented.
        QVERIFY(!context()->hasChanges());
        QVERIFY(list()->presentedViewControllers().isEmpty());
    }
};

LUMARO_GUI_TEST_MAIN(TestBookmarksWindow)
#include "tst_bookmarkswindow.moc"
