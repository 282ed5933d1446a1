#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <utility>

class Asset;
class ManagedObject;
class ObjectContext;

// The upload view's queue: pending records in display order, plus why a record's upload failed
// in the last batch. A record sent during a batch is only marked: it leaves with the view's next
// display update, so the list changes at the pace the view redraws. Records that the store
// deletes behind the view's back (their bookmark was deleted) leave the queue on their own.
class ImportQueue : public QObject {
    Q_OBJECT
public:
    explicit ImportQueue(QObject *parent = nullptr);
    ~ImportQueue() override;
    ImportQueue(const ImportQueue &) = delete;
    ImportQueue &operator=(const ImportQueue &) = delete;

    void watch(ObjectContext *context);

    [[nodiscard]] QList<Asset *> records() const;
    [[nodiscard]] int size() const { return int(m_records.size()); }
    [[nodiscard]] bool isEmpty() const { return m_records.isEmpty(); }
    [[nodiscard]] Asset *at(int row) const;
    [[nodiscard]] Asset *last() const { return isEmpty() ? nullptr : at(size() - 1); }
    // -1 when the object is not queued.
    [[nodiscard]] int rowOf(const QObject *record) const;
    [[nodiscard]] bool contains(const QObject *record) const { return record && m_listed.contains(record); }
    // Whether a record of that file is listed: a file is queued once.
    [[nodiscard]] bool containsPath(const QString &path) const { return m_paths.contains(path); }

    void append(Asset *record);
    void removeAt(int row) { removeRows(row, 1); }
    void removeRows(int first, int count);

    // False when the record is not listed or already marked.
    bool markSent(const QObject *record);
    // -1 when every listed record is marked sent.
    [[nodiscard]] int firstUnsentRow() const;
    // The rows of the records marked sent, as (first row, count) runs from the bottom up, so
    // each run is still where it says once the runs below it are gone.
    [[nodiscard]] QList<std::pair<int, int>> sentRuns() const;

    void setFailure(const Asset *record, const QString &reason);
    [[nodiscard]] QString failure(int row) const;
    [[nodiscard]] int failureCount() const { return int(m_failures.size()); }
    void clearFailures() { m_failures.clear(); }

signals:
    // A record left the queue without the view asking; row is where it was.
    void recordDropped(int row);

private:
    void forget(ManagedObject *record);

    QList<QPointer<Asset>> m_records;
    QHash<const Asset *, QString> m_failures;
    QSet<const QObject *> m_sent;
    // The same records as m_records, looked up rather than searched: a card of thousands asks
    // about each of its files.
    QSet<const QObject *> m_listed;
    // How many listed records name each file, taken when listed: a record may be gone by the
    // time its row leaves.
    QList<QString> m_recordPaths;
    QHash<QString, int> m_paths;
};
