#pragma once

#include "platform/widgets/WindowController.h"
#include "store/BookmarkPasswords.h"
#include "store/ServerBookmark.h"

#include <QList>
#include <QPointer>
#include <QString>

class BookmarkPasswords;
class LMBookmarksViewController;
class LMSessionWindowController;
class ObjectContext;
class QAction;
class QLabel;

// The home window: the bookmarks list with New, Edit and Connect. Created once at launch; when
// its window loads it wires the application's connect and new menu items and reopens the
// session windows that were open when the application last quit.
class LMBookmarksWindowController : public WindowController {
    Q_OBJECT
public:
    static inline const QString StoryboardIdentifier = QStringLiteral("BookmarksWC");
    static inline const QString FrameAutosaveName = QStringLiteral("BookmarksWindow");

    struct SegueIdentifiers {
        static inline const QString newEditBookmarkViewController =
            QStringLiteral("newEditBookmarkViewController");
        static inline const QString showEditBookmarkViewController =
            QStringLiteral("showEditBookmarkViewController");
        static inline const QString showSessionCategoryViewController =
            QStringLiteral("showSessionCategoryViewController");
    };

    explicit LMBookmarksWindowController(QObject *parent = nullptr);
    ~LMBookmarksWindowController() override;

    // Whether a session window is open on the bookmark: it then can be neither connected again,
    // edited nor deleted.
    [[nodiscard]] static bool hasOpenSession(const ServerBookmark *bookmark);

    [[nodiscard]] QAction *connectToolbarItem() const { return m_connectToolbarItem; }
    [[nodiscard]] QAction *editToolbarItem() const { return m_editToolbarItem; }
    [[nodiscard]] QAction *newToolbarItem() const { return m_newToolbarItem; }

    [[nodiscard]] LMBookmarksViewController *bookmarksViewController() const;
    [[nodiscard]] ServerBookmark *selectedBookmark() const;
    // Set only while the load reopens session windows.
    [[nodiscard]] ServerBookmark *bookmarkToOpen() const { return m_bookmarkToOpen; }
    // The session windows opened from here that are still up, oldest first.
    [[nodiscard]] QList<LMSessionWindowController *> sessionWindowControllers() const;

    // The application's store; none when it could not be opened. Handed on to the list and the
    // editors opened from here (a session works in its bookmark's). Set before the window loads.
    void setManagedObjectContext(ObjectContext *context);
    [[nodiscard]] ObjectContext *managedObjectContext() const;

    // The application's Connect and New Bookmark menu items, which act on this window once it
    // loads; Connect is enabled while a bookmark is selected.
    void setMenuItems(QAction *connectItem, QAction *newItem);
    [[nodiscard]] QAction *connectMenuItem() const { return m_connectMenuItem; }

    // Handed on to the editors and sessions opened from here. When the keyring cannot be used,
    // the window says once, in its status line, that passwords stay in the data file.
    void setBookmarkPasswords(BookmarkPasswords *passwords);
    [[nodiscard]] BookmarkPasswords *bookmarkPasswords() const { return m_passwords; }
    // The status line's notice; empty while there is nothing to say.
    [[nodiscard]] QString keyringNotice() const;

    [[nodiscard]] bool hasSelectedBookmark() const;
    bool shouldPerformSegue(const QString &identifier, QObject *sender) override;
    void prepareForSegue(Segue &segue, QObject *sender) override;

public slots:
    void showNewBookmarkView();
    void editSelectedBookmark();
    void connectToSelectedBookmark();
    void closeThisWindow();

signals:
    // The window is shown, or the user closed it: whether it is up at the next launch.
    void showingChanged(bool showing);

protected:
    void windowDidLoad() override;

private:
    void reopenSessions();
    void showKeyringNotice(const QString &reason);
    void wireMenuItems();
    [[nodiscard]] bool sheetIsUp() const;

    QAction *m_connectToolbarItem;
    QAction *m_editToolbarItem;
    QAction *m_newToolbarItem;
    QPointer<ServerBookmark> m_bookmarkToOpen;
    QList<QPointer<LMSessionWindowController>> m_sessions;
    QPointer<ObjectContext> m_context;
    QPointer<QAction> m_connectMenuItem;
    QPointer<QAction> m_newMenuItem;
    QPointer<BookmarkPasswords> m_passwords;
    QPointer<QLabel> m_keyringNotice;
};
