#include "window/WindowLog.h"

namespace tidyfox::window {
Q_LOGGING_CATEGORY(lcWindow, "tidyfox.window", QtWarningMsg)
}
