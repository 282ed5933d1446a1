#include "UndoManager.h"

#include "ManagedObject.h"

void UndoManager::setValue(ManagedObject *record, const QString &key, const QVariant &value)
{
    if (!record)
        return;
    const QVariant before = record->value(key);
    if (before == value && before.isValid() == value.isValid())
        return;
    record->setValue(key, value);
    m_undo.push_back(Step{record, key, before, value});
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
    if (step.record)
        step.record->setValue(step.key, step.before);
    m_redo.push_back(step);
    emit changed();
}

void UndoManager::redo()
{
    if (m_redo.empty())
        return;
    Step step = m_redo.back();
    m_redo.pop_back();
    if (step.record)
        step.record->setValue(step.key, step.after);
    m_undo.push_back(step);
    emit changed();
}

void UndoManager::clear()
{
    m_undo.clear();
    m_redo.clear();
    emit changed();
}
