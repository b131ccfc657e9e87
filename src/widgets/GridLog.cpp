#include "widgets/GridLog.h"

Q_LOGGING_CATEGORY(lcGrid, "tidyfox.grid", QtWarningMsg)
