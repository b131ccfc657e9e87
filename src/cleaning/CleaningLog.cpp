#include "cleaning/CleaningLog.h"

Q_LOGGING_CATEGORY(lcCleaning, "tidyfox.cleaning", QtWarningMsg)
