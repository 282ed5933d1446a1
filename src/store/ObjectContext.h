#pragma once

#include "LogQuery.h"
#include "UndoManager.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Asset;
class ManagedObject;
class QThread;
class ServerBookmark;
class StoreFile;

// The one object context of the process: views edit records in place, and a save writes all
// changes (or the given records' changes) to the store file in one transaction. It holds every
// bookmark and every pending asset; uploaded records stay in the file until something asks for
// one (assetWithId), and there is never more than one object per record. Without a store file
// the context works in memory (tests of the protocol).
class ObjectContext : public QObject {
    Q_OBJECT
public:
    ObjectContext();
    explicit ObjectContext(std::unique_ptr<StoreFile> store);
    ~ObjectContext() override;
    ObjectContext(const ObjectContext &) = delete;
    ObjectContext &operator=(const ObjectContext &) = delete;

    // Loads the bookmarks and the pending assets. Returns false with a reason when it cannot.
    [[nodiscard]] bool load(QString *error);
    // Loads only the bookmarks: for a process that adds log entries without reading the log.
    [[nodiscard]] bool loadBookmarks(QString *error);

    ServerBookmark *insertBookmark();
    Asset *insertAsset();
    ManagedObject *insertNewObject(const QString &entityName);

    // Deleting a bookmark deletes its pending assets; its uploaded assets stay in the log
    // without a bookmark.
    void deleteObject(ManagedObject *record);

    // Deletes every uploaded record, loaded or not; pending ones stay. Like any deletion it
    // reaches the file with the next save, which hands it to a worker thread: a long log takes
    // a while to delete, and the window goes on meanwhile.
    void deleteUploadedAssets();
    [[nodiscard]] bool isDeletingLog() const { return m_logDeleter != nullptr; }

    // Named queries, in store order (saved records by id, then unsaved ones as inserted).
    [[nodiscard]] QList<ServerBookmark *> fetchAllBookmarks() const;
    [[nodiscard]] QList<Asset *> fetchPendingAssets(const ServerBookmark *bookmark) const;
    // Loads every uploaded record: for small stores and tests. The import log pages instead.
    [[nodiscard]] QList<Asset *> fetchUploadedAssets();

    // Logged uploads to a server (ServerBookmark::serverKey()) with a content hash, for the
    // duplicate check: whether there are any, and each one whose size and hash are wanted (asked
    // first, and cheaply, so a caller can narrow as it finds). fromFile is what a LogReader found
    // in the file, read off this thread after ManagedObject::changeClock() said since; the
    // context's state replaces it: rows deleted or cleared here go, records changed or saved
    // since (or not yet saved) speak for themselves. Found rows carry key, size, hash, category
    // path and time. Nothing is loaded.
    [[nodiscard]] bool hasUploadsFor(const QString &serverKey) const;
    void findLoggedUploads(const QString &serverKey, const QList<LogRow> &fromFile, quint64 since,
                           const std::function<bool(qint64 size, const QString &hash)> &wanted,
                           const std::function<void(const LogRow &)> &found) const;

    // The object of a stored asset, loaded when nothing holds it yet; null when the record is
    // gone or deleted here.
    [[nodiscard]] Asset *assetWithId(qint64 id);
    // Pending records whose last upload to the server (ServerBookmark::serverKey()) may have
    // arrived, loaded; one saved as being sent, by a program that ended since, is marked so.
    [[nodiscard]] QList<Asset *> assetsInDoubt(const QString &serverKey);
    // Only when already loaded.
    [[nodiscard]] Asset *registeredAsset(qint64 id) const { return m_assetsById.value(id); }
    [[nodiscard]] ServerBookmark *registeredBookmark(qint64 id) const { return m_bookmarksById.value(id); }
    // What the import log's queries must see besides the file: unsaved uploads and changes,
    // deleted and cleared records, the bookmarks' current names.
    [[nodiscard]] LogSnapshot logSnapshot();
    // The record behind a key of the snapshot (negative for records never saved).
    [[nodiscard]] Asset *assetForLogKey(qint64 key);

    [[nodiscard]] bool hasChanges() const;
    // Deleted, and the deletion not saved yet.
    [[nodiscard]] bool isPendingDeletion(const ManagedObject *record) const;

    // Saves every change. On failure every change stays in the context and error says why.
    bool save(QString *error = nullptr);
    // Saves only these records' changes (and any unsaved record they refer to).
    bool saveObjects(const QList<ManagedObject *> &records, QString *error = nullptr);
    // Saves these records' changes on the store's writer thread, so the caller's thread never
    // waits on the disk: every save, this kind or the other, reaches the file in the order asked,
    // each committed before the next. done runs on this thread, never inside this call, once
    // the file has them (or could not take them); the records count as saved from then on. A
    // record never saved, or deleted, is saved at once, as saveObjects does.
    void saveInBackground(const QList<ManagedObject *> &records,
                          std::function<void(bool saved, const QString &error)> done);

    // Bound editors register how to commit a field still being edited.
    void addEditor(QObject *editor, std::function<bool()> commit);
    bool commitEditing();

    [[nodiscard]] UndoManager *undoManager() { return &m_undoManager; }
    [[nodiscard]] StoreFile *storeFile() const { return m_store.get(); }

signals:
    void objectInserted(ManagedObject *record);
    void objectDeleted(ManagedObject *record);
    void objectChanged(ManagedObject *record, const QString &key);
    // deleteUploadedAssets() ran.
    void uploadedAssetsDeleted();
    void didSave();

private:
    void adopt(ManagedObject *record);
    [[nodiscard]] QList<ManagedObject *> live() const;
    bool saveChanges(const QList<ManagedObject *> &records, bool withCleared, QString *error);
    // Applies what the writer thread finished; the callers hear of it in a turn of their own.
    void takeWritten();
    void finishBackgroundSaves();
    void queueFinished(std::function<void()> done);
    // Runs the finished saves' callbacks in a later turn of the event loop, once.
    void scheduleFinish();
    void registerId(ManagedObject *record);
    void deleteClearedLog();
    // Deletes what m_deletingLog covers on a worker thread.
    void startLogDeletion();
    void logDeleted();

    std::unique_ptr<StoreFile> m_store;
    QList<ManagedObject *> m_records; // owned (QObject children), store order
    // The bookmarks among them, in the same order: asked for after every save, among
    // thousands of queued and logged files.
    QList<ServerBookmark *> m_bookmarks;
    QList<QPointer<ManagedObject>> m_deleted;
    // Saved records by id, loaded and not deleted.
    QHash<qint64, Asset *> m_assetsById;
    QHash<qint64, ServerBookmark *> m_bookmarksById;
    // What deleteUploadedAssets() took out since the last save, and what a worker is deleting.
    LogClear m_clearedLog;
    LogClear m_deletingLog;
    QThread *m_logDeleter = nullptr;
    quint64 m_logDeletion = 0;
    std::shared_ptr<QString> m_logDeletionError;
    // Keys of unsaved records in the log's queries.
    QHash<const Asset *, qint64> m_logKeys;
    qint64 m_nextLogKey = -1;
    QHash<QObject *, std::function<bool()>> m_editors;
    // Saves on the writer thread, oldest first, with the records as they were handed over.
    struct BackgroundSave {
        quint64 ticket;
        QList<QPointer<ManagedObject>> records;
        QList<QVariantMap> stored;
        QList<quint64> clocks;
        std::function<void(bool, const QString &)> done;
    };
    QList<BackgroundSave> m_backgroundSaves;
    QList<std::function<void()>> m_finishedSaves;
    bool m_finishScheduled = false;
    UndoManager m_undoManager;
};
