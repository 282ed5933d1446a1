#pragma once

#include <QStyledItemDelegate>

// Paints a browser row, with a "›" at the right edge of rows that open a further column, and a
// leaf row's detail dimmed at its right edge.
class BrowserItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit BrowserItemDelegate(QObject *parent);
    BrowserItemDelegate(const BrowserItemDelegate &) = delete;
    BrowserItemDelegate &operator=(const BrowserItemDelegate &) = delete;
    ~BrowserItemDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    [[nodiscard]] static QString arrow();

private:
    void paintWithDetail(QPainter *painter, const QStyleOptionViewItem &opt, const QString &detail) const;
};
