// SPDX-License-Identifier: GPL-3.0-or-later
// The Delete button: what the list's selection would delete, and the three
// deletions it offers, each a job of the window's own that can be undone.
#include "cleaning/SelectionDeletion.h"
#include "libraryclient/LibraryLookups.h"
#include "widgets/TreeGrid.h"
#include "window/DeleteChoice.h"
#include "window/FaceArguments.h"
#include "window/ListSelection.h"
#include "window/MainWindow.h"
#include "window/WindowCleaningHost.h"
#include "window/WindowLog.h"

#include <optional>

namespace tidyfox::window {

std::vector<std::int32_t> MainWindow::selectedTrackIds(const libraryclient::PlaylistPtr &playlist,
                                                       const std::vector<std::int32_t> &trackIds)
{
    std::vector<std::int32_t> ids;
    for (const std::int32_t trackId : trackIds) {
        try {
            if (const libraryclient::TrackPtr track = libraryclient::findTrack(playlist, trackId))
                ids.push_back(track->databaseId());
        } catch (const libraryclient::ClientError &error) {
            qCDebug(lcWindow) << "A selected track is no longer there:" << error.what();
        }
    }
    return ids;
}

void MainWindow::offerDeletion()
{
    // What the list shows selected now, not what was selected last: after a
    // reload nothing is, whatever View track still shows.
    const ListSelection chosen = readListSelection(*m_libraryList);
    const QString title = QStringLiteral("Tidyfox");
    if (chosen.empty()) {
        showAlert(QStringLiteral("Select the tracks or the playlist to delete first."), AlertKind::Information, title);
        return;
    }
    if (!chosen.playlists.empty() && !chosen.tracks.empty()) {
        showAlert(QStringLiteral("Select either tracks or one playlist to delete, not both; nothing was deleted."),
                  AlertKind::Information, title);
        return;
    }
    if (chosen.playlists.size() > 1) {
        showAlert(QStringLiteral("Select one playlist at a time to delete it; nothing was deleted."),
                  AlertKind::Information, title);
        return;
    }
    const std::int32_t playlistId = chosen.tracks.empty() ? chosen.playlists.front() : chosen.tracksPlaylist();
    if (playlistId == 0) {
        showAlert(QStringLiteral("Select tracks of one playlist at a time to delete them; nothing was deleted."),
                  AlertKind::Information, title);
        return;
    }
    try {
        const libraryclient::PlaylistPtr playlist = libraryclient::findPlaylist(m_librarySource, playlistId);
        if (!playlist)
            throw libraryclient::ClientError::objectDeleted();
        const QString name = playlist->name();
        const bool ofLibrary = playlist->kind() == protocol::kLibraryPlaylist;
        if (chosen.tracks.empty()) {
            if (ofLibrary) {
                showAlert(QStringLiteral("The library itself cannot be deleted. Select tracks in it, or a playlist "
                                         "of your own."),
                          AlertKind::Information, title);
                return;
            }
            hideList();
            m_deleteChoice->showPlaylist(playlistId, name);
            return;
        }
        std::vector<std::int32_t> trackIds;
        for (const ListSelection::Track &track : chosen.tracks)
            trackIds.push_back(track.trackId);
        std::vector<std::int32_t> ids = selectedTrackIds(playlist, trackIds);
        if (ids.empty())
            throw libraryclient::ClientError::objectDeleted();
        hideList();
        m_deleteChoice->showTracks(ofLibrary, playlistId, name, std::move(ids));
    } catch (const libraryclient::ClientError &) {
        showAlert(QStringLiteral("The selection is no longer in the library."), AlertKind::Information, title);
    }
}

void MainWindow::deleteSelectedTracks(const QString &args, bool withFiles)
{
    const auto ids = idListIn(args);
    if (!ids) {
        showAlert(kUnreadableSelection, AlertKind::Warning, QStringLiteral("Tidyfox"));
        return;
    }
    const libraryclient::LibraryClientPtr library = m_library;
    runLibraryJob(QStringLiteral("Deleting tracks..."), [&] {
        cleaning::deleteTracks(*m_cleaningHost, library.get(), *m_env.fileSystem, *ids, withFiles,
                               m_pendingRemovals.get());
    });
}

void MainWindow::removeFromPlaylist(const QString &args)
{
    const auto tracks = playlistTracksIn(args);
    if (!tracks) {
        showAlert(kUnreadableSelection, AlertKind::Warning, QStringLiteral("Tidyfox"));
        return;
    }
    const libraryclient::LibraryClientPtr library = m_library;
    runLibraryJob(QStringLiteral("Removing from the playlist..."), [&] {
        cleaning::removeFromPlaylist(*m_cleaningHost, library.get(), tracks->playlistId, tracks->databaseIds);
    });
}

void MainWindow::deletePlaylist(const QString &args)
{
    const auto playlistId = idIn(args);
    if (!playlistId) {
        showAlert(kUnreadableSelection, AlertKind::Warning, QStringLiteral("Tidyfox"));
        return;
    }
    const libraryclient::LibraryClientPtr library = m_library;
    runLibraryJob(QStringLiteral("Deleting the playlist..."),
                  [&] { cleaning::deletePlaylist(*m_cleaningHost, library.get(), *playlistId); });
}

} // namespace tidyfox::window
