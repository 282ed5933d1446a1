#include "TransportFailure.h"

#include "ServerAddress.h"

namespace TransportFailure {

QString describe(QNetworkReply::NetworkError code, bool answered, const QUrl &url, const QString &stackText,
                 const QStringList &certificateProblems)
{
    const QString place = ServerAddress::hostAndPort(url);
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("Connection refused by %1").arg(place);
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("Host not found: %1").arg(url.host());
    case QNetworkReply::SslHandshakeFailedError:
        if (!certificateProblems.isEmpty())
            return QStringLiteral("The certificate of %1 is not trusted: %2")
                .arg(place, certificateProblems.join(QLatin1Char(' ')));
        return QStringLiteral("No secure connection to %1 could be made: %2").arg(place, stackText);
    case QNetworkReply::ContentReSendError:
        // A connection that ends before the answer leaves the outcome open: the server may
        // have acted on the request.
        return QStringLiteral("The connection closed before the server answered.");
    case QNetworkReply::RemoteHostClosedError:
        return answered ? QStringLiteral("The connection closed before the server's answer was complete.")
                        : QStringLiteral("The connection closed before the server answered.");
    default:
        return stackText;
    }
}

QString timedOut(bool sending, int milliseconds)
{
    const QString seconds = milliseconds % 1000 == 0 ? QString::number(milliseconds / 1000)
                                                     : QString::number(milliseconds / 1000.0, 'f', 1);
    return (sending ? QStringLiteral("Nothing could be sent to the server for %1 seconds")
                    : QStringLiteral("The server did not answer within %1 seconds"))
        .arg(seconds);
}

} // namespace TransportFailure
