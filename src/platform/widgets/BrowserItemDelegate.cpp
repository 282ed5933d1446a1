#include "platform/widgets/BrowserItemDelegate.h"

#include "platform/widgets/BrowserColumnModel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {
constexpr int kArrowMargin = 6;
constexpr int kDetailGap = 12;

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
    const bool leaf = index.data(BrowserColumnModel::LeafRole).toBool();
    const QString detail = index.data(BrowserColumnModel::DetailRole).toString();
    if (leaf && detail.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    if (leaf) {
        paintWithDetail(painter, opt, detail);
        return;
    }

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

void BrowserItemDelegate::paintWithDetail(QPainter *painter, const QStyleOptionViewItem &opt,
                                          const QString &detail) const
{
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    // The name takes what it needs, up to half the row; the detail takes the rest and loses its
    // middle first, so both ends of a path stay readable.
    int nameWidth = opt.fontMetrics.horizontalAdvance(opt.text) + 2 * kArrowMargin;
    if (opt.features & QStyleOptionViewItem::HasDecoration)
        nameWidth += opt.decorationSize.width() + kArrowMargin;
    const int detailWidth =
        std::max(0, std::min(opt.fontMetrics.horizontalAdvance(detail) + 2, // rounded down, it would elide
                             opt.rect.width() - std::min(nameWidth, opt.rect.width() / 2) - kDetailGap -
                                 kArrowMargin));
    QStyleOptionViewItem nameOpt(opt);
    nameOpt.rect.setRight(opt.rect.right() - detailWidth - kDetailGap - kArrowMargin);
    style->drawControl(QStyle::CE_ItemViewItem, &nameOpt, painter, widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->setFont(opt.font);
    const QRect detailRect(opt.rect.right() - detailWidth - kArrowMargin + 1, opt.rect.top(), detailWidth,
                           opt.rect.height());
    painter->drawText(detailRect, Qt::AlignRight | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(detail, Qt::ElideMiddle, detailWidth));
    painter->restore();
}

QSize BrowserItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += arrowWidth(option.fontMetrics);
    return size;
}
