// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/SelectionDeletion.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/PresentTracks.h"
#include "cleaning/RemovalJob.h"

#include <optional>

namespace tidyfox::cleaning {
namespace {

QString deletedText(int count)
{
    return QString::number(count) + QStringLiteral(" track(s) have been deleted");
}

void deleteEach(CleaningHost &host, libraryclient::LibraryClient &library, system::FileSystem &fs,
                const std::vector<std::int32_t> &databaseIds, bool withFiles, PendingRemovals *pending, RemovalJob &job,
                int &count)
{
    PresentTracks present(library, withFiles);
    int done = 0;
    for (const std::int32_t databaseId : databaseIds) {
        host.reportProgress(QStringLiteral("Deleting tracks"), ++done, int(databaseIds.size()));
        host.yieldOnce();
        PresentTrack *track = present.find(databaseId);
        if (!track)
            continue;
        if (!present.removeFromLibrary(*track, 0, false, withFiles, job, library, fs, pending))
            continue;
        ++count;
    }
}

// The end every selection job shares: its alert, the reload, the gate and
// the buttons back; on failure the alert says what did happen and why not
// the rest.
template<typename Work, typename FailureText>
void runJob(CleaningHost &host, libraryclient::LibraryClient *library, const QString &kind, const char *logName,
            FailureText failureText, Work work)
{
    int count = 0;
    QString reason;
    std::optional<RemovalJob> job;
    try {
        if (!library)
            throw RunFailure("not connected to the library");
        job.emplace(host, *library, kind);
        const QString text = work(*library, *job, count);
        job->close();
        endJobSucceeded(host, text);
        return;
    } catch (const std::exception &error) {
        reason = failureReason(error);
        qCDebug(lcCleaning) << logName << "stopped after" << count << "changes:" << error.what();
    }
    if (job)
        job->close();
    endFailedJob(host, failureText(count), AfterFailure::ReopenGateButtonsAndReload, reason);
}

} // namespace

void deleteTracks(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                  const std::vector<std::int32_t> &databaseIds, bool withFiles, PendingRemovals *pending)
{
    runJob(
        host, library, withFiles ? QStringLiteral("deleted with files") : QStringLiteral("deleted"), "Track deletion",
        [](int count) { return QStringLiteral("Can not delete all tracks.\r") + deletedText(count); },
        [&](libraryclient::LibraryClient &lib, RemovalJob &job, int &count) {
            deleteEach(host, lib, fs, databaseIds, withFiles, pending, job, count);
            return deletedText(count);
        });
}

void removeFromPlaylist(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t playlistId,
                        const std::vector<std::int32_t> &databaseIds)
{
    runJob(
        host, library, QStringLiteral("removed from a playlist"), "Removal from a playlist",
        [](int) { return QStringLiteral("Can not remove the tracks from the playlist."); },
        [&](libraryclient::LibraryClient &, RemovalJob &job, int &count) {
            job.removeFromPlaylist(playlistId, databaseIds);
            count = int(databaseIds.size());
            return QString::number(count) + QStringLiteral(" track(s) have been removed from the playlist");
        });
}

void deletePlaylist(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t playlistId)
{
    runJob(
        host, library, QStringLiteral("playlist deleted"), "Playlist deletion",
        [](int) { return QStringLiteral("Can not delete the playlist."); },
        [&](libraryclient::LibraryClient &, RemovalJob &job, int &) {
            job.deletePlaylist(playlistId);
            return QStringLiteral("The playlist has been deleted");
        });
}

} // namespace tidyfox::cleaning
