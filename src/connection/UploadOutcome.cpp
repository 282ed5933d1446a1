#include "UploadOutcome.h"

#include <algorithm>

namespace UploadOutcome {

Verdict judge(const Attempt &attempt, const QDateTime &now)
{
    Verdict verdict;
    if (attempt.settled)
        return verdict;
    if (attempt.transportError) {
        // A server cannot store a file it did not receive whole; one whose last byte went out
        // may have been stored, answer or not.
        verdict.kind = attempt.lastByteOut ? Kind::MayHaveArrived : Kind::NotDelivered;
        return verdict;
    }
    const int status = attempt.status;
    if (status >= 200 && status <= 299) {
        verdict.kind = Kind::Uploaded;
    } else if (status == 503 || status == 429) {
        verdict.kind = Kind::NotDelivered;
        verdict.retryAfterMs = retryAfterMs(attempt.retryAfter, now);
    } else if (status == 502 || status == 504) {
        // A gateway's word, not the server's: the request may have reached the server.
        verdict.kind = Kind::MayHaveArrived;
        verdict.gateway = true;
    } else if (status == 408) {
        // The server (or a gateway) gave up waiting for the request. Before the last byte of
        // the body it cannot have taken the file; after it, a gateway may have passed the
        // whole request on before it timed out.
        verdict.kind = attempt.lastByteOut ? Kind::MayHaveArrived : Kind::NotDelivered;
    }
    return verdict;
}

std::optional<qint64> retryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool number = false;
    const qint64 seconds = text.toLongLong(&number);
    if (number)
        return seconds >= 0 ? std::optional<qint64>(seconds * 1000) : std::nullopt;
    // "Wed, 21 Oct 2026 07:28:00 GMT": the RFC 2822 form with a zone name Qt reads as UTC.
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    if (!when.isValid())
        return std::nullopt;
    return std::max<qint64>(0, now.msecsTo(when));
}

} // namespace UploadOutcome
