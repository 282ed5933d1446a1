#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class ObjectContext;

// Base of every stored record. Persistent fields are kept by name; an absent field is an
// invalid QVariant, so "no value" and 0 stay distinct. Fields are Qt properties of the
// subclasses so views can read and write them by name.
class ManagedObject : public QObject {
    Q_OBJECT
public:
    ManagedObject(const ManagedObject &) = delete;
    ManagedObject &operator=(const ManagedObject &) = delete;
    ~ManagedObject() override;

    [[nodiscard]] const QString &entityName() const { return m_entityName; }
    [[nodiscard]] ObjectContext *managedObjectContext() const { return m_context; }

    // Row id in the store file; 0 until the record has been saved once.
    [[nodiscard]] qint64 objectId() const { return m_objectId; }

    [[nodiscard]] QVariant value(const QString &key) const { return m_values.value(key); }
    [[nodiscard]] bool hasValue(const QString &key) const { return m_values.contains(key); }
    // An invalid QVariant removes the field.
    void setValue(const QString &key, const QVariant &value);
    [[nodiscard]] const QVariantMap &values() const { return m_values; }

    // What the store file keeps of the record; a field held elsewhere (a password in the
    // desktop keyring) is left out.
    [[nodiscard]] virtual QVariantMap storedValues() const { return m_values; }

    // Unsaved insertion, deletion or change of what the store file keeps.
    [[nodiscard]] bool hasChanges() const;
    [[nodiscard]] bool isInserted() const { return m_inserted; }
    [[nodiscard]] bool isDeleted() const { return m_deleted; }
    [[nodiscard]] QVariantMap committedValues() const { return m_committed; }

    // A clock of changes to records, for work that reads the store file elsewhere: a record
    // that has not changedSince(the clock read before the file was) is as the file has it.
    [[nodiscard]] static quint64 changeClock() { return s_changeClock; }
    [[nodiscard]] bool changedSince(quint64 clock) const
    {
        return m_inserted || m_lastChange > m_lastSave || m_lastChange > clock;
    }

signals:
    void valueChanged(const QString &key);

protected:
    // The one initialiser every record object passes through, for new and for loaded ones.
    ManagedObject(const QString &entityName, ObjectContext *context, const QVariantMap &stored, qint64 objectId);

private:
    friend class ObjectContext;
    friend class StoreFile;

    void markSaved(qint64 objectId);
    // Saved as it was when the change clock read changeClock: a change made since stays unsaved.
    void markSavedAs(const QVariantMap &stored, quint64 changeClock);
    [[nodiscard]] quint64 lastChange() const { return m_lastChange; }
    void markDeleted(bool deleted) { m_deleted = deleted; }

    QString m_entityName;
    ObjectContext *m_context;
    qint64 m_objectId;
    QVariantMap m_values;
    QVariantMap m_committed;
    bool m_inserted;
    bool m_deleted = false;
    // Records live on the main thread; so does the clock.
    static inline quint64 s_changeClock = 0;
    quint64 m_lastChange = ++s_changeClock; // loaded or made now
    quint64 m_lastSave = 0;
};
