// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/CleanCliLog.h"

Q_LOGGING_CATEGORY(lcCleanCli, "tidyfox.cleancli", QtWarningMsg)
