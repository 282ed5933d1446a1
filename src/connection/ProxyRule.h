#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

// Which proxy, if any, a request to a URL goes through: the one decision both ways of sending
// (Qt's requests and libcurl's asset bodies) follow, so a file never takes another road than the
// requests around it. It reads the environment as curl documents it:
// - http_proxy (lower case only) for http URLs; https_proxy or HTTPS_PROXY for https URLs; else
//   all_proxy or ALL_PROXY. "host:port" without a scheme is an HTTP proxy; the port defaults
//   to 1080. socks5:// and socks5h:// name a SOCKS proxy.
// - no_proxy or NO_PROXY: "*" for every host, or entries separated by commas, each a host name
//   that matches itself and every name below it (a leading dot changes nothing), an IP address
//   (optionally a network, "10.0.0.0/8"), and any of them with ":port" to match that port only.
// This machine itself (localhost, loopback addresses) is always reached directly: a proxy
// cannot reach its client's loopback.
class ProxyRule {
public:
    struct Decision {
        enum class Kind { Direct, Http, Socks5, Unusable };
        Kind kind = Kind::Direct;
        QString host;
        int port = 0;
        QString user;
        QString password;
        // socks5h: names are looked up by the proxy; socks5: here.
        bool proxyResolves = true;
        // Unusable: why the configured proxy cannot be used.
        QString problem;

        [[nodiscard]] bool isDirect() const { return kind == Kind::Direct; }
        // "host:port" as people write it, for messages.
        [[nodiscard]] QString hostAndPort() const;
        // libcurl's form ("http://host:port", "socks5h://host:port"); "" for a direct connection.
        [[nodiscard]] QString curlProxy() const;
    };

    // The process's environment, read now.
    [[nodiscard]] static ProxyRule fromEnvironment();
    explicit ProxyRule(QHash<QString, QString> environment);

    [[nodiscard]] Decision decide(const QUrl &url) const;

private:
    [[nodiscard]] QString variable(const char *lower, const char *upper = nullptr) const;
    [[nodiscard]] bool bypasses(const QString &host, int port) const;

    QHash<QString, QString> m_environment;
};
