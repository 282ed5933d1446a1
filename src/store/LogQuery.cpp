#include "LogQuery.h"

#include "Asset.h"
#include "ServerBookmark.h"
#include "StoreFile.h"

#include <QDateTime>
#include <QIODevice>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>

namespace {

// Every column of a log row, in the order LogRow is read back.
const QString Columns = QStringLiteral(
    "key, filePath, fileName, categoryID, categoryPath, uploadDateTime, fileSize, contentHash, bookmarkName, "
    "bookmarkId");

// Leaves out what a saved Clear Log covers while its deletion is unfinished (a process that
// ended during it, another process deleting): every reader of the file, whatever its context.
const QString NotCleared = QStringLiteral(
    " AND NOT (a.id <= coalesce((SELECT lastId FROM main.ClearedLog), 0) "
    "AND a.uploadDateTime <= (SELECT lastUploadMs FROM main.ClearedLog) "
    "AND a.id NOT IN (SELECT j.value FROM main.ClearedLog c, json_each(c.pending) j))");

QString likePattern(const QString &word)
{
    QString escaped = word;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QStringList words(const QString &search)
{
    return search.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QString sortExpression(LogQuery::Column column)
{
    switch (column) {
    case LogQuery::File:
        return QStringLiteral("log.fileName COLLATE NOCASE");
    case LogQuery::Category:
        return QStringLiteral("log.categoryPath COLLATE NOCASE");
    case LogQuery::Bookmark:
        return QStringLiteral("log.bookmarkName COLLATE NOCASE");
    case LogQuery::Size:
        return QStringLiteral("log.fileSize");
    case LogQuery::Time:
        break;
    }
    return QStringLiteral("log.uploadDateTime");
}

// Text as SQLite's LIKE and NOCASE see it: UTF-8 with only the ASCII letters folded.
QByteArray folded(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    for (char &c : bytes) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return bytes;
}

int compareText(const QString &a, const QString &b)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    return folded(a).compare(folded(b));
}

int compareNumber(const QVariant &a, const QVariant &b)
{
    if (!a.isValid() || !b.isValid())
        return int(a.isValid()) - int(b.isValid());
    const qint64 x = a.toLongLong();
    const qint64 y = b.toLongLong();
    return x < y ? -1 : int(x > y);
}

LogRow rowOf(const QSqlQuery &query)
{
    LogRow row;
    row.key = query.value(0).toLongLong();
    row.filePath = query.value(1).toString();
    if (!query.value(3).isNull())
        row.categoryID = query.value(3).toLongLong();
    row.categoryPath = query.value(4).toString();
    row.uploadMs = query.value(5).toLongLong();
    if (!query.value(6).isNull())
        row.fileSize = query.value(6).toLongLong();
    row.contentHash = query.value(7).toString();
    row.bookmarkName = query.value(8).toString();
    row.bookmarkId = query.value(9).toLongLong();
    return row;
}

} // namespace

QString LogClear::condition() const
{
    QStringList kept;
    for (qint64 id : pending)
        kept << QString::number(id);
    return QStringLiteral("(a.uploadDateTime IS NOT NULL AND a.id <= %1 AND a.uploadDateTime <= %2 AND a.id "
                          "NOT IN (%3))")
        .arg(lastId)
        .arg(lastUploadMs)
        .arg(kept.join(QLatin1Char(',')));
}

bool LogQuery::matches(const LogRow &row) const
{
    const QStringList wanted = words(search);
    if (wanted.isEmpty())
        return true;
    const QByteArray name = folded(row.fileName());
    const QByteArray category = folded(row.categoryPath);
    const QByteArray bookmark = folded(row.bookmarkName);
    return std::all_of(wanted.cbegin(), wanted.cend(), [&](const QString &word) {
        const QByteArray w = folded(word);
        return name.contains(w) || category.contains(w) || bookmark.contains(w);
    });
}

bool LogQuery::before(const LogRow &a, const LogRow &b) const
{
    int order = 0;
    switch (sortColumn) {
    case File:
        order = compareText(a.filePath.isNull() ? QString() : a.fileName(),
                            b.filePath.isNull() ? QString() : b.fileName());
        break;
    case Category:
        order = compareText(a.categoryPath, b.categoryPath);
        break;
    case Bookmark:
        order = compareText(a.bookmarkName, b.bookmarkName);
        break;
    case Size:
        order = compareNumber(a.fileSize, b.fileSize);
        break;
    case Time:
        order = compareNumber(a.uploadMs, b.uploadMs);
        break;
    }
    if (order == 0)
        order = compareNumber(a.key, b.key);
    return this->order == Qt::AscendingOrder ? order < 0 : order > 0;
}

QString LogRow::fileName() const
{
    return filePath.mid(filePath.lastIndexOf(QLatin1Char('/')) + 1);
}

LogRow LogRow::of(const QVariantMap &values, qint64 key)
{
    LogRow row;
    row.key = key;
    row.filePath = values.value(Asset::kFilePath).toString();
    row.categoryID = values.value(Asset::kCategoryID);
    row.categoryPath = values.value(Asset::kCategoryPath).toString();
    row.uploadMs = values.value(Asset::kUploadDateTime).toDateTime().toMSecsSinceEpoch();
    row.fileSize = values.value(Asset::kFileSize);
    row.contentHash = values.value(Asset::kContentHash).toString();
    return row;
}

LogRow LogRow::of(const Asset *asset, qint64 key)
{
    LogRow row = of(asset->values(), key);
    if (const ServerBookmark *bookmark = asset->bookmark()) {
        row.bookmarkName = bookmark->bookmarkLongName();
        row.bookmarkId = bookmark->objectId();
    }
    return row;
}

namespace Csv {

// ISO 8601 in UTC to the second, e.g. 2026-12-05T14:02:11Z; by hand, as an export formats it
// once per row.
QString isoTime(qint64 ms)
{
    const qint64 seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const qint64 days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const qint64 inDay = seconds - days * 86400;
    const QDate date = QDate(1970, 1, 1).addDays(days);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", date.year(), date.month(), date.day(),
                  int(inDay / 3600), int(inDay / 60 % 60), int(inDay % 60));
    return QString::fromLatin1(text);
}

void appendField(QString &out, const QString &text)
{
    const bool special = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
               c == QLatin1Char('\n');
    });
    if (!special) {
        out += text;
        return;
    }
    out += QLatin1Char('"');
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

