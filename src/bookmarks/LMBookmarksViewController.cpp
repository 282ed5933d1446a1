#include "bookmarks/LMBookmarksViewController.h"

#include "bookmarks/BookmarksLogging.h"
#include "bookmarks/BookmarksTableModel.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/ControlledWindow.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

LMBookmarksViewController::LMBookmarksViewController(QObject *parent)
    : ViewController(parent), m_model(new BookmarksTableModel(this)), m_proxy(new QSortFilterProxyModel(this))
{
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSortLocaleAware(true);
    m_proxy->setDynamicSortFilter(true);
    m_proxy->sort(BookmarksTableModel::NameColumn, Qt::AscendingOrder);
}

LMBookmarksViewController::~LMBookmarksViewController() = default;

ObjectContext *LMBookmarksViewController::managedObjectContext() const
{
    return m_context;
}

void LMBookmarksViewController::setManagedObjectContext(ObjectContext *context)
{
    m_context = context;
    if (isViewLoaded())
        m_model->setContext(context);
}

void LMBookmarksViewController::loadView()
{
    auto *root = new QWidget;
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);

    m_table = new QTableView(root);
    m_table->setObjectName(QStringLiteral("bookmarksTableView"));
    m_table->setAccessibleName(tr("Bookmarks"));
    m_table->setModel(m_proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(BookmarksTableModel::NameColumn, Qt::AscendingOrder);
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 12);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->resizeSection(BookmarksTableModel::NameColumn, 220);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    layout->addWidget(m_table);

    m_placeholder = new QLabel(tr("No server bookmarks yet.\nChoose New to add the server you upload to."),
                               m_table->viewport());
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setEnabled(false);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);

    connect(m_table, &QTableView::doubleClicked, this,
            &LMBookmarksViewController::bookmarksTableViewWasDoubleClicked);
    connect(m_table, &QWidget::customContextMenuRequested, this, &LMBookmarksViewController::showContextMenu);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LMBookmarksViewController::updateControls);
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, &LMBookmarksViewController::updatePlaceholder);
    connect(m_proxy, &QAbstractItemModel::rowsRemoved, this, &LMBookmarksViewController::updatePlaceholder);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &LMBookmarksViewController::updatePlaceholder);

    setView(root);
    m_model->setContext(managedObjectContext());
    updatePlaceholder();
}

void LMBookmarksViewController::viewWillAppear()
{
    emit willAppear();
}

LMBookmarksWindowController *LMBookmarksViewController::windowController() const
{
    auto *window = qobject_cast<ControlledWindow *>(this->window());
    return window ? qobject_cast<LMBookmarksWindowController *>(window->controller()) : nullptr;
}

QList<ServerBookmark *> LMBookmarksViewController::selectedBookmarks() const
{
    QList<ServerBookmark *> result;
    if (!m_table)
        return result;
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &row : std::as_const(rows)) {
        if (auto *bookmark = m_model->bookmarkAt(m_proxy->mapToSource(row).row()))
            result.append(bookmark);
    }
    return result;
}

ServerBookmark *LMBookmarksViewController::selectedBookmark() const
{
    const QList<ServerBookmark *> selected = selectedBookmarks();
    return selected.isEmpty() ? nullptr : selected.constFirst();
}

void LMBookmarksViewController::selectBookmark(const ServerBookmark *bookmark)
{
    if (!view() || !m_table)
        return;
    const int sourceRow = m_model->rowOf(bookmark);
    if (sourceRow < 0) {
        m_table->clearSelection();
        return;
    }
    const QModelIndex index = m_proxy->mapFromSource(m_model->index(sourceRow, 0));
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_table->scrollTo(index);
}

ServerBookmark *LMBookmarksViewController::bookmarkToSelectAtLaunch() const
{
    ServerBookmark *first = nullptr;
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        ServerBookmark *bookmark = m_model->bookmarkAt(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
        if (bookmark && !bookmark->sessionWindowOpen().value_or(false))
            return bookmark;
        if (!first)
            first = bookmark;
    }
    return first;
}

void LMBookmarksViewController::bookmarkTableWasClicked()
{
    updateControls();
}

// Follows the selection rather than only clicks, so keyboard selection enables the controls
// too; a click on empty space clears the selection and so disables them.
void LMBookmarksViewController::updateControls()
{
    const bool enabled = selectedBookmark() != nullptr;
    if (LMBookmarksWindowController *wc = windowController()) {
        if (QAction *item = wc->connectMenuItem())
            item->setEnabled(enabled);
        wc->connectToolbarItem()->setEnabled(enabled);
        wc->editToolbarItem()->setEnabled(enabled);
    }
}

void LMBookmarksViewController::updatePlaceholder()
{
    if (!m_placeholder || !m_table)
        return;
    m_placeholder->setVisible(m_proxy->rowCount() == 0);
    m_placeholder->setGeometry(m_table->viewport()->rect());
}

void LMBookmarksViewController::bookmarksTableViewWasDoubleClicked()
{
    if (LMBookmarksWindowController *wc = windowController())
        wc->connectToSelectedBookmark();
}

void LMBookmarksViewController::deleteBookmark()
{
    ServerBookmark *bookmark = selectedBookmark();
    ObjectContext *context = managedObjectContext();
    if (!bookmark || !context)
        return;
    // The session on it would be left writing its state into a record that no longer exists.
    if (LMBookmarksWindowController::hasOpenSession(bookmark)) {
        Alert::beginSheet(
            window(), Alert::Style::Warning,
            tr("“%1” cannot be deleted while its session window is open.").arg(bookmark->bookmarkLongName()),
            tr("Close the session window first, then delete the bookmark."), {}, nullptr);
        return;
    }
    qCDebug(lcBookmarks) << "deleting bookmark" << bookmark->bookmarkLongName();
    context->deleteObject(bookmark);
}

bool LMBookmarksViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) &&
            key->modifiers().testFlag(Qt::ControlModifier))
            deleteBookmark();
        // The table still gets the key.
    } else if (m_table && watched == m_table->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease)
            bookmarkTableWasClicked();
        else if (event->type() == QEvent::Resize)
            updatePlaceholder();
    }
    return ViewController::eventFilter(watched, event);
}

void LMBookmarksViewController::showContextMenu(const QPoint &pos)
{
    LMBookmarksWindowController *wc = windowController();
    if (!wc || !m_table->indexAt(pos).isValid())
        return;
    QMenu menu(m_table);
    menu.addAction(wc->connectToolbarItem());
    menu.addAction(wc->editToolbarItem());
    menu.addSeparator();
    QAction *remove = menu.addAction(tr("Delete"), this, &LMBookmarksViewController::deleteBookmark);
    remove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    menu.exec(m_table->viewport()->mapToGlobal(pos));
}
