#include "platform/widgets/BrowserColumnView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>

BrowserColumnView::BrowserColumnView(int column, QWidget *parent) : QListView(parent), m_column(column)
{
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideMiddle);
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

BrowserColumnView::~BrowserColumnView() = default;

template <typename Handler> bool BrowserColumnView::tracking(Handler handler)
{
    QScopedValueRollback active(m_tracking, true);
    m_changed = false;
    handler();
    return m_changed;
}

void BrowserColumnView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QListView::selectionChanged(selected, deselected);
    if (m_tracking)
        m_changed = true;
}

void BrowserColumnView::mousePressEvent(QMouseEvent *event)
{
    const bool onRow = indexAt(event->position().toPoint()).isValid();
    const bool changed = tracking([&] { QListView::mousePressEvent(event); });
    if (changed || (onRow && event->button() == Qt::LeftButton))
        emit userSelected(m_column);
}

void BrowserColumnView::mouseMoveEvent(QMouseEvent *event)
{
    if (tracking([&] { QListView::mouseMoveEvent(event); }))
        emit userSelected(m_column);
}

void BrowserColumnView::mouseReleaseEvent(QMouseEvent *event)
{
    if (tracking([&] { QListView::mouseReleaseEvent(event); }))
        emit userSelected(m_column);
}

void BrowserColumnView::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int key = event->key();
    // Return opens the selected row like Right does; typed letters jump (the view's own search).
    if (plain &&
        (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        event->accept();
        emit navigationRequested(m_column, key == Qt::Key_Left ? -1 : 1);
        return;
    }
    if (tracking([&] { QListView::keyPressEvent(event); }))
        emit userSelected(m_column);
}
