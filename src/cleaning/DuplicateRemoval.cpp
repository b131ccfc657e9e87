// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateRemoval.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateIndex.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/FileUsage.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/RemovalBatch.h"
#include "cleaning/RemovalJob.h"

#include <optional>
#include <vector>

namespace tidyfox::cleaning {
namespace {

const QString kProgressJob = QStringLiteral("Removing duplicates");
const QString kRejectionText = QStringLiteral("You must check one filter item at least, Operation aborted.");

// The files in use by the tracks still present, gathered the first time a
// removed copy's file is about to go: a run that keeps files or finds no copy
// never looks at the disk. What was gathered knows every spelling of a file
// (symlinks, hard links) among the tracks read at the start; the library is
// asked again at each move for tracks at the same location, because another
// program may have added some since.
class FileUsers
{
public:
    FileUsers(DuplicateIndex &index, system::FileSystem &fs) : m_index(index), m_fs(fs) {}

    // Whether a track other than the one at copy, still in the library as
    // far as the run knows, uses the file of copy. (The library is asked
    // too, as the removal's batch goes.)
    bool fileSharedBeyond(int copy)
    {
        if (!m_usage)
            gather();
        const auto &own = m_uses[static_cast<size_t>(copy)];
        return own && m_usage->sharedBeyond(*own);
    }

    // The use of copy's file, once the files were gathered.
    const std::optional<FileUsage::Use> &useOf(int copy) const
    {
        static const std::optional<FileUsage::Use> kNone;
        return m_usage ? m_uses[static_cast<size_t>(copy)] : kNone;
    }

    // The copy's file as the disk showed it when the files were gathered.
    std::optional<system::FileStamp> shownStamp(int copy) const
    {
        const auto &use = useOf(copy);
        return use ? use->stamp : std::nullopt;
    }

    void markRemoved(int track)
    {
        if (!m_usage)
            return;
        if (auto &use = m_uses[static_cast<size_t>(track)]) {
            m_usage->release(*use);
            use.reset();
        }
    }

private:
    void gather()
    {
        m_usage.emplace();
        m_uses.resize(static_cast<size_t>(m_index.size()));
        for (int i = 0; i < m_index.size(); ++i) {
            const QString location = m_index.rows().location(i);
            if (m_index.removed(i) || location.isEmpty())
                continue;
            auto &use = m_uses[static_cast<size_t>(i)];
            use = FileUsage::useOf(m_fs, location);
            m_usage->add(*use);
        }
    }

    DuplicateIndex &m_index;
    system::FileSystem &m_fs;
    std::optional<FileUsage> m_usage;
    std::vector<std::optional<FileUsage::Use>> m_uses;
};

// The walk: each track still present, in library order, keeps itself and
// loses its first copy. Counts into count as it goes.
void removeCopies(CleaningHost &host, libraryclient::LibraryClient &library, system::FileSystem &fs,
                  PendingRemovals *pending, const DuplicateFilter &filter, RemovalJob &job, std::int64_t &count)
{
    const std::optional<bool> keepFiles = filter.keepFiles();
    const bool trashFiles = keepFiles == false;

    const auto tracks = libraryTracksOf(library);
    DuplicateIndex index(*tracks, filter);
    FileUsers users(index, fs);
    RemovalBatch batch(job, library, fs, pending);
    // The uses of the files of the removals queued: the walk goes on as if
    // they had gone, so a file one of them uses is judged only once it has.
    FileUsage queued;
    const auto send = [&] {
        queued = FileUsage();
        batch.send([&](std::int32_t) { ++count; });
    };

    for (int kept = 0; kept < index.size(); ++kept) {
        host.reportProgress(kProgressJob, kept + 1, index.size());
        if (index.removed(kept))
            continue;
        // Let the face animate and the window answer between tracks.
        host.yieldOnce();
        host.yieldOnce();

        int copyIndex = index.findCopy(kept);
        // A copy another program removed meanwhile is passed over with its
        // file, as a walk of the library as it is now would pass it over.
        while (copyIndex >= 0 && isGone(*index.rows().track(copyIndex))) {
            index.remove(copyIndex);
            users.markRemoved(copyIndex);
            copyIndex = index.findCopy(kept);
        }
        if (copyIndex < 0)
            continue;
        if (!keepFiles)
            throw RunFailure("the filter has no keep-files item");
        const std::int32_t copyId = index.databaseId(copyIndex);
        const QString copyLocation = index.rows().location(copyIndex);
        job.open();
        // The file goes first: if the trash cannot take it, the entry stays.
        bool fileMayGo = false;
        if (trashFiles && index.rows().hasFile(copyIndex) && fs.fileExists(copyLocation)) {
            const bool sharedNow = users.fileSharedBeyond(copyIndex);
            if (const auto &own = users.useOf(copyIndex); own && queued.touches(*own)) {
                send();
                fileMayGo = !users.fileSharedBeyond(copyIndex);
            } else {
                fileMayGo = !sharedNow;
            }
        }
        batch.add({copyId, index.databaseId(kept), copyLocation, fileMayGo, users.shownStamp(copyIndex)});
        if (const auto &own = users.useOf(copyIndex))
            queued.add(*own);
        // Gone or passed over, the copy is out of the walk.
        index.remove(copyIndex);
        users.markRemoved(copyIndex);
        if (batch.full())
            send();
    }
    send();
}

void rejectionEnd(CleaningHost &host)
{
    host.showAlert(kRejectionText, AlertKind::Warning, kAppTitle);
    host.hideBusy();
    host.reopenCommandGate();
    host.enableButtons();
}

} // namespace

void removeDuplicates(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                      const QString &filterText, PendingRemovals *pending)
{
    const DuplicateFilter filter(filterText);
    std::int64_t count = 0;
    runRemovalJob(host, library, QStringLiteral("duplicates"), "Duplicate removal", count,
                  {.ready =
                       [&] {
                           if (!filter.hasAllProperties())
                               throw RunFailure("the filter names fewer than seven items");
                           if (filter.isValid())
                               return true;
                           rejectionEnd(host);
                           return false;
                       },
                   .work = [&](libraryclient::LibraryClient &lib,
                               RemovalJob &job) { removeCopies(host, lib, fs, pending, filter, job, count); },
                   .succeeded = [&](RemovalJob &job) { endRemovalSucceeded(host, count, job.stayedFiles()); },
                   .failed =
                       [&](const QString &reason, RemovalJob *job) {
                           endRemovalFailed(host, count, job ? joinedDetail(reason, job->stayedFiles()) : reason);
                       }});
}

} // namespace tidyfox::cleaning
