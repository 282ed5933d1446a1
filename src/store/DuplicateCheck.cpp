#include "DuplicateCheck.h"

#include "Asset.h"
#include "ContentHash.h"
#include "LogQuery.h"
#include "ObjectContext.h"
#include "StoreFile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QPair>
#include <QSet>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

DuplicateCheck::DuplicateCheck(ObjectContext *context, QObject *parent) : QObject(parent), m_context(context)
{
    m_pool.setMaxThreadCount(1);
}

DuplicateCheck::~DuplicateCheck()
{
    cancel();
    m_pool.waitForDone();
}

bool DuplicateCheck::start(const QString &serverKey, const QList<Asset *> &queue)
{
    cancel();
    if (!m_context || queue.isEmpty())
        return false;
    m_inDoubt.clear();
    for (Asset *record : queue) {
        if (record->uploadState() != Asset::UploadState::Waiting)
            m_inDoubt.append({record, record->categoryPath().value_or(QString()), {},
                              record->uploadStateReason().isEmpty() ? tr("No answer came.")
                                                                    : record->uploadStateReason()});
    }
    if (!m_context->hasUploadsFor(serverKey)) {
        if (m_inDoubt.isEmpty())
            return false;
        m_running = true;
        QMetaObject::invokeMethod(
            this, [this, run = ++m_run] { if (run == m_run && m_running) finish({}); }, Qt::QueuedConnection);
        return true;
    }
    m_running = true;
    m_serverKey = serverKey;
    m_queue.clear();
    QStringList paths;
    for (Asset *record : queue) {
        m_queue.append(record);
        paths.append(record->filePath().value_or(QString()));
    }
    m_storePath = m_context->storeFile() ? m_context->storeFile()->path() : QString();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 run = ++m_run;
    m_readSince = ManagedObject::changeClock();
    // Sizes only (no content) and off the main thread: a long queue means many file lookups,
    // and a long log many rows of the same size.
    m_pool.start([this, run, paths, serverKey, storePath = m_storePath, cancel = m_cancel] {
        QList<qint64> sizes;
        QSet<qint64> distinct;
        for (const QString &path : paths) {
            if (cancel->load())
                return;
            const QFileInfo info(path);
            sizes.append(info.isFile() ? info.size() : -1);
            if (sizes.constLast() >= 0)
                distinct.insert(sizes.constLast());
        }
        const QList<LogRow> logged = readLog(storePath, serverKey, distinct);
        QMetaObject::invokeMethod(
            this,
            [this, run, sizes, distinct, logged] {
                if (run == m_run && m_running)
                    sizesMeasured(sizes, distinct, logged);
            },
            Qt::QueuedConnection);
    });
    return true;
}

QList<LogRow> DuplicateCheck::readLog(const QString &storePath, const QString &serverKey, const QSet<qint64> &sizes)
{
    if (storePath.isEmpty() || sizes.isEmpty())
        return {};
    LogReader reader;
    QString error;
    std::optional<QList<LogRow>> rows;
    if (reader.open(storePath, &error))
        rows = reader.uploadsOfSizes(serverKey, sizes.values(), &error);
    if (!rows)
        qCWarning(lcStore) << "cannot look for earlier uploads:" << error;
    return rows.value_or(QList<LogRow>());
}

void DuplicateCheck::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    ++m_run;
    m_running = false;
}

