#include "StoreFile.h"

#include "Asset.h"
#include "LogQuery.h"
#include "ManagedObject.h"
#include "ServerBookmark.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <iterator>

Q_LOGGING_CATEGORY(lcStore, "lumaro.store")

namespace {

// Settings of each connection that writes (the journal mode is the file's own, set once).
// The last one matters enough that the store does not open without it.
constexpr const char *WritingPragmas[] = {
    "PRAGMA synchronous=NORMAL",
    // Checkpoints run on a thread of their own (checkpointWhenDue).
    "PRAGMA wal_autocheckpoint=0",
    // A password moved out to the keyring must not linger in freed pages of the file.
    "PRAGMA secure_delete=ON",
    "PRAGMA foreign_keys=ON",
};

enum class Kind { Text, Integer, Boolean, Date, Real };
struct Column {
    const char *name;
    Kind kind;
};

const QList<Column> &bookmarkColumns()
{
    static const QList<Column> columns = {
        {"bookmarkName", Kind::Text},       {"hostName", Kind::Text},          {"userName", Kind::Text},
        {"password", Kind::Text},           {"portNumber", Kind::Integer},     {"secureConnect", Kind::Boolean},
        {"applicationNameURL", Kind::Text}, {"lastCategoryView", Kind::Text},  {"lastCategoryID", Kind::Integer},
        {"sessionWindowOpen", Kind::Boolean}, {"lastConnectedDate", Kind::Date},
        {"uuid", Kind::Text},               {"askForPassword", Kind::Boolean}, {"trustedCertificate", Kind::Text},
        {"uploadSpeedLimit", Kind::Real},   {"retryMinutes", Kind::Integer},
        {"simultaneousUploads", Kind::Integer},
    };
    return columns;
}

const QList<Column> &assetColumns()
{
    static const QList<Column> columns = {
        {"filePath", Kind::Text},          {"categoryID", Kind::Integer}, {"categoryPath", Kind::Text},
        {"uploadDateTime", Kind::Date},    {"fileSize", Kind::Integer},   {"contentHash", Kind::Text},
        {"serverKey", Kind::Text},         {"folderPath", Kind::Text},    {"uploadState", Kind::Text},
        {"uploadStateReason", Kind::Text},
    };
    return columns;
}

QVariant toSql(const QVariant &value, Kind kind)
{
    if (!value.isValid())
        return QVariant(QMetaType::fromType<QString>()); // NULL
    switch (kind) {
    case Kind::Text: {
        // A null QString binds as SQL NULL; an empty text that is present must stay present.
        const QString text = value.toString();
        return text.isNull() ? QStringLiteral("") : text;
    }
    case Kind::Integer:
        return value.toLongLong();
    case Kind::Boolean:
        return value.toBool() ? 1 : 0;
    case Kind::Date:
        return value.toDateTime().toMSecsSinceEpoch();
    case Kind::Real:
        return value.toDouble();
    }
    return {};
}

QVariant fromSql(const QVariant &value, Kind kind)
{
    if (value.isNull())
        return {};
    switch (kind) {
    case Kind::Text:
        return value.toString();
    case Kind::Integer:
        return value.toLongLong();
    case Kind::Boolean:
        return value.toLongLong() != 0;
    case Kind::Date:
        return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
    case Kind::Real:
        return value.toDouble();
    }
    return {};
}

// SQLite's primary result codes: the lock of another connection, and a file it may not write.
bool isBusy(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == 5 || code == 6;
}

bool isUnwritable(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == 8 || code == 14;
}


} // namespace

QString StoreFile::jsonList(const QList<qint64> &numbers)
{
    QString text = QStringLiteral("[");
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (i)
            text += QLatin1Char(',');
        text += QString::number(numbers.at(i));
    }
    return text + QLatin1Char(']');
}

StoreFile::~StoreFile()
{
    stopWriter();
    finishCheckpoint();
    // Statements go before the connection they were prepared on.
    m_statements.clear();
    closeConnection(m_connectionName);
}

QSqlDatabase StoreFile::addConnection(const QString &prefix, const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                prefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
    db.setDatabaseName(path);
    // Another connection (the writer, a second instance, a test reading along) may hold the
    // lock briefly.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    return db;
}

