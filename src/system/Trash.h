// SPDX-License-Identifier: GPL-3.0-or-later
// Moving files to the user's trash, laid out as freedesktop.org's trash
// standard says, so that a person can get every file back with their file
// manager.
#pragma once

#include "common/Error.h"

#include <QString>
#include <functional>

namespace tidyfox::system {

// The trash could not take a file; the message says which file and why. The
// file is where it was.
class TrashError : public Error
{
public:
    static constexpr std::int32_t kNumber = 32001;
    explicit TrashError(const QString &message) : Error(kNumber, message) {}
};

struct TrashedFile
{
    QString trashedPath; // where the file is now, in the trash's files folder
    QString infoPath;    // its .trashinfo
};

// Called once the file's place in the trash is reserved (its info file
// written) and before the file moves there; what it throws leaves the file
// where it was. A caller that must survive a crash between the move and what
// follows it writes down here where the file is going.
using BeforeTrashMove = std::function<void(const TrashedFile &)>;

// Moves the file (or symlink) at path into the trash of its volume: the home
// trash under $XDG_DATA_HOME for files on the home trash's device, otherwise
// the volume's $topdir/.Trash/$uid or $topdir/.Trash-$uid. The file is only
// ever renamed: never copied across devices, never unlinked. Throws TrashError
// when that is not possible.
//
// QFile::moveToTrash does not serve: its info files carry no mark, so the
// orphans a crash leaves could not be told from other programs' and cleaned,
// and it names no info file. Ours reserves the name with the info file,
// written first, and moves with RENAME_NOREPLACE.
TrashedFile moveToTrash(const QString &path, const BeforeTrashMove &beforeMove = {});

// Puts a file moved to the trash back at path, never over a file that is
// there now, and removes its info file. Throws TrashError when it cannot; the
// file then stays in the trash with its info.
void restoreFromTrash(const TrashedFile &trashed, const QString &path);

// Removes the info files in trash (a folder with files/ and info/) that this
// program wrote and whose file is not in files/: what a crash between writing
// the info and moving the file leaves; and empty ones a minute old without
// their file, which a crash between reserving the name and writing leaves. moveToTrash does this once per trash
// folder and process. Returns how many it removed.
int removeOrphanInfoFiles(const QString &trash);

// The home trash folder: $XDG_DATA_HOME/Trash (~/.local/share/Trash).
QString homeTrashPath();

} // namespace tidyfox::system
