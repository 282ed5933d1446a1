#include "ServerAddress.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace ServerAddress {

namespace {
std::optional<QString> refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

bool isDottedQuad(const QString &host)
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 3 || n < 0 || n > 255 || !part.at(0).isDigit())
            return false;
    }
    return true;
}

bool isHostName(const QString &host)
{
    // International names are checked in their ASCII form.
    QString ace = QString::fromLatin1(QUrl::toAce(host));
    if (ace.isEmpty())
        return false;
    if (ace.endsWith(QLatin1Char('.')))
        ace.chop(1);
    if (ace.isEmpty() || ace.size() > 253)
        return false;
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QStringList labels = ace.split(QLatin1Char('.'));
    return std::all_of(labels.cbegin(), labels.cend(),
                       [](const QString &part) { return label.match(part).hasMatch(); });
}
} // namespace

std::optional<QString> checkHost(const QString &typed, QString *error)
{
    const QString host = typed.trimmed();
    if (host.isEmpty())
        return refuse(
            error, QCoreApplication::translate("ServerAddress", "Enter the server's host name or address."));
    if (host.startsWith(QLatin1Char('['))) {
        const QHostAddress address(host.mid(1, host.size() - 2));
        if (!host.endsWith(QLatin1Char(']')) || address.protocol() != QAbstractSocket::IPv6Protocol ||
            host.contains(QLatin1Char('%')))
            return refuse(error, QStringLiteral("“%1” is not an IPv6 address in brackets.").arg(host));
        return host;
    }
    if (host.contains(QLatin1Char(':'))) {
        if (QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol)
            return refuse(
                error, QCoreApplication::translate("ServerAddress", "An IPv6 address goes in brackets: [%1]")
                           .arg(host));
        return refuse(error,
                      QCoreApplication::translate(
                          "ServerAddress", "The host is only the server's name or address, without a scheme "
                                           "or port; the port belongs in the advanced settings. A whole "
                                           "address pasted here is taken apart."));
    }
    static const QRegularExpression forbidden(QStringLiteral("[\\s/?#@\\\\%\\[\\]]"));
    if (const QRegularExpressionMatch bad = forbidden.match(host); bad.hasMatch()) {
        const QString what = bad.captured().at(0).isSpace() ? QStringLiteral("a space") : bad.captured();
        return refuse(error, QStringLiteral("A host name cannot contain %1.").arg(what));
    }
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    if (numeric.match(host).hasMatch()) {
        if (!isDottedQuad(host))
            return refuse(error, QStringLiteral("“%1” is not an IPv4 address.").arg(host));
        return host;
    }
    if (!isHostName(host))
        return refuse(error, QStringLiteral("“%1” is not a valid host name.").arg(host));
    return host;
}

std::optional<PastedParts> splitPastedUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.contains(QLatin1String("://")))
        return std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    PastedParts parts;
    parts.host = url.host();
    if (parts.host.contains(QLatin1Char(':')))
        parts.host = QLatin1Char('[') + parts.host + QLatin1Char(']');
    if (!checkHost(parts.host))
        return std::nullopt;
    parts.secure = scheme == QLatin1String("https");
    if (url.port() > 0)
        parts.port = url.port();
    parts.path = url.path();
    if (parts.path.startsWith(QLatin1Char('/')))
        parts.path.remove(0, 1);
    if (parts.path.endsWith(QLatin1Char('/')))
        parts.path.chop(1);
    return parts;
}

QUrl requestUrl(bool secure, const QString &host, std::optional<qint64> port, const QString &path,
                const QString &encodedQuery)
{
    const std::optional<QString> checked = checkHost(host);
    if (!checked)
        return {};
    QUrl url;
    url.setScheme(secure ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(checked->startsWith(QLatin1Char('[')) ? checked->mid(1, checked->size() - 2) : *checked,
                QUrl::StrictMode);
    if (port) {
        if (*port < 1 || *port > 65535)
            return {};
        url.setPort(int(*port));
    }
    url.setPath(path, QUrl::DecodedMode);
    if (!encodedQuery.isEmpty())
        url.setQuery(encodedQuery, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

QString hostAndPort(const QUrl &url)
{
    QString host = url.host();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace ServerAddress
