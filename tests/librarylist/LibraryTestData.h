// SPDX-License-Identifier: GPL-3.0-or-later
// Filling a library model the way the program's fill does: each playlist,
// then its tracks.
#pragma once

#include "librarylist/LibraryListModel.h"

#include <memory>
#include <vector>

namespace tidyfox::test {

struct TestTrack
{
    QString name;
    QString id;
    QString time;
    QString artist;
    QString album;
};

struct TestPlaylist
{
    QString id;
    QString name;
    std::vector<TestTrack> tracks;
};

inline void fillRecordset(librarylist::LibraryListModel &rs, const std::vector<TestPlaylist> &playlists)
{
    for (const TestPlaylist &p : playlists) {
        librarylist::PlaylistTrackTable &tracks = rs.addPlaylist(p.id, p.name);
        for (const TestTrack &t : p.tracks)
            tracks.addTrack({p.id, t.name, t.id, t.time, t.artist, t.album});
    }
}

// A small library: a main playlist with every track, two more playlists, and an empty one.
inline std::vector<TestPlaylist> sampleLibrary()
{
    const TestTrack a{"Morning Light", "11", "3:07", "The Larks", "Early"};
    const TestTrack b{"A very long track name that will not fit into the narrow name column", "12", "12:45",
                      "Orchestra of the Northern Provinces and Islands", "Complete Symphonies"};
    const TestTrack c{"Rain", "13", "1:02:03", "The Larks", "Early"};
    const TestTrack d{"Café Nocturne", "14", "4:20", "Zoë", "Über"};
    return {
        {"1", "Library", {a, b, c, d}},
        {"2", "Favourites", {a, d}},
        {"3", "Long listening", {b, c}},
        {"4", "Empty playlist", {}},
    };
}

inline std::shared_ptr<librarylist::LibraryListModel> sampleRecordset()
{
    auto rs = std::make_shared<librarylist::LibraryListModel>();
    fillRecordset(*rs, sampleLibrary());
    return rs;
}

} // namespace tidyfox::test
