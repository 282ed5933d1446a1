#pragma once

#include "session/AssetPreviewLoader.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

// The picture of the upload view's current file: the image itself for pictures, the file
// type's icon otherwise. Loading runs on a worker thread; the pane only ever shows the answer
// for the file it was last asked about.
class UploadPreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit UploadPreviewPane(QWidget *parent = nullptr);
    ~UploadPreviewPane() override;

    // The image view proper.
    [[nodiscard]] QLabel *imageLabel() const { return m_image; }

    void showFile(const QString &filePath);
    void clear();

    [[nodiscard]] QString filePath() const { return m_filePath; }
    // True once the file's own picture (not a type icon) is shown.
    [[nodiscard]] bool isShowingPicture() const { return m_showingPicture; }
    [[nodiscard]] bool isLoading() const { return m_loader->isLoading(); }

    [[nodiscard]] QSize sizeHint() const override;

signals:
    // The preview for filePath() is on screen (picture or icon).
    void previewShown(const QString &filePath);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void takeResult(const AssetPreviewLoader::Result &result);
    void updatePixmap();
    [[nodiscard]] QSize decodeSize() const;

    QLabel *m_image;
    AssetPreviewLoader *m_loader;
    QTimer *m_slowLoad;
    QString m_filePath;
    QPixmap m_source;
    bool m_showingPicture = false;
};
