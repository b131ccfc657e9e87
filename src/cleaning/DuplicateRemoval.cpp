// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateRemoval.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateIndex.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/FileUsage.h"
#include "cleaning/PendingRemovals.h"
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
    FileUsers(DuplicateIndex &index, libraryclient::LibraryClient &library, system::FileSystem &fs)
        : m_index(index), m_library(library), m_fs(fs)
    {}

    // Whether a track other than the one at copy, still in the library, uses
    // the file of copy.
    bool fileSharedBeyond(int copy)
    {
        if (!m_usage)
            gather();
        const auto &own = m_uses[static_cast<size_t>(copy)];
        if (own && m_usage->sharedBeyond(*own))
            return true;
        for (std::int32_t user : m_library.fileTracksAt(m_index.rows().location(copy))) {
            if (user != m_index.databaseId(copy))
                return true;
        }
        return false;
    }

    // The copy's file as the disk showed it when the files were gathered.
    std::optional<system::FileStamp> shownStamp(int copy) const
    {
        const auto &use = m_uses[static_cast<size_t>(copy)];
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
    libraryclient::LibraryClient &m_library;
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
    FileUsers users(index, library, fs);

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
        std::optional<system::TrashedFile> trashed;
        if (trashFiles && index.rows().hasFile(copyIndex) && fs.fileExists(copyLocation) &&
            !users.fileSharedBeyond(copyIndex))
            trashed = trashCopy(fs, pending, job, copyId, copyLocation, users.shownStamp(copyIndex));
        const bool removedHere =
            removeEntry(job, fs, pending, {copyId, index.databaseId(kept), false}, copyLocation, trashed);
        if (!removedHere) {
            index.remove(copyIndex);
            users.markRemoved(copyIndex);
            continue;
        }
        index.remove(copyIndex);
        users.markRemoved(copyIndex);
        ++count;
    }
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
