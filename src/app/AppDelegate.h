#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class ApplicationMenus;
class DesktopNotifier;
class SleepInhibitor;
class BookmarkPasswords;
class LMBookmarksWindowController;
class LMImportLogWindowController;
class ObjectContext;
class QAction;
class UndoManager;

// The composition root: owns the store stack and the bookmarks window for the life of the
// process, runs the launch and the quit flow, and keeps the one preference ("show bookmarks").
// One per process.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Answers of applicationShouldTerminate().
    enum TerminateReply { TerminateCancel = 0, TerminateNow = 1 };
    Q_ENUM(TerminateReply)

    static inline const QString ShowBookmarksKey = QStringLiteral("show bookmarks");
    // The name the desktop entry's Icon= and the installed icons carry.
    static inline const QString IconName = QStringLiteral("com.veltrane.LumaroImporter");

    // The icon theme's, else the bundled one.
    [[nodiscard]] static QIcon applicationIcon();

    AppDelegate();
    ~AppDelegate() override;
    AppDelegate(const AppDelegate &) = delete;
    AppDelegate &operator=(const AppDelegate &) = delete;

    // The running application's delegate, or null before it is created and after it is gone.
    [[nodiscard]] static AppDelegate *shared();

    [[nodiscard]] QString applicationDocumentsDirectory() const;

    // Opens the store on first use; a failed opening is reported once and never retried, and
    // the application then runs on without a store.
    [[nodiscard]] ObjectContext *managedObjectContext();
    [[nodiscard]] bool storeOpeningFailed() const { return m_storeFailed; }
    // Bookmark passwords in the desktop keyring; made with the store, none without one.
    [[nodiscard]] BookmarkPasswords *bookmarkPasswords() const { return m_passwords; }

    // The explicit save command.
    Q_INVOKABLE void saveAction();
    [[nodiscard]] UndoManager *windowWillReturnUndoManager();

    // Registers the controllers, creates the bookmarks window and shows it or, when the
    // preference says so, only loads it (to reopen the sessions).
    void applicationDidFinishLaunching();
    // Commits and saves; asks whether to quit anyway when the save fails.
    [[nodiscard]] TerminateReply applicationShouldTerminate();
    // Writes the exit line, stores the preference and saves.
    void applicationWillTerminate();

    [[nodiscard]] bool showingBookmarksWindow() const { return m_showingBookmarksWindow; }
    void setShowingBookmarksWindow(bool showing) { m_showingBookmarksWindow = showing; }

    [[nodiscard]] LMBookmarksWindowController *bookmarksWindowController() const;
    [[nodiscard]] QAction *connectMenuItem() const { return m_connectMenuItem; }
    [[nodiscard]] QAction *newMenuItem() const { return m_newMenuItem; }
    [[nodiscard]] ApplicationMenus *menus() const { return m_menus; }

    // On by default once launched: when the last window closes, the quit flow runs, and the
    // bookmarks window comes back if quitting is cancelled.
    void setQuitOnLastWindowClosed(bool quit) { m_quitOnLastWindowClosed = quit; }

public slots:
    // The quit command: the quit request, then, unless cancelled, the exit sequence and
    // terminated(). A cancelled request leaves a window on screen.
    void terminate();
    void showBookmarksWindow();
    void showImportLog();

signals:
    void storeOpened(ObjectContext *context);
    // The exit sequence has run; the process is to end now (main leaves its event loop).
    void terminated();

protected:
    // Watches every main window: menus when one is shown, the quit flow when the last is hidden.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void lastWindowMayHaveClosed(bool closedByApplication);
    [[nodiscard]] static bool anyWindowVisible();

    std::unique_ptr<ObjectContext> m_context;
    BookmarkPasswords *m_passwords = nullptr;
    bool m_storeTried = false;
    bool m_storeFailed = false;

    QPointer<LMBookmarksWindowController> m_bookmarksWindowController;
    QPointer<LMImportLogWindowController> m_importLogWindowController;
    bool m_showingBookmarksWindow = true;
    QAction *m_connectMenuItem;
    QAction *m_newMenuItem;
    ApplicationMenus *m_menus = nullptr;
    DesktopNotifier *m_desktopNotifier;
    SleepInhibitor *m_sleepInhibitor;
    bool m_launched = false;
    bool m_terminating = false;
    bool m_exited = false;
    bool m_discardChangesAtExit = false;
    bool m_quitOnLastWindowClosed = true;
};