void StoreFile::closeConnection(const QString &name)
{
    if (name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QString StoreFile::reasonFor(const QSqlError &error) const
{
    return reasonFor(error, m_path, &m_lastFailure);
}

QString StoreFile::reasonFor(const QSqlError &error, const QString &path, Failure *failure)
{
    // SQLite's own words ("database is locked Unable to fetch row") tell a user nothing.
    if (isBusy(error)) {
        *failure = Failure::InUse;
        return QCoreApplication::translate("StoreFile", "The data store is in use by another program: %1").arg(path);
    }
    *failure = isUnwritable(error) ? Failure::Unwritable : Failure::Other;
    if (*failure == Failure::Unwritable)
        return QCoreApplication::translate("StoreFile", "The data store %1 cannot be written: %2")
            .arg(path, error.text());
    return error.text();
}

bool StoreFile::exec(const QString &sql, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(sql)) {
        if (error)
            *error = reasonFor(query.lastError());
        return false;
    }
    return true;
}

QSqlQuery *StoreFile::statement(const QString &sql, QString *error)
{
    Link link{m_connectionName, &m_statements, &m_lastFailure};
    return statementOn(link, m_path, sql, error);
}

QSqlQuery *StoreFile::statementOn(Link &link, const QString &path, const QString &sql, QString *error)
{
    auto it = link.statements->find(sql);
    if (it == link.statements->end()) {
        QSqlQuery query(QSqlDatabase::database(link.name, false));
        if (!query.prepare(sql)) {
            if (error)
                *error = reasonFor(query.lastError(), path, link.failure);
            return nullptr;
        }
        it = link.statements->emplace(sql, std::move(query)).first;
    }
    return &it->second;
}

bool StoreFile::open(const QString &path, QString *error)
{
    m_path = path;
    // The file holds passwords: create it private before SQLite touches it.
    QFile file(path);
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly)) {
            if (error)
                *error = file.errorString();
            return false;
        }
        file.close();
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    QSqlDatabase db = addConnection(QStringLiteral("lumaro-store-"), path);
    m_connectionName = db.connectionName();
    if (!db.open()) {
        if (error)
            *error = reasonFor(db.lastError());
        return false;
    }
    QString ignored;
    // Another program holding the store is found here; waiting for it again on every later
    // statement would only keep the user waiting longer for the same answer.
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL"), error) && m_lastFailure == Failure::InUse)
        return false;
    for (const char *pragma : WritingPragmas) {
        const bool required = pragma == WritingPragmas[std::size(WritingPragmas) - 1];
        if (!exec(QLatin1String(pragma), required ? error : &ignored) && required)
            return false;
    }
    return migrate(error);
}

void StoreFile::checkpointWhenDue()
{
    // About SQLite's own threshold of 1,000 pages.
    constexpr qint64 DueBytes = 4 * 1024 * 1024;
    if (m_checkpointing.load() || m_path.isEmpty() || QFileInfo(m_path + QStringLiteral("-wal")).size() < DueBytes)
        return;
    finishCheckpoint();
    m_checkpointing = true;
    m_checkpointer = std::thread([this, path = m_path] {
        QString name;
        {
            QSqlDatabase db = addConnection(QStringLiteral("lumaro-checkpoint-"), path);
            name = db.connectionName();
            // Passive: it copies what no reader still needs and never waits for a writer.
            if (db.open())
                QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
        }
        closeConnection(name);
        m_checkpointing = false;
    });
}

void StoreFile::finishCheckpoint()
{
    if (m_checkpointer.joinable())
        m_checkpointer.join();
}

void StoreFile::truncateJournal()
{
    finishCheckpoint();
    QString ignored;
    exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), &ignored);
}

int StoreFile::schemaVersion() const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

