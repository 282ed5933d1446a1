#include "LogSource.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QSaveFile>
#include <QThread>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

// Lives on the query thread with the reader it opened there.
struct LogSource::Worker : QObject {
    std::unique_ptr<LogReader> reader;
    QString openError;
};

LogSource::LogSource(const QString &storePath, QObject *parent)
    : QObject(parent), m_path(storePath), m_thread(new QThread(this)), m_worker(new Worker)
{
    m_thread->setObjectName(QStringLiteral("import log"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

LogSource::~LogSource()
{
    if (m_cancelExport)
        m_cancelExport->store(true);
    if (m_exportThread) {
        m_exportThread->wait();
        delete m_exportThread;
    }
    // The reader's connection belongs to the query thread: it is closed there.
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker, [worker] { worker->reader.reset(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
}

void LogSource::fetch(const LogQuery &query, const LogSnapshot &snapshot)
{
    const quint64 generation = ++m_latest;
    Worker *worker = m_worker;
    const QString path = m_path;
    QMetaObject::invokeMethod(
        m_worker,
        [this, worker, path, generation, query, snapshot] {
            // A newer request is queued behind this one: it alone matters.
            if (generation != m_latest.load())
                return;
            QString error;
            if (!worker->reader) {
                worker->reader = std::make_unique<LogReader>();
                if (!worker->reader->open(path, &worker->openError))
                    qCWarning(lcStore) << "cannot read the import log:" << worker->openError;
            }
            std::optional<LogReader::Keys> keys;
            if (worker->openError.isEmpty())
                keys = worker->reader->keys(query, snapshot, &error);
            else
                error = worker->openError;
            // Handed to the main thread; dropped there if a newer request went out meanwhile.
            QMetaObject::invokeMethod(
                this,
                [this, generation, keys, error] {
                    if (generation != m_latest.load())
                        return;
                    if (keys)
                        emit keysReady(keys->keys, keys->total);
                    else
                        emit fetchFailed(error);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

bool LogSource::exportCsv(const QString &path, const LogQuery &query, const LogSnapshot &snapshot)
{
    if (m_exportThread)
        return false;
    m_cancelExport = std::make_shared<std::atomic<bool>>(false);
    auto cancel = m_cancelExport;
    const QString store = m_path;
    m_exportThread = QThread::create([this, cancel, store, path, query, snapshot] {
        QString error;
        std::optional<qint64> rows;
        {
            LogReader reader;
            QSaveFile file(path);
            if (!reader.open(store, &error)) {
            } else if (!file.open(QIODevice::WriteOnly)) {
                error = file.errorString();
            } else {
                rows = reader.writeCsv(query, snapshot, &file, *cancel, &error);
                if (rows && !file.commit()) {
                    error = file.errorString();
                    rows.reset();
                }
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, rows, error] {
                m_exportThread->wait();
                delete m_exportThread;
                m_exportThread = nullptr;
                emit exportFinished(rows.has_value(), rows.value_or(0), error);
            },
            Qt::QueuedConnection);
    });
    m_exportThread->setObjectName(QStringLiteral("log export"));
    m_exportThread->start();
    return true;
}
