#include "cleaning/ReviewedRemoval.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/PresentTracks.h"
#include "cleaning/RemovalJob.h"

#include <QSet>
#include <optional>

namespace tidyfox::cleaning {
namespace {

void removeCopies(CleaningHost &host, libraryclient::LibraryClient &library, system::FileSystem &fs,
                  PendingRemovals *pending, const ReviewedRemoval &removal, RemovalJob &job, int &count)
{
    const bool trashFiles = !removal.keepFiles;
    PresentTracks present(library, trashFiles);
    QSet<std::int32_t> keepers;
    for (const ChosenCopy &copy : removal.copies)
        keepers.insert(copy.keeperId);

    int done = 0;
    for (const ChosenCopy &chosen : removal.copies) {
        host.reportProgress(QStringLiteral("Removing duplicates"), ++done, int(removal.copies.size()));
        // Let the face animate and the window answer between copies.
        host.yieldOnce();
        host.yieldOnce();
        if (keepers.contains(chosen.databaseId) || chosen.databaseId == chosen.keeperId) {
            qCDebug(lcCleaning) << "track" << chosen.databaseId << "stays: it keeps the place of another";
            continue;
        }
        PresentTrack *copy = present.find(chosen.databaseId);
        if (!copy)
            continue;
        // Never the last of its kind: a copy whose keeper has gone stays.
        if (!present.find(chosen.keeperId)) {
            qCDebug(lcCleaning) << "track" << chosen.databaseId << "stays: its keeper has gone";
            continue;
        }
        if (!present.removeFromLibrary(*copy, removal.mergeHistory ? chosen.keeperId : 0, trashFiles, job, library, fs,
                                       pending)) {
            // Gone by another hand, the copy or its keeper: passed over.
            continue;
        }
        if (count == kMaxRemovals)
            throw RunFailure("more copies than one run can count");
        ++count;
    }
}

} // namespace

void removeReviewed(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                    const ReviewedRemoval &removal, PendingRemovals *pending)
{
    int count = 0;
    QString reason;
    std::optional<RemovalJob> job;
    try {
        if (!library)
            throw RunFailure("not connected to the library");
        if (pending)
            pending->putRight(*library, fs);
        job.emplace(host, *library, QStringLiteral("duplicates"));
        removeCopies(host, *library, fs, pending, removal, *job, count);
        job->close();
        endRemovalSucceeded(host, count);
        return;
    } catch (const std::exception &error) {
        reason = failureReason(error);
        qCDebug(lcCleaning) << "Reviewed removal stopped after" << count << "removals:" << error.what();
    } catch (...) {
        qCDebug(lcCleaning) << "Reviewed removal stopped after" << count << "removals";
    }
    if (job)
        job->close();
    endRemovalFailed(host, count, reason);
}

} // namespace tidyfox::cleaning
