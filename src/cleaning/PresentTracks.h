// SPDX-License-Identifier: GPL-3.0-or-later
// The library playlist read once, for a removal of tracks named by their
// database IDs: each named track still present, with its location when files
// may go, and the guard that keeps a file any other track still uses.
#pragma once

#include "cleaning/FileUsage.h"
#include "cleaning/RemovalBatch.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tidyfox::cleaning {

struct PresentTrack
{
    std::int32_t databaseId = 0;
    libraryclient::TrackPtr track;
    bool hasFile = true;
    QString location;
    bool mayGo = false;                // a track the run may remove
    std::optional<FileUsage::Use> use; // while the track is in the library
};

class PresentTracks
{
public:
    // Keeps the tracks the run may remove (mayGo) and those that stay in
    // their place (staying); the others are read again only to learn which
    // could use the file of one that may go, once a file may go.
    PresentTracks(libraryclient::LibraryClient &library, const std::vector<std::int32_t> &mayGo,
                  const std::vector<std::int32_t> &staying, bool readLocations);

    // The track, when it was there at the read and is still there now.
    PresentTrack *find(std::int32_t databaseId);

    // Queues the removal of entry in batch (in favour of keeperId when not
    // 0, which must still be there when it goes), its file first to the
    // trash when trashFile and no other track uses it. Only the file as it
    // was shown goes: as the review saw it (reviewed, when the person chose
    // from one) or else as the disk showed it at the run's first file. A
    // track queued already is passed over. removed is told each track that
    // went, once it has gone; a track gone by another hand is passed over.
    // Sends the batch when it is full, or when an earlier removal in it may
    // decide whether this file is still used; throws what sending throws.
    void queueRemoval(RemovalBatch &batch, PresentTrack &entry, std::int32_t keeperId, bool trashFile,
                      system::FileSystem &fs, const std::optional<system::FileStamp> &reviewed,
                      const std::function<void(std::int32_t)> &removed);
    // Sends what is queued.
    void send(RemovalBatch &batch, const std::function<void(std::int32_t)> &removed);

private:
    void markRemoved(PresentTrack &entry);
    // The uses of the files of the tracks that may go, and of every other
    // track's that could be one of them.
    void gatherUses(system::FileSystem &fs);

    std::shared_ptr<libraryclient::LibraryTrackList> m_list;
    // Nodes stay where they are while others go: a copy outlives the look-up
    // of its keeper.
    std::unordered_map<std::int32_t, PresentTrack> m_tracks;
    std::optional<FileUsage> m_usage;
    // The uses of the files of the removals queued and not yet sent.
    FileUsage m_queued;
};

} // namespace tidyfox::cleaning
