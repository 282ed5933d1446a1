#include "ProxyRule.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QStringList>

namespace {
// curl's port for a proxy named without one.
constexpr int DefaultProxyPort = 1080;

QString bracketed(const QString &host)
{
    return host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

QString normalisedName(QString name)
{
    name = name.toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

// One no_proxy entry taken apart: a name or an address (with its network size), and a port.
struct Exception {
    QString name;
    QHostAddress address;
    int networkBits = -1;
    int port = -1;
};

Exception parseException(QString entry)
{
    Exception exception;
    if (entry.startsWith(QLatin1Char('['))) {
        const qsizetype close = entry.indexOf(QLatin1Char(']'));
        if (close > 0 && entry.mid(close + 1).startsWith(QLatin1Char(':')))
            exception.port = entry.mid(close + 2).toInt();
        entry = entry.mid(1, close > 0 ? close - 1 : -1);
    } else if (entry.count(QLatin1Char(':')) == 1) {
        // One colon is a port; more are an IPv6 address, written without brackets as curl asks.
        bool ok = false;
        const int port = entry.section(QLatin1Char(':'), 1).toInt(&ok);
        exception.port = ok ? port : 0;
        entry = entry.section(QLatin1Char(':'), 0, 0);
    }
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    const QString addressPart = slash >= 0 ? entry.left(slash) : entry;
    if (exception.address.setAddress(addressPart)) {
        exception.networkBits = slash >= 0 ? entry.mid(slash + 1).toInt() : -1;
        return exception;
    }
    exception.address.clear();
    if (entry.startsWith(QLatin1Char('.')))
        entry.remove(0, 1);
    exception.name = normalisedName(entry);
    return exception;
}
} // namespace

QString ProxyRule::Decision::hostAndPort() const
{
    return bracketed(host) + QLatin1Char(':') + QString::number(port);
}

QString ProxyRule::Decision::curlProxy() const
{
    switch (kind) {
    case Kind::Http:
        return QStringLiteral("http://") + hostAndPort();
    case Kind::Socks5:
        return (proxyResolves ? QStringLiteral("socks5h://") : QStringLiteral("socks5://")) + hostAndPort();
    case Kind::Direct:
    case Kind::Unusable:
        break;
    }
    return {};
}

ProxyRule ProxyRule::fromEnvironment()
{
    // Read for every request, so only the few variables the rule looks at.
    QHash<QString, QString> environment;
    for (const char *name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        if (qEnvironmentVariableIsSet(name))
            environment.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    return ProxyRule(std::move(environment));
}

ProxyRule::ProxyRule(QHash<QString, QString> environment) : m_environment(std::move(environment)) {}

QString ProxyRule::variable(const char *lower, const char *upper) const
{
    const QString value = m_environment.value(QString::fromLatin1(lower)).trimmed();
    if (!value.isEmpty() || !upper)
        return value;
    return m_environment.value(QString::fromLatin1(upper)).trimmed();
}

bool ProxyRule::bypasses(const QString &host, int port) const
{
    const QString list = variable("no_proxy", "NO_PROXY");
    const QHostAddress hostAddress(host);
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString entry = item.trimmed();
        if (entry == QLatin1String("*"))
            return true;
        if (entry.isEmpty())
            continue;
        const Exception exception = parseException(entry);
        if (exception.port >= 0 && exception.port != port)
            continue;
        if (!exception.address.isNull()) {
            // An address matches an address only: names are not looked up to compare them.
            if (hostAddress.isNull())
                continue;
            if (exception.networkBits >= 0 ? hostAddress.isInSubnet(exception.address, exception.networkBits)
                                           : hostAddress.isEqual(exception.address))
                return true;
            continue;
        }
        if (!exception.name.isEmpty() &&
            (host == exception.name || host.endsWith(QLatin1Char('.') + exception.name)))
            return true;
    }
    return false;
}

ProxyRule::Decision ProxyRule::decide(const QUrl &url) const
{
    Decision decision;
    const QString scheme = url.scheme().toLower();
    const QString host = normalisedName(url.host());
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    if (host == QLatin1String("localhost") || QHostAddress(host).isLoopback())
        return decision;
    QString proxy;
    if (scheme == QLatin1String("https"))
        proxy = variable("https_proxy", "HTTPS_PROXY");
    else if (scheme == QLatin1String("http"))
        proxy = variable("http_proxy");
    if (proxy.isEmpty())
        proxy = variable("all_proxy", "ALL_PROXY");
    if (proxy.isEmpty() || bypasses(host, port))
        return decision;

    const QUrl address(proxy.contains(QLatin1String("://")) ? proxy : QStringLiteral("http://") + proxy);
    const QString kind = address.scheme().toLower();
    if (kind == QLatin1String("http")) {
        decision.kind = Decision::Kind::Http;
    } else if (kind == QLatin1String("socks5") || kind == QLatin1String("socks5h")) {
        decision.kind = Decision::Kind::Socks5;
        decision.proxyResolves = kind == QLatin1String("socks5h");
    } else {
        decision.kind = Decision::Kind::Unusable;
        decision.problem = QCoreApplication::translate(
                               "ProxyRule", "The proxy “%1” is of a kind this application cannot use "
                                            "(only http://, socks5:// and socks5h://).")
                               .arg(proxy);
        return decision;
    }
    if (!address.isValid() || address.host().isEmpty()) {
        decision.kind = Decision::Kind::Unusable;
        decision.problem =
            QCoreApplication::translate("ProxyRule", "The proxy “%1” is no address.").arg(proxy);
        return decision;
    }
    decision.host = address.host();
    decision.port = address.port(DefaultProxyPort);
    decision.user = address.userName();
    decision.password = address.password();
    return decision;
}
