#pragma once

#include "platform/widgets/ViewController.h"

#include <QPointer>
#include <QString>

class LMServerConnection;
class LMSessionWindowController;
class QLabel;
class PasswordSheet;
class QProgressBar;
class ServerBookmark;
struct Notification;

// The first content of a session window: creates the session's connection and drives it through
// the start-up requests (application path, server check, category types, stored category path),
// then hands the window to the category browser or the upload view, or ends the session with an
// alert when the server cannot be used.
class LMSessionInitialViewController : public ViewController {
    Q_OBJECT
public:
    // Result codes of the server check.
    struct SessionErrorCodes {
        static constexpr int noError = 0;
        static constexpr int notLumaroServer = 1;
        static constexpr int versionMismatch = 2;
    };
    // Translated when asked for, so they follow the translators installed at the time.
    [[nodiscard]] static QString notLumaroServerText();
    [[nodiscard]] static QString versionMismatchText();
    [[nodiscard]] static QString noFolderTypeText();

    // The informative text of the failure alert for a server check result.
    [[nodiscard]] static QString messageForServerCheck(int code);

    explicit LMSessionInitialViewController(QObject *parent = nullptr);
    ~LMSessionInitialViewController() override;

    [[nodiscard]] LMSessionWindowController *sessionWindow() const;
    void setSessionWindow(LMSessionWindowController *window);

    // Interface elements; null until the view is loaded.
    [[nodiscard]] QLabel *statusLabel() const { return m_statusLabel; }
    [[nodiscard]] QProgressBar *busyIndicator() const { return m_busyIndicator; }

    // The password question, while it is up.
    [[nodiscard]] PasswordSheet *passwordSheet() const;

    // Only the first call starts the session.
    void viewWillAppear() override;

    // Notification handlers (sender: this session's connection).
    void gotFullURL(const Notification &notification);
    void checkedLMServer(const Notification &notification);
    void gotCategoryTypes(const Notification &notification);
    void restoreInitialCategory(const Notification &notification);

protected:
    void loadView() override;

private:
    [[nodiscard]] LMServerConnection *connection() const;
    [[nodiscard]] QString hostText() const;
    // The password first (from the record, the keyring or the user), then the server checks.
    void obtainPassword(ServerBookmark *bookmark);
    void askForPassword(const QString &reason);
    void startChecks();
    // The alert keeps its fixed message and adds why, when the notification says.
    void showFailureAlert(const QString &message, const QString &reason = {});
    // Ends the start without an alert: the user said no.
    void endStart();
    // The rebuilt path names the category the session wants back.
    [[nodiscard]] bool rebuiltPathIsUsable() const;

    QPointer<LMSessionWindowController> m_sessionWindow;
    bool m_started = false;
    bool m_failed = false;

    QLabel *m_statusLabel = nullptr;
    QLabel *m_detailLabel = nullptr;
    QProgressBar *m_busyIndicator = nullptr;
    QPointer<PasswordSheet> m_passwordSheet;
};
