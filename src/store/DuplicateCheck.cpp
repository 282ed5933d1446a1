#include "DuplicateCheck.h"

#include "Asset.h"
#include "ContentHash.h"
#include "ObjectContext.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QPair>
#include <QSet>

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
    if (!m_context || queue.isEmpty() || !m_context->hasUploadsFor(serverKey))
        return false;
    m_running = true;
    m_serverKey = serverKey;
    m_queue.clear();
    QStringList paths;
    for (Asset *record : queue) {
        m_queue.append(record);
        paths.append(record->filePath().value_or(QString()));
    }
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 run = ++m_run;
    // Sizes only (no content) and off the main thread: a long queue means many file lookups.
    m_pool.start([this, run, paths, cancel = m_cancel] {
        QList<qint64> sizes;
        for (const QString &path : paths) {
            if (cancel->load())
                return;
            const QFileInfo info(path);
            sizes.append(info.isFile() ? info.size() : -1);
        }
        QMetaObject::invokeMethod(
            this,
            [this, run, sizes] {
                if (run == m_run && m_running)
                    sizesMeasured(sizes);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void DuplicateCheck::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    ++m_run;
    m_running = false;
}

void DuplicateCheck::sizesMeasured(const QList<qint64> &sizes)
{
    m_sizes = sizes;
    QSet<qint64> distinct;
    for (qint64 size : sizes) {
        if (size >= 0)
            distinct.insert(size);
    }
    QSet<qint64> logged;
    if (m_context) {
        for (const Asset *asset : m_context->uploadedAssetsOfSizes(m_serverKey, distinct.values()))
            logged.insert(*asset->fileSize());
    }
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
    m_pool.start([this, run, candidates, paths, total, cancel = m_cancel] {
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
        QMetaObject::invokeMethod(
            this,
            [this, run, candidates, hashes] {
                if (run == m_run && m_running)
                    hashesComputed(candidates, hashes);
            },
            Qt::QueuedConnection);
    });
}

void DuplicateCheck::hashesComputed(const QList<int> &candidates, const QStringList &hashes)
{
    QList<DuplicateMatch> duplicates;
    QSet<qint64> sizes;
    for (int i : candidates)
        sizes.insert(m_sizes.at(i));
    // Asked again: the log may have changed while the files were read.
    const QList<Asset *> logged =
        m_context ? m_context->uploadedAssetsOfSizes(m_serverKey, sizes.values()) : QList<Asset *>();
    // Looked up, not searched: a card of thousands of files of one size against a log of
    // thousands would otherwise compare every pair while the window waits. The first logged
    // upload of a content is the one named, as the log's order has it.
    QHash<QPair<qint64, QString>, const Asset *> byContent;
    for (const Asset *earlier : logged) {
        const std::optional<qint64> size = earlier->fileSize();
        const std::optional<QString> hash = earlier->contentHash();
        if (size && hash && !byContent.contains({*size, *hash}))
            byContent.insert({*size, *hash}, earlier);
    }
    for (qsizetype n = 0; n < candidates.size(); ++n) {
        Asset *record = m_queue.at(candidates.at(n));
        if (!record || hashes.at(n).isEmpty())
            continue;
        if (const Asset *earlier = byContent.value({m_sizes.at(candidates.at(n)), hashes.at(n)}))
            duplicates.append({record, earlier->categoryPath().value_or(QString()),
                               earlier->uploadDateTime().value_or(QDateTime())});
    }
    finish(duplicates);
}

void DuplicateCheck::finish(const QList<DuplicateMatch> &duplicates)
{
    m_running = false;
    emit finished(duplicates);
}
