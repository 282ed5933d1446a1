#include "ObjectContext.h"

#include "Asset.h"
#include "LogQuery.h"
#include "ServerBookmark.h"
#include "StoreFile.h"

#include <QLoggingCategory>
#include <QSet>
#include <QThread>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

ObjectContext::ObjectContext() = default;

ObjectContext::ObjectContext(std::unique_ptr<StoreFile> store) : m_store(std::move(store))
{
    if (m_store) {
        m_store->setWrittenNotifier([this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    takeWritten();
                    finishBackgroundSaves();
                },
                Qt::QueuedConnection);
        });
    }
}

ObjectContext::~ObjectContext()
{
    // What was handed to the writer reaches the file before the process ends.
    if (m_store) {
        m_store->setWrittenNotifier({});
        m_store->waitForWriter();
    }
    // A cleared log that was saved is deleted before the process ends.
    if (m_logDeleter) {
        m_logDeleter->wait();
        delete m_logDeleter;
    }
    // Records go before the store file they belong to.
    qDeleteAll(m_records);
    m_records.clear();
    m_bookmarks.clear();
    for (const QPointer<ManagedObject> &record : std::as_const(m_deleted))
        delete record.data();
}

void ObjectContext::adopt(ManagedObject *record)
{
    m_records.append(record);
    if (auto *bookmark = qobject_cast<ServerBookmark *>(record))
        m_bookmarks.append(bookmark);
    registerId(record);
    connect(record, &ManagedObject::valueChanged, this,
            [this, record](const QString &key) { emit objectChanged(record, key); });
}

void ObjectContext::registerId(ManagedObject *record)
{
    if (record->objectId() <= 0)
        return;
    if (auto *asset = qobject_cast<Asset *>(record))
        m_assetsById.insert(record->objectId(), asset);
    else if (auto *bookmark = qobject_cast<ServerBookmark *>(record))
        m_bookmarksById.insert(record->objectId(), bookmark);
}

bool ObjectContext::load(QString *error)
{
    if (!loadBookmarks(error))
        return false;
    if (!m_store)
        return true;
    const auto assets = m_store->loadPendingAssets(error);
    if (!assets)
        return false;
    QHash<qint64, ServerBookmark *> byId;
    for (ServerBookmark *bookmark : fetchAllBookmarks())
        byId.insert(bookmark->objectId(), bookmark);
    for (const StoreFile::Row &row : *assets) {
        QVariantMap values = row.values;
        if (ServerBookmark *bookmark = byId.value(row.bookmarkId))
            values.insert(Asset::kBookmark, QVariant::fromValue<QObject *>(bookmark));
        // Saved as being sent and never settled: the process ended with its body on the way.
        if (values.value(Asset::kUploadState).toString() == Asset::stateText(Asset::UploadState::Sending)) {
            values.insert(Asset::kUploadState, Asset::stateText(Asset::UploadState::MayHaveArrived));
            values.insert(Asset::kUploadStateReason, Asset::endedWhileSending());
        }
        adopt(new Asset(this, values, row.id));
    }
    // A cleared log the last process saved but did not finish deleting: hidden, and deleted now.
    const auto cleared = m_store->clearedLog(error);
    if (!cleared)
        return false;
    if (cleared->isSet()) {
        m_deletingLog = *cleared;
        startLogDeletion();
    }
    return true;
}

bool ObjectContext::loadBookmarks(QString *error)
{
    if (!m_store)
        return true;
    const auto bookmarks = m_store->loadBookmarks(error);
    if (!bookmarks)
        return false;
    for (const StoreFile::Row &row : *bookmarks)
        adopt(new ServerBookmark(this, row.values, row.id));
    return true;
}

ServerBookmark *ObjectContext::insertBookmark()
{
    auto *bookmark = new ServerBookmark(this);
    adopt(bookmark);
    emit objectInserted(bookmark);
    return bookmark;
}

Asset *ObjectContext::insertAsset()
{
    auto *asset = new Asset(this);
    adopt(asset);
    emit objectInserted(asset);
    return asset;
}

