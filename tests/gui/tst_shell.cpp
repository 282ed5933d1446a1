#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "AppTestSupport.h"
#include "DevServer.h"
#include "app/ApplicationMenus.h"
#include "bookmarks/BookmarksTableModel.h"
#include "bookmarks/LMBookmarkAdvancedViewController.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "platform/widgets/Segue.h"
#include "session/LMImportLogWindowController.h"
#include "session/LMSessionWindowController.h"
#include "store/UndoManager.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

using namespace AppTestSupport;

// The application shell, its bookmarks window and the editor sheets that window presents.
class TestShell : public QObject, DelegateFixture {
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

    template <typename T> [[nodiscard]] T *presentedSheet(ViewController *presenter)
    {
        const QList<ViewController *> sheets = presenter->presentedViewControllers();
        T *sheet = sheets.isEmpty() ? nullptr : qobject_cast<T *>(sheets.constLast());
        // Focus moves (and so edits finish) only in the active window.
        if (sheet) {
            QWidget *dialog = sheet->view()->window();
            dialog->activateWindow();
            if (!QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; }))
                qWarning("the sheet did not become active");
        }
        return sheet;
    }

    LMBookmarkEditViewController *openEditorFor(ServerBookmark *bookmark)
    {
        list()->selectBookmark(bookmark);
        bookmarksWindow()->editToolbarItem()->trigger();
        return presentedSheet<LMBookmarkEditViewController>(list());
    }

    // The bookmark saved with any seeded before it, the application launched, the bookmark's editor up.
    LMBookmarkEditViewController *
    editBookmark(const BookmarkSeed &bookmark = BookmarkSeed(QStringLiteral("Studio"),
                                                             QStringLiteral("studio.example")))
    {
        ServerBookmark *record = seed(context(), bookmark);
        if (!context()->save())
            return nullptr;
        launch();
        return openEditorFor(record);
    }

    // Types into a field and finishes the edit the way a user does, by leaving the field.
    template <typename Field> static void typeInto(Field *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

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

        // Ctrl+Delete and Ctrl+Backspace remove the first selected row only, and save nothing.
        clickRow(1);
        clickRow(0, Qt::ControlModifier);
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 2);
        QTest::keyClick(table(), Qt::Key_Delete);
        QCOMPARE(listedNames().size(), 4);
        QTest::keyClick(table(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(listedNames(), (QStringList{"Alpha", "beta", "demo"}));
        clickRow(1);
        QTest::keyClick(table(), Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(listedNames(), (QStringList{"Alpha", "demo"}));
        QCOMPARE(readStore().names().size(), 4);
        m_app->saveAction();
        QCOMPARE(readStore().names(), (QStringList{"Alpha", "demo"}));
    }

    // The controls follow the selection; the editor shows the clicked bookmark. The pictures go to
    // the build folder for looking at. This test sees no session bus, so no secret service: the
    // passwords stay in the store and the window says so once, without an alert.
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
        AlertAnswerer alerts;
        launch();
        bookmarksWindow()->window()->resize(620, 360);
        QTRY_VERIFY(bookmarksWindow()->keyringNotice().contains(QStringLiteral("no desktop session bus")));
        QTRY_VERIFY(
            bookmarksWindow()->window()->findChild<QLabel *>(QStringLiteral("keyringNotice"))->isVisible());
        QVERIFY(alerts.seen().isEmpty());
        QCOMPARE(readStore().named(QStringLiteral("Local Lumaro"))->password(), QStringLiteral("secret"));
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
        auto *editor = presentedSheet<LMBookmarkEditViewController>(list());
        QVERIFY(editor);
        QVERIFY(QTest::qWaitForWindowExposed(editor->view()->window()));
        const QStringList shown{editor->labelTextField()->text(), editor->hostTextField()->text(),
                                editor->userTextField()->text(), editor->passwordTextField()->text()};
        QCOMPARE(shown, (QStringList{"Local Lumaro", "127.0.0.1", "admin", "secret"}));
        QVERIFY(saveScreenshot(editor->view()->window(), QStringLiteral("bookmark-editor")));
    }

    // Sessions open at the last quit come back, in store order; a bookmark with an open session is
    // neither connected again, nor edited, nor deleted.
    void openSessionsAreReopenedAndGuardTheirBookmarks()
    {
        DevServer server({QStringLiteral("--user"), QStringLiteral("zoe:pw-zoe"), QStringLiteral("--user"),
                          QStringLiteral("abe:pw-abe"), QStringLiteral("--user"),
                          QStringLiteral("max:pw-max")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        // Store order differs from name order on purpose.
        ServerBookmark *zeta = seed(
            context(), devBookmark(server, QStringLiteral("Zeta"), QStringLiteral("zoe")).withOpenSession());
        ServerBookmark *mid =
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

        // A double-click connects.
        doubleClickRow(1);
        QCOMPARE(bookmarksWindow()->sessionWindowControllers().size(), 3);
        LMSessionWindowController *session = bookmarksWindow()->sessionWindowControllers().constLast();
        QCOMPARE(session->connectionBookmark(), mid);
        QVERIFY(QTest::qWaitForWindowExposed(session->window()));
        QCOMPARE(readStore().named(QStringLiteral("Mid"))->sessionWindowOpen(), true);
        QTRY_VERIFY(
            loginsSeen(server, QStringLiteral("/ra/categoryTypes.json")).contains(QStringLiteral("max")));

        // Neither a second session, nor an editor, nor a deletion while it is open.
        bookmarksWindow()->window()->activateWindow();
        clickRow(1);
        QVERIFY(controlsEnabled(true));
        doubleClickRow(1);
        bookmarksWindow()->connectToolbarItem()->trigger();
        m_app->connectMenuItem()->trigger();
        QCOMPARE(bookmarksWindow()->sessionWindowControllers().size(), 3);
        bookmarksWindow()->editToolbarItem()->trigger();
        QVERIFY(list()->presentedViewControllers().isEmpty());
        {
            AlertAnswerer answerer;
            QTest::keyClick(table(), Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(answerer.seen().size(), 1);
            QVERIFY(answerer.seen().constFirst().text.contains(QStringLiteral("“Mid”")));
        }
        QCOMPARE(listedNames(), (QStringList{"Alpha", "Mid", "Zeta"}));

        // Once the session ends by its close button, all three are allowed again.
        QSignalSpy closed(session, &WindowController::closed);
        session->closeThisWindow();
        QVERIFY(closed.wait());
        QCOMPARE(mid->sessionWindowOpen(), false);
        QTRY_COMPARE(bookmarksWindow()->sessionWindowControllers(), sessions);
        QVERIFY(bookmarksWindow()->hasSelectedBookmark());
        QTest::keyClick(table(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(listedNames(), (QStringList{"Alpha", "Zeta"}));
    }

    // Inserted before its sheet shows (its defaults: tst_serverbookmark). Cancel leaves nothing; a
    // failed save keeps the sheet and says why; the next save stores the record untouched.
    void newBookmark()
    {
        launch();
        int sheetsAtInsert = -1;
        QObject probe;
        connect(context(), &ObjectContext::objectInserted, &probe, [&](ManagedObject *record) {
            QVERIFY(qobject_cast<ServerBookmark *>(record));
            sheetsAtInsert = int(list()->presentedViewControllers().size());
        });
        const int stepsBefore = context()->undoManager()->undoCount();
        m_app->newMenuItem()->trigger();
        QCOMPARE(sheetsAtInsert, 0);
        auto *editor = presentedSheet<LMBookmarkEditViewController>(list());
        QVERIFY(editor && editor->isNew());
        ServerBookmark *record = editor->bookmark();
        QVERIFY(record);
        QCOMPARE(editor->labelTextField()->text(), QStringLiteral("Local Testing"));
        QVERIFY(!editor->deleteButton()->isEnabled());
        QCOMPARE(listedNames(), QStringList{QStringLiteral("Local Testing")});
        QVERIFY(readStore().bookmarks.isEmpty()); // inserted, not saved
        // While the editor is up nothing else may start on the bookmarks.
        m_app->newMenuItem()->trigger();
        m_app->connectMenuItem()->setEnabled(true);
        m_app->connectMenuItem()->trigger();
        QCOMPARE(list()->presentedViewControllers().size(), 1);
        QVERIFY(bookmarksWindow()->sessionWindowControllers().isEmpty());

        typeInto(editor->hostTextField(), QStringLiteral("typed.example"));
        QCOMPARE(record->hostName(), QStringLiteral("typed.example"));
        QTest::mouseClick(editor->cancelButton(), Qt::LeftButton);
        QVERIFY(listedNames().isEmpty());
        QVERIFY(readStore().bookmarks.isEmpty());
        QVERIFY(!context()->hasChanges());
        QTRY_VERIFY(list()->presentedViewControllers().isEmpty());
        // The record's own edit went with it; nothing older was taken back.
        QCOMPARE(context()->undoManager()->undoCount(), stepsBefore + 1);

        bookmarksWindow()->newToolbarItem()->trigger();
        editor = presentedSheet<LMBookmarkEditViewController>(list());
        QVERIFY(editor);
        context()->storeFile()->setFailureForTesting(QStringLiteral("disk full"));
        AlertAnswerer answerer;
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        QTRY_COMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().constFirst().informativeText, QStringLiteral("disk full"));
        QCOMPARE(list()->presentedViewControllers().size(), 1);
        QVERIFY(context()->hasChanges());
        context()->storeFile()->setFailureForTesting({});
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        QTRY_VERIFY(list()->presentedViewControllers().isEmpty());

        const StoredBookmarks stored = readStore();
        QCOMPARE(stored.names(), QStringList{QStringLiteral("Local Testing")});
        ServerBookmark *saved = stored.bookmarks.constFirst();
        QCOMPARE(saved->hostName(), std::nullopt);
        QCOMPARE(saved->userName(), std::nullopt);
        QCOMPARE(saved->password(), std::nullopt);
        QCOMPARE(saved->sessionWindowOpen(), false);
        // The saved record is what the list now has selected.
        QCOMPARE(list()->selectedBookmark()->bookmarkName(), QStringLiteral("Local Testing"));
    }

    void cancelOfAnExistingBookmarkUndoesExactlyTheLastEdit()
    {
        ServerBookmark *other =
            seed(context(), BookmarkSeed(QStringLiteral("Other"), QStringLiteral("other.example")));
        ServerBookmark *record =
            seed(context(), BookmarkSeed(QStringLiteral("Studio"), QStringLiteral("studio.example"))
                                .withPort(8080)
                                .withLogin(QStringLiteral("ann"), QStringLiteral("pw")));
        QVERIFY(context()->save());
        // An unsaved edit of another record made earlier: not the editor's to take back.
        context()->undoManager()->setValue(other, ServerBookmark::kHostName, QStringLiteral("other.changed"));
        launch();

        LMBookmarkEditViewController *editor = openEditorFor(record);
        QVERIFY(editor);
        QVERIFY(!editor->isNew());
        QVERIFY(editor->deleteButton()->isEnabled());
        QCOMPARE(editor->hostTextField()->text(), QStringLiteral("studio.example"));
        QCOMPARE(editor->passwordTextField()->echoMode(), QLineEdit::Password);

        // Without changes Cancel takes nothing back.
        QTest::mouseClick(editor->cancelButton(), Qt::LeftButton);
        QCOMPARE(other->hostName(), QStringLiteral("other.changed"));
        QTRY_VERIFY(list()->presentedViewControllers().isEmpty());

        editor = openEditorFor(record);
        QVERIFY(editor);
        const int stepsBefore = context()->undoManager()->undoCount();
        typeInto(editor->hostTextField(), QStringLiteral("new-host.example"));
        typeInto(editor->userTextField(), QStringLiteral("bob"));
        QCOMPARE(context()->undoManager()->undoCount(), stepsBefore + 2);
        QCOMPARE(record->urlString(),
                 QStringLiteral("http://new-host.example:8080/") + ServerBookmark::DefaultApplicationPath);
        QCOMPARE(editor->view()->findChild<QLabel *>(QStringLiteral("addressLabel"))->text(),
                 record->urlString());

        QTest::mouseClick(editor->cancelButton(), Qt::LeftButton);
        QCOMPARE(record->userName(), QStringLiteral("ann"));
        QCOMPARE(record->hostName(), QStringLiteral("new-host.example"));
        QCOMPARE(other->hostName(), QStringLiteral("other.changed"));
        QCOMPARE(context()->undoManager()->undoCount(), stepsBefore + 1);
        // Nothing was saved by Cancel.
        QCOMPARE(readStore().named(QStringLiteral("Studio"))->hostName(), QStringLiteral("studio.example"));
    }

    void hostIsCheckedAtTheField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved"); // empty: Save is refused
        QTest::addColumn<QString>("note");  // part of the text under the field
        QTest::newRow("port and path") << "127.0.0.1:8080/x?y#z" << "" << "without a scheme or port";
        QTest::newRow("user part") << "127.0.0.1@evil.com" << "" << "cannot contain @";
        QTest::newRow("IPv6 without brackets") << "::1" << "" << "[::1]";
        QTest::newRow("spaces around a name") << "  assets.example  " << "assets.example" << "";
        QTest::newRow("IPv6 in brackets") << "[::1]" << "[::1]" << "";
    }

    void hostIsCheckedAtTheField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QFETCH(QString, note);
        LMBookmarkEditViewController *editor = editBookmark();
        QVERIFY(editor);
        ServerBookmark *record = editor->bookmark();
        typeInto(editor->hostTextField(), typed);
        QCOMPARE(editor->hostNoteLabel()->isVisible(), saved.isEmpty());
        QVERIFY2(editor->hostNoteLabel()->text().contains(note), qPrintable(editor->hostNoteLabel()->text()));
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        if (saved.isEmpty()) {
            // The editor stays, the record keeps its host, nothing is saved.
            QCOMPARE(list()->presentedViewControllers().size(), 1);
            QCOMPARE(record->hostName(), QStringLiteral("studio.example"));
            QVERIFY(editor->hostTextField()->hasFocus());
            QTest::mouseClick(editor->cancelButton(), Qt::LeftButton);
        }
        QTRY_VERIFY(list()->presentedViewControllers().isEmpty());
        QCOMPARE(readStore().named(QStringLiteral("Studio"))->hostName(),
                 saved.isEmpty() ? QStringLiteral("studio.example") : saved);
    }

    void pastedAddressIsTakenApartAsOneStep()
    {
        LMBookmarkEditViewController *editor = editBookmark();
        QVERIFY(editor);
        ServerBookmark *record = editor->bookmark();
        QApplication::clipboard()->setText(QStringLiteral(" https://assets.example:8443/lumaro/app/ "));
        editor->hostTextField()->setFocus();
        editor->hostTextField()->selectAll();
        QTest::keyClick(editor->hostTextField(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(editor->hostTextField()->text(), QStringLiteral("assets.example"));
        QCOMPARE(record->urlString(), QStringLiteral("https://assets.example:8443/lumaro/app"));
        QVERIFY(editor->hostNoteLabel()->text().contains(QLatin1String("8443")));
        QCOMPARE(editor->view()->findChild<QLabel *>(QStringLiteral("addressLabel"))->text(), record->urlString());
        // Cancel takes the whole paste back.
        QTest::mouseClick(editor->cancelButton(), Qt::LeftButton);
        QCOMPARE(record->urlString(), QStringLiteral("http://studio.example:80/") + ServerBookmark::DefaultApplicationPath);
    }

    void typedTextIsCommittedBySaveAndByCommitEditing()
    {
        LMBookmarkEditViewController *editor = editBookmark();
        QVERIFY(editor);
        ServerBookmark *record = editor->bookmark();

        // Still being typed: not in the record until the edit is finished.
        editor->userTextField()->setFocus();
        QTest::keyClicks(editor->userTextField(), QStringLiteral("carol"));
        QCOMPARE(record->userName(), std::nullopt);
        QVERIFY(context()->commitEditing());
        QCOMPARE(record->userName(), QStringLiteral("carol"));

        // A change made elsewhere shows in the field.
        record->setHostName(QStringLiteral("elsewhere.example"));
        QCOMPARE(editor->hostTextField()->text(), QStringLiteral("elsewhere.example"));

        editor->passwordTextField()->setFocus();
        QTest::keyClicks(editor->passwordTextField(), QStringLiteral("s3cret"));
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        const StoredBookmarks stored = readStore();
        QCOMPARE(stored.named(QStringLiteral("Studio"))->password(), QStringLiteral("s3cret"));
        QCOMPARE(stored.named(QStringLiteral("Studio"))->userName(), QStringLiteral("carol"));
        QCOMPARE(stored.named(QStringLiteral("Studio"))->hostName(), QStringLiteral("elsewhere.example"));
    }

    void advancedSettingsEditTheSameRecordAndCancelTakesOneStep()
    {
        LMBookmarkEditViewController *editor = editBookmark(
            BookmarkSeed(QStringLiteral("Archive"), QStringLiteral("archive.example")).withSecure());
        QVERIFY(editor);
        ServerBookmark *record = editor->bookmark();
        typeInto(editor->hostTextField(), QStringLiteral("archive2.example"));

        QTest::mouseClick(editor->advancedButton(), Qt::LeftButton);
        auto *advanced = presentedSheet<LMBookmarkAdvancedViewController>(editor);
        QVERIFY(advanced);
        QCOMPARE(advanced->bookmark(), record);
        QCOMPARE(advanced->portTextField()->value(), 443);
        QVERIFY(advanced->sslTextField()->isChecked());
        QCOMPARE(advanced->appTextField()->text(), ServerBookmark::DefaultApplicationPath);
        QCOMPARE(advanced->uploadSpeedLimitField()->text(), QStringLiteral("No limit"));
        QCOMPARE(AccessibleTree::unnamedControls(editor->view()->window()), QString());
        QCOMPARE(AccessibleTree::unnamedControls(advanced->view()->window()), QString());

        // Unchecking secure switches the scheme at once and keeps the port.
        QTest::mouseClick(advanced->sslTextField(), Qt::LeftButton);
        QVERIFY(record->urlString().startsWith(QStringLiteral("http://archive2.example:443/")));
        QCOMPARE(advanced->view()->findChild<QLabel *>(QStringLiteral("addressLabel"))->text(),
                 record->urlString());

        QTest::mouseClick(advanced->cancelButton(), Qt::LeftButton);
        QVERIFY(record->urlString().startsWith(QStringLiteral("https://archive2.example:443/")));
        QTRY_VERIFY(editor->presentedViewControllers().isEmpty());

        // Cancel without a change there still takes one step: the editor's last edit.
        QTest::mouseClick(editor->advancedButton(), Qt::LeftButton);
        advanced = presentedSheet<LMBookmarkAdvancedViewController>(editor);
        QVERIFY(advanced);
        QTest::mouseClick(advanced->cancelButton(), Qt::LeftButton);
        QCOMPARE(record->hostName(), QStringLiteral("archive.example"));
        QTRY_VERIFY(editor->presentedViewControllers().isEmpty());

        // Done keeps the edits for the editor's Save, which writes them.
        QTest::mouseClick(editor->advancedButton(), Qt::LeftButton);
        advanced = presentedSheet<LMBookmarkAdvancedViewController>(editor);
        QVERIFY(advanced);
        typeInto(advanced->portTextField(), QStringLiteral("8443"));
        typeInto(advanced->appTextField(), QStringLiteral("lumaro"));
        typeInto(advanced->uploadSpeedLimitField(),
                 advanced->uploadSpeedLimitField()->locale().toString(2.5));
        QCOMPARE(record->urlString(), QStringLiteral("https://archive.example:8443/lumaro"));
        QTest::mouseClick(advanced->sslTextField(), Qt::LeftButton);
        QTest::mouseClick(advanced->saveButton(), Qt::LeftButton);
        QCOMPARE(readStore().named(QStringLiteral("Archive"))->portNumber(), 443);
        QTRY_VERIFY(editor->presentedViewControllers().isEmpty());
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);

        const StoredBookmarks stored = readStore();
        ServerBookmark *saved = stored.named(QStringLiteral("Archive"));
        QVERIFY(saved);
        QCOMPARE(saved->urlString(), QStringLiteral("http://archive.example:8443/lumaro"));
        QCOMPARE(saved->uploadLimitBytesPerSecond(), qint64(2.5 * 1024 * 1024));
    }

    void deleteRemovesAndSavesButNotWhileASessionIsOpen()
    {
        ServerBookmark *busy =
            seed(context(), BookmarkSeed(QStringLiteral("Busy"), QStringLiteral("busy.example")));
        LMBookmarkEditViewController *editor = editBookmark();
        QVERIFY(editor);
        QTest::mouseClick(editor->deleteButton(), Qt::LeftButton);
        QCOMPARE(listedNames(), QStringList{QStringLiteral("Busy")});
        QCOMPARE(readStore().names(), QStringList{QStringLiteral("Busy")});
        QTRY_VERIFY(list()->presentedViewControllers().isEmpty());

        // The window refuses to open an editor on a record with a session; an editor that is up
        // when a session starts must not delete it either.
        editor = openEditorFor(busy);
        QVERIFY(editor);
        busy->setSessionWindowOpen(true);
        QVERIFY(context()->save());
        AlertAnswerer answerer;
        editor->viewWillAppear();
        QVERIFY(!editor->deleteButton()->isEnabled());
        editor->deleteButtonClicked();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(answerer.seen().constFirst().text.contains(QStringLiteral("session window is open")));
        QCOMPARE(readStore().names(), QStringList{QStringLiteral("Busy")});
        QCOMPARE(listedNames(), QStringList{QStringLiteral("Busy")});
        QVERIFY(!list()->presentedViewControllers().isEmpty());
    }

    void unknownSeguesChangeNothing()
    {
        launch();
        QVERIFY(controlsEnabled(false));
        Segue segue{QStringLiteral("noSuchSegue"), bookmarksWindow(), nullptr, Segue::Kind::Window};
        bookmarksWindow()->prepareForSegue(segue, bookmarksWindow());
        // Never taken for a new bookmark: nothing inserted, nothing presented.
        QVERIFY(!context()->hasChanges());
        QVERIFY(list()->presentedViewControllers().isEmpty());

        LMBookmarkEditViewController editor;
        segue = Segue{QStringLiteral("noSuchSegue"), &editor, nullptr, Segue::Kind::Sheet};
        StdoutCapture out;
        editor.prepareForSegue(segue, &editor);
        QCOMPARE(out.lines(),
                 QStringList{QStringLiteral("should not be here - bookmark edit view - prepare for segue")});
    }

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
        m_app->setQuitOnLastWindowClosed(true); // as in the application
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
        DevServer server({QStringLiteral("--user"), QStringLiteral("eve:pw-eve")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        seed(context(),
             devBookmark(server, QStringLiteral("Kept open"), QStringLiteral("eve")).withOpenSession());
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
        m_app->setQuitOnLastWindowClosed(true);
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

        // Edits that cannot be committed cancel the quit.
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
        auto *editor = presentedSheet<LMBookmarkEditViewController>(list());
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

LUMARO_GUI_TEST_MAIN(TestShell)
#include "tst_shell.moc"
