// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryclient/ClientLog.h"

namespace tidyfox::libraryclient {
Q_LOGGING_CATEGORY(lcLibraryClient, "tidyfox.libraryclient", QtWarningMsg)
} // namespace tidyfox::libraryclient
