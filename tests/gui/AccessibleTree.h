#pragma once

// What a screen reader gets from our windows, read through Qt's accessibility interfaces (the
// objects the AT-SPI bridge serves), never through pixels.

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QStringList>
#include <QWidget>

namespace AccessibleTree {

// What a screen reader reads as a widget's name.
inline QString nameOf(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The names of a menu's readable items: valid children other than separators.
inline QStringList menuItems(QMenu *menu)
{
    QStringList names;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (child && child->isValid() && child->role() != QAccessible::Separator)
            names.append(child->text(QAccessible::Name).remove(QLatin1Char('&')));
    }
    return names;
}

// Visible controls that would be announced without a name, and labels whose text a fixed name
// hides (a label with a name of its own announces no change of text), by object name.
inline QString unnamedControls(QWidget *root)
{
    using A = QAccessible;
    static const QList<A::Role> controls{A::PushButton, A::ButtonMenu,   A::CheckBox,   A::RadioButton,
                                         A::ComboBox,   A::EditableText, A::SpinBox,    A::List,
                                         A::Table,      A::Tree,         A::ProgressBar};
    QStringList unnamed;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *iface) {
        if (!iface || !iface->isValid() || iface->state().invisible)
            return;
        if (controls.contains(iface->role()) && iface->text(A::Name).trimmed().isEmpty())
            unnamed.append(iface->object() ? iface->object()->objectName() : QStringLiteral("?"));
        if (const auto *label = qobject_cast<QLabel *>(iface->object());
            label && label->pixmap().isNull() && !label->accessibleName().isEmpty() &&
            label->accessibleName() != label->text())
            unnamed.append(label->objectName() + QLatin1String(" (named over its text)"));
        // The rows of item views are their own business.
        if (iface->role() != A::List && iface->role() != A::Table && iface->role() != A::Tree)
            for (int i = 0; i < iface->childCount(); ++i)
                walk(iface->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(root));
    return unnamed.join(QLatin1String(", "));
}

} // namespace AccessibleTree
