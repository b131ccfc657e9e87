// SPDX-License-Identifier: GPL-3.0-or-later
// Where the library lives when no --library PATH is given.
#pragma once

#include <QString>

namespace tidyfox::library {

// $XDG_DATA_HOME/tidyfox/library.db (~/.local/share/tidyfox/library.db when
// XDG_DATA_HOME is not set).
QString defaultLibraryPath();

} // namespace tidyfox::library
