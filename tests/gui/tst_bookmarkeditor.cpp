#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "AppTestSupport.h"
#include "bookmarks/LMBookmarkAdvancedViewController.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "platform/widgets/Segue.h"
#include "store/UndoManager.h"

#include <QAction>
#include <QClipboard>

using namespace AppTestSupport;

class TestBookmarkEditor : public QObject, DelegateFixture {
    Q_OBJECT

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

private slots:
    void init() { m_app = freshDelegate(); }

    void cleanup() { quitApp(); }

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

    void anUnknownSegueIsOnlyLogged()
    {
        LMBookmarkEditViewController editor;
        Segue segue{QStringLiteral("noSuchSegue"), &editor, nullptr, Segue::Kind::Sheet};
        StdoutCapture out;
        editor.prepareForSegue(segue, &editor);
        QCOMPARE(out.lines(),
                 QStringList{QStringLiteral("should not be here - bookmark edit view - prepare for segue")});
    }
};

LUMARO_GUI_TEST_MAIN(TestBookmarkEditor)
#include "tst_bookmarkeditor.moc"
