// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's events: which playlist and track are selected, opening rows and
// the track view, and the grid actions the program refuses.
#include "libraryclient/LibraryLookups.h"
#include "widgets/TreeGrid.h"
#include "window/MainWindow.h"

namespace tidyfox::window {

namespace {

// IDs travel through the grid as decimal text; text that is no 32-bit number
// fails as a conversion does.
std::int32_t idFromCell(const QString &text)
{
    bool ok = false;
    const std::int32_t id = text.trimmed().toInt(&ok);
    if (!ok)
        throw libraryclient::ClientError(13, QStringLiteral("Type mismatch"));
    return id;
}

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
        if (cell.bandIndex() == 0) {
            m_selectedPlaylist = row.cellCount() >= 1
                                     ? libraryclient::findPlaylist(m_librarySource, idFromCell(row.cell(0).text()))
                                     : nullptr;
            m_selectedTrack = nullptr;
        } else {
            m_selectedPlaylist = row.cellCount() >= 1
                                     ? libraryclient::findPlaylist(m_librarySource, idFromCell(row.cell(0).text()))
                                     : nullptr;
            m_selectedTrack = row.cellCount() >= 1
                                  ? libraryclient::findTrack(m_selectedPlaylist, idFromCell(row.cell(2).text()))
                                  : nullptr;
        }
        updateTrackButtons();
    } catch (const libraryclient::ClientError &) {
    } catch (const widgets::GridError &) {
    }
}

void MainWindow::onListDoubleClick()
{
    if (m_state.isIn(WindowState::Phase::Connecting))
        return;
    try {
        widgets::GridRow row = m_libraryList->selection().cells().item(0).row();
        if (row.isExpanded())
            row.collapse();
        else
            row.expand();
    } catch (const widgets::GridError &) {
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
                libraryclient::findPlaylist(m_librarySource, idFromCell(row.cell(0).text()));
            const libraryclient::TrackPtr track = libraryclient::findTrack(playlist, idFromCell(row.cell(2).text()));
            if (!track)
                throw libraryclient::ClientError(libraryclient::kErrObjectNotSet,
                                                 QStringLiteral("Object variable not set"));
            if (track->playlist()->name() != selectedName)
                item.setSelected(false);
        } catch (const libraryclient::ClientError &) {
        } catch (const widgets::GridError &) {
        }
    }
}

} // namespace tidyfox::window
