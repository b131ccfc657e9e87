// Finding the library source, its playlists and a playlist's tracks. IDs are
// 32-bit throughout, so every playlist and track can be found, however large
// the library.
#pragma once

#include "itunes/ITunesInterface.h"

namespace tidyfox::itunes {

// Fetches the application's library source into iSource; true when its
// SourceID is not 0. Any error gives false and leaves iSource as it was.
bool GetLibrarySource(IiTunes *iTunes, SourcePtr &iSource);

// The source's playlists. Errors (an empty source included) rise to the caller.
std::shared_ptr<IITPlaylistCollection> GetLists(const SourcePtr &iSource);

// The first playlist of the source with that ID, or null.
PlaylistPtr GetPlayListByID(const SourcePtr &iSource, std::int32_t iListID);

// The first track of the playlist with that ID, or null; the library answers
// directly instead of the whole playlist being fetched and walked.
TrackPtr GetTrackByID(const PlaylistPtr &iPlayList, std::int32_t iTrackID);

// The first playlist whose name equals sListName ignoring case; null when none
// does or when iSource is not the library source.
PlaylistPtr GetLibraryListByName(const SourcePtr &iSource, const QString &sListName);

// Fills iSource (the window's oLibrarySource): 0 with a usable library source,
// 2 without one.
int LoadSources(IiTunes *iTunes, SourcePtr &iSource);

} // namespace tidyfox::itunes
