// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DeadTrackDeletion.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DeadTrackRule.h"
#include "cleaning/FolderProbe.h"
#include "cleaning/RemovalBatch.h"
#include "cleaning/RemovalJob.h"

#include <optional>
#include <unordered_set>
#include <vector>

namespace tidyfox::cleaning {
namespace {

// Whether the track is one of those reviewed; a track another program
// removed since is not.
bool isReviewed(libraryclient::LibraryTrack &track, const std::unordered_set<std::int32_t> &reviewed)
{
    try {
        return reviewed.contains(track.databaseId());
    } catch (const libraryclient::ClientError &error) {
        if (error.number() == libraryclient::kErrObjectDeleted)
            return false;
        throw;
    }
}

// Which tracks a run takes: only, when set, limits it to the tracks with
// those database ids; volumes, when set, spares the tracks on a drive that is
// not connected (counted in spared).
struct DeadTrackScope
{
    const std::unordered_set<std::int32_t> *only = nullptr;
    const system::Volumes *volumes = nullptr;
};

void deleteDeadIn(CleaningHost &host, libraryclient::LibraryPlaylist &playlist, system::FileSystem &fs,
                  const DeadTrackScope &scope, RemovalBatch &batch, std::int64_t &count, std::int64_t &spared)
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
        if (scope.only && !isReviewed(*track, *scope.only))
            continue;
        const std::optional<QString> location = deadLocation(*track, fs);
        if (!location)
            continue;
        if (scope.volumes && onDisconnectedDrive(folderOf(*location), *scope.volumes)) {
            ++spared;
            continue;
        }
        // A dead track has no file to move: many go in one call. One gone
        // by another hand meanwhile is passed over.
        if (const std::int32_t databaseId = track->databaseId(); !batch.holds(databaseId))
            batch.add({databaseId, 0, QString(), false, std::nullopt});
        if (batch.full())
            batch.send([&](std::int32_t) { ++count; });
    }
    batch.send([&](std::int32_t) { ++count; });
}

void deleteDead(CleaningHost &host, libraryclient::LibraryClient &library, libraryclient::LibrarySource &source,
                system::FileSystem &fs, const DeadTrackScope &scope, RemovalJob &job, std::int64_t &count,
                std::int64_t &spared)
{
    // Removing a dead track changes no file, so the listings stay true for
    // the whole run.
    ListedFolders listed(fs);
    RemovalBatch batch(job, library, fs, nullptr);
    for (const auto &playlist : libraryPlaylistsOf(source))
        deleteDeadIn(host, *playlist, listed, scope, batch, count, spared);
}

QString sparedDetail(std::int64_t spared)
{
    return (spared == 1 ? QStringLiteral("Kept 1 track whose file is")
                        : QStringLiteral("Kept %1 tracks whose files are").arg(spared)) +
           QStringLiteral(" on a drive that is not connected now: connect it and delete again, or pick them in "
                          "Review.");
}

void failureEnd(CleaningHost &host, std::int64_t count, const QString &reason)
{
    endFailedJob(host,
                 QStringLiteral("Can not delete all tracks.") + QLatin1Char('\r') + QString::number(count) +
                     QStringLiteral(" Dead track(s) have been deleted"),
                 AfterFailure::KeepGate, reason);
}

void runDeletion(CleaningHost &host, libraryclient::LibraryClient *library, libraryclient::LibrarySource *source,
                 system::FileSystem &fs, const DeadTrackScope &scope)
{
    std::int64_t count = 0;
    std::int64_t spared = 0;
    runRemovalJob(host, library, QStringLiteral("dead tracks"), "Dead-track deletion", count,
                  {.ready =
                       [&] {
                           if (source)
                               return true;
                           host.showAlert(QStringLiteral("0 Track have been deleted."), AlertKind::Information,
                                          kAppTitle);
                           host.hideBusy();
                           return false;
                       },
                   .work =
                       [&](libraryclient::LibraryClient &lib, RemovalJob &job) {
                           // Before any track is judged: a new job first brings
                           // back the files an interrupted removal left in the
                           // trash, and such a track is not dead.
                           job.open();
                           deleteDead(host, lib, *source, fs, scope, job, count, spared);
                       },
                   .succeeded =
                       [&](RemovalJob &) {
                           host.hideBusy();
                           if (spared > 0)
                               host.setAlertDetail(sparedDetail(spared));
                           host.showAlert(QString::number(count) + QStringLiteral(" Dead track(s) have been deleted"),
                                          AlertKind::Information, kAppTitle);
                           host.refreshLibraryList();
                       },
                   .failed = [&](const QString &reason, RemovalJob *) { failureEnd(host, count, reason); }});
}

} // namespace

void deleteDeadTracks(CleaningHost &host, libraryclient::LibraryClient *library, libraryclient::LibrarySource *source,
                      system::FileSystem &fs, const system::Volumes *volumes)
{
    runDeletion(host, library, source, fs, {nullptr, volumes});
}

void deleteReviewedDeadTracks(CleaningHost &host, libraryclient::LibraryClient *library,
                              libraryclient::LibrarySource *source, system::FileSystem &fs,
                              const std::vector<std::int32_t> &databaseIds)
{
    const std::unordered_set<std::int32_t> only(databaseIds.begin(), databaseIds.end());
    runDeletion(host, library, source, fs, {&only, nullptr});
}

} // namespace tidyfox::cleaning
