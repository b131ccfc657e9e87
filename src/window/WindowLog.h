#pragma once

#include <QLoggingCategory>

namespace tidyfox::window {
Q_DECLARE_LOGGING_CATEGORY(lcWindow)
}
