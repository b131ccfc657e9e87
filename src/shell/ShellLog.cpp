#include "shell/ShellLog.h"

namespace tidyfox::shell {
Q_LOGGING_CATEGORY(lcShell, "tidyfox.shell", QtWarningMsg)
}
