#include "TransportFailure.h"

#include "ProxyRule.h"
#include "ServerAddress.h"
#include <QCoreApplication>

namespace TransportFailure {

namespace {
// Where a request through a proxy first goes.
QString proxyOf(const QUrl &url)
{
    return ProxyRule::fromEnvironment().decide(url).hostAndPort();
}

QString secondsText(int milliseconds)
{
    return milliseconds % 1000 == 0 ? QString::number(milliseconds / 1000)
                                    : QString::number(milliseconds / 1000.0, 'f', 1);
}
} // namespace

QString describe(QNetworkReply::NetworkError code, bool answered, const QUrl &url, const QString &stackText,
                 const QStringList &certificateProblems)
{
    const QString place = ServerAddress::hostAndPort(url);
    // Qt connects to an HTTP proxy as to any server, and says so in the same words.
    const bool proxied = !ProxyRule::fromEnvironment().decide(url).isDirect();
    if (proxied && code == QNetworkReply::ConnectionRefusedError)
        code = QNetworkReply::ProxyConnectionRefusedError;
    else if (proxied && code == QNetworkReply::HostNotFoundError)
        code = QNetworkReply::ProxyNotFoundError;
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        return QCoreApplication::translate("TransportFailure", "Cannot reach %1: connection refused")
            .arg(place);
    case QNetworkReply::HostNotFoundError:
        return QCoreApplication::translate("TransportFailure", "Cannot reach %1: host not found").arg(place);
    case QNetworkReply::SslHandshakeFailedError:
        if (!certificateProblems.isEmpty())
            return QCoreApplication::translate("TransportFailure", "The certificate of %1 is not trusted: %2")
                .arg(place, certificateProblems.join(QLatin1Char(' ')));
        return QCoreApplication::translate("TransportFailure",
                                           "Cannot reach %1: no secure connection could be made (%2)")
            .arg(place, stackText);
    case QNetworkReply::ProxyConnectionRefusedError:
        return QCoreApplication::translate("TransportFailure", "The proxy %1 refused the connection")
            .arg(proxyOf(url));
    case QNetworkReply::ProxyNotFoundError:
        return QCoreApplication::translate("TransportFailure", "Cannot reach the proxy %1: host not found")
            .arg(proxyOf(url));
    case QNetworkReply::ProxyConnectionClosedError:
        return QCoreApplication::translate("TransportFailure", "The proxy %1 closed the connection")
            .arg(proxyOf(url));
    case QNetworkReply::ProxyTimeoutError:
        return QCoreApplication::translate("TransportFailure", "The proxy %1 did not answer in time")
            .arg(proxyOf(url));
    case QNetworkReply::ContentReSendError:
        // A connection that ends before the answer leaves the outcome open: the server may
        // have acted on the request.
        return QCoreApplication::translate("TransportFailure",
                                           "The connection closed before the server answered.");
    case QNetworkReply::RemoteHostClosedError:
        return answered
                   ? QCoreApplication::translate(
                         "TransportFailure", "The connection closed before the server's answer was complete.")
                   : QCoreApplication::translate("TransportFailure",
                                                 "The connection closed before the server answered.");
    default:
        return stackText;
    }
}

QString notConnected(const QUrl &url, int milliseconds)
{
    const ProxyRule::Decision proxy = ProxyRule::fromEnvironment().decide(url);
    return proxy.isDirect()
               ? QCoreApplication::translate("TransportFailure",
                                             "Cannot reach %1: no connection within %2 seconds")
                     .arg(ServerAddress::hostAndPort(url), secondsText(milliseconds))
               : QCoreApplication::translate("TransportFailure",
                                             "Cannot reach the proxy %1: no connection within %2 seconds")
                     .arg(proxy.hostAndPort(), secondsText(milliseconds));
}

QString timedOut(bool sending, int milliseconds)
{
    const QString seconds = secondsText(milliseconds);
    return (sending ? QCoreApplication::translate("TransportFailure",
                                                  "Nothing could be sent to the server for %1 seconds")
                    : QCoreApplication::translate("TransportFailure",
                                                  "The server did not answer within %1 seconds"))
        .arg(seconds);
}

} // namespace TransportFailure
