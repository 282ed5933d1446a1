#include "session/UploadPreviewPane.h"

#include <QFileIconProvider>
#include <QIcon>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int PreviewSide = 260;
constexpr int IconSide = 96;

QIcon typeIcon(const AssetPreviewLoader::Result &result)
{
    QIcon icon = QIcon::fromTheme(result.iconName);
    if (icon.isNull())
        icon = QIcon::fromTheme(result.genericIconName);
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileIconProvider::File);
    return icon;
}
} // namespace

UploadPreviewPane::UploadPreviewPane(QWidget *parent)
    : QWidget(parent), m_image(new QLabel(this)), m_loader(new AssetPreviewLoader(this)),
      m_slowLoad(new QTimer(this))
{
    m_image->setObjectName(QStringLiteral("assetPreview"));
    m_image->setAlignment(Qt::AlignCenter);
    // Ignored: the pixmap follows the label's size, never the other way round.
    m_image->setMinimumSize(160, 160);
    m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_image->setFrameShape(QFrame::StyledPanel);
    m_image->setAutoFillBackground(true);
    m_image->setBackgroundRole(QPalette::Base);
    m_image->setForegroundRole(QPalette::PlaceholderText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_image);

    // A message only when loading is slow enough to notice, so quick loads do not flicker.
    m_slowLoad->setSingleShot(true);
    m_slowLoad->setInterval(200);
    connect(m_slowLoad, &QTimer::timeout, this, [this] {
        m_source = {};
        m_image->setPixmap({});
        m_image->setText(tr("Loading preview…"));
    });
    connect(m_loader, &AssetPreviewLoader::loaded, this, &UploadPreviewPane::takeResult);
    clear();
}

UploadPreviewPane::~UploadPreviewPane() = default;

QSize UploadPreviewPane::sizeHint() const
{
    return {PreviewSide, PreviewSide};
}

QSize UploadPreviewPane::decodeSize() const
{
    // Square, so a picture turned by its orientation tag still fits; device pixels for sharpness.
    const int side = std::max({m_image->width(), m_image->height(), PreviewSide});
    const qreal ratio = devicePixelRatioF();
    return QSize(side, side) * ratio;
}

void UploadPreviewPane::showFile(const QString &filePath)
{
    if (filePath.isEmpty()) {
        clear();
        return;
    }
    if (filePath == m_filePath && !m_loader->isLoading() && !m_source.isNull())
        return;
    m_filePath = filePath;
    m_showingPicture = false;
    m_slowLoad->start();
    m_loader->load(filePath, decodeSize());
}

void UploadPreviewPane::clear()
{
    m_loader->cancel();
    m_slowLoad->stop();
    m_filePath.clear();
    m_source = {};
    m_showingPicture = false;
    m_image->setPixmap({});
    m_image->setText(tr("No file selected"));
}

void UploadPreviewPane::takeResult(const AssetPreviewLoader::Result &result)
{
    if (result.filePath != m_filePath)
        return;
    m_slowLoad->stop();
    if (!result.image.isNull()) {
        m_source = QPixmap::fromImage(result.image);
        m_source.setDevicePixelRatio(devicePixelRatioF());
        m_showingPicture = true;
    } else {
        m_source = typeIcon(result).pixmap(QSize(IconSide, IconSide), devicePixelRatioF());
        m_showingPicture = false;
    }
    updatePixmap();
    emit previewShown(m_filePath);
}

void UploadPreviewPane::updatePixmap()
{
    if (m_source.isNull())
        return;
    const QSize room = m_image->contentsRect().size() - QSize(8, 8);
    QPixmap shown = m_source;
    const QSize logical = m_source.deviceIndependentSize().toSize();
    if (room.isValid() && (logical.width() > room.width() || logical.height() > room.height())) {
        shown = m_source.scaled(room * m_source.devicePixelRatio(), Qt::KeepAspectRatio,
                                Qt::SmoothTransformation);
        shown.setDevicePixelRatio(m_source.devicePixelRatio());
    }
    m_image->setText({});
    m_image->setPixmap(shown);
}

void UploadPreviewPane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updatePixmap();
}
