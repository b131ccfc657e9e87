// SPDX-License-Identifier: GPL-3.0-or-later
// The library playlist read once, for a removal of tracks named by their
// database IDs: every track still present, with its location when files may
// go, and the guard that keeps a file any other track still uses.
#pragma once

#include "cleaning/FileUsage.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace tidyfox::cleaning {

class PendingRemovals;
class RemovalJob;

struct PresentTrack
{
    std::int32_t databaseId = 0;
    libraryclient::TrackPtr track;
    bool hasFile = true;
    QString location;
    std::optional<FileUsage::Use> use; // while the track is in the library
};

class PresentTracks
{
public:
    PresentTracks(libraryclient::LibraryClient &library, bool readLocations);

    // The track, when it was there at the read and is still there now.
    PresentTrack *find(std::int32_t databaseId);

    // Whether a track other than entry, still in the library, uses its file.
    // The disk is asked about every track only once a file may go; the
    // library is asked at every move, for tracks another program added since
    // it was read.
    bool fileSharedBeyond(PresentTrack &entry, libraryclient::LibraryClient &library, system::FileSystem &fs);

    void markRemoved(PresentTrack &entry);

    // Removes entry in job (in favour of keeperId when not 0, which must still
    // be there; its history merged into the keeper's with mergeHistory), its file first
    // to the trash when trashFile and no other track uses it, as
    // removeEntry does; false for an entry gone by another hand. Only the
    // file as it was shown goes: as the review saw it (reviewed, when the
    // person chose from one) or else as the disk showed it at the run's
    // first file.
    bool removeFromLibrary(PresentTrack &entry, std::int32_t keeperId, bool mergeHistory, bool trashFile,
                           RemovalJob &job, libraryclient::LibraryClient &library, system::FileSystem &fs,
                           PendingRemovals *pending, const std::optional<system::FileStamp> &reviewed = std::nullopt);

private:
    // Nodes stay where they are while others go: a copy outlives the look-up
    // of its keeper.
    std::unordered_map<std::int32_t, PresentTrack> m_tracks;
    std::optional<FileUsage> m_usage;
};

} // namespace tidyfox::cleaning
