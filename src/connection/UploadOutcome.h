#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// What became of one POST of a file, and so whether it may go again. A file is sent again by
// itself only when the server cannot have taken it; one whose whole body went out without an
// answer is never sent again without a person's word.
namespace UploadOutcome {

enum class Kind {
    Uploaded,
    // The request never left, broke before the last byte of the body, or the server said to
    // come back later (503, 429): worth trying again.
    NotDelivered,
    // The server answered and did not take it.
    Refused,
    // The whole body went out and no answer came, or a gateway answered for the server.
    MayHaveArrived,
};

// What is known of the attempt.
struct Attempt {
    bool transportError = false;
    // Not a network failure at all (the file could not be read, the address or proxy setting is
    // unusable, the certificate was not trusted): sending again would meet the same.
    bool settled = false;
    // The last byte of the body was handed to the connection: the server may have it whole.
    bool lastByteOut = false;
    int status = 0;
    QByteArray retryAfter; // the answer's Retry-After header, if any
};

struct Verdict {
    Kind kind = Kind::Refused;
    // A gateway answered 502 or 504: the server behind it is likely away.
    bool gateway = false;
    // How long the server asked to wait (Retry-After), when it did.
    std::optional<qint64> retryAfterMs;
};

[[nodiscard]] Verdict judge(const Attempt &attempt, const QDateTime &now = QDateTime::currentDateTimeUtc());

// Retry-After as delta-seconds or an HTTP date; none when it is neither.
[[nodiscard]] std::optional<qint64> retryAfterMs(const QByteArray &value, const QDateTime &now);

} // namespace UploadOutcome