QString field(const QString &text)
{
    QString out;
    appendField(out, text);
    return out;
}

void appendLine(QString &out, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            out += QLatin1Char(',');
        appendField(out, fields.at(i));
    }
    out += QLatin1String("\r\n");
}

QString line(const QStringList &fields)
{
    QString out;
    appendLine(out, fields);
    return out;
}

QStringList header()
{
    return {QStringLiteral("File Path"),   QStringLiteral("File Name"),     QStringLiteral("Size"),
            QStringLiteral("Category ID"), QStringLiteral("Category Path"), QStringLiteral("Bookmark"),
            QStringLiteral("Upload Time"), QStringLiteral("Content Hash")};
}

QStringList fields(const LogRow &row)
{
    return {row.filePath,
            row.fileName(),
            row.fileSize.isValid() ? QString::number(row.fileSize.toLongLong()) : QString(),
            row.categoryID.isValid() ? QString::number(row.categoryID.toLongLong()) : QString(),
            row.categoryPath,
            row.bookmarkName,
            isoTime(row.uploadMs),
            row.contentHash};
}

} // namespace Csv

LogReader::LogReader() = default;

LogReader::~LogReader()
{
    StoreFile::closeConnection(m_connectionName);
}

bool LogReader::open(const QString &path, QString *error)
{
    QSqlDatabase db = StoreFile::addConnection(QStringLiteral("lumaro-log-"), path);
    m_connectionName = db.connectionName();
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    for (const QString &sql :
         {QStringLiteral("CREATE TEMP TABLE logNames (id INTEGER PRIMARY KEY, name TEXT)"),
          QStringLiteral("CREATE TEMP TABLE logHidden (id INTEGER PRIMARY KEY)"),
          QStringLiteral(
              "CREATE TEMP TABLE logOverlay (key INTEGER PRIMARY KEY, filePath TEXT, fileName TEXT, "
              "categoryID INTEGER, categoryPath TEXT, uploadDateTime INTEGER, fileSize INTEGER, "
              "contentHash TEXT, bookmarkName TEXT, bookmarkId INTEGER)")}) {
        if (!query.exec(sql)) {
            if (error)
                *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool LogReader::apply(const LogSnapshot &snapshot, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery query(db);
    auto fail = [&] {
        if (error)
            *error = query.lastError().text();
        db.rollback();
        return false;
    };
    // The temporary tables live in this connection only; writing them locks nothing in the file.
    db.transaction();
    if (!query.exec(QStringLiteral("DELETE FROM temp.logNames")))
        return fail();
    query.prepare(QStringLiteral("INSERT INTO temp.logNames (id, name) VALUES (?, ?)"));
    for (auto it = snapshot.bookmarkNames.cbegin(); it != snapshot.bookmarkNames.cend(); ++it) {
        query.addBindValue(it.key());
        query.addBindValue(it.value());
        if (!query.exec())
            return fail();
    }
    m_cleared = snapshot.cleared;
    if (snapshot.hidden != m_hidden) {
        if (!query.exec(QStringLiteral("DELETE FROM temp.logHidden")))
            return fail();
        query.prepare(QStringLiteral("INSERT INTO temp.logHidden (id) VALUES (?)"));
        for (qint64 id : snapshot.hidden) {
            query.addBindValue(id);
            if (!query.exec())
                return fail();
        }
        m_hidden = snapshot.hidden;
    }
    if (!query.exec(QStringLiteral("DELETE FROM temp.logOverlay")))
        return fail();
    query.prepare(
        QStringLiteral("INSERT INTO temp.logOverlay (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(Columns));
    for (const LogRow &row : snapshot.rows) {
        for (const QVariant &v :
             {QVariant(row.key), QVariant(row.filePath), QVariant(row.fileName()), row.categoryID,
              QVariant(row.categoryPath), QVariant(row.uploadMs), row.fileSize,
              QVariant(row.contentHash.isEmpty() ? QString() : row.contentHash), QVariant(row.bookmarkName),
              QVariant(row.bookmarkId)})
            query.addBindValue(v.isValid() ? v : QVariant(QMetaType::fromType<qlonglong>()));
        if (!query.exec())
            return fail();
    }
    m_hasOverlay = !snapshot.rows.isEmpty();
    if (!db.commit())
        return fail();
    return true;
}

QString LogReader::select(const QString &projection, const LogQuery &query, bool filtered) const
{
    QString source = QStringLiteral("SELECT a.id AS key, a.filePath AS filePath, a.fileName AS fileName, "
                                    "a.categoryID AS categoryID, a.categoryPath AS categoryPath, "
                                    "a.uploadDateTime AS uploadDateTime, a.fileSize AS fileSize, "
                                    "a.contentHash AS contentHash, n.name AS bookmarkName, a.bookmark AS bookmarkId "
                                    "FROM main.Asset a LEFT JOIN temp.logNames n ON n.id = a.bookmark "
                                    "WHERE a.uploadDateTime IS NOT NULL") +
                     NotCleared;
    if (!m_hidden.isEmpty())
        source += QStringLiteral(" AND a.id NOT IN (SELECT id FROM temp.logHidden)");
    if (m_cleared.isSet())
        source += QStringLiteral(" AND NOT ") + m_cleared.condition();
    if (m_hasOverlay)
        source += QStringLiteral(" UNION ALL SELECT %1 FROM temp.logOverlay").arg(Columns);
    QString sql = QStringLiteral("SELECT %1 FROM (%2) AS log").arg(projection, source);
    if (filtered) {
        QStringList conditions;
        for (qsizetype i = 0; i < words(query.search).size(); ++i)
            conditions << QStringLiteral(
                "(log.fileName LIKE ? ESCAPE '\\' OR log.categoryPath LIKE ? ESCAPE '\\' "
                "OR log.bookmarkName LIKE ? ESCAPE '\\')");
        if (!conditions.isEmpty())
            sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    }
    if (projection != QLatin1String("count(*)")) {
        const QString direction =
            query.order == Qt::AscendingOrder ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
        sql += QStringLiteral(" ORDER BY ") + sortExpression(query.sortColumn) + direction +
               QStringLiteral(", log.key") + direction;
    }
    return sql;
}

std::optional<LogReader::Keys> LogReader::keys(const LogQuery &query, const LogSnapshot &snapshot,
                                               QString *error)
{
    if (!apply(snapshot, error))
        return std::nullopt;
    QSqlQuery sql(QSqlDatabase::database(m_connectionName, false));
    sql.setForwardOnly(true);
    sql.prepare(select(QStringLiteral("log.key"), query, true));
    for (const QString &word : words(query.search)) {
        for (int i = 0; i < 3; ++i)
            sql.addBindValue(likePattern(word));
    }
    if (!sql.exec()) {
        if (error)
            *error = sql.lastError().text();
        return std::nullopt;
    }
    Keys result;
    while (sql.next())
        result.keys.append(sql.value(0).toLongLong());
    sql.finish();
    result.total = result.keys.size();
    if (!words(query.search).isEmpty()) {
        if (!sql.exec(select(QStringLiteral("count(*)"), query, false)) || !sql.next()) {
            if (error)
                *error = sql.lastError().text();
            return std::nullopt;
        }
        result.total = sql.value(0).toLongLong();
        sql.finish();
    }
    return result;
}

std::optional<QList<LogRow>> LogReader::uploadsOfSizes(const QString &serverKey, const QList<qint64> &sizes,
                                                       QString *error)
{
    QList<LogRow> rows;
    if (sizes.isEmpty())
        return rows;
    QSqlQuery sql(QSqlDatabase::database(m_connectionName, false));
    sql.setForwardOnly(true);
    sql.prepare(QStringLiteral("SELECT a.id, a.filePath, NULL, a.categoryID, a.categoryPath, a.uploadDateTime, "
                               "a.fileSize, a.contentHash, NULL, a.bookmark FROM main.Asset a "
                               "WHERE a.serverKey = ? AND a.uploadDateTime IS NOT NULL AND a.contentHash IS NOT NULL "
                               "AND a.fileSize IN (SELECT value FROM json_each(?))%1 "
                               "ORDER BY a.uploadDateTime DESC, a.id DESC")
                    .arg(NotCleared));
    sql.addBindValue(serverKey);
    sql.addBindValue(StoreFile::jsonList(sizes));
    if (!sql.exec()) {
        if (error)
            *error = sql.lastError().text();
        return std::nullopt;
    }
    while (sql.next())
        rows.append(rowOf(sql));
    return rows;
}

bool LogReader::forEachRow(const LogQuery &query, const LogSnapshot &snapshot,
                           const std::function<bool(const LogRow &)> &row, QString *error)
{
    if (!apply(snapshot, error))
        return false;
    QSqlQuery sql(QSqlDatabase::database(m_connectionName, false));
    sql.setForwardOnly(true);
    sql.prepare(select(Columns, query, true));
    for (const QString &word : words(query.search)) {
        for (int i = 0; i < 3; ++i)
            sql.addBindValue(likePattern(word));
    }
    if (!sql.exec()) {
        if (error)
            *error = sql.lastError().text();
        return false;
    }
    while (sql.next()) {
        if (!row(rowOf(sql))) {
            if (error && error->isEmpty())
                *error = QStringLiteral("cancelled");
            return false;
        }
    }
    return true;
}

std::optional<qint64> LogReader::writeCsv(const LogQuery &query, const LogSnapshot &snapshot, QIODevice *out,
                                          const std::atomic<bool> &cancel, QString *error)
{
    auto write = [&](const QString &text) {
        if (out->write(text.toUtf8()) >= 0)
            return true;
        if (error)
            *error = out->errorString();
        return false;
    };
    if (!write(Csv::line(Csv::header())))
        return std::nullopt;
    qint64 rows = 0;
    QString chunk;
    const bool read = forEachRow(query, snapshot, [&](const LogRow &row) {
        Csv::appendLine(chunk, Csv::fields(row));
        ++rows;
        if (chunk.size() <= 64 * 1024)
            return true;
        if (cancel.load() || !write(chunk))
            return false;
        chunk.clear();
        return true;
    }, error);
    if (!read || !write(chunk))
        return std::nullopt;
    return rows;
}
