#include "cleancli/CleanCliLog.h"

Q_LOGGING_CATEGORY(lcCleanCli, "tidyfox.cleancli", QtWarningMsg)
