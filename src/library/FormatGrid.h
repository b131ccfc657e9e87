// Binds the library model to the library grid and gives the grid its fixed
// look: which columns show, captions, widths, what the user may do, colours.
#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace tidyfox::platform {
class UltraGrid;
}

namespace tidyfox::library {

class LibraryRecordset;

using AlertFunction = std::function<void(const QString &text, int kind, const QString &title)>;

// Applies every setting in a fixed order and returns true. The first setting
// the grid refuses ends the routine: the settings made so far stay, the alert
// is shown and the result is false.
bool FormatGrid(platform::UltraGrid &Grid, const std::shared_ptr<LibraryRecordset> &vRecordSet,
                const AlertFunction &showAlert);

} // namespace tidyfox::library
