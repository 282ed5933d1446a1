#include "platform/widgets/RecordFieldBinding.h"

#include "platform/widgets/WidgetsLogging.h"
#include "store/ManagedObject.h"
#include "store/ObjectContext.h"
#include "store/UndoManager.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSpinBox>

RecordFieldBinding::RecordFieldBinding(QWidget *widget, Kind kind, const QString &key)
    : QObject(widget), m_widget(widget), m_kind(kind), m_key(key)
{
}

RecordFieldBinding::~RecordFieldBinding() = default;

RecordFieldBinding *RecordFieldBinding::bind(QLineEdit *field, const QString &key, ManagedObject *record)
{
    auto *binding = new RecordFieldBinding(field, Kind::Text, key);
    connect(field, &QLineEdit::editingFinished, binding, &RecordFieldBinding::commit);
    binding->setRecord(record);
    return binding;
}

RecordFieldBinding *RecordFieldBinding::bind(QSpinBox *field, const QString &key, ManagedObject *record)
{
    auto *binding = new RecordFieldBinding(field, Kind::Integer, key);
    // Without keyboard tracking the value changes only when an edit is finished or an arrow is
    // used, never on each keystroke, so every change is a finished edit.
    field->setKeyboardTracking(false);
    connect(field, &QSpinBox::valueChanged, binding, [binding] {
        if (!binding->m_showing)
            binding->commit();
    });
    binding->setRecord(record);
    return binding;
}

RecordFieldBinding *RecordFieldBinding::bind(QCheckBox *field, const QString &key, ManagedObject *record)
{
    auto *binding = new RecordFieldBinding(field, Kind::Check, key);
    // clicked, not toggled: only the user's clicks are edits.
    connect(field, &QCheckBox::clicked, binding, &RecordFieldBinding::commit);
    binding->setRecord(record);
    return binding;
}

RecordFieldBinding *RecordFieldBinding::bind(QDoubleSpinBox *field, const QString &key, ManagedObject *record)
{
    auto *binding = new RecordFieldBinding(field, Kind::Decimal, key);
    // As for whole numbers: every change of the value is a finished edit.
    field->setKeyboardTracking(false);
    connect(field, &QDoubleSpinBox::valueChanged, binding, [binding] {
        if (!binding->m_showing)
            binding->commit();
    });
    binding->setRecord(record);
    return binding;
}

void RecordFieldBinding::setRecord(ManagedObject *record)
{
    if (record == m_record && (record || !m_recordConnection))
        return;
    disconnect(m_recordConnection);
    disconnect(m_deletionConnection);
    m_recordConnection = {};
    m_deletionConnection = {};
    m_record = record;
    if (record)
        attach(record);
    if (m_widget)
        m_widget->setEnabled(record != nullptr);
    refresh();
}

void RecordFieldBinding::attach(ManagedObject *record)
{
    m_recordConnection = connect(record, &ManagedObject::valueChanged, this, [this](const QString &key) {
        if (key == m_key)
            refresh();
    });
    if (ObjectContext *context = record->managedObjectContext()) {
        context->addEditor(this, [this] { return commit(); });
        m_deletionConnection =
            connect(context, &ObjectContext::objectDeleted, this, [this](ManagedObject *gone) {
                if (gone == m_record)
                    setRecord(nullptr);
            });
    }
}

QVariant RecordFieldBinding::widgetValue(bool *acceptable) const
{
    *acceptable = true;
    switch (m_kind) {
    case Kind::Text: {
        auto *edit = static_cast<QLineEdit *>(m_widget.data());
        *acceptable = edit->hasAcceptableInput();
        return edit->text();
    }
    case Kind::Integer: {
        auto *spin = static_cast<QSpinBox *>(m_widget.data());
        // Takes typed text that has not been turned into the value yet.
        spin->interpretText();
        return QVariant::fromValue<qint64>(spin->value());
    }
    case Kind::Check:
        return static_cast<QCheckBox *>(m_widget.data())->isChecked();
    case Kind::Decimal: {
        auto *spin = static_cast<QDoubleSpinBox *>(m_widget.data());
        spin->interpretText();
        return spin->value();
    }
    }
    return {};
}

bool RecordFieldBinding::commit()
{
    if (!m_widget || !m_record || m_record->isDeleted() || m_showing || m_committing)
        return true;
    QScopedValueRollback committing(m_committing, true);
    bool acceptable = true;
    QVariant value = widgetValue(&acceptable);
    if (!acceptable)
        return false;
    const QVariant current = m_record->value(m_key);
    // An untouched empty text field, unchecked box or zero number leaves an absent field absent.
    if (!current.isValid() &&
        ((m_kind == Kind::Text && value.toString().isEmpty()) || (m_kind == Kind::Check && !value.toBool()) ||
         (m_kind == Kind::Decimal && value.toDouble() == 0)))
        return true;
    if (current.isValid() && current == value)
        return true;
    ObjectContext *context = m_record->managedObjectContext();
    if (context)
        context->undoManager()->setValue(m_record, m_key, value);
    else
        m_record->setValue(m_key, value);
    qCDebug(lcPlatformWidgets) << "committed" << m_key << "of a" << m_record->entityName();
    emit committed();
    return true;
}

void RecordFieldBinding::refresh()
{
    showValue(m_record ? m_record->value(m_key) : QVariant());
}

void RecordFieldBinding::showValue(const QVariant &value)
{
    if (!m_widget)
        return;
    QScopedValueRollback showing(m_showing, true);
    switch (m_kind) {
    case Kind::Text: {
        auto *edit = static_cast<QLineEdit *>(m_widget.data());
        const QString text = value.toString();
        if (edit->text() != text)
            edit->setText(text);
        break;
    }
    case Kind::Integer: {
        auto *spin = static_cast<QSpinBox *>(m_widget.data());
        const int number = int(value.toLongLong());
        // Also rewrites typed text that was never finished when the number is unchanged.
        spin->setValue(number);
        break;
    }
    case Kind::Check:
        static_cast<QCheckBox *>(m_widget.data())->setChecked(value.toBool());
        break;
    case Kind::Decimal:
        static_cast<QDoubleSpinBox *>(m_widget.data())->setValue(value.toDouble());
        break;
    }
}
