#include "GuiTestMain.h"

#include "UploadTestKit.h"

#include "session/UploadPreviewPane.h"

#include <QImageWriter>
#include <QLabel>
#include <QPainter>

using namespace UploadTestKit;

// The upload view's picture: decoded off the GUI thread at preview size, type icons otherwise.
class TestUploadPreview : public QObject {
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

LUMARO_GUI_TEST_MAIN(TestUploadPreview)
#include "tst_uploadpreview.moc"
