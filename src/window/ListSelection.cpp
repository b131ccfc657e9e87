// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/ListSelection.h"

#include "librarylist/LibraryListModel.h"
#include "widgets/TreeGrid.h"
#include "window/WindowLog.h"

#include <set>
#include <utility>

namespace tidyfox::window {

namespace {

std::int32_t idOf(const widgets::GridRow &row, librarylist::LibraryListModel::Role role)
{
    const QVariant id = row.data(role);
    return id.isValid() ? id.toInt() : 0;
}

} // namespace

std::int32_t ListSelection::tracksPlaylist() const
{
    if (tracks.empty())
        return 0;
    for (const Track &track : tracks) {
        if (track.playlistId != tracks.front().playlistId)
            return 0;
    }
    return tracks.front().playlistId;
}

ListSelection readListSelection(widgets::TreeGrid &list)
{
    ListSelection selection;
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    try {
        widgets::GridRows rows = list.selection().rows();
        for (const widgets::GridRow &row : rows) {
            try {
                const std::int32_t playlistId = idOf(row, librarylist::LibraryListModel::PlaylistIdRole);
                if (playlistId == 0)
                    continue;
                if (row.bandIndex() == 0) {
                    selection.playlists.push_back(playlistId);
                    continue;
                }
                const std::int32_t trackId = idOf(row, librarylist::LibraryListModel::TrackIdRole);
                if (trackId != 0 && seen.insert({playlistId, trackId}).second)
                    selection.tracks.push_back({playlistId, trackId});
            } catch (const widgets::GridError &error) {
                // A row that went away meanwhile is not part of the selection.
                qCDebug(lcWindow) << "A selected row is gone:" << error.what();
            }
        }
    } catch (const widgets::GridError &error) {
        // No data bound: nothing is selected.
        qCDebug(lcWindow) << "No selection:" << error.what();
    }
    return selection;
}

} // namespace tidyfox::window