bool StoreFile::migrate(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    int version = -1;
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
            if (error)
                *error = reasonFor(query.lastError());
            return false;
        }
        version = query.value(0).toInt();
    }
    if (version > SchemaVersion) {
        if (error)
            *error = QCoreApplication::translate("StoreFile", "The store file was written by a newer version (schema %1)")
                         .arg(version);
        return false;
    }
    // Each step runs in its own transaction, so a failed step leaves the file at the last
    // good version.
    while (version < SchemaVersion) {
        QStringList steps;
        if (version == 0) {
            steps << QStringLiteral("CREATE TABLE ServerBookmark (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                    "bookmarkName TEXT, hostName TEXT, userName TEXT, password TEXT, "
                                    "portNumber INTEGER, secureConnect INTEGER, applicationNameURL TEXT, "
                                    "lastCategoryView TEXT, lastCategoryID INTEGER, sessionWindowOpen INTEGER, "
                                    "lastConnectedDate TEXT)")
                  << QStringLiteral("CREATE TABLE Asset (id INTEGER PRIMARY KEY AUTOINCREMENT, filePath TEXT, "
                                    "bookmark INTEGER REFERENCES ServerBookmark(id) ON DELETE SET NULL, "
                                    "categoryID INTEGER, categoryPath TEXT, uploadDateTime TEXT)");
        } else if (version == 1) {
            // Version 1 kept dates as ISO text; they become UTC milliseconds so that the log
            // sorts and compares without parsing, and the queue queries get their indexes.
            steps << QStringLiteral("ALTER TABLE Asset ADD COLUMN uploadMs INTEGER")
                  << QStringLiteral("UPDATE Asset SET uploadMs = CAST(ROUND((julianday(uploadDateTime) - "
                                    "2440587.5) * 86400000) AS INTEGER) WHERE uploadDateTime IS NOT NULL")
                  << QStringLiteral("ALTER TABLE Asset DROP COLUMN uploadDateTime")
                  << QStringLiteral("ALTER TABLE Asset RENAME COLUMN uploadMs TO uploadDateTime")
                  << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN connectedMs INTEGER")
                  << QStringLiteral("UPDATE ServerBookmark SET connectedMs = CAST(ROUND((julianday("
                                    "lastConnectedDate) - 2440587.5) * 86400000) AS INTEGER) "
                                    "WHERE lastConnectedDate IS NOT NULL")
                  << QStringLiteral("ALTER TABLE ServerBookmark DROP COLUMN lastConnectedDate")
                  << QStringLiteral("ALTER TABLE ServerBookmark RENAME COLUMN connectedMs TO lastConnectedDate")
                  << QStringLiteral("CREATE INDEX AssetQueue ON Asset(bookmark, uploadDateTime)")
                  << QStringLiteral("CREATE INDEX AssetLog ON Asset(uploadDateTime)");
        } else if (version == 2) {
            // Each bookmark gets a lasting random id (its keyring entry is found by it), the
            // choice to be asked for its password, and the certificate its user trusted.
            steps << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN uuid TEXT")
                  << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN askForPassword INTEGER")
                  << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN trustedCertificate TEXT")
                  << QStringLiteral("UPDATE ServerBookmark SET uuid = lower(hex(randomblob(4)) || '-' || "
                                    "hex(randomblob(2)) || '-4' || substr(hex(randomblob(2)), 2) || '-' || "
                                    "substr('89ab', 1 + abs(random()) % 4, 1) || substr(hex(randomblob(2)), 2) "
                                    "|| '-' || hex(randomblob(6)))")
                  << QStringLiteral("CREATE UNIQUE INDEX BookmarkUUID ON ServerBookmark(uuid)");
        } else if (version == 3) {
            // What was sent and to which server, for the duplicate check; the file name as a
            // column of its own (written with filePath) so the log can search it and sort by it
            // through an index. Each sort of the log has its index, limited to uploaded records.
            steps << QStringLiteral("ALTER TABLE Asset ADD COLUMN fileSize INTEGER")
                  << QStringLiteral("ALTER TABLE Asset ADD COLUMN contentHash TEXT")
                  << QStringLiteral("ALTER TABLE Asset ADD COLUMN serverKey TEXT")
                  << QStringLiteral("ALTER TABLE Asset ADD COLUMN fileName TEXT")
                  // The last path component: what is left after trimming every character but "/"
                  // from the right. Too slow to compute per row in searches, so it is kept.
                  << QStringLiteral(
                         "UPDATE Asset SET fileName = "
                         "substr(filePath, length(rtrim(filePath, replace(filePath, '/', ''))) + 1)")
                  << QStringLiteral("CREATE INDEX AssetLogFile ON Asset(fileName COLLATE NOCASE) "
                                    "WHERE uploadDateTime IS NOT NULL")
                  << QStringLiteral("CREATE INDEX AssetLogCategory ON Asset(categoryPath COLLATE NOCASE) "
                                    "WHERE uploadDateTime IS NOT NULL")
                  << QStringLiteral(
                         "CREATE INDEX AssetLogSize ON Asset(fileSize) WHERE uploadDateTime IS NOT NULL")
                  << QStringLiteral("CREATE INDEX AssetLogServer ON Asset(serverKey, fileSize) "
                                    "WHERE uploadDateTime IS NOT NULL");
        } else if (version == 4) {
            // A queued file of a kept folder tree remembers where below its upload target it goes,
            // so a relaunch sends it into the same category.
            steps << QStringLiteral("ALTER TABLE Asset ADD COLUMN folderPath TEXT");
        } else if (version == 5) {
            // A bookmark may cap the speed its files are sent at (none before).
            steps << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN uploadSpeedLimit REAL");
        } else if (version == 6) {
            // A queued file records that it is being sent, or that it may have arrived and why;
            // a bookmark, how long its batches keep trying through failures.
            steps << QStringLiteral("ALTER TABLE Asset ADD COLUMN uploadState TEXT")
                  << QStringLiteral("ALTER TABLE Asset ADD COLUMN uploadStateReason TEXT")
                  << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN retryMinutes INTEGER")
                  << QStringLiteral("UPDATE ServerBookmark SET retryMinutes = %1")
                         .arg(ServerBookmark::DefaultRetryMinutes);
        } else if (version == 7) {
            // A bookmark may send several files of a batch at once; before, one at a time.
            steps << QStringLiteral("ALTER TABLE ServerBookmark ADD COLUMN simultaneousUploads INTEGER")
                  << QStringLiteral("UPDATE ServerBookmark SET simultaneousUploads = 1");
        } else if (version == 8) {
            // A cleared log is saved as its mark (LogClear) before its rows are deleted, so a
            // process that ends during the deletion leaves the rest hidden and to be deleted.
            steps << QStringLiteral("CREATE TABLE ClearedLog (id INTEGER PRIMARY KEY CHECK (id = 1), "
                                    "lastId INTEGER NOT NULL, lastUploadMs INTEGER NOT NULL, pending TEXT NOT NULL)");
        }
        const int next = version == 0 ? 1 : version + 1;
        if (!db.transaction()) {
            if (error)
                *error = reasonFor(db.lastError());
            return false;
        }
        for (const QString &sql : std::as_const(steps)) {
            if (!exec(sql, error)) {
                db.rollback();
                return false;
            }
        }
        if (!exec(QStringLiteral("PRAGMA user_version = %1").arg(next), error) || !db.commit()) {
            db.rollback();
            return false;
        }
        qCDebug(lcStore) << "store schema now at version" << next;
        version = next;
    }
    return true;
}

