#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// What a bookmark's host may be, and how a request's URL is put together from the bookmark's
// fields. The host is a host name, an IPv4 address or an IPv6 address in brackets, nothing else,
// so no stored text can move a request to another host, port or path.
namespace ServerAddress {

// The host with surrounding spaces removed, or nothing with the reason in error.
[[nodiscard]] std::optional<QString> checkHost(const QString &typed, QString *error = nullptr);

// The fields of a pasted "http(s)://host[:port][/path]"; nothing for any other text.
struct PastedParts {
    QString host;
    bool secure = true;
    std::optional<int> port;
    QString path; // without the leading "/"; empty when the URL has none
};
[[nodiscard]] std::optional<PastedParts> splitPastedUrl(const QString &text);

// Scheme, host, port and path set one by one; the path is taken as literal text and the query
// as already encoded. Invalid when the host does not pass checkHost.
[[nodiscard]] QUrl requestUrl(bool secure, const QString &host, std::optional<qint64> port, const QString &path,
                              const QString &encodedQuery = {});

// "host:port" as people write it ("[::1]:8080" for IPv6), for messages.
[[nodiscard]] QString hostAndPort(const QUrl &url);

} // namespace ServerAddress
