// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the library into a new library model and showing it in the grid.
#include "cleaning/DeadTrackRule.h"
#include "cleaning/FolderProbe.h"
#include "libraryclient/LibraryLookups.h"
#include "librarylist/LibraryListFormat.h"
#include "librarylist/LibraryListModel.h"
#include "widgets/TreeGrid.h"
#include "window/JobStatus.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"

namespace tidyfox::window {

namespace {

const QString kFillError = QStringLiteral("An error occured while filling the Library list");

// The reads of one fill. A value that cannot be read is reported and left
// blank, and the fill goes on with the next; a source missing or an object
// deleted meanwhile abandons the fill, which leaves the list as it was.
class FillReads
{
public:
    explicit FillReads(std::function<void(const QString &)> report) : m_report(std::move(report)) {}

    bool abandoned() const { return m_abandoned; }

    // The value read, or nothing once it failed or the fill is abandoned.
    template<typename Read> auto read(Read read) -> std::optional<decltype(read())>
    {
        if (m_abandoned)
            return std::nullopt;
        try {
            return read();
        } catch (const libraryclient::ClientError &e) {
            if (e.number() == libraryclient::kErrObjectNotSet || e.number() == libraryclient::kErrObjectDeleted) {
                m_abandoned = true;
                return std::nullopt;
            }
            m_report(QString::number(e.number()) + QLatin1Char(':') + e.description());
        }
        return std::nullopt;
    }

    QString text(const std::function<QString()> &value) { return read(value).value_or(QString()); }

private:
    std::function<void(const QString &)> m_report;
    bool m_abandoned = false;
};

} // namespace

void MainWindow::fillListFromSource(widgets::TreeGrid &list, libraryclient::SourcePtr &source)
{
    if (m_state.isIn(WindowState::Phase::LoadingList))
        return;
    m_state.enter(WindowState::Phase::LoadingList);
    FillReads reads([this](const QString &what) {
        showAlert(kFillError + QLatin1Char('\r') + what, AlertKind::Critical, QStringLiteral("Tidyfox"));
    });

    // The grid holds its own reference to the model it shows until it is
    // bound to the new one.
    m_listModel = std::make_shared<librarylist::LibraryListModel>();
    librarylist::LibraryListModel &model = *m_listModel;

    // Which tracks lost their file, asked folder by folder: a track in many
    // playlists is looked up again in a listing, not on the disk.
    cleaning::ListedFolders listed(*m_env.fileSystem);
    const auto lists = reads.read([&] { return libraryclient::playlistsOf(source); });
    if (lists && *lists) {
        reads.read([&] {
            (*lists)->forEach([&](const libraryclient::PlaylistPtr &playlist) {
                yieldToEvents(10);
                const QString playlistId = reads.text([&] { return QString::number(playlist->playlistId()); });
                const QString name = reads.text([&] { return playlist->name(); });
                if (reads.abandoned())
                    return false;
                librarylist::PlaylistTrackTable &tracks = model.addPlaylist(playlistId, name);
                const auto playlistTracks = reads.read([&] { return playlist->tracks(); });
                if (!playlistTracks || !*playlistTracks)
                    return !reads.abandoned();
                const QString job =
                    QStringLiteral("Loading %1")
                        .arg(model.value(model.playlistCount() - 1, librarylist::LibraryListModel::PlayList_Name));
                const int total = reads.read([&] { return (*playlistTracks)->count(); }).value_or(0);
                tracks.reserve(total);
                int done = 0;
                reads.read([&] {
                    (*playlistTracks)->forEach([&](const libraryclient::TrackPtr &track) {
                        m_jobStatus->reportProgress(job, ++done, total);
                        // One yield a row keeps the face's commands and the
                        // busy animation going; the twenty more a row that
                        // once followed it were a quarter of a large load's
                        // time and ran nothing the next row's would not.
                        yieldToEvents(1);
                        librarylist::PlaylistTrackTable::Track row;
                        row.itemId = playlistId;
                        row.name = reads.text([&] { return track->name(); });
                        row.trackId = reads.text([&] { return QString::number(track->trackId()); });
                        row.time = reads.text([&] { return track->time(); });
                        row.artist = reads.text([&] { return track->artist(); });
                        row.album = reads.text([&] { return track->album(); });
                        if (reads.abandoned())
                            return false;
                        // The list marks a track whose file is gone; a track
                        // that cannot say is not marked.
                        try {
                            row.fileMissing = cleaning::deadLocation(*track, listed).has_value();
                        } catch (const Error &error) {
                            qCDebug(lcWindow) << "A track's file was not checked:" << error.what();
                        }
                        tracks.addTrack(row);
                        return true;
                    });
                    return true;
                });
                return !reads.abandoned();
            });
            return true;
        });
    }

    if (reads.abandoned()) {
        m_state.leave(WindowState::Phase::LoadingList);
        return;
    }
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