ManagedObject *ObjectContext::insertNewObject(const QString &entityName)
{
    if (entityName == ServerBookmark::EntityName)
        return insertBookmark();
    if (entityName == Asset::EntityName)
        return insertAsset();
    return nullptr;
}

void ObjectContext::deleteObject(ManagedObject *record)
{
    if (!record || record->managedObjectContext() != this || !m_records.contains(record))
        return;
    if (auto *bookmark = qobject_cast<ServerBookmark *>(record)) {
        for (ManagedObject *other : live()) {
            auto *asset = qobject_cast<Asset *>(other);
            if (!asset || asset->bookmark() != bookmark)
                continue;
            if (asset->isPending())
                deleteObject(asset);
            else
                asset->setBookmark(nullptr);
        }
    }
    m_records.removeOne(record);
    if (auto *asset = qobject_cast<Asset *>(record))
        m_logKeys.remove(asset);
    if (auto *bookmark = qobject_cast<ServerBookmark *>(record)) {
        m_bookmarks.removeOne(bookmark);
        m_bookmarksById.remove(record->objectId());
    }
    else
        m_assetsById.remove(record->objectId());
    record->markDeleted(true);
    if (record->isInserted()) {
        // Never written: nothing to remove from the file.
        emit objectDeleted(record);
        record->deleteLater();
        return;
    }
    m_deleted.append(record);
    emit objectDeleted(record);
}

void ObjectContext::deleteUploadedAssets()
{
    for (ManagedObject *record : live()) {
        auto *asset = qobject_cast<Asset *>(record);
        if (asset && !asset->isPending())
            deleteObject(asset);
    }
    // The rest as a mark, whatever its length: the highest id and upload time in the file.
    QString error;
    const auto mark = m_store ? m_store->logMark(&error) : std::nullopt;
    if (m_store && !mark)
        qCWarning(lcStore) << "cannot clear the log:" << error;
    if (mark && mark->second > 0) {
        m_clearedLog = {mark->first, mark->second, {}};
        for (ManagedObject *record : std::as_const(m_records)) {
            if (record->objectId() > 0 && record->entityName() == Asset::EntityName)
                m_clearedLog.pending.append(record->objectId());
        }
    }
    emit uploadedAssetsDeleted();
}

QList<ManagedObject *> ObjectContext::live() const
{
    return m_records;
}

QList<ServerBookmark *> ObjectContext::fetchAllBookmarks() const
{
    return m_bookmarks;
}

QList<Asset *> ObjectContext::fetchPendingAssets(const ServerBookmark *bookmark) const
{
    QList<Asset *> out;
    for (ManagedObject *record : m_records) {
        auto *asset = qobject_cast<Asset *>(record);
        if (asset && asset->isPending() && asset->bookmark() == bookmark && bookmark)
            out.append(asset);
    }
    return out;
}

QList<Asset *> ObjectContext::fetchUploadedAssets()
{
    QList<Asset *> out;
    QSet<Asset *> seen;
    if (m_store) {
        QString error;
        for (qint64 id : m_store->uploadedAssetIds(&error).value_or(QList<qint64>())) {
            Asset *asset = assetWithId(id);
            if (asset && !asset->isPending()) {
                out.append(asset);
                seen.insert(asset);
            }
        }
    }
    for (ManagedObject *record : std::as_const(m_records)) {
        auto *asset = qobject_cast<Asset *>(record);
        if (asset && !asset->isPending() && !seen.contains(asset))
            out.append(asset);
    }
    return out;
}

namespace {
bool isLoggedUpload(const Asset *asset, const QString &serverKey)
{
    return !asset->isPending() && asset->contentHash() && asset->fileSize() &&
           asset->serverKey() == serverKey;
}
} // namespace

bool ObjectContext::hasUploadsFor(const QString &serverKey) const
{
    for (ManagedObject *record : m_records) {
        auto *asset = qobject_cast<Asset *>(record);
        if (asset && isLoggedUpload(asset, serverKey))
            return true;
    }
    return m_store && m_store->hasUploadsFor(serverKey);
}

