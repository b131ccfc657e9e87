// SPDX-License-Identifier: GPL-3.0-or-later
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

namespace {

// The file changed between the checks and the move: it stays.
struct FileChangedMeanwhile
{
};

QString whyTheFileStays(system::FileSystem &fs, const QString &location, const std::optional<system::FileStamp> &shown)
{
    if (const QString why = fs.whyItStays(location); !why.isEmpty())
        return why;
    if (!shown)
        return QStringLiteral("it could not be read when the copy was found");
    if (fs.stamp(location) != shown)
        return QStringLiteral("it has changed since the copy was found");
    return {};
}

} // namespace

std::optional<system::TrashedFile> trashCopy(system::FileSystem &fs, PendingRemovals *pending, RemovalJob &job,
                                             std::int32_t databaseId, const QString &location,
                                             const std::optional<system::FileStamp> &shown)
{
    if (const QString why = whyTheFileStays(fs, location, shown); !why.isEmpty()) {
        job.fileStayed(location, why);
        return std::nullopt;
    }
    // Once more with the file's place in the trash reserved, just before it
    // moves: what replaced it in the meantime is not the file that was shown.
    const auto beforeMove = [&](const system::TrashedFile &reserved) {
        if (fs.stamp(location) != shown)
            throw FileChangedMeanwhile{};
        if (pending)
            pending->intend(databaseId, location, reserved);
    };
    try {
        return fs.moveToTrash(location, beforeMove);
    } catch (const FileChangedMeanwhile &) {
        job.fileStayed(location, QStringLiteral("it has changed since the copy was found"));
        return std::nullopt;
    } catch (const system::TrashError &) {
        if (pending)
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

bool removeEntry(RemovalJob &job, system::FileSystem &fs, PendingRemovals *pending, const EntryRemoval &removal,
                 const QString &location, const std::optional<system::TrashedFile> &trashed)
{
    const std::int32_t databaseId = removal.databaseId;
    try {
        if (removal.keeperId != 0 && removal.mergeHistory)
            job.removeMergingInto(databaseId, removal.keeperId, trashed);
        else if (removal.keeperId != 0)
            job.removeKeeping(databaseId, removal.keeperId, trashed);
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

void endRemovalSucceeded(CleaningHost &host, std::int64_t count, const QString &detail)
{
    endJobSucceeded(host, QString::number(count) + QStringLiteral(" Duplicate(s) have been deleted"), detail);
}

void endRemovalFailed(CleaningHost &host, std::int64_t count, const QString &reason)
{
    endFailedJob(host,
                 QStringLiteral("Can not delete all duplicates.") + QLatin1Char('\r') + QString::number(count) +
                     QStringLiteral(" Duplicate track(s) have been deleted"),
                 AfterFailure::ReopenGateAndButtons, reason);
}

} // namespace tidyfox::cleaning
