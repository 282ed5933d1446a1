#include "UndoManager.h"

#include "ManagedObject.h"

void UndoManager::setValue(ManagedObject *record, const QString &key, const QVariant &value)
{
    setValues(record, {{key, value}});
}

void UndoManager::setValues(ManagedObject *record, const QList<QPair<QString, QVariant>> &values)
{
    if (!record)
        return;
    Step step{record, {}};
    for (const auto &[key, value] : values) {
        const QVariant before = record->value(key);
        if (before == value && before.isValid() == value.isValid())
            continue;
        record->setValue(key, value);
        step.changes.append({key, before, value});
    }
    if (step.changes.isEmpty())
        return;
    m_undo.push_back(step);
    m_redo.clear();
    emit changed();
}

void UndoManager::undo()
{
    if (m_undo.empty())
        return;
    Step step = m_undo.back();
    m_undo.pop_back();
    // A step whose record is gone is used up all the same: one request, one step.
    if (step.record) {
        for (auto change = step.changes.crbegin(); change != step.changes.crend(); ++change)
            step.record->setValue(change->key, change->before);
    }
    m_redo.push_back(step);
    emit changed();
}

void UndoManager::redo()
{
    if (m_redo.empty())
        return;
    Step step = m_redo.back();
    m_redo.pop_back();
    if (step.record) {
        for (const Change &change : std::as_const(step.changes))
            step.record->setValue(change.key, change.after);
    }
    m_undo.push_back(step);
    emit changed();
}

void UndoManager::clear()
{
    m_undo.clear();
    m_redo.clear();
    emit changed();
}
