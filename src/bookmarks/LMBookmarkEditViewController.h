#pragma once

#include "platform/widgets/ViewController.h"
#include "store/BookmarkPasswords.h"
#include "store/ServerBookmark.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <QList>
#include <QPointer>
#include <QString>

class BookmarkForm;
class BookmarkPasswords;
class LMBookmarksWindowController;
class ObjectContext;
class QLabel;
class RecordFieldBinding;

// The form for one bookmark's name, host, user name and password, shown as a sheet over the
// bookmarks window. It edits the record in place in the shared context: Save saves the context,
// Cancel removes a new record or takes back the last edit, Delete removes the record.
class LMBookmarkEditViewController : public ViewController {
    Q_OBJECT
public:
    static inline const QString StoryboardIdentifier = QStringLiteral("BookmarkEditView");
    struct SegueIdentifiers {
        static inline const QString showBookmarkAdvancedViewController =
            QStringLiteral("showBookmarkAdvancedViewController");
    };

    explicit LMBookmarkEditViewController(QObject *parent = nullptr);
    ~LMBookmarkEditViewController() override;

    [[nodiscard]] ServerBookmark *bookmark() const { return m_bookmark; }
    // The fields show and edit this record from now on; none empties them.
    void setBookmark(ServerBookmark *bookmark);
    [[nodiscard]] bool isNew() const { return m_isNew; }
    void setIsNew(bool isNew);

    // The window it is a sheet of: the store it saves to, and the list that shows the result.
    void setBookmarksWindow(LMBookmarksWindowController *window) { m_bookmarksWindow = window; }
    // The bookmarks window's; none when the store failed.
    [[nodiscard]] ObjectContext *managedObjectContext() const;

    // Where a password kept in the keyring is read from, to show it (masked) and to let an undo
    // of an edit bring it back.
    void setBookmarkPasswords(BookmarkPasswords *passwords) { m_passwords = passwords; }

    [[nodiscard]] QLineEdit *labelTextField() const { return m_labelTextField; }
    [[nodiscard]] QLineEdit *hostTextField() const { return m_hostTextField; }
    [[nodiscard]] QLineEdit *userTextField() const { return m_userTextField; }
    [[nodiscard]] QLineEdit *passwordTextField() const { return m_passwordTextField; }
    [[nodiscard]] QPushButton *deleteButton() const { return m_deleteButton; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancelButton; }
    [[nodiscard]] QPushButton *saveButton() const { return m_saveButton; }
    [[nodiscard]] QPushButton *advancedButton() const { return m_advancedButton; }
    // Under the host field: why the host cannot be used, or how a pasted address was taken apart.
    [[nodiscard]] QLabel *hostNoteLabel() const { return m_hostNoteLabel; }

    void viewWillAppear() override;
    void prepareForSegue(Segue &segue, QObject *sender) override;

public slots:
    void saveButtonClicked();
    void cancelButtonClicked();
    void deleteButtonClicked();
    void advancedButtonClicked();

protected:
    void loadView() override;

private:
    void showBookmarksWindow() const;
    void hostEdited(const QString &text);
    void updateHostNote();
    // Trims a usable host; false (with the note shown) when the host cannot be used.
    bool tidyHost();
    void loadPassword();
    void updatePasswordField();

    QPointer<QLabel> m_titleLabel;
    QPointer<QLineEdit> m_labelTextField;
    QPointer<QLineEdit> m_hostTextField;
    QPointer<QLineEdit> m_userTextField;
    QPointer<QLineEdit> m_passwordTextField;
    QPointer<QPushButton> m_deleteButton;
    QPointer<QPushButton> m_cancelButton;
    QPointer<QPushButton> m_saveButton;
    QPointer<QPushButton> m_advancedButton;
    QPointer<QLabel> m_hostNoteLabel;
    QPointer<BookmarkPasswords> m_passwords;
    bool m_readingPassword = false;
    qsizetype m_hostLength = 0;
    QString m_splitHost;

    BookmarkForm *m_form;
    QPointer<ServerBookmark> m_bookmark;
    bool m_isNew = false;
    // Undo steps before this editing began are not the editor's to take back.
    int m_undoBaseline = 0;
    bool m_finished = false;
    QPointer<LMBookmarksWindowController> m_bookmarksWindow;
};