void ObjectContext::findLoggedUploads(const QString &serverKey, const QList<LogRow> &fromFile, quint64 since,
                                      const std::function<bool(qint64, const QString &)> &wanted,
                                      const std::function<void(const LogRow &)> &found) const
{
    QSet<qint64> deleted;
    for (const QPointer<ManagedObject> &gone : std::as_const(m_deleted)) {
        if (gone && gone->objectId() > 0)
            deleted.insert(gone->objectId());
    }
    for (const LogRow &row : fromFile) {
        // A record changed since speaks for itself below.
        const Asset *loaded = m_assetsById.value(row.key);
        if (!wanted(row.fileSize.toLongLong(), row.contentHash) || (loaded && loaded->changedSince(since)) ||
            deleted.contains(row.key) || m_clearedLog.covers(row.key, row.uploadMs) ||
            m_deletingLog.covers(row.key, row.uploadMs))
            continue;
        found(row);
    }
    // Among tens of thousands of records, most are as the file has them.
    for (ManagedObject *record : std::as_const(m_records)) {
        if (!record->changedSince(since))
            continue;
        auto *asset = qobject_cast<Asset *>(record);
        if (!asset)
            continue;
        const std::optional<qint64> size = asset->fileSize();
        const std::optional<QString> hash = size ? asset->contentHash() : std::nullopt;
        if (!hash || !wanted(*size, *hash) || !isLoggedUpload(asset, serverKey))
            continue;
        LogRow row;
        row.key = asset->objectId();
        row.fileSize = *size;
        row.contentHash = *hash;
        row.categoryPath = asset->categoryPath().value_or(QString());
        row.uploadMs = asset->uploadDateTime().value_or(QDateTime()).toMSecsSinceEpoch();
        found(row);
    }
}

Asset *ObjectContext::assetWithId(qint64 id)
{
    if (Asset *asset = m_assetsById.value(id))
        return asset;
    if (!m_store || id <= 0)
        return nullptr;
    for (const QPointer<ManagedObject> &gone : std::as_const(m_deleted)) {
        if (gone && gone->objectId() == id && gone->entityName() == Asset::EntityName)
            return nullptr;
    }
    QString error;
    const auto rows = m_store->loadAssetsById({id}, &error);
    if (!rows || rows->isEmpty())
        return nullptr;
    QVariantMap values = rows->constFirst().values;
    const qint64 uploadMs = values.value(Asset::kUploadDateTime).toDateTime().toMSecsSinceEpoch();
    if (m_clearedLog.covers(id, uploadMs) || m_deletingLog.covers(id, uploadMs))
        return nullptr;
    // A bookmark deleted here but not yet in the file takes its link with it.
    if (ServerBookmark *bookmark = m_bookmarksById.value(rows->constFirst().bookmarkId))
        values.insert(Asset::kBookmark, QVariant::fromValue<QObject *>(bookmark));
    auto *asset = new Asset(this, values, id);
    adopt(asset);
    return asset;
}

QList<Asset *> ObjectContext::assetsInDoubt(const QString &serverKey)
{
    QList<Asset *> found;
    QString error;
    const std::optional<QList<qint64>> ids =
        m_store ? m_store->assetIdsInDoubt(serverKey, &error) : std::optional<QList<qint64>>(QList<qint64>());
    if (!ids)
        qCWarning(lcStore) << "cannot look for uploads in doubt:" << error;
    for (qint64 id : ids.value_or(QList<qint64>())) {
        if (Asset *asset = assetWithId(id))
            found.append(asset);
    }
    for (ManagedObject *record : std::as_const(m_records)) {
        auto *asset = qobject_cast<Asset *>(record);
        if (asset && asset->objectId() <= 0 && asset->isPending() && asset->serverKey() == serverKey &&
            asset->uploadState() != Asset::UploadState::Waiting)
            found.append(asset);
    }
    for (Asset *asset : std::as_const(found)) {
        // Saved as being sent and never settled: the program sending it ended on the way.
        if (asset->uploadState() == Asset::UploadState::Sending)
            asset->setUploadState(Asset::UploadState::MayHaveArrived, Asset::endedWhileSending());
    }
    return found;
}

