#pragma once

#include <QListView>

// One column of a ColumnBrowser. Tells the browser only about selection changes that come from
// the user, so programmatic selection never fires the browser's action.
class BrowserColumnView final : public QListView {
    Q_OBJECT
public:
    BrowserColumnView(int column, QWidget *parent);
    BrowserColumnView(const BrowserColumnView &) = delete;
    BrowserColumnView &operator=(const BrowserColumnView &) = delete;
    ~BrowserColumnView() override;

    [[nodiscard]] int column() const { return m_column; }

signals:
    // A click on a row (even one already selected) or a selection change by mouse or key.
    void userSelected(int column);
    // Left (-1), or Right or Return (+1).
    void navigationRequested(int column, int step);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;

private:
    // Runs a base-class handler and reports whether it changed the selection.
    template <typename Handler> bool tracking(Handler handler);

    int m_column;
    bool m_tracking = false;
    bool m_changed = false;
};
