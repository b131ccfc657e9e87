// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/ReviewedRemoval.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/PresentTracks.h"
#include "cleaning/RemovalBatch.h"
#include "cleaning/RemovalJob.h"

#include <QSet>

namespace tidyfox::cleaning {
namespace {

void removeCopies(CleaningHost &host, libraryclient::LibraryClient &library, system::FileSystem &fs,
                  PendingRemovals *pending, const ReviewedRemoval &removal, RemovalJob &job, std::int64_t &count)
{
    const bool trashFiles = !removal.keepFiles;
    QSet<std::int32_t> keepers;
    std::vector<std::int32_t> copies, keeperIds;
    copies.reserve(removal.copies.size());
    keeperIds.reserve(removal.copies.size());
    for (const ChosenCopy &copy : removal.copies) {
        keepers.insert(copy.keeperId);
        copies.push_back(copy.databaseId);
        keeperIds.push_back(copy.keeperId);
    }
    PresentTracks present(library, copies, keeperIds, trashFiles);
    RemovalBatch batch(job, library, fs, pending, removal.mergeHistory);
    const auto removed = [&](std::int32_t) { ++count; };

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
        // A copy or keeper gone by another hand by the time it goes is
        // passed over.
        present.queueRemoval(batch, *copy, chosen.keeperId, trashFiles, fs, chosen.shown, removed);
    }
    present.send(batch, removed);
}

// The pairs a run was asked for and refused, for the line under its alert.
QString refusedPairs(const std::vector<ChosenCopy> &refused)
{
    if (refused.empty())
        return {};
    QStringList pairs;
    for (const ChosenCopy &pair : refused)
        pairs << QStringLiteral("%1:%2").arg(pair.databaseId).arg(pair.keeperId);
    return QStringLiteral("Not copies the review showed, so nothing of them was removed: %1.")
        .arg(pairs.join(QStringLiteral(", ")));
}

} // namespace

ShownCopies::ShownCopies(const DuplicateReview &review)
{
    for (std::size_t g = 0; g < review.groups.size(); ++g) {
        for (const ReviewedTrack &t : review.groups[g].tracks)
            m_tracks[t.databaseId] = {g, t.stamp};
    }
}

void ShownCopies::admit(ReviewedRemoval &removal) const
{
    std::vector<ChosenCopy> admitted;
    for (ChosenCopy &pair : removal.copies) {
        const auto copy = m_tracks.find(pair.databaseId);
        const auto keeper = m_tracks.find(pair.keeperId);
        if (copy == m_tracks.end() || keeper == m_tracks.end() || copy->second.group != keeper->second.group) {
            removal.refused.push_back(pair);
            continue;
        }
        pair.shown = copy->second.stamp;
        admitted.push_back(pair);
    }
    removal.copies = std::move(admitted);
}

void removeReviewed(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                    const ReviewedRemoval &removal, PendingRemovals *pending)
{
    std::int64_t count = 0;
    runRemovalJob(host, library, QStringLiteral("duplicates"), "Reviewed removal", count,
                  {.ready = {},
                   .work = [&](libraryclient::LibraryClient &lib,
                               RemovalJob &job) { removeCopies(host, lib, fs, pending, removal, job, count); },
                   .succeeded =
                       [&](RemovalJob &job) {
                           endRemovalSucceeded(host, count,
                                               joinedDetail(refusedPairs(removal.refused), job.stayedFiles()));
                       },
                   .failed =
                       [&](const QString &reason, RemovalJob *job) {
                           endRemovalFailed(host, count,
                                            job ? joinedDetail(joinedDetail(reason, refusedPairs(removal.refused)),
                                                               job->stayedFiles())
                                                : reason);
                       }});
}

} // namespace tidyfox::cleaning
