// SPDX-License-Identifier: GPL-3.0-or-later
// What the Delete button does with the selection in the library list: tracks
// out of the library (with or without their files), tracks out of one user
// playlist, or a whole user playlist. Each runs as one job of the library's
// history, so it can be undone, and ends on the host with an alert of the
// count, the library reloaded and the gate and buttons back. Never throws.
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <cstdint>
#include <vector>

namespace tidyfox::cleaning {

class PendingRemovals;

// Deletes the tracks with these database ids from the library. With
// withFiles, each file goes to the trash first, unless a track still in the
// library uses it; a file that cannot go keeps its entry and stops the run.
// Tracks gone since they were selected are passed over.
void deleteTracks(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                  const std::vector<std::int32_t> &databaseIds, bool withFiles, PendingRemovals *pending = nullptr);

// Takes the tracks out of the user playlist; the library keeps them.
void removeFromPlaylist(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t playlistId,
                        const std::vector<std::int32_t> &databaseIds);

// Deletes the user playlist; its tracks stay in the library.
void deletePlaylist(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t playlistId);

} // namespace tidyfox::cleaning
