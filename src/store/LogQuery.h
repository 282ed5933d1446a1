#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <functional>
#include <optional>

class Asset;
class QIODevice;

// One import-log entry as the log shows and exports it.
struct LogRow {
    qint64 key = 0; // store id; negative for a record never saved
    QString filePath;
    QVariant categoryID; // invalid when absent
    QString categoryPath;
    qint64 uploadMs = 0;
    QVariant fileSize;
    QString contentHash;
    QString bookmarkName; // null without a bookmark
    qint64 bookmarkId = 0;

    [[nodiscard]] QString fileName() const;
    // From a record's fields (as Asset::values() or a stored row holds them).
    [[nodiscard]] static LogRow of(const QVariantMap &values, qint64 key);
    [[nodiscard]] static LogRow of(const Asset *asset, qint64 key);
};

// A cleared log: the uploaded records up to this id and upload time, which were in the file
// when it was cleared. The context's pending records are named: they are the ones that can be
// stamped later under an earlier id (another process's come later, with later times).
struct LogClear {
    qint64 lastId = 0;
    qint64 lastUploadMs = 0;
    QList<qint64> pending;

    [[nodiscard]] bool isSet() const { return lastId > 0; }
    [[nodiscard]] bool covers(qint64 id, qint64 uploadMs) const
    {
        return isSet() && id <= lastId && uploadMs <= lastUploadMs && !pending.contains(id);
    }
    // The SQL condition on the table aliased as a.
    [[nodiscard]] QString condition() const;
};

// What the object context knows and the file does not yet: the log's queries apply it on top of
// the file, so unsaved deletions, a cleared log, unsaved stamps and renamed bookmarks show (and
// filter and sort) as they are in the context.
struct LogSnapshot {
    QSet<qint64> hidden;                  // ids whose row in the file is not to be shown
    LogClear cleared;                     // rows of the file that a Clear Log took out
    QList<LogRow> rows;                   // uploaded records whose state is not (all) in the file
    QHash<qint64, QString> bookmarkNames; // every saved bookmark, by id
};

struct LogQuery {
    enum Column { File, Category, Time, Bookmark, Size };
    // Words, each of which must occur in the file name, category path or bookmark name.
    QString search;
    Column sortColumn = Time;
    Qt::SortOrder order = Qt::DescendingOrder;

    // Whether the store's query shows the row, and whether it lists a before b: the same
    // answers the SQL gives (ASCII-only case folding, NULL first, ties by key), so a new entry
    // can take its place without asking the store again.
    [[nodiscard]] bool matches(const LogRow &row) const;
    [[nodiscard]] bool before(const LogRow &a, const LogRow &b) const;

    bool operator==(const LogQuery &) const = default;
};

// RFC 4180: fields quoted when they hold a comma, quote or line break, quotes doubled, CRLF.
namespace Csv {
[[nodiscard]] QString field(const QString &text);
[[nodiscard]] QString line(const QStringList &fields);
void appendLine(QString &out, const QStringList &fields);
[[nodiscard]] QStringList header();
[[nodiscard]] QStringList fields(const LogRow &row);
[[nodiscard]] QString isoTime(qint64 ms);
} // namespace Csv

// The import log read from the store file through a connection of its own, so it can run on a
// worker thread while the application writes; use it on one thread only.
class LogReader {
public:
    LogReader();
    ~LogReader();
    LogReader(const LogReader &) = delete;
    LogReader &operator=(const LogReader &) = delete;

    [[nodiscard]] bool open(const QString &path, QString *error);

    struct Keys {
        QList<qint64> keys; // the shown rows in order
        qint64 total = 0;   // rows without the search
    };
    [[nodiscard]] std::optional<Keys> keys(const LogQuery &query, const LogSnapshot &snapshot,
                                           QString *error);

    // The shown rows one at a time, in order, without holding them; row returns false to stop
    // (which fails with "cancelled").
    [[nodiscard]] bool forEachRow(const LogQuery &query, const LogSnapshot &snapshot,
                                  const std::function<bool(const LogRow &)> &row, QString *error);
    // Uploads in the file to the server with the given key whose size is one of sizes and whose
    // content hash is known, latest first; the file's rows as they are, without any snapshot
    // (but for what a saved Clear Log covers).
    [[nodiscard]] std::optional<QList<LogRow>> uploadsOfSizes(const QString &serverKey, const QList<qint64> &sizes,
                                                              QString *error);
    // The shown rows as CSV with a header; returns how many rows were written.
    [[nodiscard]] std::optional<qint64> writeCsv(const LogQuery &query, const LogSnapshot &snapshot,
                                                 QIODevice *out, const std::atomic<bool> &cancel,
                                                 QString *error);

private:
    bool apply(const LogSnapshot &snapshot, QString *error);
    [[nodiscard]] QString select(const QString &projection, const LogQuery &query, bool filtered) const;

    QString m_connectionName;
    // What the temporary tables hold now.
    QSet<qint64> m_hidden;
    LogClear m_cleared;
    bool m_hasOverlay = false;
};
