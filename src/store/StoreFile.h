#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

class ManagedObject;
struct LogClear;

// The SQLite file behind the object context: schema, stepwise migrations and the
// transactional write of a set of changes.
class StoreFile {
public:
    static constexpr int SchemaVersion = 9;

    struct Row {
        qint64 id = 0;
        QVariantMap values; // absent fields are missing keys
        qint64 bookmarkId = 0; // assets only; 0 for none
    };

    StoreFile() = default;
    ~StoreFile();
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    // Opens or creates the file (0600) and brings its schema up to date. On failure returns
    // false with a readable reason.
    [[nodiscard]] bool open(const QString &path, QString *error);
    [[nodiscard]] const QString &path() const { return m_path; }
    [[nodiscard]] int schemaVersion() const;

    [[nodiscard]] std::optional<QList<Row>> loadBookmarks(QString *error) const;
    // What a launch reads: the queues. Uploaded records are read on demand.
    [[nodiscard]] std::optional<QList<Row>> loadPendingAssets(QString *error) const;
    // Those of these ids that exist, in id order.
    [[nodiscard]] std::optional<QList<Row>> loadAssetsById(const QList<qint64> &ids, QString *error) const;
    [[nodiscard]] std::optional<QList<qint64>> uploadedAssetIds(QString *error) const;
    // The highest asset id and upload time in the file: what a cleared log covers.
    [[nodiscard]] std::optional<std::pair<qint64, qint64>> logMark(QString *error) const;
    // The mark of a saved Clear Log whose deletion has not finished (unset when there is none).
    [[nodiscard]] std::optional<LogClear> clearedLog(QString *error) const;
    // A connection of its own to the file at path, named after prefix and unique; it waits a
    // while for a lock another connection holds. Closed with closeConnection(db.connectionName()).
    static QSqlDatabase addConnection(const QString &prefix, const QString &path);
    // Closes and forgets a named SQLite connection; every copy of its handle must be gone.
    static void closeConnection(const QString &name);
    // Numbers bound as one value and read back by json_each: one statement, whatever their count.
    [[nodiscard]] static QString jsonList(const QList<qint64> &numbers);
    // Deletes the uploaded records up to such a mark, a few thousand per transaction, through a
    // connection of its own: for a worker thread, while the application goes on writing. The
    // mark leaves the file with the last of them.
    [[nodiscard]] static bool deleteLog(const QString &path, const LogClear &cleared, QString *error);
    // Pending records whose last upload to the server may have arrived, or was being sent.
    [[nodiscard]] std::optional<QList<qint64>> assetIdsInDoubt(const QString &serverKey,
                                                               QString *error) const;
    // Whether the file logs an upload to the server (ServerBookmark::serverKey()) with a content hash.
    [[nodiscard]] bool hasUploadsFor(const QString &serverKey) const;

    struct Change {
        enum Kind { Insert, Update, Delete } kind;
        ManagedObject *record; // the writer thread only uses it as a key
        QString entity;
        qint64 id;             // for updates and deletes
        QVariantMap values;
        ManagedObject *bookmark = nullptr; // assets: the related record, resolved to its id here
        // Updates: the fields that changed ("bookmark" for the relation); every field when empty.
        QStringList changedKeys = {};
    };
    // Writes all changes in one transaction; returns the ids given to inserted records, in
    // the order of the inserts, or nothing with the reason in error. An update writes only its
    // changed fields, and a single change is a single prepared statement. A cleared log's mark
    // goes in with them, replacing any earlier one (which it covers).
    [[nodiscard]] std::optional<QList<qint64>> write(const QList<Change> &changes,
                                                     const std::function<qint64(ManagedObject *)> &idOfSaved,
                                                     QString *error, const LogClear *cleared = nullptr);