bool StoreFile::checkWritable(QString *error) const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        if (error)
            *error = reasonFor(query.lastError());
        return false;
    }
    query.exec(QStringLiteral("ROLLBACK"));
    return true;
}

std::optional<QList<StoreFile::Row>> StoreFile::loadBookmarks(QString *error) const
{
    return loadRows(false, {}, {}, error);
}

std::optional<QList<StoreFile::Row>> StoreFile::loadPendingAssets(QString *error) const
{
    return loadRows(true, QStringLiteral("WHERE uploadDateTime IS NULL"), {}, error);
}

std::optional<QList<StoreFile::Row>> StoreFile::loadAssetsById(const QList<qint64> &ids, QString *error) const
{
    if (ids.isEmpty())
        return QList<Row>();
    return loadRows(true, QStringLiteral("WHERE id IN (SELECT value FROM json_each(?))"), {jsonList(ids)},
                    error);
}

std::optional<QList<qint64>> StoreFile::idsOf(QSqlQuery &query, QString *error) const
{
    query.setForwardOnly(true);
    if (!query.exec()) {
        if (error)
            *error = reasonFor(query.lastError());
        return std::nullopt;
    }
    QList<qint64> ids;
    while (query.next())
        ids.append(query.value(0).toLongLong());
    return ids;
}

std::optional<QList<qint64>> StoreFile::uploadedAssetIds(QString *error) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT id FROM Asset WHERE uploadDateTime IS NOT NULL"));
    return idsOf(query, error);
}

std::optional<std::pair<qint64, qint64>> StoreFile::logMark(QString *error) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(
            QStringLiteral("SELECT (SELECT max(id) FROM Asset), (SELECT max(uploadDateTime) FROM Asset)")) ||
        !query.next()) {
        if (error)
            *error = reasonFor(query.lastError());
        return std::nullopt;
    }
    return std::pair(query.value(0).toLongLong(), query.value(1).toLongLong());
}

