// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

namespace tidyfox::libraryclient {
Q_DECLARE_LOGGING_CATEGORY(lcLibraryClient)
} // namespace tidyfox::libraryclient
