// SPDX-License-Identifier: GPL-3.0-or-later
// The steps every removal of duplicates shares: whether a copy is already
// gone, a file put back from the trash when its entry stays, and the two ends
// of a run with their counts.
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace tidyfox::cleaning {

class PendingRemovals;
class RemovalJob;

// The tracks of the library playlist; throws ClientError (object not set)
// when the library has no library playlist.
std::shared_ptr<libraryclient::LibraryTrackList> libraryTracksOf(libraryclient::LibraryClient &library);

// Whether another program removed the track since it was read; throws what
// any other failed call throws.
bool isGone(libraryclient::LibraryTrack &track);

// Moves a copy's file to the trash, but only the file the run was shown: the
// one whose stamp is shown (read when the run found the copy), and only one
// that may go at all (FileSystem::whyItStays). Any other file stays where it
// is, the job notes which and why, and nothing is returned; the entry still
// goes. With pending set, a note of where the file goes is written before it
// moves (a move that fails settles it at once). Throws TrashError when the
// trash cannot take the file.
std::optional<system::TrashedFile> trashCopy(system::FileSystem &fs, PendingRemovals *pending, RemovalJob &job,
                                             std::int32_t databaseId, const QString &location,
                                             const std::optional<system::FileStamp> &shown);

// Whether a failed removal may have taken effect after all (the service died
// during the call) and a note will settle it the next time: then the file
// must not come back now, or a removed entry's file would stay in place.
bool outcomeUnknown(const libraryclient::ClientError &error, const PendingRemovals *pending);

// Puts a removed copy's file back at path; a file the trash cannot give back
// stays there, with a warning, and its note stays for the next run.
void putBack(system::FileSystem &fs, PendingRemovals *pending, const system::TrashedFile &trashed,
             std::int32_t databaseId, const QString &path);

// Which entry goes, and in whose favour: a copy removed for a keeper goes only
// while the keeper is there (its history merged into the keeper's with
// mergeHistory), checked in the same change.
struct EntryRemoval
{
    std::int32_t databaseId = 0;
    std::int32_t keeperId = 0; // 0: none
    bool mergeHistory = false;
};

// Removes the entry in job once its file
// went to trashed, when it went: an entry that cannot go gets its file back
// first, never an entry in the library with its file in the trash. When the
// service died during the call, whether the entry went is not known: the
// file stays in the trash with its note, and the next run asks the library.
// Returns false for an entry gone by another hand (or, with a keeper, whose
// keeper is gone); throws every other failure.
bool removeEntry(RemovalJob &job, system::FileSystem &fs, PendingRemovals *pending, const EntryRemoval &removal,
                 const QString &location, const std::optional<system::TrashedFile> &trashed);

// A run that went to its end: the alert with the count (and, under it, the
// files that stayed and why), the library list reloaded, the gate and the
// buttons back.
void endRemovalSucceeded(CleaningHost &host, std::int64_t count, const QString &detail);
// A run that stopped early, with the count of the copies that did go and why.
void endRemovalFailed(CleaningHost &host, std::int64_t count, const QString &reason);

} // namespace tidyfox::cleaning
