#include "platform/widgets/ControlledWindow.h"

#include "platform/widgets/WindowController.h"

#include <QCloseEvent>
#include <QShowEvent>

ControlledWindow::ControlledWindow(WindowController *controller) : m_controller(controller) {}

ControlledWindow::~ControlledWindow() = default;

void ControlledWindow::closeEvent(QCloseEvent *event)
{
    if (m_controller)
        m_controller->handleCloseEvent(event);
    else
        QMainWindow::closeEvent(event);
}

void ControlledWindow::showEvent(QShowEvent *event)
{
    // Spontaneous shows are de-iconifications: the content was visible all along.
    if (m_controller && !event->spontaneous())
        m_controller->handleWindowWillShow();
    QMainWindow::showEvent(event);
}

void ControlledWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_controller)
        m_controller->handleFrameChanged();
}

void ControlledWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_controller)
        m_controller->handleFrameChanged();
}
