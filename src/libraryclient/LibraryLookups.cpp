// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryclient/LibraryLookups.h"

namespace tidyfox::libraryclient {

namespace {

template<typename P> const P &required(const P &object)
{
    if (!object)
        throw ClientError::objectNotSet();
    return object;
}

} // namespace

bool fetchLibrarySource(LibraryClient *client, SourcePtr &source)
{
    try {
        const bool usable = required(required(client)->librarySource())->sourceId() != 0;
        // Stored whatever the answer: a source with ID 0 is still the one to
        // load from.
        source = client->librarySource();
        return usable;
    } catch (const std::exception &) {
        return false;
    }
}

std::shared_ptr<LibraryPlaylistCollection> playlistsOf(const SourcePtr &source)
{
    return required(source)->playlists();
}

PlaylistPtr findPlaylist(const SourcePtr &source, std::int32_t playlistId)
{
    PlaylistPtr found;
    playlistsOf(source)->forEach([&](const PlaylistPtr &playlist) {
        if (playlist->playlistId() != playlistId)
            return true;
        found = playlist;
        return false;
    });
    return found;
}

TrackPtr findTrack(const PlaylistPtr &playlist, std::int32_t trackId)
{
    return required(playlist)->tracks()->firstByTrackId(trackId);
}

} // namespace tidyfox::libraryclient
