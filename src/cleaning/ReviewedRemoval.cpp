#include "cleaning/ReviewedRemoval.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/FileUsage.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/RemovalJob.h"

#include <QSet>
#include <optional>
#include <unordered_map>

namespace tidyfox::cleaning {
namespace {

struct PresentTrack
{
    std::int32_t databaseId = 0;
    libraryclient::TrackPtr track;
    bool hasFile = true;
    QString location;
    std::optional<FileUsage::Use> use; // while the track is in the library
};

// The library playlist read once: every track still present by database ID,
// with its location when files may go.
class PresentTracks
{
public:
    PresentTracks(libraryclient::LibraryClient &library, bool readLocations)
    {
        libraryTracksOf(library)->forEach([&](const libraryclient::TrackPtr &track) {
            PresentTrack entry;
            entry.databaseId = track->databaseId();
            entry.track = track;
            if (readLocations) {
                try {
                    entry.location = track->location();
                } catch (const libraryclient::ClientError &error) {
                    if (error.number() != libraryclient::kErrNoSuchProperty)
                        throw;
                    entry.hasFile = false;
                }
            }
            m_tracks.emplace(entry.databaseId, std::move(entry));
            return true;
        });
    }

    // The track, when it was there at the read and is still there now.
    PresentTrack *find(std::int32_t databaseId)
    {
        const auto found = m_tracks.find(databaseId);
        if (found == m_tracks.end())
            return nullptr;
        if (isGone(*found->second.track)) {
            Removed(found->second);
            return nullptr;
        }
        return &found->second;
    }

    // Whether a track other than entry, still in the library, uses its file.
    // The disk is asked about every track only once a file may go; the
    // library is asked at every move, for tracks another program added since
    // it was read.
    bool FileSharedBeyond(PresentTrack &entry, libraryclient::LibraryClient &library, system::FileSystem &fs)
    {
        if (!m_usage) {
            m_usage.emplace();
            for (auto &[id, t] : m_tracks) {
                if (!t.hasFile || t.location.isEmpty())
                    continue;
                t.use = FileUsage::Of(fs, t.location);
                m_usage->Add(*t.use);
            }
        }
        if (entry.use && m_usage->SharedBeyond(*entry.use))
            return true;
        for (std::int32_t user : library.fileTracksAt(entry.location)) {
            if (user != entry.databaseId)
                return true;
        }
        return false;
    }

    void Removed(PresentTrack &entry)
    {
        if (m_usage && entry.use)
            m_usage->Release(*entry.use);
        m_tracks.erase(entry.databaseId);
    }

private:
    // Nodes stay where they are while others go: a copy outlives the look-up
    // of its keeper.
    std::unordered_map<std::int32_t, PresentTrack> m_tracks;
    std::optional<FileUsage> m_usage;
};

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
        job.open();
        std::optional<system::TrashedFile> trashed;
        if (trashFiles && copy->hasFile && fs.fileExists(copy->location) &&
            !present.FileSharedBeyond(*copy, library, fs))
            trashed = trashCopy(fs, pending, copy->databaseId, copy->location);
        try {
            if (removal.mergeHistory)
                job.removeMergingInto(copy->databaseId, chosen.keeperId, trashed);
            else
                job.remove(copy->databaseId, trashed);
        } catch (const libraryclient::ClientError &error) {
            if (trashed && !outcomeUnknown(error, pending))
                putBack(fs, pending, *trashed, copy->databaseId, copy->location);
            // Gone by another hand, the copy or its keeper: passed over.
            if (error.number() != libraryclient::kErrObjectDeleted)
                throw;
            continue;
        } catch (...) {
            if (trashed)
                putBack(fs, pending, *trashed, copy->databaseId, copy->location);
            throw;
        }
        if (trashed && pending)
            pending->settle(copy->databaseId);
        present.Removed(*copy);
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
