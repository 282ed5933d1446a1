#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QTimer;

// When an upload batch sends a file again, pauses or gives up: one rule for the window and
// lumaro-import. A file the server cannot have taken is tried again after 2, 4, 8 … seconds (up
// to a longest wait, or as long as the server asks), for as long as the retry time allows,
// counted from the first failure since a file last went through. Three failures in a row of
// files not delivered, or of gateways answering for the server, pause the batch as a whole: the
// server is then probed, never sent a file, until it answers again.
class RetrySchedule : public QObject {
    Q_OBJECT
public:
    struct Limits {
        // How long a batch keeps trying through trouble; 0: never again by itself.
        qint64 retryForMs = 30 * 60 * 1000;
        // The most tries of one file after its first; none: as many as the time allows.
        std::optional<int> retries;
        int firstWaitMs = 2000;
        int longestWaitMs = 5 * 60 * 1000;
    };
    static constexpr int FailuresBeforePause = 3;

    enum class Step {
        Next,  // go on with the next file
        Retry, // send the same file again after waitMs
        Pause, // probe the server after waitMs; send nothing until it answers
        Fail,  // the file fails; go on with the next
        Stop,  // end the batch now; the file in hand stays queued
    };
    struct Decision {
        Step step = Step::Next;
        qint64 waitMs = 0;
    };

    explicit RetrySchedule(QObject *parent = nullptr);
    ~RetrySchedule() override;
    RetrySchedule(const RetrySchedule &) = delete;
    RetrySchedule &operator=(const RetrySchedule &) = delete;

    void setLimits(const Limits &limits) { m_limits = limits; }
    [[nodiscard]] const Limits &limits() const { return m_limits; }
    // A new batch: no failures behind it.
    void reset();
    // Files are sent again at all (neither the time nor the number of retries is 0).
    [[nodiscard]] bool retrying() const { return m_limits.retryForMs > 0 && m_limits.retries != 0; }

    // A file went through, or the server answered and refused one: whatever trouble there was
    // is over.
    void answered();
    // The file's try number tries (1 for its first) was not delivered.
    [[nodiscard]] Decision notDelivered(int tries, std::optional<qint64> retryAfterMs);
    // A gateway answered for the server.
    [[nodiscard]] Decision gateway();
    // The probe of a paused batch: answered by the server, or not.
    void probeAnswered() { m_inARow = 0; }
    [[nodiscard]] Decision probeFailed();
    // Whole minutes of trouble so far, for messages.
    [[nodiscard]] qint64 troubleMinutes() const;

    // One wait at a time; then runs once, unless cancelled first. retryNow() runs it at once.
    void wait(qint64 ms, std::function<void()> then);
    void retryNow();
    void cancelWait();
    [[nodiscard]] bool isWaiting() const { return bool(m_then); }
    [[nodiscard]] QDateTime waitingUntil() const { return m_until; }

    // The desktop reports no network (only where Qt has a backend that can tell). Asked only after
    // a failure: a server on this machine or the local network may answer all the same.
    [[nodiscard]] bool isOffline() const;
    // Runs then once the network is back, or after the longest wait (at once, later in the event
    // loop, when it is not away). The time spent so does not count against the retry time.
    void waitForNetwork(std::function<void()> then);

private:
    [[nodiscard]] qint64 nextWait();
    [[nodiscard]] bool outOfTime(qint64 waitMs) const;
    void troubleBegins();

    Limits m_limits;
    int m_inARow = 0;
    int m_waits = 0;
    QElapsedTimer m_trouble;
    qint64 m_offlineMs = 0;
    QElapsedTimer m_offlineSince;
    QTimer *m_timer;
    std::function<void()> m_then;
    QDateTime m_until;
    // Alive while waiting for the network to come back.
    QPointer<QObject> m_networkWatch;
};
