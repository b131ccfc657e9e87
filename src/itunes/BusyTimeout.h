// How long the program waits for one call to the library before giving up:
// the automation busy time-out the window sets at start-up, in one place.
#pragma once

namespace tidyfox::itunes {

inline constexpr int kBusyTimeoutMs = 9999999;

} // namespace tidyfox::itunes
