// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

namespace tidyfox::window {
Q_DECLARE_LOGGING_CATEGORY(lcWindow)
}
