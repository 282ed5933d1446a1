#pragma once

#include <QList>
#include <QPair>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <vector>

class ManagedObject;

// Undo of committed field edits, one step per edit. Programmatic changes (session state,
// upload stamps) are not registered, so taking back a form edit never unstamps an upload.
class UndoManager : public QObject {
    Q_OBJECT
public:
    UndoManager() = default;
    UndoManager(const UndoManager &) = delete;
    UndoManager &operator=(const UndoManager &) = delete;

    // Sets the field and records the step.
    void setValue(ManagedObject *record, const QString &key, const QVariant &value);
    // Sets several fields as one step (a pasted address split into its fields, say).
    void setValues(ManagedObject *record, const QList<QPair<QString, QVariant>> &values);

    [[nodiscard]] bool canUndo() const { return !m_undo.empty(); }
    [[nodiscard]] bool canRedo() const { return !m_redo.empty(); }
    [[nodiscard]] int undoCount() const { return int(m_undo.size()); }
    void undo();
    void redo();
    void clear();

signals:
    void changed();

private:
    struct Change {
        QString key;
        QVariant before;
        QVariant after;
    };
    struct Step {
        QPointer<ManagedObject> record;
        QList<Change> changes;
    };
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
};
