// The replacement window procedures: no context menu over the movie, and the
// mouse wheel scrolling the library grid one step per turn.
#pragma once

#include <cstdint>

class QEvent;
class QObject;

namespace tidyfox::shell {
class frmMain;
}

namespace tidyfox::shell::modhook {

// The high-order 16 bits of a 32-bit value, as a signed number.
std::int16_t HiWord(std::int32_t value);

// True when the event must not reach the movie (a right-button press or the
// menu key); their releases pass.
bool MovieWindowProc(QObject *target, QEvent *event);

// Scrolls the grid one step for a wheel turn while the grid is the active
// control. True when the event must not scroll anything else.
bool MainWindowProc(frmMain &window, QObject *target, QEvent *event);

} // namespace tidyfox::shell::modhook
