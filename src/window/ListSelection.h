// SPDX-License-Identifier: GPL-3.0-or-later
// What the library list shows selected now, by playlist and track id: the
// Delete button acts on this and nothing else, so that a selection the user
// can no longer see (before a reload, say) is never deleted.
#pragma once

#include <cstdint>
#include <vector>

namespace tidyfox::widgets {
class TreeGrid;
}

namespace tidyfox::window {

struct ListSelection
{
    struct Track
    {
        std::int32_t playlistId = 0;
        std::int32_t trackId = 0;
    };
    std::vector<std::int32_t> playlists; // selected playlist rows, in list order
    std::vector<Track> tracks;           // selected track rows, in list order, each once

    bool empty() const { return playlists.empty() && tracks.empty(); }
    // The tracks' playlist when they all belong to one; 0 otherwise.
    std::int32_t tracksPlaylist() const;
};

// Rows whose ids cannot be read are left out.
ListSelection readListSelection(widgets::TreeGrid &list);

} // namespace tidyfox::window
