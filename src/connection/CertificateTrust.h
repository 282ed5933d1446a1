#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>

// The trust a user gave one server certificate, and the words for what is wrong with one.
// Every way the application talks to a server applies the same pin through this one place.
namespace CertificateTrust {

// SHA-256 of the certificate's DER form as upper-case hex pairs joined by ":".
[[nodiscard]] QString fingerprint(const QByteArray &der);
[[nodiscard]] QString fingerprint(const QSslCertificate &certificate);

// Whether the pinned fingerprint names this certificate (case and separators do not matter).
[[nodiscard]] bool isPinned(const QString &pinned, const QByteArray &leafDer);

// The errors that may be set aside because the certificate they are about is the pinned one.
// Empty unless every error is about that certificate: an error about anything else (another
// certificate of the chain, no certificate at all) is never set aside.
[[nodiscard]] QList<QSslError> pinnedErrors(const QList<QSslError> &errors, const QSslCertificate &leaf,
                                            const QString &pinned);

// One line per problem, in words ("The certificate is self-signed.").
[[nodiscard]] QStringList describe(const QList<QSslError> &errors);

// What a person needs to decide about a certificate.
struct Summary {
    QString subject;
    QString issuer;
    QDateTime validFrom;
    QDateTime validUntil;
    QString fingerprint;
};
[[nodiscard]] Summary summarize(const QSslCertificate &certificate);

} // namespace CertificateTrust
