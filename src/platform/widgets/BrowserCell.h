#pragma once

#include <QIcon>
#include <QString>

// What a ColumnBrowserDelegate fills in for one row. A non-leaf row opens a further column.
struct BrowserCell {
    QString text;
    bool leaf = false;
    QIcon icon;
    QString toolTip;
};
