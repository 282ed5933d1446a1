#pragma once

#include <QIcon>
#include <QString>

// What a ColumnBrowserDelegate fills in for one row. A non-leaf row opens a further column.
struct BrowserCell {
    QString text;
    bool leaf = false;
    QIcon icon;
    QString toolTip;
    // Read out by assistive technology after the name; says what the text and icon alone do not.
    QString description;
};
