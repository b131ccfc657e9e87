#include "cleaning/DuplicateRemovalSteps.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/RemovalJob.h"

namespace tidyfox::cleaning {

std::shared_ptr<libraryclient::LibraryTrackList> libraryTracksOf(libraryclient::LibraryClient &library)
{
    const libraryclient::PlaylistPtr playlist = library.libraryPlaylist();
    if (!playlist)
        throw libraryclient::ClientError::objectNotSet();
    auto tracks = playlist->tracks();
    if (!tracks)
        throw libraryclient::ClientError::objectNotSet();
    return tracks;
}

bool isGone(libraryclient::LibraryTrack &track)
{
    try {
        track.databaseId();
        return false;
    } catch (const libraryclient::ClientError &error) {
        if (error.number() == libraryclient::kErrObjectDeleted)
            return true;
        throw;
    }
}

system::TrashedFile trashCopy(system::FileSystem &fs, PendingRemovals *pending, std::int32_t databaseId,
                              const QString &location)
{
    if (!pending)
        return fs.moveToTrash(location, {});
    try {
        return fs.moveToTrash(
            location, [&](const system::TrashedFile &reserved) { pending->intend(databaseId, location, reserved); });
    } catch (const system::TrashError &) {
        pending->settle(databaseId);
        throw;
    }
}

bool outcomeUnknown(const libraryclient::ClientError &error, const PendingRemovals *pending)
{
    return pending && dynamic_cast<const libraryclient::NoAnswerError *>(&error) != nullptr;
}

void putBack(system::FileSystem &fs, PendingRemovals *pending, const system::TrashedFile &trashed,
             std::int32_t databaseId, const QString &path)
{
    try {
        fs.restoreFromTrash(trashed, path);
        if (pending)
            pending->settle(databaseId);
    } catch (const system::TrashError &error) {
        qCWarning(lcCleaning) << "A removed copy's file stays in the trash:" << error.what();
    }
}

bool removeEntry(RemovalJob &job, system::FileSystem &fs, PendingRemovals *pending, std::int32_t databaseId,
                 std::int32_t keeperId, const QString &location, const std::optional<system::TrashedFile> &trashed)
{
    try {
        if (keeperId != 0)
            job.removeMergingInto(databaseId, keeperId, trashed);
        else
            job.remove(databaseId, trashed);
    } catch (const libraryclient::ClientError &error) {
        if (trashed && !outcomeUnknown(error, pending))
            putBack(fs, pending, *trashed, databaseId, location);
        if (error.number() != libraryclient::kErrObjectDeleted)
            throw;
        return false;
    } catch (...) {
        if (trashed)
            putBack(fs, pending, *trashed, databaseId, location);
        throw;
    }
    if (trashed && pending)
        pending->settle(databaseId);
    return true;
}

void endRemovalSucceeded(CleaningHost &host, int count)
{
    endJobSucceeded(host, QString::number(count) + QStringLiteral(" Duplicate(s) have been deleted"));
}

void endRemovalFailed(CleaningHost &host, int count, const QString &reason)
{
    endFailedJob(host,
                 QStringLiteral("Can not delete all duplicates.") + QLatin1Char('\r') + QString::number(count) +
                     QStringLiteral(" Duplicate track(s) have been deleted"),
                 AfterFailure::ReopenGateAndButtons, reason);
}

} // namespace tidyfox::cleaning
