#include "platform/widgets/BrowserItemDelegate.h"

#include "platform/widgets/BrowserColumnModel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace {
constexpr int kArrowMargin = 6;

int arrowWidth(const QFontMetrics &metrics)
{
    return metrics.horizontalAdvance(BrowserItemDelegate::arrow()) + 2 * kArrowMargin;
}
} // namespace

BrowserItemDelegate::BrowserItemDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

BrowserItemDelegate::~BrowserItemDelegate() = default;

QString BrowserItemDelegate::arrow()
{
    return QString(QChar(0x203A));
}

void BrowserItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    if (index.data(BrowserColumnModel::LeafRole).toBool()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();

    // The highlight spans the whole row; the text gives way to the arrow.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    const int reserved = arrowWidth(opt.fontMetrics);
    QStyleOptionViewItem textOpt(opt);
    textOpt.rect.setRight(opt.rect.right() - reserved);
    style->drawControl(QStyle::CE_ItemViewItem, &textOpt, painter, widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    QRect arrowRect(opt.rect.right() - reserved + 1, opt.rect.top(), reserved - kArrowMargin,
                    opt.rect.height());
    painter->drawText(arrowRect, Qt::AlignRight | Qt::AlignVCenter, arrow());
    painter->restore();
}

QSize BrowserItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += arrowWidth(option.fontMetrics);
    return size;
}
