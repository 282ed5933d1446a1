#pragma once

#include "platform/widgets/ViewController.h"
#include <QTableView>

#include <QPointer>

class BookmarksTableModel;
class LMBookmarksWindowController;
class ObjectContext;
class QLabel;
class QSortFilterProxyModel;
class ServerBookmark;

// The bookmarks window's content: every bookmark of the shared context, sorted by name. A
// selection enables the connect and edit controls, a double-click connects, Ctrl+Delete (or
// Ctrl+Backspace) deletes the first selected bookmark without saving.
class LMBookmarksViewController : public ViewController {
    Q_OBJECT
public:
    explicit LMBookmarksViewController(QObject *parent = nullptr);
    ~LMBookmarksViewController() override;

    // The first selected bookmark in the list's order, or none.
    [[nodiscard]] ServerBookmark *selectedBookmark() const;
    // Selects exactly this bookmark (none clears the selection).
    void selectBookmark(const ServerBookmark *bookmark);
    // The first bookmark in the list's order whose session window is not open, else the first.
    [[nodiscard]] ServerBookmark *bookmarkToSelectAtLaunch() const;

    // Handed in by the window controller; none when the store failed.
    void setManagedObjectContext(ObjectContext *context);
    [[nodiscard]] ObjectContext *managedObjectContext() const;

    [[nodiscard]] QTableView *bookmarksTableView() const { return m_table; }
    [[nodiscard]] BookmarksTableModel *bookmarksModel() const { return m_model; }

    void viewWillAppear() override;

public slots:
    void bookmarkTableWasClicked();
    void bookmarksTableViewWasDoubleClicked();
    void deleteBookmark();

signals:
    // Each time the view is about to be shown in its window.
    void willAppear();

protected:
    void loadView() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    [[nodiscard]] LMBookmarksWindowController *windowController() const;
    [[nodiscard]] QList<ServerBookmark *> selectedBookmarks() const;
    void updateControls();
    void updatePlaceholder();
    void showContextMenu(const QPoint &pos);

    QPointer<QTableView> m_table;
    QPointer<QLabel> m_placeholder;
    BookmarksTableModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QPointer<ObjectContext> m_context;
};
