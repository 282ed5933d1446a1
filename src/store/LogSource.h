#pragma once

#include "LogQuery.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

// Runs the import log's queries and exports on threads of their own, so the window never waits
// for the store: fetch() answers with keysReady() for the newest request only.
class LogSource : public QObject {
    Q_OBJECT
public:
    explicit LogSource(const QString &storePath, QObject *parent = nullptr);
    // Waits for the query in hand and cancels an export (its file is not written).
    ~LogSource() override;
    LogSource(const LogSource &) = delete;
    LogSource &operator=(const LogSource &) = delete;

    void fetch(const LogQuery &query, const LogSnapshot &snapshot);
    // False while another export runs.
    bool exportCsv(const QString &path, const LogQuery &query, const LogSnapshot &snapshot);
    [[nodiscard]] bool isExporting() const { return m_exportThread != nullptr; }

signals:
    void keysReady(const QList<qint64> &keys, qint64 total);
    void fetchFailed(const QString &error);
    void exportFinished(bool ok, qint64 rows, const QString &error);

private:
    struct Worker;

    QString m_path;
    QThread *m_thread;
    Worker *m_worker;
    std::atomic<quint64> m_latest{0};
    QThread *m_exportThread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelExport;
};
