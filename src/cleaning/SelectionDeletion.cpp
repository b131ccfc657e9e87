// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/SelectionDeletion.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/PresentTracks.h"
#include "cleaning/RemovalBatch.h"
#include "cleaning/RemovalJob.h"

namespace tidyfox::cleaning {
namespace {

QString deletedText(std::int64_t count)
{
    return QString::number(count) + QStringLiteral(" track(s) have been deleted");
}

void deleteEach(CleaningHost &host, libraryclient::LibraryClient &library, system::FileSystem &fs,
                const std::vector<std::int32_t> &databaseIds, bool withFiles, PendingRemovals *pending, RemovalJob &job,
                std::int64_t &count)
{
    PresentTracks present(library, databaseIds, {}, withFiles);
    RemovalBatch batch(job, library, fs, pending);
    const auto removed = [&](std::int32_t) { ++count; };
    int done = 0;
    for (const std::int32_t databaseId : databaseIds) {
        host.reportProgress(QStringLiteral("Deleting tracks"), ++done, int(databaseIds.size()));
        host.yieldOnce();
        PresentTrack *track = present.find(databaseId);
        if (!track)
            continue;
        present.queueRemoval(batch, *track, 0, withFiles, fs, std::nullopt, removed);
    }
    present.send(batch, removed);
}

// The end every selection job shares: its alert, the reload, the gate and
// the buttons back; on failure the alert says what did happen and why not
// the rest.
template<typename Work, typename FailureText>
void runJob(CleaningHost &host, libraryclient::LibraryClient *library, const QString &kind, const char *logName,
            FailureText failureText, Work work)
{
    std::int64_t count = 0;
    QString text;
    runRemovalJob(host, library, kind, logName, count,
                  {.ready = {},
                   .work = [&](libraryclient::LibraryClient &lib, RemovalJob &job) { text = work(lib, job, count); },
                   .succeeded = [&](RemovalJob &) { endJobSucceeded(host, text); },
                   .failed =
                       [&](const QString &reason, RemovalJob *) {
                           endFailedJob(host, failureText(count), AfterFailure::ReopenGateButtonsAndReload, reason);
                       }});
}

} // namespace

void deleteTracks(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                  const std::vector<std::int32_t> &databaseIds, bool withFiles, PendingRemovals *pending)
{
    runJob(
        host, library, withFiles ? QStringLiteral("deleted with files") : QStringLiteral("deleted"), "Track deletion",
        [](std::int64_t count) { return QStringLiteral("Can not delete all tracks.\r") + deletedText(count); },
        [&](libraryclient::LibraryClient &lib, RemovalJob &job, std::int64_t &count) {
            deleteEach(host, lib, fs, databaseIds, withFiles, pending, job, count);
            return deletedText(count);
        });
}

void removeFromPlaylist(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t playlistId,
                        const std::vector<std::int32_t> &databaseIds)
{
    runJob(
        host, library, QStringLiteral("removed from a playlist"), "Removal from a playlist",
        [](std::int64_t) { return QStringLiteral("Can not remove the tracks from the playlist."); },
        [&](libraryclient::LibraryClient &, RemovalJob &job, std::int64_t &count) {
            job.removeFromPlaylist(playlistId, databaseIds);
            count = std::int64_t(databaseIds.size());
            return QString::number(count) + QStringLiteral(" track(s) have been removed from the playlist");
        });
}

void deletePlaylist(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t playlistId)
{
    runJob(
        host, library, QStringLiteral("playlist deleted"), "Playlist deletion",
        [](std::int64_t) { return QStringLiteral("Can not delete the playlist."); },
        [&](libraryclient::LibraryClient &, RemovalJob &job, std::int64_t &) {
            job.deletePlaylist(playlistId);
            return QStringLiteral("The playlist has been deleted");
        });
}

} // namespace tidyfox::cleaning
