#include "session/PasswordSheet.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordSheet::PasswordSheet(QWidget *window, const QString &userName, const QString &host, const QString &reason)
    : QDialog(window)
{
    setObjectName(QStringLiteral("PasswordSheet"));
    setWindowTitle(tr("Password"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(420);

    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(tr("<b>Password for %1 on %2</b>").arg(userName.toHtmlEscaped(), host.toHtmlEscaped()), this);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    if (!reason.isEmpty()) {
        auto *why = new QLabel(reason, this);
        why->setObjectName(QStringLiteral("passwordReason"));
        why->setWordWrap(true);
        layout->addWidget(why);
    }
    auto *form = new QFormLayout;
    m_passwordField = new QLineEdit(this);
    m_passwordField->setObjectName(QStringLiteral("passwordField"));
    m_passwordField->setEchoMode(QLineEdit::Password);
    form->addRow(tr("&Password:"), m_passwordField);
    layout->addLayout(form);
    auto *note = new QLabel(tr("Used for this session only; it is not kept."), this);
    note->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(note);

    auto *buttons = new QHBoxLayout;
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_connectButton = new QPushButton(tr("&Connect"), this);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    m_connectButton->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_connectButton);
    layout->addLayout(buttons);
    connect(m_connectButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QString PasswordSheet::password() const
{
    return m_passwordField->text();
}
