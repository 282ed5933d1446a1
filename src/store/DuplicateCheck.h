#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>

class Asset;
class ObjectContext;
struct LogRow;

// A queued file whose content the import log says already went to the same server, or whose
// own last upload may have arrived there.
struct DuplicateMatch {
    QPointer<Asset> record; // the queued one
    QString categoryPath;   // where the earlier upload went
    QDateTime uploaded;     // none for a file that may have arrived
    // Why the file's last upload may have reached the server unconfirmed; empty for a logged one.
    QString mayHaveArrived;
};

// Finds which queued files were uploaded before to a server. Only files whose size matches a
// logged upload to that server are read (hashed on a worker thread, with progress); when the
// log holds nothing of the server, nothing is read at all. Queued files whose last upload may
// have arrived are found too, whatever the log says, and come first.
class DuplicateCheck : public QObject {
    Q_OBJECT
public:
    explicit DuplicateCheck(ObjectContext *context, QObject *parent = nullptr);
    ~DuplicateCheck() override;
    DuplicateCheck(const DuplicateCheck &) = delete;
    DuplicateCheck &operator=(const DuplicateCheck &) = delete;

    // False when there is nothing to compare with; finished() follows otherwise, never inside
    // this call.
    bool start(const QString &serverKey, const QList<Asset *> &queue);
    void cancel();
    [[nodiscard]] bool isRunning() const { return m_running; }

signals:
    void progress(qint64 hashedBytes, qint64 totalBytes);
    void finished(const QList<DuplicateMatch> &duplicates);

private:
    // Runs on the worker: the file's logged uploads of these sizes, through a connection of its own.
    static QList<LogRow> readLog(const QString &storePath, const QString &serverKey, const QSet<qint64> &sizes);
    // sizes per queued file (-1: not a readable file), distinct: those that are.
    void sizesMeasured(const QList<qint64> &sizes, const QSet<qint64> &distinct, const QList<LogRow> &fromFile);
    void hashesComputed(const QList<int> &candidates, const QStringList &hashes, const QSet<qint64> &sizes,
                        const QList<LogRow> &fromFile);
    void finish(const QList<DuplicateMatch> &duplicates);

    QPointer<ObjectContext> m_context;
    QThreadPool m_pool;
    QString m_serverKey;
    QString m_storePath;
    // The change clock before the worker's latest read of the file.
    quint64 m_readSince = 0;
    QList<QPointer<Asset>> m_queue;
    QList<DuplicateMatch> m_inDoubt;
    QList<qint64> m_sizes;
    bool m_running = false;
    quint64 m_run = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};
