// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ServiceLog.h"

namespace tidyfox::library {
Q_LOGGING_CATEGORY(lcService, "tidyfox.service", QtWarningMsg)
} // namespace tidyfox::library
