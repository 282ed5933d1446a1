#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs an update at most once per interval however often it is asked for, so a burst of
// changes (a batch of tiny files) redraws at the pace a person can follow rather than per
// change. A request after a quiet interval runs at once; requests within the interval are
// gathered into one run at its end.
class CoalescedUpdate : public QObject {
    Q_OBJECT
public:
    // About 30 runs a second.
    static constexpr int DefaultIntervalMs = 33;

    explicit CoalescedUpdate(std::function<void()> update, QObject *parent = nullptr,
                             int intervalMs = DefaultIntervalMs);
    ~CoalescedUpdate() override;
    CoalescedUpdate(const CoalescedUpdate &) = delete;
    CoalescedUpdate &operator=(const CoalescedUpdate &) = delete;

    void request();
    // Runs a requested update now: before a final state is shown, nothing may be left waiting.
    void flush();
    // Forgets a requested update.
    void cancel();
    [[nodiscard]] bool isPending() const { return m_pending; }

private:
    void run();

    std::function<void()> m_update;
    QTimer m_timer;
    QElapsedTimer m_lastRun;
    int m_intervalMs;
    bool m_pending = false;
};