    // Hands updates and deletions of saved records to the writer thread, which runs them on a
    // connection of its own, one after another in the order given, each committed before the
    // next starts; bookmarks must already have their ids (idOfSaved is asked here). Returns a
    // ticket; the result is in takeWritten() once notify() has been called from the writer.
    quint64 writeInBackground(const QList<Change> &changes,
                              const std::function<qint64(ManagedObject *)> &idOfSaved);
    struct Written {
        quint64 ticket = 0;
        bool ok = false;
        QString error;
    };
    // The results of background writes finished since the last call, in ticket order; starts a
    // checkpoint when the journal has grown.
    [[nodiscard]] QList<Written> takeWritten();
    // Blocks until every background write handed over so far is committed or has failed.
    void waitForWriter();
    // Called on the writer thread when results wait to be taken (so it must only post): tells
    // the reader of takeWritten() there is something to take.
    void setWrittenNotifier(std::function<void()> notify);

    // Folds the write-ahead journal into the file and empties it, so values since cleared
    // (a password moved to the keyring) leave no copy in the journal.
    void truncateJournal();

    // What kind of failure the last error reported, for messages that say what happened.
    enum class Failure { None, InUse, Unwritable, Other };
    [[nodiscard]] Failure lastFailure() const { return m_lastFailure; }

    // Waits up to the busy timeout for the write lock and gives it back at once: false with
    // the reason when another process holds it longer.
    [[nodiscard]] bool checkWritable(QString *error) const;

    // Test seam: the next writes fail with this reason while it is set.
    void setFailureForTesting(const QString &reason) { m_injectedFailure = reason; }

private:
    // One SQLite connection's prepared statements and last failure.
    struct Link {
        QString name;
        std::unordered_map<QString, QSqlQuery> *statements;
        Failure *failure;
    };
    [[nodiscard]] static std::optional<QList<qint64>>
    writeOn(Link &link, const QString &path, const QList<Change> &changes,
            const std::function<qint64(ManagedObject *)> &idOfSaved, QString *error,
            const LogClear *cleared = nullptr);
    [[nodiscard]] static QSqlQuery *statementOn(Link &link, const QString &path, const QString &sql,
                                                QString *error);
    [[nodiscard]] static QString reasonFor(const QSqlError &error, const QString &path, Failure *failure);
    void runWriter();
    void stopWriter();

    [[nodiscard]] std::optional<QList<Row>> loadRows(bool assets, const QString &where,
                                                     const QVariantList &binds, QString *error) const;
    bool migrate(QString *error);
    bool exec(const QString &sql, QString *error);
    // Prepared once per connection and kept: SQLite then skips parsing and planning.
    [[nodiscard]] QSqlQuery *statement(const QString &sql, QString *error);
    [[nodiscard]] QString reasonFor(const QSqlError &error) const;
    // Runs a prepared query whose first column is a record id, and lists the ids in its order.
    [[nodiscard]] std::optional<QList<qint64>> idsOf(QSqlQuery &query, QString *error) const;
    // Copies the write-ahead log into the file on a thread of its own once it has grown, so the
    // sync that goes with it never holds the caller; SQLite's own checkpoint is off for that.
    void checkpointWhenDue();
    void finishCheckpoint();

    QString m_path;
    QString m_connectionName;
    QString m_injectedFailure;
    std::unordered_map<QString, QSqlQuery> m_statements;
    mutable Failure m_lastFailure = Failure::None;
    std::thread m_checkpointer;
    std::atomic<bool> m_checkpointing{false};

    // The writer thread and its queue.
    struct Job {
        quint64 ticket;
        QList<Change> changes;
        QHash<ManagedObject *, qint64> ids; // bookmark ids, resolved on the caller's thread
        QString failure;                    // injected for tests
    };
    std::thread m_writer;
    std::mutex m_writerMutex;
    std::condition_variable m_writerWake;
    std::condition_variable m_writerIdle;
    std::deque<Job> m_jobs;
    QList<Written> m_written;
    quint64 m_lastTicket = 0;
    quint64 m_doneTicket = 0;
    bool m_stopWriter = false;
    std::function<void()> m_notifyWritten;
};
