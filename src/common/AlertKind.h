// SPDX-License-Identifier: GPL-3.0-or-later
// The three alert panels of the face. The values are those of the message
// box icon styles, which is what the alert calls pass around as a number.
#pragma once

namespace tidyfox {

enum class AlertKind : int {
    Critical = 16,
    Warning = 48,
    Information = 64,
};

} // namespace tidyfox
