#pragma once

#include <QObject>
#include <QPointer>

class AppDelegate;
class QAction;
class QMainWindow;
class QMenu;
class UndoManager;

// The application's File and Edit menus, put into the menu bar of every main window (there is
// no global menu bar). The commands below are the application's; each window's menus hold items
// of their own that follow a command's text, shortcut and enabled state and trigger it. The
// connect and new-bookmark commands are the delegate's, wired by the bookmarks window.
class ApplicationMenus : public QObject {
    Q_OBJECT
public:
    explicit ApplicationMenus(AppDelegate *app);
    ApplicationMenus(const ApplicationMenus &) = delete;
    ApplicationMenus &operator=(const ApplicationMenus &) = delete;
    ~ApplicationMenus() override;

    // Puts the menus in front of whatever the window's menu bar holds; once per window.
    // The window's items live and die with its menus.
    void install(QMainWindow *window);
    [[nodiscard]] static bool isInstalled(const QMainWindow *window);

    [[nodiscard]] QAction *saveItem() const { return m_save; }
    [[nodiscard]] QAction *importLogItem() const { return m_importLog; }
    [[nodiscard]] QAction *bookmarksItem() const { return m_bookmarks; }
    [[nodiscard]] QAction *quitItem() const { return m_quit; }
    [[nodiscard]] QAction *undoItem() const { return m_undo; }
    [[nodiscard]] QAction *redoItem() const { return m_redo; }

    // A menu item of its own for command, in menu.
    static QAction *addItem(QMenu *menu, QAction *command);

private:
    void watch(UndoManager *undoManager);
    void updateUndoItems();

    AppDelegate *m_app;
    QAction *m_save;
    QAction *m_importLog;
    QAction *m_bookmarks;
    QAction *m_quit;
    QAction *m_undo;
    QAction *m_redo;
    QPointer<UndoManager> m_undoManager;
};
