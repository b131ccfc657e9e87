// SPDX-License-Identifier: GPL-3.0-or-later
// The made-up library the bus benchmarks share: tracks with every text field
// set, in artists of 40 and albums of 12 tracks, spread over user playlists.
#pragma once

#include "service/LibraryCore.h"

#include <QDateTime>
#include <vector>

namespace tidyfox::bench {

// Adds trackCount tracks and playlists of equal share to core, in one
// change; with plays, track i has been played i % 5 times.
inline void buildGeneratedLibrary(library::LibraryCore &core, int trackCount, int playlists, bool plays = false)
{
    core.begin();
    std::vector<std::int32_t> ids;
    ids.reserve(static_cast<std::size_t>(trackCount));
    const QDateTime added(QDate(2019, 3, 1), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < trackCount; ++i) {
        library::TrackRecord t;
        const int artist = i / 40;
        const int album = i / 12;
        t.name = QStringLiteral("Track %1 of a generated library").arg(i, 6, 10, QLatin1Char('0'));
        t.artist = QStringLiteral("Artist %1").arg(artist);
        t.album = QStringLiteral("Album %1").arg(album);
        t.composer = QStringLiteral("Composer %1").arg(i % 997);
        t.genre = QStringLiteral("Genre %1").arg(i % 23);
        t.kindAsString = QStringLiteral("MPEG audio file");
        t.totalTimeMs = 120000 + (i % 240) * 1000;
        t.bitRate = 192;
        t.sampleRate = 44100;
        t.size = 3000000 + i;
        t.dateAdded = added.addSecs(i);
        t.playCount = plays ? i % 5 : 0;
        t.location =
            QStringLiteral("/home/someone/Music/Artist %1/Album %2/%3 Track.mp3").arg(artist).arg(album).arg(i);
        ids.push_back(core.addTrack(std::move(t)).databaseId);
    }
    const int perList = trackCount / playlists;
    for (int p = 0; p < playlists; ++p) {
        const auto playlist = core.addPlaylist(QStringLiteral("Playlist %1").arg(p + 1));
        const auto first = ids.begin() + p * perList;
        core.appendToPlaylist(playlist.playlistId, std::vector<std::int32_t>(first, first + perList));
    }
    core.commit();
}

} // namespace tidyfox::bench
