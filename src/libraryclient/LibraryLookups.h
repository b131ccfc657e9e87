// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the library source, its playlists and a playlist's tracks. IDs are
// 32-bit throughout, so every playlist and track can be found, however large
// the library.
#pragma once

#include "libraryclient/LibraryClient.h"

namespace tidyfox::libraryclient {

// Fetches the application's library source into source; true when its
// SourceID is not 0. Any error gives false and leaves source as it was.
bool fetchLibrarySource(LibraryClient *client, SourcePtr &source);

// The source's playlists. Errors (an empty source included) rise to the caller.
std::shared_ptr<LibraryPlaylistCollection> playlistsOf(const SourcePtr &source);

// The first playlist of the source with that ID, or null.
PlaylistPtr findPlaylist(const SourcePtr &source, std::int32_t playlistId);

// The first track of the playlist with that ID, or null; the library answers
// directly instead of the whole playlist being fetched and walked.
TrackPtr findTrack(const PlaylistPtr &playlist, std::int32_t trackId);

// The first playlist whose name equals name ignoring case; null when none
// does or when source is not the library source.
PlaylistPtr findPlaylistByName(const SourcePtr &source, const QString &name);

// Fills source (the window's m_librarySource): 0 with a usable library source,
// 2 without one.
int loadLibrarySource(LibraryClient *client, SourcePtr &source);

} // namespace tidyfox::libraryclient
