#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class ManagedObject;

// The SQLite file behind the object context: schema, stepwise migrations and the
// transactional write of a set of changes.
class StoreFile {
public:
    static constexpr int SchemaVersion = 3;

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

    [[nodiscard]] std::optional<QList<Row>> loadBookmarks(QString *error) const { return loadRows(false, error); }
    [[nodiscard]] std::optional<QList<Row>> loadAssets(QString *error) const { return loadRows(true, error); }

    struct Change {
        enum Kind { Insert, Update, Delete } kind;
        ManagedObject *record;
        qint64 id;             // for updates and deletes
        QVariantMap values;
        ManagedObject *bookmark = nullptr; // assets: the related record, resolved to its id here
    };
    // Writes all changes in one transaction; returns the ids given to inserted records, in
    // the order of the inserts, or nothing with the reason in error.
    [[nodiscard]] std::optional<QList<qint64>> write(const QList<Change> &changes,
                                                     const std::function<qint64(ManagedObject *)> &idOfSaved,
                                                     QString *error);

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
    [[nodiscard]] std::optional<QList<Row>> loadRows(bool assets, QString *error) const;
    bool migrate(QString *error);
    bool exec(const QString &sql, QString *error);
    [[nodiscard]] QString reasonFor(const QSqlError &error) const;

    QString m_path;
    QString m_connectionName;
    QString m_injectedFailure;
    mutable Failure m_lastFailure = Failure::None;
};
