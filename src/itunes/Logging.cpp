#include "itunes/Logging.h"

namespace tidyfox::itunes {
Q_LOGGING_CATEGORY(lcITunes, "tidyfox.itunes", QtWarningMsg)
} // namespace tidyfox::itunes
