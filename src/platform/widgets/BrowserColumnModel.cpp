#include "platform/widgets/BrowserColumnModel.h"

#include "platform/widgets/ColumnBrowser.h"
#include "platform/widgets/ColumnBrowserDelegate.h"

#include <algorithm>

BrowserColumnModel::BrowserColumnModel(ColumnBrowser *browser, int column, QObject *parent)
    : QAbstractListModel(parent), m_browser(browser), m_column(column)
{
}

BrowserColumnModel::~BrowserColumnModel() = default;

void BrowserColumnModel::reload()
{
    beginResetModel();
    m_cells.clear();
    ColumnBrowserDelegate *delegate = m_browser->delegate();
    m_rows = delegate ? std::max(0, delegate->numberOfRowsInColumn(m_browser, m_column)) : 0;
    endResetModel();
}

void BrowserColumnModel::noteRowsInserted(int row, int count)
{
    if (count <= 0 || row < 0 || row > m_rows)
        return;
    beginInsertRows({}, row, row + count - 1);
    m_rows += count;
    forgetCellsFrom(row);
    endInsertRows();
}

void BrowserColumnModel::noteRowsRemoved(int row, int count)
{
    count = std::min(count, m_rows - row);
    if (count <= 0 || row < 0)
        return;
    // The views hear of the leaving rows while those rows' cells are still cached.
    beginRemoveRows({}, row, row + count - 1);
    m_rows -= count;
    forgetCellsFrom(row);
    endRemoveRows();
}

void BrowserColumnModel::noteRowsChanged(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, m_rows - 1);
    if (first > last)
        return;
    for (int row = first; row <= last; ++row)
        m_cells.remove(row);
    emit dataChanged(index(first), index(last));
}

void BrowserColumnModel::forgetCellsFrom(int row)
{
    m_cells.removeIf([row](const QHash<int, BrowserCell>::iterator &it) { return it.key() >= row; });
}

const BrowserCell &BrowserColumnModel::cell(int row) const
{
    static const BrowserCell none;
    if (row < 0 || row >= m_rows)
        return none;
    auto it = m_cells.find(row);
    if (it == m_cells.end()) {
        BrowserCell filled;
        if (ColumnBrowserDelegate *delegate = m_browser->delegate())
            delegate->willDisplayCell(m_browser, filled, row, m_column);
        it = m_cells.insert(row, std::move(filled));
    }
    return *it;
}

int BrowserColumnModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant BrowserColumnModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row()).text;
    case Qt::DecorationRole: {
        const QIcon &icon = cell(index.row()).icon;
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::ToolTipRole: {
        const QString &tip = cell(index.row()).toolTip;
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::AccessibleDescriptionRole: {
        const QString &description = cell(index.row()).description;
        return description.isEmpty() ? QVariant() : QVariant(description);
    }
    case LeafRole:
        return cell(index.row()).leaf;
    case DetailRole: {
        const QString &detail = cell(index.row()).detail;
        return detail.isEmpty() ? QVariant() : QVariant(detail);
    }
    default:
        return {};
    }
}

Qt::ItemFlags BrowserColumnModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
