#pragma once

#include "store/ManagedObject.h"
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;
class QWidget;

// Binds one editor widget to one field of a record, the way a form edits a record in place:
// the widget shows the field (and follows changes made elsewhere, an undo among them), and
// the user's edit goes into the record when it is finished (Return, focus leaving the field,
// or the context's commitEditing()), as one undo step of the record's context. Check boxes
// and spin-box arrows finish their edit on each click.
//
// The binding is a child of its widget and dies with it.
class RecordFieldBinding : public QObject {
    Q_OBJECT
public:
    static RecordFieldBinding *bind(QLineEdit *field, const QString &key, ManagedObject *record = nullptr);
    static RecordFieldBinding *bind(QSpinBox *field, const QString &key, ManagedObject *record = nullptr);
    static RecordFieldBinding *bind(QCheckBox *field, const QString &key, ManagedObject *record = nullptr);
    static RecordFieldBinding *bind(QDoubleSpinBox *field, const QString &key,
                                    ManagedObject *record = nullptr);

    RecordFieldBinding(const RecordFieldBinding &) = delete;
    RecordFieldBinding &operator=(const RecordFieldBinding &) = delete;
    ~RecordFieldBinding() override;

    // No record empties and disables the widget. A record that is deleted later does the same.
    void setRecord(ManagedObject *record);
    [[nodiscard]] ManagedObject *record() const { return m_record; }
    [[nodiscard]] const QString &key() const { return m_key; }
    [[nodiscard]] QWidget *widget() const { return m_widget; }

    // Writes the widget's value into the record when it differs. False only when the widget
    // holds input it cannot accept (then nothing is written).
    bool commit();
    // Shows the record's current value, dropping an unfinished edit.
    void refresh();

signals:
    // After a commit that changed the record.
    void committed();

private:
    enum class Kind { Text, Integer, Check, Decimal };

    RecordFieldBinding(QWidget *widget, Kind kind, const QString &key);
    void attach(ManagedObject *record);
    [[nodiscard]] QVariant widgetValue(bool *acceptable) const;
    void showValue(const QVariant &value);

    QPointer<QWidget> m_widget;
    Kind m_kind;
    QString m_key;
    QPointer<ManagedObject> m_record;
    QMetaObject::Connection m_recordConnection;
    QMetaObject::Connection m_deletionConnection;
    bool m_showing = false;
    bool m_committing = false;
};
