// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts speak of playlists and tracks, never of the numbers the library
// keeps them by: a reason the library gives is reworded before it is shown.
#pragma once

#include <QString>

namespace tidyfox::window {

QString withoutInternalIds(const QString &text);

} // namespace tidyfox::window
