#include "platform/widgets/WidgetsLogging.h"

Q_LOGGING_CATEGORY(lcPlatformWidgets, "lumaro.platform")
