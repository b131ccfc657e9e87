// The grid's events: which playlist and track are selected, opening rows and
// the track view, and the grid actions the program refuses.
#include "shell/frmMain.h"

#include "itunes/Lookups.h"
#include "platform/UltraGrid.h"

namespace tidyfox::shell {

namespace {

// IDs travel through the grid as decimal text; text that is no 32-bit number
// fails as a conversion does.
std::int32_t idFromCell(const QString &text)
{
    bool ok = false;
    const std::int32_t id = text.trimmed().toInt(&ok);
    if (!ok)
        throw itunes::ComError(13, QStringLiteral("Type mismatch"));
    return id;
}

} // namespace

void frmMain::connectGridEvents()
{
    using platform::UltraGrid;
    connect(LibraryGrid, &UltraGrid::BeforeCellActivate, this,
            [this](platform::UGCell &cell, platform::UGFlag &cancel) { LibraryGrid_CellActivating(cell, cancel); });
    connect(LibraryGrid, &UltraGrid::DblClick, this, &frmMain::LibraryGrid_DoubleClick);
    connect(LibraryGrid, &UltraGrid::KeyUp, this, &frmMain::LibraryGrid_KeyReleased);
    // Moving columns and deleting rows are refused; editing a cell in place is
    // called off.
    connect(LibraryGrid, &UltraGrid::BeforeColPosChanged, this,
            [this](platform::UGColumn &, platform::UGColumn &, platform::UGFlag &cancel) {
                LibraryGrid_RefuseRequest(cancel);
            });
    connect(LibraryGrid, &UltraGrid::BeforeRowsDeleted, this,
            [this](platform::UGRows &, platform::UGBand &, platform::UGFlag &cancel) {
                LibraryGrid_RefuseRequest(cancel);
            });
    connect(LibraryGrid, &UltraGrid::BeforeEnterEditMode, this,
            [this](platform::UGCell &, platform::UGFlag &flag, platform::UGColumn &) { LibraryGrid_ClearFlag(flag); });
}

void frmMain::LibraryGrid_CellActivating(platform::UGCell &cell, platform::UGFlag & /*cancel*/)
{
    // Stops at the first failure: what was assigned stays, and the buttons
    // keep their state.
    try {
        platform::UGRow row = cell.Row();
        if (cell.BandIndex() == 0) {
            oSelectedPlayList =
                row.CellCount() >= 1 ? itunes::GetPlayListByID(oLibrarySource, idFromCell(row.Cell(0).Value())) : nullptr;
            oSelectedTrack = nullptr;
        } else {
            oSelectedPlayList =
                row.CellCount() >= 1 ? itunes::GetPlayListByID(oLibrarySource, idFromCell(row.Cell(0).Value())) : nullptr;
            oSelectedTrack =
                row.CellCount() >= 1 ? itunes::GetTrackByID(oSelectedPlayList, idFromCell(row.Cell(2).Value())) : nullptr;
        }
        const QString on = QStringLiteral("true");
        SetVariable(oSelectedTrack ? QStringLiteral("_root.enableview2") : QStringLiteral("_root.disableview2"), on);
        SetVariable(QStringLiteral("_root.enabledelete"), on);
        if (!oSelectedPlayList && !oSelectedTrack)
            SetVariable(QStringLiteral("_root.disabledelete"), on);
        else if (!oSelectedTrack)
            SetVariable(QStringLiteral("_root.enabledelete"), on);
    } catch (const itunes::ComError &) {
    } catch (const platform::GridError &) {
    }
}

void frmMain::LibraryGrid_DoubleClick()
{
    if (bStarting)
        return;
    try {
        platform::UGRow row = LibraryGrid->Selected().Cells().Item(0).Row();
        if (row.Expanded())
            row.Collapse();
        else
            row.Expand();
    } catch (const platform::GridError &) {
    }
    if (!oSelectedTrack)
        return;
    if (!ViewSelectedLibraryTrack())
        return;
    HideGrid();
    SetVariable(QStringLiteral("_root.showtracinfowin"), QStringLiteral("true"));
}

void frmMain::LibraryGrid_KeyReleased(int /*keyCode*/, int /*shift*/)
{
    if (!oSelectedPlayList || !oSelectedTrack)
        return;
    QString selectedName;
    try {
        selectedName = oSelectedPlayList->Name();
    } catch (const itunes::ComError &) {
        return;
    }
    // The collection is taken now; deselecting an item does not disturb the walk.
    platform::UGCells items = LibraryGrid->Selected().Cells();
    for (platform::UGCell &item : items) {
        try {
            platform::UGRow row = item.Row();
            const itunes::PlaylistPtr playlist =
                itunes::GetPlayListByID(oLibrarySource, idFromCell(row.Cell(0).Value()));
            const itunes::TrackPtr track = itunes::GetTrackByID(playlist, idFromCell(row.Cell(2).Value()));
            if (!track)
                throw itunes::ComError(itunes::kErrObjectNotSet, QStringLiteral("Object variable not set"));
            if (track->Playlist()->Name() != selectedName)
                item.setSelected(false);
        } catch (const itunes::ComError &) {
        } catch (const platform::GridError &) {
        }
    }
}

void frmMain::LibraryGrid_RefuseRequest(platform::UGFlag &cancel)
{
    cancel.setValue(true);
}

void frmMain::LibraryGrid_ClearFlag(platform::UGFlag &flag)
{
    flag.setValue(false);
}

} // namespace tidyfox::shell
