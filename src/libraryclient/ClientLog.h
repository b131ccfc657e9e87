#pragma once

#include <QLoggingCategory>

namespace tidyfox::libraryclient {
Q_DECLARE_LOGGING_CATEGORY(lcLibraryClient)
} // namespace tidyfox::libraryclient
