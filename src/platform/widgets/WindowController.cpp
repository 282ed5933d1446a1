#include "platform/widgets/WindowController.h"

#include "platform/widgets/ControlledWindow.h"
#include "platform/widgets/Storyboard.h"
#include "platform/widgets/ViewController.h"
#include "platform/widgets/WidgetsLogging.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QSettings>
#include <QTimer>

WindowController::WindowController(QObject *parent) : QObject(parent) {}

WindowController::~WindowController()
{
    // The content's view is a child of the window; its controller deletes it, so hand it back
    // first rather than let the window take it down.
    if (m_window && m_content && m_content->isViewLoaded() && m_window->centralWidget() == m_content->view())
        m_window->takeCentralWidget();
    delete m_window.data();
}

QMainWindow *WindowController::window()
{
    if (!m_window) {
        m_window = new ControlledWindow(this);
        installContent();
        windowDidLoad();
        if (!m_autosaveName.isEmpty())
            restoreFrame();
    }
    return m_window;
}

QMenuBar *WindowController::menuBar()
{
    return window()->menuBar();
}

void WindowController::windowDidLoad() {}

void WindowController::windowWillClose() {}

void WindowController::showWindow()
{
    QMainWindow *w = window();
    // Showing a minimised window means bringing it back, not only marking it visible.
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

void WindowController::close()
{
    if (!m_window)
        return;
    // A close requested while the window is still deciding on one (from the close-button
    // handler) would be swallowed by Qt's re-entrancy guard; run it once that event is done.
    if (m_inCloseEvent) {
        QTimer::singleShot(0, this, &WindowController::close);
        return;
    }
    QScopedValueRollback programmatic(m_programmaticClose, true);
    m_window->close();
}

namespace {
const char *const ClosedByApplicationProperty = "lumaroClosedByApplication";
}

void WindowController::closeByApplication()
{
    if (!m_window)
        return;
    m_window->setProperty(ClosedByApplicationProperty, true);
    close();
}

bool WindowController::closedByApplication(const QWidget *window)
{
    return window && window->property(ClosedByApplicationProperty).toBool();
}

void WindowController::handleCloseEvent(QCloseEvent *event)
{
    QScopedValueRollback inEvent(m_inCloseEvent, true);
    if (!m_programmaticClose && m_closeButtonHandler) {
        event->ignore();
        const std::function<void()> handler = m_closeButtonHandler;
        handler();
        return;
    }
    event->accept();
    // Closing a window that is not up is no close to announce.
    if (!m_window->isVisible())
        return;
    saveFrame();
    windowWillClose();
    QTimer::singleShot(0, this, &WindowController::closed);
}

void WindowController::handleWindowWillShow()
{
    if (m_content)
        m_content->viewWillAppear();
}

void WindowController::setContentViewController(ViewController *controller)
{
    if (controller == m_content)
        return;
    if (m_window && m_content && m_content->isViewLoaded()) {
        QWidget *old = m_content->view();
        if (m_window->centralWidget() == old) {
            m_window->takeCentralWidget();
            old->hide();
        }
    }
    m_content = controller;
    if (controller && !controller->parent())
        controller->setParent(this);
    if (!m_window)
        return;
    if (controller && m_window->isVisible())
        controller->viewWillAppear();
    installContent();
}

ViewController *WindowController::contentViewController() const
{
    return m_content;
}

void WindowController::installContent()
{
    if (!m_content)
        return;
    QWidget *view = m_content->view();
    m_window->setCentralWidget(view);
    // A view hidden when it was taken out stays hidden in a layout until shown explicitly.
    view->show();
}

void WindowController::setFrameAutosaveName(const QString &name)
{
    m_autosaveName = name;
    if (m_window && !name.isEmpty())
        restoreFrame();
}

QString WindowController::frameKey() const
{
    return QStringLiteral("WindowFrames/") + m_autosaveName;
}

void WindowController::restoreFrame()
{
    const QByteArray saved = QSettings().value(frameKey()).toByteArray();
    if (saved.isEmpty())
        return;
    QScopedValueRollback restoring(m_restoringFrame, true);
    if (!m_window->restoreGeometry(saved))
        qCWarning(lcPlatformWidgets) << "unusable saved frame for window" << m_autosaveName;
}

void WindowController::saveFrame() const
{
    if (!m_window || m_autosaveName.isEmpty())
        return;
    QSettings().setValue(frameKey(), m_window->saveGeometry());
}

void WindowController::handleFrameChanged()
{
    // The intermediate geometries of a restore are not worth writing back.
    if (!m_restoringFrame)
        saveFrame();
}

void WindowController::setCloseButtonHandler(std::function<void()> handler)
{
    m_closeButtonHandler = std::move(handler);
}

void WindowController::setStoryboard(Storyboard *storyboard)
{
    m_storyboard = storyboard;
}

Storyboard *WindowController::storyboard() const
{
    return m_storyboard ? m_storyboard : &Storyboard::main();
}

void WindowController::performSegue(const QString &identifier, QObject *sender)
{
    storyboard()->performSegue(identifier, this, sender);
}

bool WindowController::shouldPerformSegue(const QString &, QObject *)
{
    return true;
}

void WindowController::prepareForSegue(Segue &, QObject *) {}
