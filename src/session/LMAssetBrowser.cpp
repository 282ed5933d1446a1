#include "session/LMAssetBrowser.h"

#include "session/LMSessionUploadViewController.h"

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>

LMAssetBrowser::LMAssetBrowser(QWidget *parent) : ColumnBrowser(parent)
{
    setAllowsMultipleSelection(true);
    watchColumns();
}

LMAssetBrowser::~LMAssetBrowser() = default;

LMSessionUploadViewController *LMAssetBrowser::uploadView() const
{
    return m_uploadView;
}

void LMAssetBrowser::setUploadView(LMSessionUploadViewController *view)
{
    m_uploadView = view;
}

void LMAssetBrowser::registerForDraggedTypes(const QStringList &types)
{
    m_draggedTypes = types;
    setAcceptDrops(!types.isEmpty());
}

void LMAssetBrowser::setListEnabled(bool enabled)
{
    m_listEnabled = enabled;
    for (int column = 0; column < columnCount(); ++column)
        columnView(column)->setEnabled(enabled);
}

bool LMAssetBrowser::isListEnabled() const
{
    return m_listEnabled;
}

QList<QUrl> LMAssetBrowser::droppedFileUrls(const QMimeData *data)
{
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        // Remote URLs (a link dragged from a browser) have no file behind them to read.
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(QUrl::fromLocalFile(url.toLocalFile()));
    }
    return files;
}

void LMAssetBrowser::dragEnterEvent(QDragEnterEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void LMAssetBrowser::dragMoveEvent(QDragMoveEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void LMAssetBrowser::dropEvent(QDropEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const QList<QUrl> files = droppedFileUrls(event->mimeData());
    if (files.isEmpty() || !m_uploadView)
        return;
    m_uploadView->AddAssetsToImportQueue(files);
}

void LMAssetBrowser::resizeEvent(QResizeEvent *event)
{
    ColumnBrowser::resizeEvent(event);
    // A list of files, never a second column: the one column takes the whole width.
    setColumnWidth(std::max(width() - 2, 120));
}

void LMAssetBrowser::watchColumns()
{
    // The list only ever shows column 0; it is never replaced.
    if (QAbstractItemView *list = columnView(0)) {
        list->installEventFilter(this);
        list->setIconSize(QSize(16, 16));
    }
}

bool LMAssetBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete)
            emit deleteKeyPressed();
    }
    return ColumnBrowser::eventFilter(watched, event);
}
