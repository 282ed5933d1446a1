#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for a bookmark's password when a session starts; the answer is the session's only.
class PasswordSheet : public QDialog {
    Q_OBJECT
public:
    // reason: why the password is asked for when the bookmark does not ask each time.
    PasswordSheet(QWidget *window, const QString &userName, const QString &host, const QString &reason);

    [[nodiscard]] QString password() const;
    [[nodiscard]] QLineEdit *passwordField() const { return m_passwordField; }
    [[nodiscard]] QPushButton *connectButton() const { return m_connectButton; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancelButton; }

private:
    QLineEdit *m_passwordField;
    QPushButton *m_connectButton;
    QPushButton *m_cancelButton;
};
