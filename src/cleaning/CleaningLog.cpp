// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/CleaningLog.h"

Q_LOGGING_CATEGORY(lcCleaning, "tidyfox.cleaning", QtWarningMsg)
