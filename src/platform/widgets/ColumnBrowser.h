#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

class BrowserColumnModel;
class BrowserColumnView;
class ColumnBrowserDelegate;
class QAbstractItemView;
class QHBoxLayout;
class QScrollArea;

// Columns side by side, each listing the children of the row selected in the column to its
// left; all rows come from the delegate. Column 0 is always shown.
class ColumnBrowser : public QWidget {
    Q_OBJECT
public:
    explicit ColumnBrowser(QWidget *parent = nullptr);
    ColumnBrowser(const ColumnBrowser &) = delete;
    ColumnBrowser &operator=(const ColumnBrowser &) = delete;
    ~ColumnBrowser() override;

    // Not owned; must outlive the browser or be replaced first. Reloads column 0.
    void setDelegate(ColumnBrowserDelegate *delegate);
    [[nodiscard]] ColumnBrowserDelegate *delegate() const { return m_delegate; }

    // Back to column 0 alone, refilled and with nothing selected.
    void loadColumnZero();
    // Refills a shown column, keeping selected rows still in range; other columns are ignored.
    void reloadColumn(int column);
    // The delegate has gained rows at row, lost rows from row on, or changed the cells of rows
    // first to last: the shown column follows row by row, without a refill, so selection,
    // current row and scroll position stay with their rows. Other columns are ignored.
    void insertRows(int row, int count, int column);
    void removeRows(int row, int count, int column);
    void reloadRows(int first, int last, int column);
    // Selects one row, closes the columns to its right and opens the next for a non-leaf row.
    // Out-of-range positions are ignored. Never emits action().
    void selectRow(int row, int column);

    // The right-most column with a selected row, or -1.
    [[nodiscard]] int selectedColumn() const;
    // The lowest selected row of column, or -1.
    [[nodiscard]] int selectedRowInColumn(int column) const;
    // Ascending.
    [[nodiscard]] QList<int> selectedRowsInColumn(int column) const;

    // Shift/Ctrl extended selection; a column with several rows selected opens no next column.
    void setAllowsMultipleSelection(bool allows);
    [[nodiscard]] bool allowsMultipleSelection() const { return m_multipleSelection; }

    void setColumnWidth(int width);
    [[nodiscard]] int columnWidth() const { return m_columnWidth; }

    // What assistive technology calls the browser; its columns are named after it.
    void setAccessibleTitle(const QString &title);

    [[nodiscard]] int columnCount() const { return int(m_columns.size()); }
    [[nodiscard]] int lastColumn() const { return columnCount() - 1; }
    [[nodiscard]] int rowCountInColumn(int column) const;

    // Null for a column not shown.
    [[nodiscard]] QAbstractItemView *columnView(int column) const;
    // In the column view's viewport coordinates; empty when out of range.
    [[nodiscard]] QRect visualRectOfRow(int row, int column) const;

signals:
    // The user changed the selection by mouse or keyboard.
    void action();
    void doubleClicked(int row, int column);

private:
    [[nodiscard]] BrowserColumnModel *model(int column) const;
    [[nodiscard]] bool isShown(int column) const { return column >= 0 && column < columnCount(); }
    void appendColumn();
    void closeColumnsAfter(int column);
    void reopenNextColumn(int column);
    void openNextIfSingleBranch(int column);
    void revealColumn(int column);
    void userSelected(int column);
    void navigate(int column, int step);
    void nameColumn(int column);

    ColumnBrowserDelegate *m_delegate = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_strip = nullptr;
    QHBoxLayout *m_stripLayout = nullptr;
    QList<BrowserColumnView *> m_columns;
    QString m_title;
    int m_columnWidth = 220;
    bool m_multipleSelection = false;
};
