// A plain file where the data folder belongs: the user is told once, with the exact texts, and
// the application runs on without a store.
#include "AppTestSupport.h"
#include "GuiTestMain.h"

#include "app/AppDelegate.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "bookmarks/LMBookmarksViewController.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "store/PersistentStore.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QtTest>

class TestStoreFailure : public QObject {
    Q_OBJECT
private slots:
    void folderIsAFile();
};

void TestStoreFailure::folderIsAFile()
{
    const QString folder = PersistentStore::applicationDocumentsDirectory();
    QDir().mkpath(QFileInfo(folder).path());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    AppTestSupport::AlertAnswerer alerts;
    AppDelegate app;
    QVERIFY(!app.managedObjectContext());
    QVERIFY(!app.managedObjectContext());
    QVERIFY(!app.windowWillReturnUndoManager());
    app.saveAction();
    // The bookmarks window still comes up, with nothing to list.
    app.applicationDidFinishLaunching();
    QVERIFY(app.bookmarksWindowController());
    QTRY_VERIFY(app.bookmarksWindowController()->window()->isVisible());

    QCOMPARE(alerts.seen().size(), 1);
    QCOMPARE(alerts.seen().first().text, QStringLiteral("Failed to initialize the application's saved data"));
    QCOMPARE(alerts.seen().first().informativeText,
             QStringLiteral("Expected a folder to store application data, found a file ") + folder + QLatin1Char('.'));
    QVERIFY(app.storeOpeningFailed());
    QVERIFY(QFileInfo(folder).isFile());

    // A new bookmark cannot be kept: the save says so and the sheet stays with what was typed.
    LMBookmarksViewController *list = app.bookmarksWindowController()->bookmarksViewController();
    app.bookmarksWindowController()->showNewBookmarkView();
    QCOMPARE(list->presentedViewControllers().size(), 1);
    auto *editor = qobject_cast<LMBookmarkEditViewController *>(list->presentedViewControllers().constFirst());
    QVERIFY(editor);
    QVERIFY(editor->isNew());
    QVERIFY(!editor->deleteButton()->isEnabled());
    QTest::keyClicks(editor->hostTextField(), QStringLiteral("kept.example"));
    editor->saveButton()->click();
    QCOMPARE(alerts.seen().size(), 2);
    QCOMPARE(alerts.seen().last().text,
             QStringLiteral("The bookmark could not be saved: the data store is not available"));
    QCOMPARE(list->presentedViewControllers().size(), 1);
    QCOMPARE(editor->hostTextField()->text(), QStringLiteral("kept.example"));
}

LUMARO_GUI_TEST_MAIN(TestStoreFailure)
#include "tst_storefailure.moc"
