#include "platform/widgets/ColumnBrowser.h"

#include "platform/widgets/BrowserColumnModel.h"
#include "platform/widgets/BrowserColumnView.h"
#include "platform/widgets/BrowserItemDelegate.h"
#include "platform/widgets/ColumnBrowserDelegate.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>

ColumnBrowser::ColumnBrowser(QWidget *parent) : QWidget(parent)
{
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setFrameShape(QFrame::NoFrame);

    m_strip = new QWidget;
    m_stripLayout = new QHBoxLayout(m_strip);
    m_stripLayout->setContentsMargins(0, 0, 0, 0);
    m_stripLayout->setSpacing(1);
    m_stripLayout->addStretch(1);
    m_scrollArea->setWidget(m_strip);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scrollArea);

    appendColumn();
}

ColumnBrowser::~ColumnBrowser() = default;

BrowserColumnModel *ColumnBrowser::model(int column) const
{
    return static_cast<BrowserColumnModel *>(m_columns.at(column)->model());
}

void ColumnBrowser::setDelegate(ColumnBrowserDelegate *delegate)
{
    m_delegate = delegate;
    loadColumnZero();
}

void ColumnBrowser::appendColumn()
{
    const int column = columnCount();
    auto *view = new BrowserColumnView(column, m_strip);
    auto *columnModel = new BrowserColumnModel(this, column, view);
    columnModel->reload();
    view->setModel(columnModel);
    view->setItemDelegate(new BrowserItemDelegate(view));
    view->setSelectionMode(m_multipleSelection ? QAbstractItemView::ExtendedSelection
                                               : QAbstractItemView::SingleSelection);
    view->setFixedWidth(m_columnWidth);

    connect(view, &BrowserColumnView::userSelected, this, &ColumnBrowser::userSelected);
    connect(view, &BrowserColumnView::navigationRequested, this, &ColumnBrowser::navigate);
    connect(view, &QAbstractItemView::doubleClicked, this, [this, column](const QModelIndex &index) {
        if (isEnabled() && index.isValid())
            emit doubleClicked(index.row(), column);
    });

    m_stripLayout->insertWidget(column, view);
    m_columns.append(view);
    nameColumn(column);
    // Shown now rather than when the layout gets round to it, so it can be hit-tested at once.
    view->show();
    revealColumn(column);
}

void ColumnBrowser::closeColumnsAfter(int column)
{
    while (columnCount() > std::max(column + 1, 1)) {
        BrowserColumnView *view = m_columns.takeLast();
        view->disconnect(this);
        m_stripLayout->removeWidget(view);
        view->hide();
        // Later: the view may be the one whose event handler got us here.
        view->deleteLater();
    }
}

void ColumnBrowser::openNextIfSingleBranch(int column)
{
    const QList<int> rows = selectedRowsInColumn(column);
    if (rows.size() == 1 && !model(column)->cell(rows.front()).leaf)
        appendColumn();
}

void ColumnBrowser::revealColumn(int column)
{
    // The strip grows only once its layout has run.
    QTimer::singleShot(0, this, [this, column] {
        if (isShown(column))
            m_scrollArea->ensureWidgetVisible(m_columns.at(column), 0, 0);
    });
}

void ColumnBrowser::loadColumnZero()
{
    closeColumnsAfter(0);
    model(0)->reload();
    revealColumn(0);
}

void ColumnBrowser::reloadColumn(int column)
{
    if (!isShown(column))
        return;
    BrowserColumnView *view = m_columns.at(column);
    BrowserColumnModel *columnModel = model(column);
    const QList<int> previous = selectedRowsInColumn(column);
    const int current = view->currentIndex().row();

    columnModel->reload();

    // Contiguous runs as ranges: merging row by row is quadratic over a large multi-selection.
    const int rows = columnModel->rowCount();
    QItemSelection keep;
    for (qsizetype i = 0; i < previous.size() && previous.at(i) < rows;) {
        const int first = previous.at(i);
        int last = first;
        while (++i < previous.size() && previous.at(i) == last + 1 && previous.at(i) < rows)
            ++last;
        keep.append(QItemSelectionRange(columnModel->index(first), columnModel->index(last)));
    }
    QItemSelectionModel *selection = view->selectionModel();
    if (current >= 0 && current < rows)
        selection->setCurrentIndex(columnModel->index(current), QItemSelectionModel::NoUpdate);
    if (!keep.isEmpty())
        selection->select(keep, QItemSelectionModel::ClearAndSelect);

    // Columns to the right stay only while they still hang off a single selected branch.
    const QList<int> kept = selectedRowsInColumn(column);
    const bool branch = kept.size() == 1 && !columnModel->cell(kept.front()).leaf;
    if (!branch)
        closeColumnsAfter(column);
    else if (column == lastColumn())
        appendColumn();
}

