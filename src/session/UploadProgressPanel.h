#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class Asset;
class CoalescedUpdate;
class QLabel;
class QProgressBar;
class QTimer;

// Progress of a running batch in bytes: one bar for the file in flight, one for the batch, and
// the transfer rate with the time left. File sizes are read on a worker thread when the batch
// starts; until they are known the batch bar counts files. The calls below only take note; the
// bars and texts follow at most about 30 times a second.
class UploadProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit UploadProgressPanel(QWidget *parent = nullptr);
    ~UploadProgressPanel() override;

    void beginBatch(const QList<Asset *> &records);
    void fileStarted(const QObject *record, const QString &fileName);
    // Body bytes of the request in flight; mapped onto the file's own size.
    void fileProgress(const QObject *record, qint64 sent, qint64 total);
    // Sent or failed: either way the batch has moved past it.
    void fileFinished(const QObject *record);
    void setHalting();
    void endBatch();

    [[nodiscard]] QProgressBar *fileBar() const { return m_fileBar; }
    [[nodiscard]] QProgressBar *batchBar() const { return m_batchBar; }
    [[nodiscard]] QLabel *rateLabel() const { return m_rateLabel; }
    [[nodiscard]] QLabel *fileLabel() const { return m_fileLabel; }
    [[nodiscard]] bool sizesKnown() const { return m_sizesKnown; }
    [[nodiscard]] qint64 batchBytes() const { return m_batchBytes; }
    [[nodiscard]] qint64 doneBytes() const;

    [[nodiscard]] static QString formatDuration(qint64 seconds);

signals:
    // The worker has measured the batch.
    void sizesMeasured();

private:
    void takeSizes(quint64 batch, const QList<qint64> &sizes);
    void refresh();
    void sample();
    // The whole body of the file in flight is out; what remains is the server's answer.
    [[nodiscard]] bool awaitingServer() const { return m_current && m_currentFraction >= 1.0; }
    // Nanoseconds of the batch spent sending, not waiting for the server's answers.
    [[nodiscard]] qint64 sendingElapsed() const;
    void setAwaitingServer(bool awaiting);

    QLabel *m_fileLabel;
    QProgressBar *m_fileBar;
    QLabel *m_batchLabel;
    QProgressBar *m_batchBar;
    QLabel *m_rateLabel;
    // Keeps the rate honest while no bytes move (the server is busy with a file).
    QTimer *m_tick;
    CoalescedUpdate *m_update;

    quint64 m_batchId = 0;
    QList<const QObject *> m_order;
    QHash<const QObject *, qint64> m_sizes;
    bool m_sizesKnown = false;
    qint64 m_batchBytes = 0;
    qint64 m_finishedBytes = 0;
    int m_finishedFiles = 0;
    const QObject *m_current = nullptr;
    QString m_currentName;
    double m_currentFraction = 0;
    // The share sent of each file on its way (the current one among them).
    QHash<const QObject *, double> m_sending;
    bool m_halting = false;
    QElapsedTimer m_clock;
    qint64 m_waitedNs = 0;
    qint64 m_waitStartedNs = -1;
    // (sending nanoseconds since the batch started, bytes done) over the last few seconds; fine
    // grained, as a small file's body may leave in a millisecond.
    QList<QPair<qint64, qint64>> m_samples;
    // Bytes per second while sending, kept through the waits between files.
    double m_rate = 0;
};