LogSnapshot ObjectContext::logSnapshot()
{
    LogSnapshot snapshot;
    // A later clear covers an earlier one.
    snapshot.cleared = m_clearedLog.isSet() ? m_clearedLog : m_deletingLog;
    for (const QPointer<ManagedObject> &gone : std::as_const(m_deleted)) {
        if (gone && gone->entityName() == Asset::EntityName && gone->objectId() > 0)
            snapshot.hidden.insert(gone->objectId());
    }
    for (ManagedObject *record : std::as_const(m_records)) {
        if (auto *bookmark = qobject_cast<ServerBookmark *>(record)) {
            if (bookmark->objectId() > 0)
                snapshot.bookmarkNames.insert(bookmark->objectId(), bookmark->bookmarkLongName());
            continue;
        }
        auto *asset = qobject_cast<Asset *>(record);
        if (!asset || !asset->hasChanges())
            continue;
        // The file's row, if any, is out of date: the object's state replaces it.
        if (asset->objectId() > 0)
            snapshot.hidden.insert(asset->objectId());
        if (asset->isPending())
            continue;
        qint64 key = asset->objectId();
        if (key <= 0) {
            auto known = m_logKeys.constFind(asset);
            key = known != m_logKeys.cend() ? *known : m_nextLogKey--;
            m_logKeys.insert(asset, key);
        }
        snapshot.rows.append(LogRow::of(asset, key));
    }
    return snapshot;
}

Asset *ObjectContext::assetForLogKey(qint64 key)
{
    if (key > 0)
        return assetWithId(key);
    for (auto it = m_logKeys.cbegin(); it != m_logKeys.cend(); ++it) {
        if (it.value() == key)
            return m_records.contains(const_cast<Asset *>(it.key())) ? const_cast<Asset *>(it.key())
                                                                     : nullptr;
    }
    return nullptr;
}

bool ObjectContext::hasChanges() const
{
    if (!m_deleted.isEmpty() || m_clearedLog.isSet())
        return true;
    for (ManagedObject *record : m_records) {
        if (record->hasChanges())
            return true;
    }
    return false;
}

bool ObjectContext::isPendingDeletion(const ManagedObject *record) const
{
    return std::any_of(m_deleted.cbegin(), m_deleted.cend(),
                       [record](const QPointer<ManagedObject> &deleted) { return deleted == record; });
}

bool ObjectContext::save(QString *error)
{
    QList<ManagedObject *> all = m_records;
    for (const QPointer<ManagedObject> &record : std::as_const(m_deleted)) {
        if (record)
            all.append(record);
    }
    return saveChanges(all, true, error);
}

bool ObjectContext::saveObjects(const QList<ManagedObject *> &records, QString *error)
{
    return saveChanges(records, false, error);
}

namespace {
// The fields changed since the record was last saved.
QStringList changedKeys(const ManagedObject *record)
{
    const QVariantMap &now = record->values();
    const QVariantMap before = record->committedValues();
    QStringList keys;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (it.value() != before.value(it.key()))
            keys.append(it.key());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!now.contains(it.key()))
            keys.append(it.key());
    return keys;
}

// What the store file is to write for the record: its insert, its deletion or its changed fields.
StoreFile::Change changeOf(ManagedObject *record)
{
    StoreFile::Change change{StoreFile::Change::Update, record, record->entityName(), record->objectId(),
                             record->storedValues()};
    if (record->isDeleted())
        change.kind = StoreFile::Change::Delete;
    else if (record->isInserted())
        change.kind = StoreFile::Change::Insert;
    if (auto *asset = qobject_cast<Asset *>(record))
        change.bookmark = asset->bookmark();
    if (change.kind == StoreFile::Change::Update)
        change.changedKeys = changedKeys(record);
    change.values.remove(Asset::kBookmark);
    return change;
}
} // namespace

