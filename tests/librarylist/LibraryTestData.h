// SPDX-License-Identifier: GPL-3.0-or-later
// Filling a library model the way the program's fill does: ID then
// PlayList_Name for each playlist, then ItemID, TrackName, TrackID, Time,
// Artist, Album for each of its tracks.
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
        rs.addRow();
        rs.setField(u"ID", p.id);
        rs.setField(u"PlayList_Name", p.name);
        librarylist::PlaylistTrackTable *tracks = rs.chapter(u"Playlist");
        for (const TestTrack &t : p.tracks) {
            tracks->addRow();
            tracks->setField(u"ItemID", p.id);
            tracks->setField(u"TrackName", t.name);
            tracks->setField(u"TrackID", t.id);
            tracks->setField(u"Time", t.time);
            tracks->setField(u"Artist", t.artist);
            tracks->setField(u"Album", t.album);
        }
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
    rs->moveFirst();
    return rs;
}

} // namespace tidyfox::test
