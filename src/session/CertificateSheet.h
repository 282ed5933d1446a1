#pragma once

#include <QDialog>
#include <QVariantMap>

class QPushButton;

// The one question a session asks about a server certificate that failed verification: where,
// what is wrong in words, and the certificate's subject, issuer, validity and SHA-256
// fingerprint. Accepted means "Trust for This Bookmark".
class CertificateSheet : public QDialog {
    Q_OBJECT
public:
    // info: the user information of LMServerConnectionCertificateNeedsTrust.
    CertificateSheet(QWidget *window, const QVariantMap &info);

    [[nodiscard]] QPushButton *trustButton() const { return m_trustButton; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancelButton; }

private:
    QPushButton *m_trustButton;
    QPushButton *m_cancelButton;
};
