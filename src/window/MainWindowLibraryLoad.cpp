// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the library into a new library model and showing it in the grid.
#include "cleaning/DeadTrackRule.h"
#include "libraryclient/LibraryLookups.h"
#include "librarylist/LibraryListFormat.h"
#include "librarylist/LibraryListModel.h"
#include "librarylist/ListModelError.h"
#include "widgets/TreeGrid.h"
#include "window/JobStatus.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"

namespace tidyfox::window {

namespace {

// How one step of the fill failed.
enum class StepResult { Done, Failed, Abandon };

const QString kFillError = QStringLiteral("An error occured while filling the Library list");

} // namespace

void MainWindow::fillListFromSource(widgets::TreeGrid &list, libraryclient::SourcePtr &source)
{
    if (m_state.isIn(WindowState::Phase::LoadingList))
        return;
    m_state.enter(WindowState::Phase::LoadingList);

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
        } catch (const libraryclient::ClientError &e) {
            if (e.number() == libraryclient::kErrObjectNotSet || e.number() == libraryclient::kErrObjectDeleted) {
                abandoned = true;
                return StepResult::Abandon;
            }
            showAlert(kFillError + QLatin1Char('\r') + QString::number(e.number()) + QLatin1Char(':') + e.description(),
                      AlertKind::Critical, QStringLiteral("Tidyfox"));
        } catch (const librarylist::ListModelError &e) {
            showAlert(kFillError + QLatin1Char('\r') + QString::number(e.number()) + QLatin1Char(':') + e.description(),
                      AlertKind::Critical, QStringLiteral("Tidyfox"));
        }
        return StepResult::Failed;
    };

    // The grid holds its own reference to the model it shows until it is
    // bound to the new one.
    m_listModel = std::make_shared<librarylist::LibraryListModel>();
    librarylist::LibraryListModel &parents = *m_listModel;

    std::shared_ptr<libraryclient::LibraryPlaylistCollection> lists;
    step([&] { lists = libraryclient::playlistsOf(source); });
    if (lists) {
        step([&] {
            lists->forEach([&](const libraryclient::PlaylistPtr &playlist) {
                yieldToEvents(10);
                parents.addRow();
                QString playlistId;
                step([&] {
                    playlistId = QString::number(playlist->playlistId());
                    parents.setField(u"ID", playlistId);
                });
                step([&] { parents.setField(u"PlayList_Name", playlist->name()); });
                if (abandoned)
                    return false;
                librarylist::PlaylistTrackTable *children = parents.chapter(u"Playlist");
                if (!children)
                    return true;
                std::shared_ptr<libraryclient::LibraryTrackList> tracks;
                step([&] { tracks = playlist->tracks(); });
                if (!tracks)
                    return !abandoned;
                const QString itemId = parents.field(u"ID");
                const QString job = QStringLiteral("Loading %1").arg(parents.field(u"PlayList_Name"));
                int total = 0;
                int done = 0;
                step([&] { total = tracks->count(); });
                step([&] {
                    tracks->forEach([&](const libraryclient::TrackPtr &track) {
                        m_jobStatus->reportProgress(job, ++done, total);
                        yieldToEvents(1);
                        children->addRow();
                        step([&] { children->setField(librarylist::PlaylistTrackTable::ItemID, itemId); });
                        step([&] { children->setField(librarylist::PlaylistTrackTable::TrackName, track->name()); });
                        step([&] {
                            children->setField(librarylist::PlaylistTrackTable::TrackID,
                                               QString::number(track->trackId()));
                        });
                        step([&] { children->setField(librarylist::PlaylistTrackTable::Time, track->time()); });
                        step([&] { children->setField(librarylist::PlaylistTrackTable::Artist, track->artist()); });
                        step([&] { children->setField(librarylist::PlaylistTrackTable::Album, track->album()); });
                        // The list marks a track whose file is gone; a track
                        // that cannot say is not marked.
                        try {
                            children->setFileMissing(cleaning::deadLocation(*track, *m_env.fileSystem).has_value());
                        } catch (const Error &error) {
                            qCDebug(lcWindow) << "A track's file was not checked:" << error.what();
                        }
                        yieldToEvents(20);
                        return !abandoned;
                    });
                });
                return !abandoned;
            });
        });
    }

    if (abandoned) {
        m_state.leave(WindowState::Phase::LoadingList);
        return;
    }
    // An empty model has no first row, and is shown all the same.
    if (parents.recordCount() > 0)
        parents.moveFirst();
    // A new fill shows the playlists that were open where the list was.
    const widgets::TreeGrid::Place place = list.place(librarylist::kPlaylistKeyField);
    if (librarylist::formatLibraryList(
            list, m_listModel,
            [this](const QString &text, AlertKind kind, const QString &title) { showAlert(text, kind, title); }))
        list.restorePlace(place, librarylist::kPlaylistKeyField);
    m_state.leave(WindowState::Phase::LoadingList);
}

void MainWindow::refreshLibraryList()
{
    showBusy(QStringLiteral("Refreshing Library List...."));
    fillListFromSource(*m_libraryList, m_librarySource);
    hideBusy();
}

} // namespace tidyfox::window