void ObjectContext::saveInBackground(const QList<ManagedObject *> &records,
                                     std::function<void(bool, const QString &)> done)
{
    QList<ManagedObject *> targets;
    bool atOnce = !m_store;
    for (ManagedObject *record : records) {
        if (!record || !record->hasChanges() || targets.contains(record))
            continue;
        auto *asset = qobject_cast<Asset *>(record);
        // An insert's id, or a bookmark's, is wanted here before anything else can refer to it.
        atOnce = atOnce || record->isInserted() || record->isDeleted() ||
                 (asset && asset->bookmark() && asset->bookmark()->isInserted());
        targets.append(record);
    }
    if (atOnce) {
        QString error;
        const bool saved = saveObjects(targets, &error);
        queueFinished([done = std::move(done), saved, error] { done(saved, error); });
        return;
    }
    // Even with nothing to write the answer waits its turn behind the saves before it.
    BackgroundSave save{0, {}, {}, {}, std::move(done)};
    QList<StoreFile::Change> changes;
    for (ManagedObject *record : std::as_const(targets)) {
        changes.append(changeOf(record));
        save.records.append(record);
        save.stored.append(record->storedValues());
        save.clocks.append(record->lastChange());
    }
    save.ticket = m_store->writeInBackground(changes, [](ManagedObject *r) { return r->objectId(); });
    m_backgroundSaves.append(std::move(save));
}

void ObjectContext::takeWritten()
{
    if (!m_store)
        return;
    bool saved = false;
    for (const StoreFile::Written &written : m_store->takeWritten()) {
        while (!m_backgroundSaves.isEmpty() && m_backgroundSaves.constFirst().ticket <= written.ticket) {
            BackgroundSave save = m_backgroundSaves.takeFirst();
            const bool ok = save.ticket == written.ticket && written.ok;
            if (ok) {
                for (qsizetype i = 0; i < save.records.size(); ++i) {
                    if (ManagedObject *record = save.records.at(i))
                        record->markSavedAs(save.stored.at(i), save.clocks.at(i));
                }
                saved = saved || !save.records.isEmpty();
            } else {
                qCWarning(lcStore) << "save failed:" << written.error;
            }
            m_finishedSaves.append(
                [done = std::move(save.done), ok, error = written.error] { done(ok, error); });
        }
    }
    if (saved)
        emit didSave();
}

void ObjectContext::queueFinished(std::function<void()> done)
{
    m_finishedSaves.append(std::move(done));
    scheduleFinish();
}

void ObjectContext::scheduleFinish()
{
    if (m_finishScheduled || m_finishedSaves.isEmpty())
        return;
    m_finishScheduled = true;
    QMetaObject::invokeMethod(this, &ObjectContext::finishBackgroundSaves, Qt::QueuedConnection);
}

void ObjectContext::finishBackgroundSaves()
{
    m_finishScheduled = false;
    // In the order the saves were asked for; one may ask for the next.
    while (!m_finishedSaves.isEmpty())
        m_finishedSaves.takeFirst()();
}

