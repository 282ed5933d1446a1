#pragma once

#include <QLoggingCategory>

// Diagnostics of the bookmarks window, list and editors.
Q_DECLARE_LOGGING_CATEGORY(lcBookmarks)
