// A plain file where the data folder belongs: the user is told once, with the exact texts, and
// the application runs on without a store.
#include "GuiTestMain.h"

#include "app/AppDelegate.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "platform/widgets/Alert.h"
#include "store/PersistentStore.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
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

    QList<QStringList> alerts;
    Alert::setTestHook([&](QMessageBox *box) {
        alerts << QStringList{box->text(), box->informativeText()};
        box->buttons().first()->click();
    });
    AppDelegate app;
    QVERIFY(!app.managedObjectContext());
    QVERIFY(!app.managedObjectContext());
    QVERIFY(!app.windowWillReturnUndoManager());
    app.saveAction();
    // The bookmarks window still comes up, with nothing to list.
    app.applicationDidFinishLaunching();
    QVERIFY(app.bookmarksWindowController());
    QTRY_VERIFY(app.bookmarksWindowController()->window()->isVisible());

    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first().at(0), QStringLiteral("Failed to initialize the application's saved data"));
    QCOMPARE(alerts.first().at(1),
             QStringLiteral("Expected a folder to store application data, found a file ") + folder + QLatin1Char('.'));
    QVERIFY(app.storeOpeningFailed());
    QVERIFY(QFileInfo(folder).isFile());
    Alert::setTestHook({});
}

LUMARO_GUI_TEST_MAIN(TestStoreFailure)
#include "tst_storefailure.moc"
