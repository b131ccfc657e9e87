// SPDX-License-Identifier: GPL-3.0-or-later
// The library's tracks read once and grouped by the properties a filter
// checks, so that the copy of a track is found without walking the library
// again: each group lists its tracks still present, in library order.
//
// The tracks stay rows of the table they came in (TrackRows): the index
// holds 16 bytes a track, and what else a run needs of a track (its
// location, its texts, its object) is read from its row when it is needed.
#pragma once

#include "cleaning/DuplicateFilter.h"
#include "cleaning/TrackRows.h"
#include "libraryclient/LibraryClient.h"
#include "protocol/LibraryRecords.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::cleaning {

class DuplicateIndex
{
public:
    // Reads each track of the collection once, in one walk: the database id
    // and the checked properties. Throws what the reads throw.
    DuplicateIndex(libraryclient::LibraryTrackList &tracks, const DuplicateFilter &filter);
    // The same, where the filter's item 8 may ask for loosely equal tags and
    // for tracks that sound the same: those groups are then the tracks
    // connected by the sound matches (and, loosely, by durations within 2 s)
    // among the tracks equal on the rest.
    DuplicateIndex(libraryclient::LibraryTrackList &tracks, const DuplicateFilter &filter,
                   const std::vector<protocol::SoundMatch> &soundMatches);

    int size() const { return static_cast<int>(m_entries.size()); }
    // The tracks, in library order, by the same index.
    TrackRows &rows() { return m_rows; }
    const TrackRows &rows() const { return m_rows; }

    std::int32_t databaseId(int index) const { return entry(index).databaseId; }
    // The track's group; -1 when it equals no other track.
    int group(int index) const { return entry(index).group; }
    bool removed(int index) const { return m_removed[static_cast<size_t>(index)]; }

    // The first track still present, in library order, whose database id
    // differs from that of the track at index and which equals it on every
    // checked property; -1 when there is none.
    int findCopy(int index) const;
    // Marks the track at index removed from the library.
    void remove(int index);

    // The weakest sound match that joins the group; nothing for a group not
    // found by sound.
    std::optional<float> soundStrength(int group) const;

    // Tracks whose keys are grouped together; a library of more is grouped
    // on a second thread while the rows are read. One size for the process
    // (kKeysPerRun unless set): a small one sends small libraries through
    // that thread too.
    static constexpr size_t kKeysPerRun = 4096;
    static void setKeysPerRun(size_t keys);

private:
    struct Entry
    {
        std::int32_t databaseId = 0;
        int group = -1;
        int prev = -1; // neighbours in the group, in library order
        int next = -1;
    };
    const Entry &entry(int index) const { return m_entries[static_cast<size_t>(index)]; }
    Entry &entry(int index) { return m_entries[static_cast<size_t>(index)]; }

    void build(const DuplicateFilter &filter, const std::vector<protocol::SoundMatch> *soundMatches);
    // Splits the groups into the tracks connected by sound matches and
    // durations.
    void connect(const DuplicateFilter &filter, const std::vector<int> &seconds,
                 const std::vector<protocol::SoundMatch> *soundMatches);
    void relink(const std::vector<int> &groupOf);
    void append(int index, int group, std::vector<int> &tails);

    TrackRows m_rows;
    std::vector<Entry> m_entries;
    std::vector<bool> m_removed;
    std::vector<int> m_groupHeads;
    std::vector<float> m_soundStrength; // by group, when found by sound
};

} // namespace tidyfox::cleaning
