// SPDX-License-Identifier: GPL-3.0-or-later
// A track's length as a person reads it.
#pragma once

#include <QString>
#include <cstdint>

namespace tidyfox::library {

// "0:05", "3:07", "1:02:03": minutes and seconds, with hours in front from one
// hour on, rounded to the nearest second. A track without a length (a stream)
// gives an empty text.
QString timeText(std::int64_t milliseconds);

} // namespace tidyfox::library
