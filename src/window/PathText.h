// SPDX-License-Identifier: GPL-3.0-or-later
// A folder as the face shows it: the home folder written "~", as the
// desktop's own tools write it.
#pragma once

#include <QString>

namespace tidyfox::window {

QString shownPath(const QString &path);

} // namespace tidyfox::window
