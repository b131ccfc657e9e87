// Loading the library into a new library model and showing it in the grid.
#include "shell/frmMain.h"

#include "itunes/Lookups.h"
#include "library/FormatGrid.h"
#include "library/LibraryRecordset.h"
#include "library/RecordsetError.h"
#include "platform/UltraGrid.h"
#include "shell/modMain.h"

namespace tidyfox::shell {

namespace {

// How one step of the fill failed.
enum class StepResult { Done, Failed, Abandon };

const QString kFillError = QStringLiteral("An error occured while filling the Library list");

} // namespace

void frmMain::FillGridWithSource(platform::UltraGrid &Grid, itunes::SourcePtr &iSource)
{
    if (bFillingGrid)
        return;
    bFillingGrid = true;

    // Every step runs on its own: a failure is reported and the fill goes on
    // with the next step, except that a missing source or an object deleted
    // meanwhile ends the fill at once and leaves the grid as it was.
    bool abandoned = false;
    const auto step = [&](auto &&body) {
        if (abandoned)
            return StepResult::Abandon;
        try {
            body();
            return StepResult::Done;
        } catch (const itunes::ComError &e) {
            if (e.number() == itunes::kErrObjectNotSet || e.number() == itunes::kErrObjectDeleted) {
                abandoned = true;
                return StepResult::Abandon;
            }
            modMain::ShowAlert(kFillError + QLatin1Char('\r') + QString::number(e.number()) + QLatin1Char(':') +
                                   e.description(),
                               modMain::kAlertCritical, QStringLiteral("Tidyfox"));
        } catch (const library::RecordsetError &e) {
            modMain::ShowAlert(kFillError + QLatin1Char('\r') + QString::number(e.number()) + QLatin1Char(':') +
                                   e.description(),
                               modMain::kAlertCritical, QStringLiteral("Tidyfox"));
        }
        return StepResult::Failed;
    };

    // The grid holds its own reference to the model it shows until it is
    // bound to the new one.
    vRecordSet = std::make_shared<library::LibraryRecordset>();
    library::LibraryRecordset &parents = *vRecordSet;

    std::shared_ptr<itunes::IITPlaylistCollection> lists;
    step([&] { lists = itunes::GetLists(iSource); });
    if (lists) {
        step([&] {
            lists->ForEach([&](const itunes::PlaylistPtr &playlist) {
                DoEvents(10);
                parents.AddNew();
                QString playlistId;
                step([&] {
                    playlistId = QString::number(playlist->PlaylistID());
                    parents.setField(u"ID", playlistId);
                });
                step([&] { parents.setField(u"PlayList_Name", playlist->Name()); });
                if (abandoned)
                    return false;
                library::LibraryTrackTable *children = parents.chapter(u"Playlist");
                if (!children)
                    return true;
                std::shared_ptr<itunes::IITTrackList> tracks;
                step([&] { tracks = playlist->Tracks(); });
                if (!tracks)
                    return !abandoned;
                const QString itemId = parents.field(u"ID");
                step([&] {
                    tracks->ForEach([&](const itunes::TrackPtr &track) {
                        DoEvents(1);
                        children->AddNew();
                        step([&] { children->setField(library::LibraryTrackTable::ItemID, itemId); });
                        step([&] { children->setField(library::LibraryTrackTable::TrackName, track->Name()); });
                        step([&] {
                            children->setField(library::LibraryTrackTable::TrackID, QString::number(track->TrackID()));
                        });
                        step([&] { children->setField(library::LibraryTrackTable::Time, track->Time()); });
                        step([&] { children->setField(library::LibraryTrackTable::Artist, track->Artist()); });
                        step([&] { children->setField(library::LibraryTrackTable::Album, track->Album()); });
                        DoEvents(20);
                        return !abandoned;
                    });
                });
                return !abandoned;
            });
        });
    }

    if (abandoned) {
        bFillingGrid = false;
        return;
    }
    // From here on errors are ignored: an empty model has no first row.
    try {
        parents.MoveFirst();
    } catch (const library::RecordsetError &) {
    }
    library::FormatGrid(Grid, vRecordSet, modMain::ShowAlert);
    bFillingGrid = false;
}

void frmMain::RefreshLibrarylist()
{
    ShowBusy(QStringLiteral("Refreshing Library List...."));
    FillGridWithSource(*LibraryGrid, oLibrarySource);
    HideBusy();
}

} // namespace tidyfox::shell
