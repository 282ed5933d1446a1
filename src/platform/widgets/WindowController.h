#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class ControlledWindow;
class QCloseEvent;
class QMainWindow;
class QMenuBar;
class QWidget;
class Storyboard;
class ViewController;
struct Segue;

// Owns one top-level window, created lazily, and the view controller shown as its content.
// It never deletes itself: owners release it after closed().
class WindowController : public QObject {
    Q_OBJECT
public:
    explicit WindowController(QObject *parent = nullptr);
    WindowController(const WindowController &) = delete;
    WindowController &operator=(const WindowController &) = delete;
    WindowController(WindowController &&) = delete;
    WindowController &operator=(WindowController &&) = delete;
    ~WindowController() override;

    // Creates the window on first use and then runs windowDidLoad() once.
    [[nodiscard]] QMainWindow *window();
    [[nodiscard]] bool isWindowLoaded() const { return !m_window.isNull(); }
    [[nodiscard]] QMenuBar *menuBar();

    void showWindow();
    // Programmatic close: never routed to the close-button handler.
    void close();
    // A close of the application's own making (a session that could not start), which never
    // counts as a person closing the last window: see closedByApplication().
    void closeByApplication();
    [[nodiscard]] static bool closedByApplication(const QWidget *window);

    // The previous content's view is taken out and hidden but kept, so it can come back. A
    // controller without a parent is adopted by this one.
    void setContentViewController(ViewController *controller);
    [[nodiscard]] ViewController *contentViewController() const;

    // Restores the geometry saved under WindowFrames/<name> and saves it on move, resize and close.
    void setFrameAutosaveName(const QString &name);
    [[nodiscard]] QString frameAutosaveName() const { return m_autosaveName; }

    // When set, a close request that is not close() (the title-bar button) is refused and runs
    // the handler instead; the handler may call close().
    void setCloseButtonHandler(std::function<void()> handler);

    void setStoryboard(Storyboard *storyboard);
    [[nodiscard]] Storyboard *storyboard() const;

    void performSegue(const QString &identifier, QObject *sender = nullptr);
    virtual bool shouldPerformSegue(const QString &identifier, QObject *sender);
    virtual void prepareForSegue(Segue &segue, QObject *sender);

signals:
    // After windowWillClose(), from the event loop, so a receiver may delete this controller.
    void closed();

protected:
    virtual void windowDidLoad();
    // Once per close, however the window closes, right before it hides.
    virtual void windowWillClose();

private:
    friend class ControlledWindow;
    void handleCloseEvent(QCloseEvent *event);
    void handleWindowWillShow();
    void handleFrameChanged();

    void installContent();
    void restoreFrame();
    void saveFrame() const;
    [[nodiscard]] QString frameKey() const;

    QPointer<ControlledWindow> m_window;
    QPointer<ViewController> m_content;
    QString m_autosaveName;
    std::function<void()> m_closeButtonHandler;
    Storyboard *m_storyboard = nullptr;
    bool m_programmaticClose = false;
    bool m_inCloseEvent = false;
    bool m_restoringFrame = false;
};
