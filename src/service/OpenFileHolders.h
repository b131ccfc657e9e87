// SPDX-License-Identifier: GPL-3.0-or-later
// Whether another process of this user has a file open. A player that keeps
// its collection open while it runs is running whether or not it has taken
// its name on the bus (it may have been built without it, or run with no
// session bus at all), and its file must not change under it.
#pragma once

#include <QString>

namespace tidyfox::library {

bool openInAnotherProcess(const QString &path);

} // namespace tidyfox::library
