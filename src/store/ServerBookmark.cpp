#include "ServerBookmark.h"

#include "connection/LMServerConnection.h"

#include <QUuid>

#include <algorithm>

ServerBookmark::ServerBookmark(ObjectContext *context, const QVariantMap &stored, qint64 objectId)
    : ManagedObject(EntityName, context, stored, objectId)
{
    connect(this, &ManagedObject::valueChanged, this, &ServerBookmark::fieldChanged);
    validateConnectionParameters();
    if (uuid().isEmpty())
        setValue(kUUID, QUuid::createUuid().toString(QUuid::WithoutBraces));
}

void ServerBookmark::setKeyringPassword(const std::optional<QString> &password)
{
    if (m_keyringPassword == password)
        return;
    m_keyringPassword = password;
    emit fieldChanged();
}

void ServerBookmark::adoptKeyringPassword(const QString &password)
{
    m_keyringPassword = password;
    setPassword(password);
}

bool ServerBookmark::passwordIsInKeyring() const
{
    return !askForPassword() && !hasValue(kPassword);
}

QVariantMap ServerBookmark::storedValues() const
{
    QVariantMap stored = values();
    if (askForPassword() || (m_keyringPassword && password() == m_keyringPassword))
        stored.remove(kPassword);
    return stored;
}

void ServerBookmark::validateConnectionParameters()
{
    if (!hasValue(kSecureConnect))
        setSecureConnect(true);
    const std::optional<qint64> port = portNumber();
    if (!port || *port == 0)
        setPortNumber(secureConnect() == true ? 443 : 80);
    const std::optional<QString> path = applicationNameURL();
    if (!path || path->isEmpty())
        setApplicationNameURL(DefaultApplicationPath);
    if (!hasValue(kLastCategoryView))
        setLastCategoryView(QStringLiteral("category"));
    if (!hasValue(kLastCategoryID))
        setLastCategoryID(-1);
    if (!hasValue(kSessionWindowOpen))
        setSessionWindowOpen(false);
    if (!hasValue(kRetryMinutes))
        setRetryMinutes(DefaultRetryMinutes);
    if (!hasValue(kSimultaneousUploads))
        setSimultaneousUploads(1);
}

int ServerBookmark::simultaneousUploads() const
{
    return std::clamp(value(kSimultaneousUploads).toInt(), 1, MaxSimultaneousUploads);
}

qint64 ServerBookmark::uploadLimitBytesPerSecond() const
{
    const double megabytes = value(kUploadSpeedLimit).toDouble();
    return megabytes > 0 ? std::max<qint64>(1, qRound64(megabytes * 1024 * 1024)) : 0;
}

std::optional<QString> ServerBookmark::stringField(const QString &key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

std::optional<qint64> ServerBookmark::intField(const QString &key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::optional<qint64>(0);
}

std::optional<bool> ServerBookmark::secureConnect() const
{
    const QVariant v = value(kSecureConnect);
    if (!v.isValid())
        return std::nullopt;
    return v.toBool();
}

std::optional<bool> ServerBookmark::sessionWindowOpen() const
{
    const QVariant v = value(kSessionWindowOpen);
    if (!v.isValid())
        return std::nullopt;
    return v.toBool();
}

QString ServerBookmark::scheme() const
{
    return secureConnect() == true ? QStringLiteral("https://") : QStringLiteral("http://");
}

// An absent host, port or path contributes nothing; such a bookmark reaches no server but
// never stops the application.
QString ServerBookmark::urlString() const
{
    return scheme() + hostName().value_or(QString()) + QLatin1Char(':') +
           (portNumber() ? QString::number(*portNumber()) : QString()) + QLatin1Char('/') +
           applicationNameURL().value_or(QString());
}

QString ServerBookmark::urlShortString() const
{
    return scheme() + hostName().value_or(QString());
}

QString ServerBookmark::bookmarkLongName() const
{
    return bookmarkName().value_or(QStringLiteral("untitled"));
}

QString ServerBookmark::serverKey() const
{
    QString path = applicationNameURL().value_or(QString());
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return hostName().value_or(QString()).toLower() + QLatin1Char(':') +
           QString::number(portNumber().value_or(0)) + QLatin1Char('/') + path;
}

LMServerConnection *ServerBookmark::serverConnection() const
{
    return m_serverConnection;
}

void ServerBookmark::setServerConnection(LMServerConnection *connection)
{
    m_serverConnection = connection;
}
