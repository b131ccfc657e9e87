#pragma once

#include <QLoggingCategory>

namespace tidyfox::shell {
Q_DECLARE_LOGGING_CATEGORY(lcShell)
}
