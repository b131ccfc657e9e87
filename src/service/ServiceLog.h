// SPDX-License-Identifier: GPL-3.0-or-later
// Logging category of the library service and its command line.
#pragma once

#include <QLoggingCategory>

namespace tidyfox::library {
Q_DECLARE_LOGGING_CATEGORY(lcService)
} // namespace tidyfox::library
