#pragma once

#include "platform/widgets/ViewController.h"
#include "store/ServerBookmark.h"
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <QList>
#include <QPointer>
#include <QString>

class BookmarkForm;
class ObjectContext;
class QLabel;
class RecordFieldBinding;

// The less common connection settings of the bookmark being edited (application path, port,
// secure connection), a sheet over the bookmark editor. It edits the editor's record in place and
// never saves: the editor's Save or Cancel decides.
class LMBookmarkAdvancedViewController : public ViewController {
    Q_OBJECT
public:
    static inline const QString StoryboardIdentifier = QStringLiteral("BookmarkAdvancedView");

    explicit LMBookmarkAdvancedViewController(QObject *parent = nullptr);
    ~LMBookmarkAdvancedViewController() override;

    [[nodiscard]] ServerBookmark *bookmark() const { return m_bookmark; }
    void setBookmark(ServerBookmark *bookmark);
    // Cancel takes back a step only when one was made after this point (the editor's start).
    void setUndoBaseline(int undoCount) { m_undoBaseline = undoCount; }

    [[nodiscard]] QLineEdit *appTextField() const { return m_appTextField; }
    [[nodiscard]] QSpinBox *portTextField() const { return m_portTextField; }
    [[nodiscard]] QCheckBox *sslTextField() const { return m_sslTextField; }
    [[nodiscard]] QCheckBox *askPasswordCheckBox() const { return m_askPasswordCheckBox; }
    // MB a second; 0 shows as "No limit".
    [[nodiscard]] QDoubleSpinBox *uploadSpeedLimitField() const { return m_uploadSpeedLimitField; }
    // Minutes a batch keeps trying through failures; 0 shows as "Off".
    [[nodiscard]] QSpinBox *retryMinutesField() const { return m_retryMinutesField; }
    [[nodiscard]] QSpinBox *simultaneousUploadsField() const { return m_simultaneousUploadsField; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancelButton; }
    [[nodiscard]] QPushButton *saveButton() const { return m_saveButton; }

public slots:
    void saveButtonClicked();
    void cancelButtonClicked();

protected:
    void loadView() override;

private:
    QPointer<QLineEdit> m_appTextField;
    QPointer<QSpinBox> m_portTextField;
    QPointer<QCheckBox> m_sslTextField;
    QPointer<QCheckBox> m_askPasswordCheckBox;
    QPointer<QDoubleSpinBox> m_uploadSpeedLimitField;
    QPointer<QSpinBox> m_retryMinutesField;
    QPointer<QSpinBox> m_simultaneousUploadsField;
    QPointer<QPushButton> m_cancelButton;
    QPointer<QPushButton> m_saveButton;

    BookmarkForm *m_form;
    QPointer<ServerBookmark> m_bookmark;
    int m_undoBaseline = 0;
    bool m_finished = false;
};
