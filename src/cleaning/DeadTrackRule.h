// SPDX-License-Identifier: GPL-3.0-or-later
// The one rule of which tracks are dead, shared by the deletion and its
// review.
#pragma once

#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"
#include "system/Volumes.h"

#include <QString>
#include <optional>

namespace tidyfox::cleaning {

// The location of a track that is an entry of a file that is gone, or
// nothing. A track without a file (a stream) has no Location at all and is
// never dead. Throws what the reads throw.
std::optional<QString> deadLocation(libraryclient::LibraryTrack &track, system::FileSystem &fs);

// The folder of a location; empty for a location without one (lost).
QString folderOf(const QString &location);

// Whether a dead track's file may only be on a drive that is not connected
// now: such a track is spared unless the user picks it.
bool onDisconnectedDrive(const QString &folder, const system::Volumes &volumes);

// The library playlists of source (the source's playlists of kind 1).
std::vector<libraryclient::PlaylistPtr> libraryPlaylistsOf(libraryclient::LibrarySource &source);

} // namespace tidyfox::cleaning
