#pragma once

#include <QLoggingCategory>

// Diagnostics of the widget layer: misrouted segues, unknown controllers, bad sheet requests.
Q_DECLARE_LOGGING_CATEGORY(lcPlatformWidgets)
