#include "cleaning/DeadTrackDeletion.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"

#include <vector>

namespace tidyfox::cleaning {
namespace {

constexpr std::int32_t kLibraryPlaylistKind = 1;

// Whether the track is an entry of a file that is gone. A track without a
// file (a stream) has no Location at all and is never dead.
bool isDead(libraryclient::LibraryTrack &track, system::FileSystem &fs)
{
    QString location;
    try {
        location = track.location();
    } catch (const libraryclient::ClientError &error) {
        if (error.number() == libraryclient::kErrNoSuchProperty)
            return false;
        throw;
    }
    return !fs.fileExists(location);
}

void deleteDeadIn(CleaningHost &host, libraryclient::LibraryPlaylist &playlist, system::FileSystem &fs, int &count)
{
    const auto collection = playlist.tracks();
    if (!collection)
        throw libraryclient::ClientError::objectNotSet();
    std::vector<libraryclient::TrackPtr> tracks;
    collection->forEach([&tracks](const libraryclient::TrackPtr &track) {
        tracks.push_back(track);
        return true;
    });
    // Removing a dead track changes nothing about the files of the others,
    // so one pass finds what walking again after each removal would.
    const int total = static_cast<int>(tracks.size());
    int done = 0;
    for (const auto &track : tracks) {
        host.reportProgress(QStringLiteral("Deleting dead tracks"), ++done, total);
        if (!isDead(*track, fs))
            continue;
        if (count == kMaxRemovals)
            throw RunFailure("more dead tracks than one run can count");
        track->deleteFromLibrary();
        ++count;
    }
}

void deleteDead(CleaningHost &host, libraryclient::LibrarySource &source, system::FileSystem &fs, int &count)
{
    const auto playlists = source.playlists();
    if (!playlists)
        throw libraryclient::ClientError::objectNotSet();
    std::vector<libraryclient::PlaylistPtr> all;
    playlists->forEach([&all](const libraryclient::PlaylistPtr &playlist) {
        all.push_back(playlist);
        return true;
    });
    for (const auto &playlist : all) {
        if (playlist->kind() == kLibraryPlaylistKind)
            deleteDeadIn(host, *playlist, fs, count);
    }
}

void failureEnd(CleaningHost &host, int count, const QString &reason)
{
    endFailedJob(host,
                 QStringLiteral("Can not delete all tracks.") + QLatin1Char('\r') + QString::number(count) +
                     QStringLiteral(" Dead track(s) have been deleted"),
                 AfterFailure::KeepGate, reason);
}

} // namespace

void deleteDeadTracks(CleaningHost &host, libraryclient::LibrarySource *source, system::FileSystem &fs)
{
    int count = 0;
    QString reason;
    try {
        if (!source) {
            host.showAlert(QStringLiteral("0 Track have been deleted."), AlertKind::Information, kAppTitle);
            host.hideBusy();
            return;
        }
        deleteDead(host, *source, fs, count);
        host.hideBusy();
        host.showAlert(QString::number(count) + QStringLiteral(" Dead track(s) have been deleted"),
                       AlertKind::Information, kAppTitle);
        host.refreshLibraryList();
        return;
    } catch (const std::exception &error) {
        reason = failureReason(error);
        qCDebug(lcCleaning) << "Dead-track deletion stopped after" << count << "removals:" << error.what();
    } catch (...) {
        qCDebug(lcCleaning) << "Dead-track deletion stopped after" << count << "removals";
    }
    failureEnd(host, count, reason);
}

} // namespace tidyfox::cleaning
