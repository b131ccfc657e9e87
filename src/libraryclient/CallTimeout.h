// SPDX-License-Identifier: GPL-3.0-or-later
// How long the program waits for one call to the library before giving up:
// the automation busy time-out the window sets at start-up, in one place.
#pragma once

namespace tidyfox::libraryclient {

inline constexpr int kCallTimeoutMs = 9999999;

} // namespace tidyfox::libraryclient
