#pragma once

// What a screen reader gets from our windows, read through Qt's accessibility interfaces (the
// same objects the AT-SPI bridge serves), never through pixels.

#include <QAccessible>
#include <QMenu>
#include <QStringList>
#include <QWidget>

namespace AccessibleTree {

// The items a screen reader can read in a menu: the names of its valid, non-separator children.
inline QStringList menuItems(QMenu *menu)
{
    QStringList names;
    QAccessibleInterface *iface = menu ? QAccessible::queryAccessibleInterface(menu) : nullptr;
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (child && child->isValid() && child->role() != QAccessible::Separator)
            names.append(child->text(QAccessible::Name).remove(QLatin1Char('&')));
    }
    return names;
}

// Visible controls a screen reader would announce without a name, by object name (or class),
// comma-separated so a failed comparison shows them.
inline QString unnamedControls(QWidget *root)
{
    static const QList<QAccessible::Role> controls{
        QAccessible::PushButton,  QAccessible::ButtonMenu,  QAccessible::CheckBox,
        QAccessible::RadioButton, QAccessible::ComboBox,    QAccessible::EditableText,
        QAccessible::SpinBox,     QAccessible::List,        QAccessible::Table,
        QAccessible::Tree,        QAccessible::ProgressBar, QAccessible::Slider};
    QStringList unnamed;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *iface) {
        if (!iface || !iface->isValid() || iface->state().invisible)
            return;
        const QAccessible::Role role = iface->role();
        if (controls.contains(role) && iface->text(QAccessible::Name).trimmed().isEmpty()) {
            const QObject *object = iface->object();
            unnamed.append(object && !object->objectName().isEmpty()
                               ? object->objectName()
                               : QString::fromLatin1(object ? object->metaObject()->className() : "?"));
        }
        // The rows of item views are their own business.
        if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree)
            return;
        for (int i = 0; i < iface->childCount(); ++i)
            walk(iface->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(root));
    return unnamed.join(QLatin1String(", "));
}

} // namespace AccessibleTree
