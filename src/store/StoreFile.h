#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <functional>
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
        ManagedObject *record;
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
};