std::optional<LogClear> StoreFile::clearedLog(QString *error) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(QStringLiteral("SELECT lastId, lastUploadMs, pending FROM ClearedLog"))) {
        if (error)
            *error = reasonFor(query.lastError());
        return std::nullopt;
    }
    LogClear cleared;
    if (query.next()) {
        cleared.lastId = query.value(0).toLongLong();
        cleared.lastUploadMs = query.value(1).toLongLong();
        for (const QJsonValue &id : QJsonDocument::fromJson(query.value(2).toByteArray()).array())
            cleared.pending.append(id.toInteger());
    }
    return cleared;
}

bool StoreFile::deleteLog(const QString &path, const LogClear &cleared, QString *error)
{
    QString name;
    bool ok = false;
    {
        QSqlDatabase db = addConnection(QStringLiteral("lumaro-clear-"), path);
        name = db.connectionName();
        ok = db.open();
        QSqlQuery query(db);
        // Small transactions: a save of the application waits for one of them at most.
        const QString sql =
            QStringLiteral("DELETE FROM Asset WHERE id IN (SELECT a.id FROM Asset a WHERE %1 LIMIT 2000)");
        while (ok) {
            ok = query.exec(sql.arg(cleared.condition()));
            if (!ok || query.numRowsAffected() <= 0)
                break;
        }
        // Only this mark: a later clear saved meanwhile replaced it and is deleted next.
        if (ok) {
            query.prepare(QStringLiteral(
                "DELETE FROM ClearedLog WHERE lastId = ? AND lastUploadMs = ? AND pending = ?"));
            query.addBindValue(cleared.lastId);
            query.addBindValue(cleared.lastUploadMs);
            query.addBindValue(jsonList(cleared.pending));
            ok = query.exec();
        }
        if (!ok && error)
            *error = db.isOpen() ? query.lastError().text() : db.lastError().text();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

std::optional<QList<qint64>> StoreFile::assetIdsInDoubt(const QString &serverKey, QString *error) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(
        QStringLiteral("SELECT id FROM Asset WHERE uploadDateTime IS NULL AND uploadState IS NOT NULL "
                       "AND serverKey = ? ORDER BY id"));
    query.addBindValue(serverKey);
    return idsOf(query, error);
}

bool StoreFile::hasUploadsFor(const QString &serverKey) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT 1 FROM Asset WHERE serverKey = ? AND uploadDateTime IS NOT NULL "
                                 "AND contentHash IS NOT NULL LIMIT 1"));
    query.addBindValue(serverKey);
    return query.exec() && query.next();
}

std::optional<QList<StoreFile::Row>> StoreFile::loadRows(bool assets, const QString &where,
                                                         const QVariantList &binds, QString *error) const
{
    const QList<Column> &columns = assets ? assetColumns() : bookmarkColumns();
    QStringList names{QStringLiteral("id"), assets ? QStringLiteral("bookmark") : QStringLiteral("NULL")};
    for (const Column &c : columns)
        names << QLatin1String(c.name);
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    const QString table = assets ? QStringLiteral("Asset") : QStringLiteral("ServerBookmark");
    const QString order =
        where.contains(QLatin1String("ORDER BY")) ? QString() : QStringLiteral(" ORDER BY id");
    query.prepare(QStringLiteral("SELECT %1 FROM %2 %3%4").arg(names.join(u','), table, where, order));
    for (const QVariant &value : binds)
        query.addBindValue(value);
    if (!query.exec()) {
        if (error)
            *error = reasonFor(query.lastError());
        return std::nullopt;
    }
    QList<Row> rows;
    while (query.next()) {
        Row row;
        row.id = query.value(0).toLongLong();
        row.bookmarkId = query.value(1).isNull() ? 0 : query.value(1).toLongLong();
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant v = fromSql(query.value(i + 2), columns.at(i).kind);
            if (v.isValid())
                row.values.insert(QLatin1String(columns.at(i).name), v);
        }
        rows.append(row);
    }
    return rows;
}

