#include "ObjectContext.h"

#include "Asset.h"
#include "ServerBookmark.h"
#include "StoreFile.h"

#include <QLoggingCategory>
#include <QSet>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

ObjectContext::ObjectContext() = default;

ObjectContext::ObjectContext(std::unique_ptr<StoreFile> store) : m_store(std::move(store)) {}

ObjectContext::~ObjectContext()
{
    // Records go before the store file they belong to.
    qDeleteAll(m_records);
    m_records.clear();
    for (const QPointer<ManagedObject> &record : std::as_const(m_deleted))
        delete record.data();
}

void ObjectContext::adopt(ManagedObject *record)
{
    m_records.append(record);
    connect(record, &ManagedObject::valueChanged, this,
            [this, record](const QString &key) { emit objectChanged(record, key); });
}

bool ObjectContext::load(QString *error)
{
    if (!loadBookmarks(error))
        return false;
    if (!m_store)
        return true;
    const auto assets = m_store->loadAssets(error);
    if (!assets)
        return false;
    QHash<qint64, ServerBookmark *> byId;
    for (ServerBookmark *bookmark : fetchAllBookmarks())
        byId.insert(bookmark->objectId(), bookmark);
    for (const StoreFile::Row &row : *assets) {
        QVariantMap values = row.values;
        if (ServerBookmark *bookmark = byId.value(row.bookmarkId))
            values.insert(Asset::kBookmark, QVariant::fromValue<QObject *>(bookmark));
        adopt(new Asset(this, values, row.id));
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

QList<ManagedObject *> ObjectContext::live() const
{
    return m_records;
}

QList<ServerBookmark *> ObjectContext::fetchAllBookmarks() const
{
    QList<ServerBookmark *> out;
    for (ManagedObject *record : m_records) {
        if (auto *bookmark = qobject_cast<ServerBookmark *>(record))
            out.append(bookmark);
    }
    return out;
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

QList<Asset *> ObjectContext::fetchUploadedAssets() const
{
    QList<Asset *> out;
    for (ManagedObject *record : m_records) {
        auto *asset = qobject_cast<Asset *>(record);
        if (asset && !asset->isPending())
            out.append(asset);
    }
    return out;
}

bool ObjectContext::hasChanges() const
{
    if (!m_deleted.isEmpty())
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
    return saveObjects(all, error);
}

bool ObjectContext::saveObjects(const QList<ManagedObject *> &records, QString *error)
{
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
    if (targets.isEmpty())
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
        StoreFile::Change change{StoreFile::Change::Update, record, record->objectId(), record->storedValues()};
        if (record->isDeleted()) {
            change.kind = StoreFile::Change::Delete;
        } else if (record->isInserted()) {
            change.kind = StoreFile::Change::Insert;
            insertedRecords.append(record);
        }
        if (auto *asset = qobject_cast<Asset *>(record))
            change.bookmark = asset->bookmark();
        change.values.remove(Asset::kBookmark);
        changes.append(change);
    }
    QString reason;
    const auto ids = m_store->write(changes, [](ManagedObject *r) { return r->objectId(); }, &reason);
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
        } else {
            record->markSaved(record->objectId());
        }
    }
    emit didSave();
    return true;
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
