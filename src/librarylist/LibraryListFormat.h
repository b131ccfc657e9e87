// SPDX-License-Identifier: GPL-3.0-or-later
// Binds the library model to the library grid and gives the grid its fixed
// look: which columns show, captions, widths, what the user may do, colours.
#pragma once

#include "common/AlertKind.h"

#include <QString>
#include <functional>
#include <memory>

namespace tidyfox::widgets {
class TreeGrid;
}

namespace tidyfox::librarylist {

class LibraryListModel;

using AlertFunction = std::function<void(const QString &text, AlertKind kind, const QString &title)>;

// Applies every setting in a fixed order and returns true. The first setting
// the grid refuses ends the routine: the settings made so far stay, the alert
// is shown and the result is false.
bool formatLibraryList(widgets::TreeGrid &grid, const std::shared_ptr<LibraryListModel> &model,
                       const AlertFunction &showAlert);

// Narrows the list to the playlists whose name, and the tracks whose name,
// artist or album, hold text; empty text shows everything.
void searchLibraryList(widgets::TreeGrid &grid, const QString &text);

// The field that names a playlist row from one fill of the list to the next.
inline constexpr int kPlaylistKeyField = 0;

} // namespace tidyfox::librarylist