std::optional<QList<qint64>> StoreFile::write(const QList<Change> &changes,
                                              const std::function<qint64(ManagedObject *)> &idOfSaved,
                                              QString *error, const LogClear *cleared)
{
    if (!m_injectedFailure.isEmpty()) {
        if (error)
            *error = m_injectedFailure;
        return std::nullopt;
    }
    // Whatever the writer thread still has goes first.
    waitForWriter();
    Link link{m_connectionName, &m_statements, &m_lastFailure};
    auto ids = writeOn(link, m_path, changes, idOfSaved, error, cleared);
    if (ids)
        checkpointWhenDue();
    return ids;
}

quint64 StoreFile::writeInBackground(const QList<Change> &changes,
                                     const std::function<qint64(ManagedObject *)> &idOfSaved)
{
    Job job{0, changes, {}, m_injectedFailure};
    for (const Change &change : changes) {
        if (change.bookmark)
            job.ids.insert(change.bookmark, idOfSaved(change.bookmark));
    }
    std::lock_guard lock(m_writerMutex);
    job.ticket = ++m_lastTicket;
    const quint64 ticket = job.ticket;
    m_jobs.push_back(std::move(job));
    if (!m_writer.joinable())
        m_writer = std::thread([this] { runWriter(); });
    m_writerWake.notify_one();
    return ticket;
}

void StoreFile::runWriter()
{
    QString name;
    {
        QSqlDatabase db = addConnection(QStringLiteral("lumaro-writer-"), m_path);
        name = db.connectionName();
        if (db.open()) {
            for (const char *pragma : WritingPragmas)
                QSqlQuery(db).exec(QLatin1String(pragma));
        }
    }
    std::unordered_map<QString, QSqlQuery> statements;
    Failure failure = Failure::None;
    Link link{name, &statements, &failure};
    std::unique_lock lock(m_writerMutex);
    for (;;) {
        m_writerWake.wait(lock, [this] { return m_stopWriter || !m_jobs.empty(); });
        if (m_jobs.empty())
            break;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        Written written{job.ticket, false, job.failure};
        if (written.error.isEmpty()) {
            const QHash<ManagedObject *, qint64> &ids = job.ids;
            written.ok = writeOn(
                             link, m_path, job.changes, [&ids](ManagedObject *r) { return ids.value(r); },
                             &written.error)
                             .has_value();
        }
        // The main thread takes this lock too: nothing slow is done while holding it, so a
        // writer that loses its processor inside it holds nobody up for long.
        lock.lock();
        const bool first = m_written.isEmpty();
        m_written.append(written);
        const std::function<void()> notify = first ? m_notifyWritten : nullptr;
        lock.unlock();
        // Once per batch of results not yet taken.
        if (notify)
            notify();
        lock.lock();
        // Done only now, so whoever waits for the writer knows nothing is still being told.
        m_doneTicket = job.ticket;
        m_writerIdle.notify_all();
    }
    lock.unlock();
    statements.clear();
    closeConnection(name);
}

void StoreFile::setWrittenNotifier(std::function<void()> notify)
{
    std::lock_guard lock(m_writerMutex);
    m_notifyWritten = std::move(notify);
}

QList<StoreFile::Written> StoreFile::takeWritten()
{
    QList<Written> written;
    {
        std::lock_guard lock(m_writerMutex);
        written = std::exchange(m_written, {});
    }
    if (!written.isEmpty())
        checkpointWhenDue();
    return written;
}

void StoreFile::waitForWriter()
{
    std::unique_lock lock(m_writerMutex);
    m_writerIdle.wait(lock, [this] { return m_doneTicket == m_lastTicket; });
}

void StoreFile::stopWriter()
{
    {
        std::lock_guard lock(m_writerMutex);
        m_stopWriter = true;
        m_writerWake.notify_one();
    }
    if (m_writer.joinable())
        m_writer.join();
}

