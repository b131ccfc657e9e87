#include "cleaning/DeadTrackDeletion.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"

#include <vector>

namespace tidyfox::cleaning {
namespace {

constexpr std::int32_t kLibraryPlaylistKind = 1;

// Whether the track is an entry of a file that is gone. A track without a
// file (a stream) has no Location at all and is never dead.
bool isDead(itunes::IITTrack &track, platform::FileSystem &fs)
{
    QString location;
    try {
        location = track.Location();
    } catch (const itunes::ComError &error) {
        if (error.number() == itunes::kErrNoSuchProperty)
            return false;
        throw;
    }
    return !fs.FileExists(location);
}

void deleteDeadIn(itunes::IITPlaylist &playlist, platform::FileSystem &fs, int &count)
{
    const auto collection = playlist.Tracks();
    if (!collection)
        throw itunes::ComError::objectNotSet();
    std::vector<itunes::TrackPtr> tracks;
    collection->ForEach([&tracks](const itunes::TrackPtr &track) {
        tracks.push_back(track);
        return true;
    });
    // Removing a dead track changes nothing about the files of the others,
    // so one pass finds what walking again after each removal would.
    for (const auto &track : tracks) {
        if (!isDead(*track, fs))
            continue;
        if (count == kMaxRemovals)
            throw RunFailure("more dead tracks than one run can count");
        track->Delete();
        ++count;
    }
}

void deleteDead(itunes::IITSource &source, platform::FileSystem &fs, int &count)
{
    const auto playlists = source.Playlists();
    if (!playlists)
        throw itunes::ComError::objectNotSet();
    std::vector<itunes::PlaylistPtr> all;
    playlists->ForEach([&all](const itunes::PlaylistPtr &playlist) {
        all.push_back(playlist);
        return true;
    });
    for (const auto &playlist : all) {
        if (playlist->Kind() == kLibraryPlaylistKind)
            deleteDeadIn(*playlist, fs, count);
    }
}

template<typename Step> void tryStep(Step step)
{
    try {
        step();
    } catch (const std::exception &error) {
        qCDebug(lcCleaning) << "Ending dead-track deletion:" << error.what();
    } catch (...) {
        qCDebug(lcCleaning) << "Ending dead-track deletion failed";
    }
}

void failureEnd(CleaningHost &host, int count)
{
    const QString text = QStringLiteral("Can not delete all tracks.") + QLatin1Char('\r') + QString::number(count) +
                         QStringLiteral(" Dead track(s) have been deleted");
    tryStep([&] { host.ShowAlert(text, kAlertInformation, kAppTitle); });
    tryStep([&] { host.HideBusy(); });
}

} // namespace

void DeleteDeadTracks(CleaningHost &host, itunes::IITSource *oLibrarySource, platform::FileSystem &fs)
{
    int count = 0;
    try {
        if (!oLibrarySource) {
            host.ShowAlert(QStringLiteral("0 Track have been deleted."), kAlertInformation, kAppTitle);
            host.HideBusy();
            return;
        }
        deleteDead(*oLibrarySource, fs, count);
        host.HideBusy();
        host.ShowAlert(QString::number(count) + QStringLiteral(" Dead track(s) have been deleted"), kAlertInformation,
                       kAppTitle);
        host.RefreshLibrarylist();
        return;
    } catch (const std::exception &error) {
        qCDebug(lcCleaning) << "Dead-track deletion stopped after" << count << "removals:" << error.what();
    } catch (...) {
        qCDebug(lcCleaning) << "Dead-track deletion stopped after" << count << "removals";
    }
    failureEnd(host, count);
}

} // namespace tidyfox::cleaning
