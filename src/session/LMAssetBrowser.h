#pragma once

#include "platform/widgets/ColumnBrowser.h"

#include <QPointer>
#include <QStringList>
#include <QUrl>

class LMSessionUploadViewController;
class QMimeData;

// The upload view's list: a one-column browser that takes files dropped from a file manager and
// hands them to its upload view. Every drag is accepted with the copy action; what cannot be
// queued is sorted out by the upload view, not here.
class LMAssetBrowser : public ColumnBrowser {
    Q_OBJECT
public:
    // The file-list type that the upload view registers.
    static inline const QString FileListMimeType = QStringLiteral("text/uri-list");

    explicit LMAssetBrowser(QWidget *parent = nullptr);
    ~LMAssetBrowser() override;

    [[nodiscard]] LMSessionUploadViewController *uploadView() const;
    void setUploadView(LMSessionUploadViewController *view);

    // Drops are taken once a type is registered; registering again replaces the list.
    void registerForDraggedTypes(const QStringList &types);
    [[nodiscard]] QStringList registeredDraggedTypes() const { return m_draggedTypes; }

    // Disables the list for the user while keeping the browser a drop target, so files can still
    // be queued while a batch runs.
    void setListEnabled(bool enabled);
    [[nodiscard]] bool isListEnabled() const;

    // The local files of a drop, in list order; empty for drops without file URLs.
    [[nodiscard]] static QList<QUrl> droppedFileUrls(const QMimeData *data);

signals:
    // Backspace or Delete in the list. The event goes on to the list afterwards.
    void deleteKeyPressed();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchColumns();

    // Weak: the upload view owns the widget tree this browser lives in.
    QPointer<LMSessionUploadViewController> m_uploadView;
    QStringList m_draggedTypes;
    bool m_listEnabled = true;
};
