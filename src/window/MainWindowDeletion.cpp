// The Delete button: what the list's selection would delete, and the three
// deletions it offers, each a job of the window's own that can be undone.
#include "cleaning/SelectionDeletion.h"
#include "libraryclient/LibraryLookups.h"
#include "widgets/TreeGrid.h"
#include "window/DeleteChoice.h"
#include "window/FaceArguments.h"
#include "window/MainWindow.h"
#include "window/WindowCleaningHost.h"
#include "window/WindowLog.h"

#include <optional>
#include <set>

namespace tidyfox::window {

std::vector<std::int32_t> MainWindow::selectedTrackIds(std::int32_t playlistId)
{
    std::vector<std::int32_t> ids;
    std::set<std::int32_t> seen;
    const libraryclient::PlaylistPtr playlist = m_selectedPlaylist;
    widgets::GridCells cells = m_libraryList->selection().cells();
    for (widgets::GridCell &cell : cells) {
        try {
            if (cell.bandIndex() != 1)
                continue;
            widgets::GridRow row = cell.row();
            if (row.cellCount() < 3 || row.cell(0).text().trimmed().toInt() != playlistId)
                continue;
            const int trackId = row.cell(2).text().trimmed().toInt();
            if (!seen.insert(trackId).second)
                continue;
            if (const libraryclient::TrackPtr track = libraryclient::findTrack(playlist, trackId))
                ids.push_back(track->databaseId());
        } catch (const libraryclient::ClientError &error) {
            qCDebug(lcWindow) << "A selected track is no longer there:" << error.what();
        } catch (const widgets::GridError &) {
        }
    }
    return ids;
}

void MainWindow::offerDeletion()
{
    if (!m_selectedPlaylist)
        return;
    try {
        const std::int32_t playlistId = m_selectedPlaylist->playlistId();
        const QString name = m_selectedPlaylist->name();
        const bool ofLibrary = m_selectedPlaylist->kind() == 1;
        if (!m_selectedTrack) {
            if (ofLibrary) {
                showAlert(QStringLiteral("The library itself cannot be deleted. Select tracks in it, or a playlist "
                                         "of your own."),
                          AlertKind::Information, QStringLiteral("Tidyfox"));
                return;
            }
            hideList();
            m_deleteChoice->showPlaylist(playlistId, name);
            return;
        }
        std::vector<std::int32_t> ids = selectedTrackIds(playlistId);
        if (ids.empty())
            ids.push_back(m_selectedTrack->databaseId());
        hideList();
        m_deleteChoice->showTracks(ofLibrary, playlistId, name, std::move(ids));
    } catch (const libraryclient::ClientError &error) {
        showAlert(QStringLiteral("The selection is no longer in the library."), AlertKind::Information,
                  QStringLiteral("Tidyfox"), error.description());
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
