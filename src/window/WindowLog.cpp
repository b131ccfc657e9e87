// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowLog.h"

namespace tidyfox::window {
Q_LOGGING_CATEGORY(lcWindow, "tidyfox.window", QtWarningMsg)
}