void ColumnBrowser::insertRows(int row, int count, int column)
{
    if (isShown(column))
        model(column)->noteRowsInserted(row, count);
}

void ColumnBrowser::removeRows(int row, int count, int column)
{
    if (!isShown(column))
        return;
    const int branch = column < lastColumn() ? selectedRowInColumn(column) : -1;
    model(column)->noteRowsRemoved(row, count);
    if (branch >= row && branch < row + count)
        reopenNextColumn(column);
}

void ColumnBrowser::reloadRows(int first, int last, int column)
{
    if (!isShown(column))
        return;
    const int branch = column < lastColumn() ? selectedRowInColumn(column) : -1;
    model(column)->noteRowsChanged(first, last);
    if (branch >= first && branch <= last)
        reopenNextColumn(column);
}

void ColumnBrowser::reopenNextColumn(int column)
{
    // The columns to the right hung off a row that left or changed: they follow what is
    // selected now.
    closeColumnsAfter(column);
    openNextIfSingleBranch(column);
}

void ColumnBrowser::selectRow(int row, int column)
{
    if (!isShown(column) || row < 0 || row >= model(column)->rowCount())
        return;
    BrowserColumnView *view = m_columns.at(column);
    const QModelIndex index = model(column)->index(row);
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view->scrollTo(index);
    closeColumnsAfter(column);
    openNextIfSingleBranch(column);
}

int ColumnBrowser::selectedColumn() const
{
    for (int column = lastColumn(); column >= 0; --column)
        if (m_columns.at(column)->selectionModel()->hasSelection())
            return column;
    return -1;
}

int ColumnBrowser::selectedRowInColumn(int column) const
{
    const QList<int> rows = selectedRowsInColumn(column);
    return rows.isEmpty() ? -1 : rows.front();
}

QList<int> ColumnBrowser::selectedRowsInColumn(int column) const
{
    QList<int> rows;
    if (!isShown(column))
        return rows;
    // Ranges rather than selectedIndexes(): a select-all over a long file list stays cheap.
    for (const QItemSelectionRange &range : m_columns.at(column)->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void ColumnBrowser::setAllowsMultipleSelection(bool allows)
{
    m_multipleSelection = allows;
    const auto mode = allows ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    for (BrowserColumnView *view : std::as_const(m_columns))
        view->setSelectionMode(mode);
}

void ColumnBrowser::setColumnWidth(int width)
{
    m_columnWidth = std::max(width, 40);
    for (BrowserColumnView *view : std::as_const(m_columns))
        view->setFixedWidth(m_columnWidth);
}

void ColumnBrowser::setAccessibleTitle(const QString &title)
{
    m_title = title;
    setAccessibleName(title);
    for (int column = 0; column < columnCount(); ++column)
        nameColumn(column);
}

void ColumnBrowser::nameColumn(int column)
{
    const QString title = m_title.isEmpty() ? tr("Column browser") : m_title;
    m_columns.at(column)->setAccessibleName(column == 0 ? title
                                                        : tr("%1, level %2").arg(title).arg(column + 1));
}

int ColumnBrowser::rowCountInColumn(int column) const
{
    return isShown(column) ? model(column)->rowCount() : 0;
}

QAbstractItemView *ColumnBrowser::columnView(int column) const
{
    return isShown(column) ? m_columns.at(column) : nullptr;
}

QRect ColumnBrowser::visualRectOfRow(int row, int column) const
{
    if (!isShown(column) || row < 0 || row >= model(column)->rowCount())
        return {};
    return m_columns.at(column)->visualRect(model(column)->index(row));
}

void ColumnBrowser::userSelected(int column)
{
    if (!isEnabled() || !isShown(column))
        return;
    closeColumnsAfter(column);
    openNextIfSingleBranch(column);
    emit action();
}

void ColumnBrowser::navigate(int column, int step)
{
    if (!isEnabled() || !isShown(column))
        return;
    if (step > 0) {
        const QList<int> rows = selectedRowsInColumn(column);
        const int next = column + 1;
        if (rows.size() != 1 || !isShown(next) || model(next)->rowCount() == 0)
            return;
        selectRow(0, next);
        m_columns.at(next)->setFocus(Qt::OtherFocusReason);
        revealColumn(next);
    } else {
        if (column == 0)
            return;
        // Back to the parent: the row selected on the left becomes the selection again.
        m_columns.at(column)->selectionModel()->clear();
        closeColumnsAfter(column);
        m_columns.at(column - 1)->setFocus(Qt::OtherFocusReason);
        revealColumn(column - 1);
    }
    emit action();
}
