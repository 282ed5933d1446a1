#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "UploadTestKit.h"

#include "session/ImportLogModel.h"
#include "session/LMImportLogViewController.h"
#include "session/LMImportLogWindowController.h"

#include <QTableView>

using namespace UploadTestKit;

namespace {
QStringList columnOf(const QTableView *table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        texts.append(table->model()->index(row, column).data().toString());
    return texts;
}

bool uploadAll(UploadSession &s, const QStringList &paths)
{
    s.upload()->AddAssetsToImportQueue(fileUrls(paths));
    QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
    return QTest::qWaitFor(
        [&] { return !s.upload()->uploadInProgress() && s.upload()->importQueue().isEmpty(); }, kTimeout);
}
} // namespace

// The import log window over the shared store: what it lists, what Clear Log removes.
class TestImportLog : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppDelegate> m_app;
    QTemporaryDir m_files;

    ObjectContext *store()
    {
        if (!m_app)
            m_app = std::make_unique<AppDelegate>();
        return m_app->managedObjectContext();
    }

private slots:
    void initTestCase() { registerSessionControllers(Storyboard::main()); }

    void withoutAStoreTheLogIsEmpty()
    {
        if (m_app)
            QSKIP("needs to run before the store is opened");
        // No application delegate yet, so no store context: nothing to list, nothing to clear.
        LMImportLogWindowController log;
        log.showWindow();
        QVERIFY(!log.importLogView()->managedObjectContext());
        QCOMPARE(log.importLogView()->ImportLogTableView()->model()->rowCount(), 0);
        log.importLogView()->clearLogButtonWasClicked();
        QCOMPARE(log.importLogView()->ImportLogTableView()->model()->rowCount(), 0);
        log.close();
    }

    void listsUploadsOfEveryBookmarkNewestFirst()
    {
        ObjectContext *context = store();
        QVERIFY(context);
        UploadSession harbour(context, QStringLiteral("Harbour"));
        UploadSession office(context, QStringLiteral("Office"));
        QVERIFY(harbour.waitUntilReady() && office.waitUntilReady());
        QVERIFY(uploadAll(
            harbour, writeFiles(m_files.filePath(QStringLiteral("h")), 2, 64, QStringLiteral("harbour"))));
        QVERIFY(uploadAll(
            office, writeFiles(m_files.filePath(QStringLiteral("o")), 1, 64, QStringLiteral("office"))));
        // One file waits in Harbour's queue: not in the log, and Clear Log leaves it alone.
        harbour.upload()->AddAssetsToImportQueue(fileUrls({writeFile(m_files.filePath("waiting.txt"), "w")}));
        Asset *pending = harbour.upload()->importQueue().constFirst();

        LMImportLogWindowController log;
        log.showWindow();
        QCOMPARE(log.frameAutosaveName(), QStringLiteral("AssetImportLogWindow"));
        QTableView *table = log.importLogView()->ImportLogTableView();
        QCOMPARE(columnOf(table, ImportLogModel::FileColumn),
                 (QStringList{"office-01.txt", "harbour-02.txt", "harbour-01.txt"}));
        QCOMPARE(columnOf(table, ImportLogModel::BookmarkColumn),
                 (QStringList{"Office", "Harbour", "Harbour"}));
        const QString path = harbour.connection()->getSelectedCategoryPath();
        QVERIFY(!path.isEmpty());
        QCOMPARE(columnOf(table, ImportLogModel::CategoryColumn), (QStringList{path, path, path}));
        const Asset *newest = static_cast<ImportLogModel *>(table->model())->record(0);
        QCOMPARE(columnOf(table, ImportLogModel::UploadTimeColumn).first(),
                 ImportLogModel::formatUploadTime(*newest->uploadDateTime()));

        // Stamped while the log is open: it shows up on top.
        QVERIFY(uploadAll(office,
                          writeFiles(m_files.filePath(QStringLiteral("o2")), 1, 64, QStringLiteral("late"))));
        QTRY_COMPARE(table->model()->rowCount(), 4);
        QCOMPARE(columnOf(table, ImportLogModel::FileColumn).first(), QStringLiteral("late-01.txt"));

        // A deleted bookmark's uploads stay in the log without it.
        QVERIFY(closeSession(office.session));
        context->deleteObject(office.bookmark);
        QTRY_COMPARE(columnOf(table, ImportLogModel::BookmarkColumn),
                     (QStringList{"—", "—", "Harbour", "Harbour"}));

        QVERIFY(saveScreenshot(log.window(), QStringLiteral("import-log")));
        QCOMPARE(AccessibleTree::unnamedControls(log.window()), QString());
        // Clear Log: gone at once, the waiting file untouched, nothing saved.
        QVERIFY(context->save());
        QTest::mouseClick(log.importLogView()->clearLogButton(), Qt::LeftButton);
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(context->fetchUploadedAssets().isEmpty());
        QCOMPARE(context->fetchPendingAssets(harbour.bookmark), QList<Asset *>{pending});
        QVERIFY(context->hasChanges());
        auto reopened = reopenStore();
        QVERIFY(reopened);
        QCOMPARE(reopened->fetchUploadedAssets().size(), 4);
        log.close();
    }
};

LUMARO_GUI_TEST_MAIN(TestImportLog)
#include "tst_importlog.moc"