bool ObjectContext::saveChanges(const QList<ManagedObject *> &records, bool withCleared, QString *error)
{
    // What the writer thread has done counts first, so nothing it wrote is written again.
    if (m_store && !m_backgroundSaves.isEmpty()) {
        m_store->waitForWriter();
        takeWritten();
        scheduleFinish();
    }
    QList<ManagedObject *> targets;
    QSet<ManagedObject *> seen;
    auto include = [&](ManagedObject *record) {
        if (record && record->hasChanges() && !seen.contains(record)) {
            seen.insert(record);
            targets.append(record);
        }
    };
    for (ManagedObject *record : records) {
        // An asset cannot be written before the unsaved bookmark it points to.
        if (auto *asset = qobject_cast<Asset *>(record); asset && asset->bookmark() && asset->bookmark()->isInserted())
            include(asset->bookmark());
        include(record);
    }
    const bool clearing = withCleared && m_clearedLog.isSet();
    if (targets.isEmpty() && !clearing)
        return true;
    if (!m_store) {
        for (ManagedObject *record : std::as_const(targets)) {
            if (record->isDeleted())
                m_deleted.removeOne(record);
            else
                record->markSaved(record->objectId() ? record->objectId() : -1);
        }
        return true;
    }
    // Bookmarks first so new assets can refer to their rows; deletions of assets before
    // their bookmarks.
    std::stable_sort(targets.begin(), targets.end(), [](ManagedObject *a, ManagedObject *b) {
        auto rank = [](ManagedObject *r) {
            const bool bookmark = r->entityName() == ServerBookmark::EntityName;
            if (r->isDeleted())
                return bookmark ? 3 : 2;
            return bookmark ? 0 : 1;
        };
        return rank(a) < rank(b);
    });
    QList<StoreFile::Change> changes;
    QList<ManagedObject *> insertedRecords;
    for (ManagedObject *record : std::as_const(targets)) {
        changes.append(changeOf(record));
        if (changes.constLast().kind == StoreFile::Change::Insert)
            insertedRecords.append(record);
    }
    QString reason;
    // The mark goes in with the save, so what it covers stays hidden whenever its deletion ends.
    const auto ids = targets.isEmpty() && !clearing
                         ? std::optional(QList<qint64>())
                         : m_store->write(
                               changes, [](ManagedObject *r) { return r->objectId(); }, &reason,
                               clearing ? &m_clearedLog : nullptr);
    if (!ids) {
        qCWarning(lcStore) << "save failed:" << reason;
        if (error)
            *error = reason;
        return false;
    }
    int next = 0;
    for (ManagedObject *record : std::as_const(targets)) {
        if (record->isDeleted()) {
            m_deleted.removeOne(record);
            record->deleteLater();
        } else if (record->isInserted()) {
            record->markSaved(ids->at(next++));
            registerId(record);
            if (auto *asset = qobject_cast<Asset *>(record))
                m_logKeys.remove(asset);
        } else {
            record->markSaved(record->objectId());
        }
    }
    if (clearing)
        deleteClearedLog();
    emit didSave();
    return true;
}

void ObjectContext::deleteClearedLog()
{
    if (m_logDeleter) {
        // The new clear covers the one still being deleted.
        m_logDeleter->wait();
        logDeleted();
    }
    m_deletingLog = m_clearedLog;
    m_clearedLog = {};
    startLogDeletion();
}

void ObjectContext::startLogDeletion()
{
    const LogClear mark = m_deletingLog;
    const QString path = m_store->path();
    auto error = std::make_shared<QString>();
    m_logDeletionError = error;
    m_logDeleter = QThread::create([path, mark, error] {
        if (!StoreFile::deleteLog(path, mark, error.get()) && error->isEmpty())
            *error = QStringLiteral("unknown error");
    });
    const quint64 deletion = ++m_logDeletion;
    connect(m_logDeleter, &QThread::finished, this, [this, deletion] {
        if (deletion == m_logDeletion)
            logDeleted();
    });
    m_logDeleter->start();
}

void ObjectContext::logDeleted()
{
    if (!m_logDeleter)
        return;
    m_logDeleter->wait();
    delete m_logDeleter;
    m_logDeleter = nullptr;
    if (!m_logDeletionError->isEmpty()) {
        qCWarning(lcStore) << "could not delete the cleared log:" << *m_logDeletionError;
        // Still a change to save: the next save tries again.
        if (!m_clearedLog.isSet())
            m_clearedLog = m_deletingLog;
    }
    m_deletingLog = {};
}

void ObjectContext::addEditor(QObject *editor, std::function<bool()> commit)
{
    if (!editor)
        return;
    m_editors.insert(editor, std::move(commit));
    connect(editor, &QObject::destroyed, this, [this, editor] { m_editors.remove(editor); });
}

bool ObjectContext::commitEditing()
{
    bool ok = true;
    const auto editors = m_editors;
    for (const auto &commit : editors)
        ok = commit() && ok;
    return ok;
}
