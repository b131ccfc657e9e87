// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/GridLog.h"

Q_LOGGING_CATEGORY(lcGrid, "tidyfox.grid", QtWarningMsg)
