#include "GuiTestMain.h"

#include "UploadTestKit.h"

#include "session/UploadPreviewPane.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImageWriter>
#include <QLabel>
#include <QMimeData>
#include <QPainter>

using namespace UploadTestKit;

namespace {
// What a file manager's drop delivers to the widget under the cursor.
bool drop(QWidget *target, const QMimeData *data, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    const QPointF at = QRectF(target->rect()).center();
    QDragEnterEvent enter(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
        return false;
    QDragMoveEvent move(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted() || move.dropAction() != Qt::CopyAction)
        return false;
    QDropEvent dropped(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
}

bool dropUrls(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    return drop(target, &data);
}
} // namespace

// The upload view's list as a drop target, and its picture, in a real session window.
class TestAssetBrowser : public QObject {
    Q_OBJECT

private:
    AppDelegate m_app;
    ObjectContext *m_context = nullptr;
    QTemporaryDir m_files;

private slots:
    void initTestCase()
    {
        m_context = m_app.managedObjectContext();
        QVERIFY(m_context);
        registerSessionControllers(Storyboard::main());
    }

    void dropQueuesFilesAndFoldersInListOrder()
    {
        UploadSession s(m_context, QStringLiteral("Drop"));
        QVERIFY(s.waitUntilReady());
        QCOMPARE(s.upload()->categoryNameTextField()->text(), s.connection()->getSelectedCategoryPath());
        QCOMPARE(s.browser()->uploadView(), s.upload());
        QVERIFY(s.browser()->acceptDrops());
        QVERIFY(s.browser()->allowsMultipleSelection());

        const QString folder = m_files.filePath(QStringLiteral("dropped"));
        const QString loose = writeFile(m_files.filePath(QStringLiteral("loose.pdf")), "%PDF");
        writeFile(folder + QStringLiteral("/z.txt"), "z");
        writeFile(folder + QStringLiteral("/m.txt"), "m");
        writeFile(folder + QStringLiteral("/.DS_Store"), "x");

        QVERIFY(dropUrls(s.browser(), fileUrls({loose, folder})));
        const QStringList expected{loose, folder + QStringLiteral("/m.txt"),
                                   folder + QStringLiteral("/z.txt")};
        QCOMPARE(filePaths(s.upload()->importQueue()), expected);
        QCOMPARE(columnTexts(s.browser(), 0), (QStringList{"loose.pdf", "m.txt", "z.txt"}));
        QCOMPARE(s.browser()->selectedRowsInColumn(0), QList<int>{2});
        QCOMPARE(s.upload()->assetNameTextField()->text(), expected.last());
        QCOMPARE(s.upload()->previewPane()->filePath(), expected.last());
        // Saved once for the group: a fresh read of the store file has them, for this bookmark.
        auto reopened = reopenStore();
        QVERIFY(reopened);
        ServerBookmark *stored = findBookmark(*reopened, s.bookmark->objectId());
        QVERIFY(stored);
        QCOMPARE(filePaths(reopened->fetchPendingAssets(stored)), expected);
        // Clicking a row shows that record.
        QVERIFY(clickRow(s.browser(), 0, 0));
        QCOMPARE(s.upload()->assetNameTextField()->text(), loose);

        // A file listed already is not queued again, with or without its folder.
        QVERIFY(dropUrls(s.browser(), fileUrls({loose, folder})));
        QCOMPARE(filePaths(s.upload()->importQueue()), expected);
        QCOMPARE(s.upload()->uploadStatusField()->text(),
                 QStringLiteral("3 files were in the queue already."));
    }

    void dropsWithoutFilesChangeNothing()
    {
        UploadSession s(m_context, QStringLiteral("Text"));
        QVERIFY(s.waitUntilReady());
        s.upload()->AddAssetsToImportQueue(fileUrls(writeFiles(m_files.filePath(QStringLiteral("text")), 2)));
        const QList<Asset *> before = s.upload()->importQueue();
        const QString shown = s.upload()->assetNameTextField()->text();

        // Text, and a link from a web browser: accepted with the copy cursor, then ignored.
        QMimeData text;
        text.setText(QStringLiteral("/etc/hostname"));
        QVERIFY(drop(s.browser(), &text, Qt::MoveAction | Qt::CopyAction));
        QVERIFY(dropUrls(s.browser(), {QUrl(QStringLiteral("https://example.invalid/photo.jpg"))}));
        // A folder with nothing usable in it adds nothing either.
        QDir().mkpath(m_files.filePath(QStringLiteral("empty/sub")));
        QVERIFY(dropUrls(s.browser(), fileUrls({m_files.filePath(QStringLiteral("empty"))})));
        QCOMPARE(s.upload()->importQueue(), before);
        QCOMPARE(s.upload()->assetNameTextField()->text(), shown);
        QCOMPARE(m_context->fetchPendingAssets(s.bookmark), before);
    }

    void dropDuringABatchJoinsTheListNotTheBatch()
    {
        UploadSession s(
            m_context, QStringLiteral("Busy"),
            {QStringLiteral("--fault"), QStringLiteral("POST /ra/categoryAssets.json#1=delay:1000")});
        QVERIFY(s.waitUntilReady());
        const QStringList first = writeFiles(m_files.filePath(QStringLiteral("busy")), 2);
        s.upload()->AddAssetsToImportQueue(fileUrls(first));
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("uploading asset 1 of 2"), kTimeout);
        QVERIFY(!s.browser()->isListEnabled());

        const QString late = writeFile(m_files.filePath(QStringLiteral("late.txt")), "late");
        QVERIFY(dropUrls(s.browser(), fileUrls({late})));
        QCOMPARE(s.upload()->importQueue().size(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!s.upload()->uploadInProgress(), kTimeout);
        QCOMPARE(filePaths(s.upload()->importQueue()), QStringList{late});
        QCOMPARE(s.server.requests(QStringLiteral("/ra/categoryAssets.json")).size(), 2);
    }

    // Decoded off the GUI thread at preview size; type icons for what is no picture.
    void hugeImageDoesNotBlockTheWindow()
    {
        // 10000 x 10000 pixels: 100 megapixels.
        const QString path = m_files.filePath(QStringLiteral("panorama.jpg"));
        {
            QImage huge(10000, 10000, QImage::Format_Grayscale8);
            huge.fill(200);
            QPainter painter(&huge);
            painter.setPen(QPen(Qt::black, 40));
            painter.drawEllipse(QRect(500, 500, 9000, 9000));
            painter.end();
            QImageWriter writer(path, "jpeg");
            writer.setQuality(60);
            QVERIFY2(writer.write(huge), qPrintable(writer.errorString()));
        }
        const QString small = writeFile(m_files.filePath(QStringLiteral("notes.txt")), "plain text");

        UploadSession s(m_context, QStringLiteral("Preview"));
        QVERIFY(s.waitUntilReady());
        UploadPreviewPane *pane = s.upload()->previewPane();
        s.upload()->AddAssetsToImportQueue(fileUrls({small}));
        QTRY_VERIFY_WITH_TIMEOUT(!pane->isLoading(), kTimeout);
        QVERIFY(!pane->isShowingPicture());
        QVERIFY(!s.upload()->assetPreview()->pixmap().isNull()); // the text file's type icon

        // The call returns with the picture still being decoded elsewhere: the window goes on.
        s.upload()->AddAssetsToImportQueue(fileUrls({path}));
        QCOMPARE(pane->filePath(), path);
        QVERIFY(pane->isLoading());
        QVERIFY(!pane->isShowingPicture());
        QTRY_VERIFY_WITH_TIMEOUT(pane->isShowingPicture(), 120000);

        const QPixmap shown = s.upload()->assetPreview()->pixmap();
        QVERIFY(!shown.isNull());
        QVERIFY(shown.width() <= s.upload()->assetPreview()->width());
        QVERIFY(shown.height() <= s.upload()->assetPreview()->height());

        // Back to the small file before a slow answer could come in: the stale one is dropped.
        QVERIFY(clickRow(s.browser(), 0, 0));
        QCOMPARE(pane->filePath(), small);
        QTRY_VERIFY_WITH_TIMEOUT(!pane->isLoading(), kTimeout);
        QVERIFY(!pane->isShowingPicture());
    }
};

LUMARO_GUI_TEST_MAIN(TestAssetBrowser)
#include "tst_assetbrowser.moc"
