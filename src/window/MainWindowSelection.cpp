// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's events: which playlist and track are selected, opening rows and
// the track view, and the grid actions the program refuses.
#include "libraryclient/LibraryLookups.h"
#include "librarylist/LibraryListModel.h"
#include "widgets/TreeGrid.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"

namespace tidyfox::window {

namespace {

// A row's id as the list's model gives it; a row without one (a playlist
// row asked for a track) fails as a look-up of nothing does.
std::int32_t idOf(const widgets::GridRow &row, librarylist::LibraryListModel::Role role)
{
    const QVariant id = row.data(role);
    if (!id.isValid())
        throw libraryclient::ClientError(libraryclient::kErrObjectNotSet, QStringLiteral("Object variable not set"));
    return id.toInt();
}

constexpr auto kPlaylistId = librarylist::LibraryListModel::PlaylistIdRole;
constexpr auto kTrackId = librarylist::LibraryListModel::TrackIdRole;

} // namespace

void MainWindow::connectListEvents()
{
    using widgets::TreeGrid;
    connect(m_libraryList, &TreeGrid::cellActivating, this, &MainWindow::onListCellActivating);
    connect(m_libraryList, &TreeGrid::doubleClicked, this, &MainWindow::onListDoubleClick);
    connect(m_libraryList, &TreeGrid::keyReleased, this, &MainWindow::onListKeyReleased);
    // The columns stay where they are; deleting rows and editing cells are
    // requests the window does not act on.
    m_libraryList->setColumnMoveGuard([](const widgets::GridColumn &, const widgets::GridColumn &) { return false; });
}

void MainWindow::onListCellActivating(const widgets::GridCell &cell)
{
    // Stops at the first failure: what was assigned stays, and the buttons
    // keep their state.
    try {
        widgets::GridRow row = cell.row();
        m_selectedPlaylist = libraryclient::findPlaylist(m_librarySource, idOf(row, kPlaylistId));
        m_selectedTrack =
            cell.bandIndex() == 0 ? nullptr : libraryclient::findTrack(m_selectedPlaylist, idOf(row, kTrackId));
        updateTrackButtons();
    } catch (const Error &error) {
        qCDebug(lcWindow) << "The selection was not followed:" << error.what();
    }
}

void MainWindow::onListDoubleClick()
{
    if (m_state.isIn(WindowState::Phase::Connecting))
        return;
    try {
        const widgets::GridCells cells = m_libraryList->selection().cells();
        if (cells.count() > 0) {
            widgets::GridRow row = cells.item(0).row();
            if (row.isExpanded())
                row.collapse();
            else
                row.expand();
        }
    } catch (const widgets::GridError &error) {
        qCDebug(lcWindow) << "The row did not open or close:" << error.what();
    }
    if (!m_selectedTrack)
        return;
    if (!viewSelectedTrack())
        return;
    hideList();
    setVariable(QStringLiteral("_root.showtracinfowin"), QStringLiteral("true"));
}

void MainWindow::onListKeyReleased(int /*keyCode*/, int /*shift*/)
{
    if (!m_selectedPlaylist || !m_selectedTrack)
        return;
    QString selectedName;
    try {
        selectedName = m_selectedPlaylist->name();
    } catch (const libraryclient::ClientError &) {
        return;
    }
    // The collection is taken now; deselecting an item does not disturb the walk.
    widgets::GridCells items = m_libraryList->selection().cells();
    for (widgets::GridCell &item : items) {
        try {
            widgets::GridRow row = item.row();
            const libraryclient::PlaylistPtr playlist =
                libraryclient::findPlaylist(m_librarySource, idOf(row, kPlaylistId));
            const libraryclient::TrackPtr track = libraryclient::findTrack(playlist, idOf(row, kTrackId));
            if (!track)
                throw libraryclient::ClientError(libraryclient::kErrObjectNotSet,
                                                 QStringLiteral("Object variable not set"));
            if (track->playlist()->name() != selectedName)
                item.setSelected(false);
        } catch (const Error &error) {
            // The item stays as it is.
            qCDebug(lcWindow) << "A selected item was not checked:" << error.what();
        }
    }
}

} // namespace tidyfox::window
