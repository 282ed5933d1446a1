#pragma once

#include "platform/widgets/BrowserCell.h"

#include <QAbstractListModel>
#include <QHash>

class ColumnBrowser;

// The rows of one browser column. Only the row count is asked up front; a cell is asked from the
// delegate when it is first needed (painted, hit-tested, selected), so a column of tens of
// thousands of rows costs no more than the rows on screen.
class BrowserColumnModel final : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int LeafRole = Qt::UserRole + 1;
    static constexpr int DetailRole = Qt::UserRole + 2;

    BrowserColumnModel(ColumnBrowser *browser, int column, QObject *parent);
    BrowserColumnModel(const BrowserColumnModel &) = delete;
    BrowserColumnModel &operator=(const BrowserColumnModel &) = delete;
    ~BrowserColumnModel() override;

    [[nodiscard]] int column() const { return m_column; }

    // Asks the delegate again for the row count and forgets every cached cell.
    void reload();
    // The delegate has gained or lost rows, or changed the cells of some: told to the views as
    // row changes, so selection and scroll position stay with their rows.
    void noteRowsInserted(int row, int count);
    void noteRowsRemoved(int row, int count);
    void noteRowsChanged(int first, int last);

    // An empty cell for a row out of range.
    [[nodiscard]] const BrowserCell &cell(int row) const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Cached cells from row on no longer belong to their rows.
    void forgetCellsFrom(int row);

    ColumnBrowser *m_browser;
    int m_column;
    int m_rows = 0;
    mutable QHash<int, BrowserCell> m_cells;
};
