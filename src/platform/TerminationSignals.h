#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a signal on the event loop, so a logout, `kill` or Ctrl+C in the
// terminal ends the program through its own orderly path (the application's quit flow, the
// command line's stop after the file in flight) instead of dropping work. One per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;
    ~TerminationSignals() override;

    [[nodiscard]] bool isActive() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
};
