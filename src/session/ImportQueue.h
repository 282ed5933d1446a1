#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

class Asset;
class ManagedObject;
class ObjectContext;

// The upload view's queue: pending records in display order, plus why a record's upload failed
// in the last batch. Records that the store deletes behind the view's back (their bookmark was
// deleted) leave the queue on their own.
class ImportQueue : public QObject {
    Q_OBJECT
public:
    explicit ImportQueue(QObject *parent = nullptr);
    ~ImportQueue() override;
    ImportQueue(const ImportQueue &) = delete;
    ImportQueue &operator=(const ImportQueue &) = delete;

    void watch(ObjectContext *context);

    // The paths to queue for a list of file URLs, in order: a file as it is, a folder as the
    // regular, visible files directly inside it, in name order (nothing when it cannot be read).
    [[nodiscard]] static QStringList filesToQueue(const QList<QUrl> &urls);

    [[nodiscard]] QList<Asset *> records() const;
    [[nodiscard]] int size() const { return int(m_records.size()); }
    [[nodiscard]] bool isEmpty() const { return m_records.isEmpty(); }
    [[nodiscard]] Asset *at(int row) const;
    [[nodiscard]] Asset *last() const { return isEmpty() ? nullptr : at(size() - 1); }
    // -1 when the object is not queued.
    [[nodiscard]] int rowOf(const QObject *record) const;

    void append(Asset *record);
    void removeAt(int row);

    void setFailure(const Asset *record, const QString &reason);
    [[nodiscard]] QString failure(int row) const;
    [[nodiscard]] int failureCount() const { return int(m_failures.size()); }
    void clearFailures() { m_failures.clear(); }

signals:
    // A record left the queue without the view asking.
    void recordsDropped();

private:
    void forget(ManagedObject *record);

    QList<QPointer<Asset>> m_records;
    QHash<const Asset *, QString> m_failures;
};
