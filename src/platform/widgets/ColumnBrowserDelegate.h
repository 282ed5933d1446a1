#pragma once

#include "platform/widgets/BrowserCell.h"

class ColumnBrowser;

// The browser's only data source. Both calls must be cheap: they run per shown column and per
// displayed row, on the GUI thread.
class ColumnBrowserDelegate {
public:
    ColumnBrowserDelegate() = default;
    ColumnBrowserDelegate(const ColumnBrowserDelegate &) = delete;
    ColumnBrowserDelegate &operator=(const ColumnBrowserDelegate &) = delete;
    virtual ~ColumnBrowserDelegate() = default;

    virtual int numberOfRowsInColumn(ColumnBrowser *browser, int column) = 0;
    virtual void willDisplayCell(ColumnBrowser *browser, BrowserCell &cell, int row, int column) = 0;
};
