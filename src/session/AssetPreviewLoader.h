#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

class QThreadPool;

// Reads a file's picture for the preview on a worker thread, decoded straight at the preview
// size, so even a huge image never holds the window. Only the latest request is answered:
// superseded requests are skipped before decoding when possible and their results dropped.
class AssetPreviewLoader : public QObject {
    Q_OBJECT
public:
    struct Result {
        QString filePath;
        QImage image;         // null when the file is not a readable picture
        QString mimeTypeName; // the file's type, for a type icon when there is no picture
        QString iconName;     // freedesktop icon name of that type
        QString genericIconName;
    };

    explicit AssetPreviewLoader(QObject *parent = nullptr);
    ~AssetPreviewLoader() override;
    AssetPreviewLoader(const AssetPreviewLoader &) = delete;
    AssetPreviewLoader &operator=(const AssetPreviewLoader &) = delete;

    // Supersedes any earlier request. boundingSize is in device pixels.
    void load(const QString &filePath, const QSize &boundingSize);
    // Drops the pending request; nothing is delivered for it.
    void cancel();

    [[nodiscard]] bool isLoading() const { return m_loading; }

    // Worker side, also usable directly: reads the type and, for pictures, the scaled image.
    [[nodiscard]] static Result read(const QString &filePath, const QSize &boundingSize,
                                     const std::atomic<quint64> *generation = nullptr, quint64 mine = 0);

signals:
    void loaded(const AssetPreviewLoader::Result &result);

private:
    void deliver(quint64 generation, const Result &result);

    [[nodiscard]] static QThreadPool *pool();

    // Shared with the workers so that they can see they have been superseded.
    std::shared_ptr<std::atomic<quint64>> m_generation;
    bool m_loading = false;
};
