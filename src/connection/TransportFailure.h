#pragma once

#include <QNetworkReply>
#include <QString>
#include <QStringList>
#include <QUrl>

// The words for a request that failed below HTTP, the same whichever stack sent it.
namespace TransportFailure {

// What went wrong, naming the culprit (the server, its address, the proxy): the stacks' own texts
// ("Connection refused", "Unable to resend the data") leave the user guessing. answered: a
// response had begun to arrive.
[[nodiscard]] QString describe(QNetworkReply::NetworkError code, bool answered, const QUrl &url,
                               const QString &stackText, const QStringList &certificateProblems = {});

// A request whose connection (to the server, or to its proxy) was not made in that long.
[[nodiscard]] QString notConnected(const QUrl &url, int milliseconds);

// A request that saw no progress for that long, while still sending its body or after it.
[[nodiscard]] QString timedOut(bool sending, int milliseconds);

} // namespace TransportFailure
