#pragma once

#include "UndoManager.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class Asset;
class ManagedObject;
class ServerBookmark;
class StoreFile;

// The one object context of the process: every record lives here, views edit records in place,
// and a save writes all changes (or the given records' changes) to the store file in one
// transaction. Without a store file the context still works in memory (tests of the protocol).
class ObjectContext : public QObject {
    Q_OBJECT
public:
    ObjectContext();
    explicit ObjectContext(std::unique_ptr<StoreFile> store);
    ~ObjectContext() override;
    ObjectContext(const ObjectContext &) = delete;
    ObjectContext &operator=(const ObjectContext &) = delete;

    // Loads every record of the store file. Returns false with a reason when it cannot.
    [[nodiscard]] bool load(QString *error);
    // Loads only the bookmarks: for a process that adds log entries without reading the log.
    [[nodiscard]] bool loadBookmarks(QString *error);

    ServerBookmark *insertBookmark();
    Asset *insertAsset();
    ManagedObject *insertNewObject(const QString &entityName);

    // Deleting a bookmark deletes its pending assets; its uploaded assets stay in the log
    // without a bookmark.
    void deleteObject(ManagedObject *record);

    // Named queries, in store order (saved records by id, then unsaved ones as inserted).
    [[nodiscard]] QList<ServerBookmark *> fetchAllBookmarks() const;
    [[nodiscard]] QList<Asset *> fetchPendingAssets(const ServerBookmark *bookmark) const;
    [[nodiscard]] QList<Asset *> fetchUploadedAssets() const;

    [[nodiscard]] bool hasChanges() const;
    // Deleted, and the deletion not saved yet.
    [[nodiscard]] bool isPendingDeletion(const ManagedObject *record) const;

    // Saves every change. On failure every change stays in the context and error says why.
    bool save(QString *error = nullptr);
    // Saves only these records' changes (and any unsaved record they refer to).
    bool saveObjects(const QList<ManagedObject *> &records, QString *error = nullptr);

    // Bound editors register how to commit a field still being edited.
    void addEditor(QObject *editor, std::function<bool()> commit);
    bool commitEditing();

    [[nodiscard]] UndoManager *undoManager() { return &m_undoManager; }
    [[nodiscard]] StoreFile *storeFile() const { return m_store.get(); }

signals:
    void objectInserted(ManagedObject *record);
    void objectDeleted(ManagedObject *record);
    void objectChanged(ManagedObject *record, const QString &key);
    void didSave();

private:
    void adopt(ManagedObject *record);
    [[nodiscard]] QList<ManagedObject *> live() const;

    std::unique_ptr<StoreFile> m_store;
    QList<ManagedObject *> m_records; // owned (QObject children), store order
    QList<QPointer<ManagedObject>> m_deleted;
    QHash<QObject *, std::function<bool()>> m_editors;
    UndoManager m_undoManager;
};