std::optional<QList<qint64>> StoreFile::writeOn(Link &link, const QString &path, const QList<Change> &changes,
                                                const std::function<qint64(ManagedObject *)> &idOfSaved,
                                                QString *error, const LogClear *cleared)
{
    QSqlDatabase db = QSqlDatabase::database(link.name, false);
    // One statement is a transaction of its own; the common case of a record stamped after its
    // upload then costs one prepared UPDATE.
    const bool transaction = changes.size() + (cleared ? 1 : 0) > 1;
    if (transaction && !db.transaction()) {
        if (error)
            *error = reasonFor(db.lastError(), path, link.failure);
        return std::nullopt;
    }
    // Ids given inside this transaction; they only become the records' own after commit.
    QHash<ManagedObject *, qint64> newIds;
    QList<qint64> inserted;
    auto fail = [&](const QString &reason) -> std::optional<QList<qint64>> {
        if (transaction)
            db.rollback();
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const QString bookmarkKey = QStringLiteral("bookmark");

    for (const Change &change : changes) {
        const bool isAsset = change.entity == Asset::EntityName;
        const QString table = isAsset ? QStringLiteral("Asset") : QStringLiteral("ServerBookmark");
        QString reason;
        if (change.kind == Change::Delete) {
            QSqlQuery *query =
                statementOn(link, path, QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(table), &reason);
            if (!query)
                return fail(reason);
            query->bindValue(0, change.id);
            const bool done = query->exec();
            query->finish();
            if (!done)
                return fail(reasonFor(query->lastError(), path, link.failure));
            continue;
        }
        const bool all = change.kind == Change::Insert || change.changedKeys.isEmpty();
        QStringList names;
        QVariantList values;
        for (const Column &c : isAsset ? assetColumns() : bookmarkColumns()) {
            if (all || change.changedKeys.contains(QLatin1String(c.name))) {
                names << QLatin1String(c.name);
                values << toSql(change.values.value(QLatin1String(c.name)), c.kind);
            }
        }
        const bool withBookmark = isAsset && (all || change.changedKeys.contains(bookmarkKey));
        if (withBookmark) {
            names << bookmarkKey;
            qint64 bookmarkId = 0;
            if (change.bookmark)
                bookmarkId = newIds.value(change.bookmark, idOfSaved(change.bookmark));
            values << (bookmarkId > 0 ? QVariant(bookmarkId) : QVariant(QMetaType::fromType<qlonglong>()));
        }
        // The name beside the path, for the log's search and sort.
        if (isAsset && (all || change.changedKeys.contains(Asset::kFilePath))) {
            names << QStringLiteral("fileName");
            const QVariant path = change.values.value(Asset::kFilePath);
            const QString text = path.toString();
            values << (path.isValid() ? QVariant(text.mid(text.lastIndexOf(QLatin1Char('/')) + 1))
                                      : QVariant(QMetaType::fromType<QString>()));
        }
        if (names.isEmpty())
            continue;
        // Another process may have deleted the bookmark meanwhile: the asset then keeps its
        // row without one, as the delete rule leaves a log entry, instead of failing the save.
        QStringList placeholders(names.size(), QStringLiteral("?"));
        if (withBookmark)
            placeholders[names.indexOf(bookmarkKey)] = QStringLiteral("(SELECT id FROM ServerBookmark WHERE id = ?)");
        QString sql;
        if (change.kind == Change::Insert) {
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u','), placeholders.join(u','));
        } else {
            QStringList sets;
            for (int i = 0; i < names.size(); ++i)
                sets << names.at(i) + QStringLiteral(" = ") + placeholders.at(i);
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE id = ?").arg(table, sets.join(QStringLiteral(", ")));
            values << change.id;
        }
        QSqlQuery *query = statementOn(link, path, sql, &reason);
        if (!query)
            return fail(reason);
        for (int i = 0; i < values.size(); ++i)
            query->bindValue(i, values.at(i));
        const bool done = query->exec();
        const QVariant id = done && change.kind == Change::Insert ? query->lastInsertId() : QVariant();
        query->finish();
        if (!done)
            return fail(reasonFor(query->lastError(), path, link.failure));
        if (change.kind == Change::Insert) {
            newIds.insert(change.record, id.toLongLong());
            inserted.append(id.toLongLong());
        }
    }
    if (cleared) {
        QString reason;
        QSqlQuery *query = statementOn(link, path,
                                       QStringLiteral("INSERT OR REPLACE INTO ClearedLog (id, lastId, lastUploadMs, "
                                                      "pending) VALUES (1, ?, ?, ?)"),
                                       &reason);
        if (!query)
            return fail(reason);
        query->bindValue(0, cleared->lastId);
        query->bindValue(1, cleared->lastUploadMs);
        query->bindValue(2, jsonList(cleared->pending));
        const bool done = query->exec();
        query->finish();
        if (!done)
            return fail(reasonFor(query->lastError(), path, link.failure));
    }
    if (transaction && !db.commit())
        return fail(reasonFor(db.lastError(), path, link.failure));
    return inserted;
}
