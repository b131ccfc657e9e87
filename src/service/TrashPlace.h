// SPDX-License-Identifier: GPL-3.0-or-later
// Where a file lies in a trash, checked before the history takes it in: a
// restore moves the file at a job's trash path back to the track's location,
// so a path a bus client names must be the track's own file in a trash laid
// out as the freedesktop.org trash rules say, never any file on the disk.
#pragma once

#include <QString>

namespace tidyfox::library {

// Why trashedPath (with its .trashinfo infoPath) is not the place in a trash
// of the file that was at location; empty when it is. A trash is the home
// trash ($XDG_DATA_HOME/Trash), a volume's $topdir/.Trash/$uid or its
// $topdir/.Trash-$uid; the file lies in its files/ folder, the info file of
// the same name in info/ and records location as the file's old place.
// withInfo false checks only where the two paths lie (a restore, whose info
// file may have gone already).
QString whyNotTrashPlace(const QString &trashedPath, const QString &infoPath, const QString &location,
                         bool withInfo = true);

} // namespace tidyfox::library
