// SPDX-License-Identifier: GPL-3.0-or-later
// The library's tracks read once and grouped by the properties a filter
// checks, so that the copy of a track is found without walking the library
// again: each group lists its tracks still present, in library order.
#pragma once

#include "cleaning/DuplicateFilter.h"
#include "libraryclient/LibraryClient.h"
#include "protocol/LibraryRecords.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::cleaning {

struct IndexedTrack
{
    libraryclient::TrackPtr track;
    std::int32_t databaseId = 0;
    bool hasFile = true; // false for a track without a file (a stream)
    QString location;    // read only when the run needs it
    bool removed = false;
    int group = -1; // -1: equal to no other track
    int prev = -1;  // neighbours in the group, in library order
    int next = -1;
};

class DuplicateIndex
{
public:
    // Reads each track of the collection once, in one enumeration: the
    // database id, the checked properties and, when readLocations is set,
    // the location. Throws what the reads throw.
    DuplicateIndex(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter, bool readLocations);
    // The same, where the filter's item 8 may ask for loosely equal tags and
    // for tracks that sound the same: those groups are then the tracks
    // connected by the sound matches (and, loosely, by durations within 2 s)
    // among the tracks equal on the rest.
    DuplicateIndex(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter, bool readLocations,
                   const std::vector<protocol::SoundMatch> &soundMatches);

    int size() const { return static_cast<int>(m_tracks.size()); }
    IndexedTrack &at(int index) { return m_tracks[static_cast<size_t>(index)]; }
    const IndexedTrack &at(int index) const { return m_tracks[static_cast<size_t>(index)]; }

    // The first track still present, in library order, whose database id
    // differs from that of the track at index and which equals it on every
    // checked property; -1 when there is none.
    int findCopy(int index) const;
    // Marks the track at index removed from the library.
    void remove(int index);

    // The weakest sound match that joins the group; nothing for a group not
    // found by sound.
    std::optional<float> soundStrength(int group) const;

private:
    void build(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter, bool readLocations,
               const std::vector<protocol::SoundMatch> *soundMatches);
    // Splits the groups into the tracks connected by sound matches and
    // durations.
    void connect(const DuplicateFilter &filter, const std::vector<int> &seconds,
                 const std::vector<protocol::SoundMatch> *soundMatches);
    void relink(const std::vector<int> &groupOf);

    std::vector<IndexedTrack> m_tracks;
    std::vector<int> m_groupHeads;
    std::vector<float> m_soundStrength; // by group, when found by sound
};

} // namespace tidyfox::cleaning
