#include "CertificateTrust.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSet>

namespace CertificateTrust {

namespace {
QString normalized(QString fingerprint)
{
    fingerprint.remove(QLatin1Char(':'));
    fingerprint.remove(QLatin1Char(' '));
    return fingerprint.toUpper();
}

QString names(const QSslCertificate &certificate, bool issuer)
{
    QStringList parts;
    for (const auto attribute : {QSslCertificate::CommonName, QSslCertificate::Organization,
                                 QSslCertificate::OrganizationalUnitName, QSslCertificate::CountryName}) {
        const QStringList values = issuer ? certificate.issuerInfo(attribute) : certificate.subjectInfo(attribute);
        if (!values.isEmpty())
            parts.append(values.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral(" · "));
}
} // namespace

QString fingerprint(const QByteArray &der)
{
    return QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString fingerprint(const QSslCertificate &certificate)
{
    return fingerprint(certificate.toDer());
}

bool isPinned(const QString &pinned, const QByteArray &leafDer)
{
    if (pinned.trimmed().isEmpty() || leafDer.isEmpty())
        return false;
    return normalized(pinned) == normalized(fingerprint(leafDer));
}

QList<QSslError> pinnedErrors(const QList<QSslError> &errors, const QSslCertificate &leaf, const QString &pinned)
{
    if (errors.isEmpty() || leaf.isNull() || !isPinned(pinned, leaf.toDer()))
        return {};
    for (const QSslError &error : errors) {
        if (error.certificate() != leaf)
            return {};
    }
    return errors;
}

QStringList describe(const QList<QSslError> &errors)
{
    QStringList lines;
    QSet<QString> seen;
    for (const QSslError &error : errors) {
        QString line;
        switch (error.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            line = QCoreApplication::translate(
                "CertificateTrust",
                "The certificate is self-signed: no authority this computer trusts vouches for it.");
            break;
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            line = QCoreApplication::translate(
                "CertificateTrust",
                "The certificate was issued by an authority this computer does not know.");
            break;
        case QSslError::CertificateExpired:
            line = QCoreApplication::translate("CertificateTrust", "The certificate has expired.");
            break;
        case QSslError::CertificateNotYetValid:
            line = QCoreApplication::translate("CertificateTrust", "The certificate is not valid yet.");
            break;
        case QSslError::HostNameMismatch:
            line = QCoreApplication::translate(
                "CertificateTrust",
                "The certificate is for another name than the one this bookmark connects to.");
            break;
        case QSslError::CertificateRevoked:
            line = QCoreApplication::translate("CertificateTrust", "The certificate has been revoked.");
            break;
        default:
            line = error.errorString();
            break;
        }
        if (!seen.contains(line)) {
            seen.insert(line);
            lines.append(line);
        }
    }
    return lines;
}

Summary summarize(const QSslCertificate &certificate)
{
    return {names(certificate, false), names(certificate, true), certificate.effectiveDate(),
            certificate.expiryDate(), fingerprint(certificate)};
}

} // namespace CertificateTrust
