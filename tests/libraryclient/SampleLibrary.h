// SPDX-License-Identifier: GPL-3.0-or-later
// A small library file written through the library core, with what the tests
// need to know about it.
#pragma once

#include "service/LibraryCore.h"

#include <QString>
#include <functional>
#include <vector>

namespace tidyfox::libraryclient::test {

struct SampleLibrary
{
    QString path;
    // As the core stored them, in the order added.
    std::vector<library::TrackRecord> tracks;
    std::vector<library::PlaylistRecord> playlists; // library playlist first
    // Indexes into tracks for each user playlist, in item order.
    std::vector<std::vector<int>> items;

    // The tracks, by their place in tracks.
    const library::TrackRecord &alpha() const { return tracks[0]; } // a file track with every property
    const library::TrackRecord &radio() const { return tracks[1]; } // a stream
    const library::TrackRecord &beta() const { return tracks[2]; }  // TrackID above 32767
    const library::TrackRecord &gamma() const { return tracks[3]; } // TrackID above 65535, played
    const library::TrackRecord &unicode() const { return tracks[4]; }

    // Writes the library to path (a file in a fresh folder).
    static SampleLibrary create(const QString &path);
};

// A folder of its own under the test's root.
QString freshFolder();

// Runs the event loop until done() or a few seconds have passed; returns done().
bool waitFor(const std::function<bool()> &done, int ms = 5000);

} // namespace tidyfox::libraryclient::test
