#pragma once

#include "platform/widgets/WindowController.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QString>

#include <optional>

class BookmarkPasswords;
class ObjectContext;
class CertificateSheet;
class LMServerConnection;
class LMSessionCategoryViewController;
class LMSessionInitialViewController;
class LMSessionUploadViewController;
class ServerBookmark;
class ViewController;
struct Notification;

Q_DECLARE_LOGGING_CATEGORY(lcSession)

// One session on one bookmark: owns the connection and the three views the session passes
// through (connecting, category browser, upload), and writes the session's state back into the
// bookmark when the window closes.
class LMSessionWindowController : public WindowController {
    Q_OBJECT
public:
    // Identifiers in the storyboard "Main".
    static inline const QString StoryboardIdentifier = QStringLiteral("SessionWC");
    static inline const QString CategoryViewIdentifier = QStringLiteral("CategoryView");
    static inline const QString UploadViewIdentifier = QStringLiteral("UploadView");
    // Values of currentView.
    static inline const QString CategoryViewName = QStringLiteral("category");
    static inline const QString UploadViewName = QStringLiteral("upload");
    // The frame of each bookmark's session window is kept under this prefix plus its name.
    static inline const QString FrameAutosavePrefix = QStringLiteral("ImportAssetWindow");

    // Deletes itself once its window has closed.
    explicit LMSessionWindowController(QObject *parent = nullptr);
    ~LMSessionWindowController() override;
    LMSessionWindowController(const LMSessionWindowController &) = delete;
    LMSessionWindowController &operator=(const LMSessionWindowController &) = delete;

    [[nodiscard]] LMServerConnection *serverConnection() const;
    // Takes ownership; a previous connection of this session is released.
    void setServerConnection(LMServerConnection *connection);

    [[nodiscard]] LMSessionInitialViewController *initialView() const;
    [[nodiscard]] LMSessionCategoryViewController *categoryView() const;
    [[nodiscard]] LMSessionUploadViewController *uploadView() const;

    [[nodiscard]] const std::optional<QString> &currentView() const { return m_currentView; }
    void setCurrentView(const std::optional<QString> &view) { m_currentView = view; }
    [[nodiscard]] const std::optional<qint64> &startingCategory() const { return m_startingCategory; }
    void setStartingCategory(const std::optional<qint64> &id) { m_startingCategory = id; }
    [[nodiscard]] bool sessionWindowClosed() const { return m_sessionWindowClosed; }
    void setSessionWindowClosed(bool closed) { m_sessionWindowClosed = closed; }

    // Where the session reads its bookmark's password; none means the bookmark's own field.
    void setBookmarkPasswords(BookmarkPasswords *passwords);
    [[nodiscard]] BookmarkPasswords *bookmarkPasswords() const;

    // The question about the server's certificate while it is up.
    [[nodiscard]] CertificateSheet *certificateSheet() const;

    [[nodiscard]] ServerBookmark *connectionBookmark() const;
    // The context the bookmark lives in, which the session's views and uploads work in.
    [[nodiscard]] ObjectContext *managedObjectContext() const;
    // Runs the bookmark-set steps: title, frame autosave name, starting state, marks the
    // session open and saves, loads the upload queue.
    void setConnectionBookmark(ServerBookmark *bookmark);

    // The close button's action.
    void closeThisWindow();

    // Writes the current view and the selected category into the bookmark and saves that record
    // alone, so that a session never closed (a quit, a logout, a crash) reopens where the user
    // was. Called when the user changes either; cheap when nothing changed.
    void rememberPosition();

    // Makes a view the window's content, giving it the frame of the view it replaces.
    void showView(ViewController *view);

protected:
    void windowDidLoad() override;
    void windowWillClose() override;

private:
    void releaseConnection();
    // The connection's selected category, or -1.
    [[nodiscard]] qint64 selectedCategoryID() const;
    void certificateNeedsTrust(const Notification &notification);

    QPointer<LMServerConnection> m_serverConnection;
    QPointer<LMSessionInitialViewController> m_initialView;
    QPointer<LMSessionCategoryViewController> m_categoryView;
    QPointer<LMSessionUploadViewController> m_uploadView;
    std::optional<QString> m_currentView;
    std::optional<qint64> m_startingCategory;
    bool m_sessionWindowClosed = false;
    QPointer<ServerBookmark> m_connectionBookmark;
    QPointer<BookmarkPasswords> m_passwords;
    QPointer<CertificateSheet> m_certificateSheet;
};