void DuplicateCheck::sizesMeasured(const QList<qint64> &sizes, const QSet<qint64> &distinct,
                                   const QList<LogRow> &fromFile)
{
    m_sizes = sizes;
    // One logged upload of a size is enough to read the files of that size.
    QSet<qint64> logged;
    if (m_context)
        m_context->findLoggedUploads(
            m_serverKey, fromFile, m_readSince,
            [&](qint64 size, const QString &) { return distinct.contains(size) && !logged.contains(size); },
            [&](const LogRow &row) { logged.insert(row.fileSize.toLongLong()); });
    QList<int> candidates;
    QStringList paths;
    qint64 total = 0;
    for (int i = 0; i < m_queue.size(); ++i) {
        if (m_queue.at(i) && logged.contains(sizes.at(i))) {
            candidates.append(i);
            paths.append(m_queue.at(i)->filePath().value_or(QString()));
            total += sizes.at(i);
        }
    }
    if (candidates.isEmpty()) {
        finish({});
        return;
    }
    const quint64 run = m_run;
    emit progress(0, total);
    QList<qint64> measured;
    for (int i : std::as_const(candidates))
        measured.append(sizes.at(i));
    const QSet<qint64> candidateSizes(measured.cbegin(), measured.cend());
    m_readSince = ManagedObject::changeClock();
    m_pool.start([this, run, candidates, paths, total, measured, candidateSizes, serverKey = m_serverKey,
                  storePath = m_storePath, cancel = m_cancel] {
        QStringList hashes;
        qint64 before = 0;
        QElapsedTimer clock;
        clock.start();
        for (const QString &path : paths) {
            const auto hash = ContentHash::ofFile(path, [&](qint64 read) {
                // A few updates a second are plenty for a progress bar.
                if (clock.elapsed() >= 50) {
                    clock.restart();
                    const qint64 done = before + read;
                    QMetaObject::invokeMethod(
                        this,
                        [this, run, done, total] {
                            if (run == m_run && m_running)
                                emit progress(done, total);
                        },
                        Qt::QueuedConnection);
                }
                return !cancel->load();
            });
            if (cancel->load())
                return;
            hashes.append(hash.value_or(QString()));
            before += QFileInfo(path).size();
        }
        // Asked again, as the log may have changed while the files were read; only the rows of
        // contents found here go back to the window.
        QSet<QPair<qint64, QString>> contents;
        for (qsizetype n = 0; n < hashes.size(); ++n) {
            if (!hashes.at(n).isEmpty())
                contents.insert({measured.at(n), hashes.at(n)});
        }
        QList<LogRow> logged = readLog(storePath, serverKey, candidateSizes);
        logged.removeIf([&](const LogRow &row) { return !contents.contains({row.fileSize.toLongLong(), row.contentHash}); });
        QMetaObject::invokeMethod(
            this,
            [this, run, candidates, hashes, candidateSizes, logged] {
                if (run == m_run && m_running)
                    hashesComputed(candidates, hashes, candidateSizes, logged);
            },
            Qt::QueuedConnection);
    });
}

void DuplicateCheck::hashesComputed(const QList<int> &candidates, const QStringList &hashes,
                                    const QSet<qint64> &sizes, const QList<LogRow> &fromFile)
{
    QList<DuplicateMatch> duplicates;
    QSet<QPair<qint64, QString>> contents;
    for (qsizetype n = 0; n < candidates.size(); ++n) {
        if (!hashes.at(n).isEmpty())
            contents.insert({m_sizes.at(candidates.at(n)), hashes.at(n)});
    }
    // Looked up, not searched: a card of thousands of files of one size against a log of
    // thousands would otherwise compare every pair while the window waits. The latest upload of
    // a content is the one named.
    QHash<QPair<qint64, QString>, LogRow> byContent;
    if (m_context)
        m_context->findLoggedUploads(
            m_serverKey, fromFile, m_readSince,
            [&](qint64 size, const QString &hash) { return sizes.contains(size) && contents.contains({size, hash}); },
            [&](const LogRow &row) {
                const QPair<qint64, QString> key{row.fileSize.toLongLong(), row.contentHash};
                const auto known = byContent.constFind(key);
                if (known == byContent.cend() || row.uploadMs > known->uploadMs)
                    byContent.insert(key, row);
            });
    for (qsizetype n = 0; n < candidates.size(); ++n) {
        Asset *record = m_queue.at(candidates.at(n));
        if (!record || hashes.at(n).isEmpty())
            continue;
        const auto earlier = byContent.constFind({m_sizes.at(candidates.at(n)), hashes.at(n)});
        if (earlier != byContent.cend())
            duplicates.append({record, earlier->categoryPath,
                               QDateTime::fromMSecsSinceEpoch(earlier->uploadMs, Qt::UTC), QString()});
    }
    finish(duplicates);
}

void DuplicateCheck::finish(const QList<DuplicateMatch> &duplicates)
{
    m_running = false;
    QList<DuplicateMatch> found;
    QSet<const Asset *> listed;
    for (const DuplicateMatch &match : std::as_const(m_inDoubt)) {
        if (match.record) {
            found.append(match);
            listed.insert(match.record);
        }
    }
    for (const DuplicateMatch &match : duplicates) {
        if (!listed.contains(match.record))
            found.append(match);
    }
    emit finished(found);
}
