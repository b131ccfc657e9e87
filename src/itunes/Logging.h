#pragma once

#include <QLoggingCategory>

namespace tidyfox::itunes {
Q_DECLARE_LOGGING_CATEGORY(lcITunes)
} // namespace tidyfox::itunes
