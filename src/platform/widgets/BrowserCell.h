#pragma once

#include <QIcon>
#include <QString>

// What a ColumnBrowserDelegate fills in for one row. A non-leaf row opens a further column.
struct BrowserCell {
    QString text;
    // Shown after the text, dimmed, and given way first when the row is narrow: what a row says
    // beyond its name (where a queued file goes).
    QString detail;
    bool leaf = false;
    QIcon icon;
    QString toolTip;
    // Read out by assistive technology after the name; says what the text and icon alone do not.
    QString description;
};
