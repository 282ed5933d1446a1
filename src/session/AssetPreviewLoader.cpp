#include "session/AssetPreviewLoader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPointer>
#include <QThreadPool>

AssetPreviewLoader::AssetPreviewLoader(QObject *parent)
    : QObject(parent), m_generation(std::make_shared<std::atomic<quint64>>(0))
{
}

AssetPreviewLoader::~AssetPreviewLoader()
{
    // A decode still running learns it is stale; nobody waits for it, so closing a window
    // never hangs on a big picture.
    m_generation->fetch_add(1);
}

QThreadPool *AssetPreviewLoader::pool()
{
    // One decoder at a time for the whole process: clicking through a list of large pictures
    // must not pile up work. It lives with the application and is drained when that goes.
    static QPointer<QThreadPool> shared;
    if (!shared) {
        shared = new QThreadPool(QCoreApplication::instance());
        shared->setMaxThreadCount(1);
    }
    return shared;
}

void AssetPreviewLoader::load(const QString &filePath, const QSize &boundingSize)
{
    const quint64 mine = m_generation->fetch_add(1) + 1;
    m_loading = true;
    QPointer<AssetPreviewLoader> guard(this);
    std::shared_ptr<std::atomic<quint64>> generation = m_generation;
    pool()->start([guard, generation, mine, filePath, boundingSize] {
        if (generation->load() != mine)
            return;
        Result result = read(filePath, boundingSize, generation.get(), mine);
        // Delivered through the application object, which outlives us: the guard is only
        // looked at on the GUI thread.
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [guard, mine, result] {
                if (guard)
                    guard->deliver(mine, result);
            },
            Qt::QueuedConnection);
    });
}

void AssetPreviewLoader::cancel()
{
    m_generation->fetch_add(1);
    m_loading = false;
}

void AssetPreviewLoader::deliver(quint64 generation, const Result &result)
{
    if (generation != m_generation->load())
        return;
    m_loading = false;
    emit loaded(result);
}

AssetPreviewLoader::Result AssetPreviewLoader::read(const QString &filePath, const QSize &boundingSize,
                                                    const std::atomic<quint64> *generation, quint64 mine)
{
    Result result;
    result.filePath = filePath;
    static const QMimeDatabase mimeDatabase;
    const QMimeType type = mimeDatabase.mimeTypeForFile(filePath);
    result.mimeTypeName = type.name();
    result.iconName = type.iconName();
    result.genericIconName = type.genericIconName();
    if (!type.name().startsWith(QLatin1String("image/")) || !QFileInfo(filePath).isFile())
        return result;

    QImageReader reader(filePath);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() && boundingSize.isValid()) {
        // Only ever shrink; small pictures keep their pixels.
        if (size.width() > boundingSize.width() || size.height() > boundingSize.height())
            size.scale(boundingSize, Qt::KeepAspectRatio);
        // Decoders that can, decode straight at this size (JPEG at 1/2, 1/4, 1/8 scale).
        reader.setScaledSize(size.expandedTo(QSize(1, 1)));
    }
    if (generation && generation->load() != mine)
        return result;
    QImage image;
    if (reader.read(&image))
        result.image = std::move(image);
    return result;
}
