#include "ManagedObject.h"

ManagedObject::ManagedObject(const QString &entityName, ObjectContext *context, const QVariantMap &stored,
                             qint64 objectId)
    : m_entityName(entityName), m_context(context), m_objectId(objectId), m_values(stored), m_committed(stored),
      m_inserted(objectId == 0)
{
}

ManagedObject::~ManagedObject() = default;

void ManagedObject::setValue(const QString &key, const QVariant &value)
{
    const bool had = m_values.contains(key);
    if (!value.isValid()) {
        if (!had)
            return;
        m_values.remove(key);
    } else {
        if (had && m_values.value(key) == value && m_values.value(key).metaType() == value.metaType())
            return;
        m_values.insert(key, value);
    }
    m_lastChange = ++s_changeClock;
    emit valueChanged(key);
}

bool ManagedObject::hasChanges() const
{
    return m_inserted || m_deleted || storedValues() != m_committed;
}

void ManagedObject::markSaved(qint64 objectId)
{
    m_objectId = objectId;
    m_committed = storedValues();
    m_inserted = false;
    m_lastSave = m_lastChange = ++s_changeClock;
}

void ManagedObject::markSavedAs(const QVariantMap &stored, quint64 changeClock)
{
    m_committed = stored;
    if (m_lastChange == changeClock)
        m_lastSave = m_lastChange = ++s_changeClock;
    else
        m_lastSave = changeClock;
}
