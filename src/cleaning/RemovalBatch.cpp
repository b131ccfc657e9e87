// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/RemovalBatch.h"

#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/RemovalJob.h"

#include <algorithm>

namespace tidyfox::cleaning {
namespace {

// Whether the failure leaves it unknown which removals took effect.
bool unknownOutcome(const std::exception_ptr &failure, const PendingRemovals *pending)
{
    try {
        std::rethrow_exception(failure);
    } catch (const libraryclient::ClientError &error) {
        return outcomeUnknown(error, pending);
    } catch (...) {
        return false;
    }
}

std::size_t batchSize = RemovalBatch::kSize;

} // namespace

std::size_t RemovalBatch::size()
{
    return batchSize;
}

void RemovalBatch::setSize(std::size_t removals)
{
    batchSize = std::max<std::size_t>(removals, 1);
}

RemovalBatch::RemovalBatch(RemovalJob &job, libraryclient::LibraryClient &library, system::FileSystem &fs,
                           PendingRemovals *pending, bool mergeHistory)
    : m_job(job), m_library(library), m_fs(fs), m_pending(pending), m_mergeHistory(mergeHistory),
      m_limit(std::min<std::size_t>(16, size()))
{}

void RemovalBatch::add(Removal removal)
{
    m_ids.insert(removal.databaseId);
    m_queue.push_back(std::move(removal));
}

void RemovalBatch::send(const std::function<void(std::int32_t databaseId)> &removed)
{
    if (m_queue.empty())
        return;
    const std::vector<Removal> queue = std::move(m_queue);
    m_queue.clear();
    m_ids.clear();
    m_limit = std::min(m_limit * 2, size());
    m_job.open();

    // Tracks another program added at a file since the run read the library.
    QStringList paths;
    for (const Removal &removal : queue) {
        if (removal.fileMayGo)
            paths << removal.location;
    }
    const std::vector<std::vector<std::int32_t>> users =
        paths.isEmpty() ? std::vector<std::vector<std::int32_t>>() : m_library.fileTracksAtEach(paths);

    // The files first: one the trash cannot take stops the run there, and
    // the removals before it still go.
    std::vector<std::optional<system::TrashedFile>> trashed(queue.size());
    std::vector<protocol::TrackRemoval> removals;
    removals.reserve(queue.size());
    std::exception_ptr stopped;
    try {
        std::size_t asked = 0;
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const Removal &removal = queue[i];
            if (removal.fileMayGo) {
                const std::vector<std::int32_t> &atFile = users.at(asked++);
                const bool shared = std::any_of(atFile.begin(), atFile.end(),
                                                [&](std::int32_t user) { return user != removal.databaseId; });
                if (!shared)
                    trashed[i] = trashCopy(m_fs, m_pending, m_job, removal.databaseId, removal.location, removal.shown);
            }
            removals.push_back({removal.databaseId, removal.keeperId, trashed[i] ? trashed[i]->trashedPath : QString(),
                                trashed[i] ? trashed[i]->infoPath : QString()});
        }
    } catch (...) {
        stopped = std::current_exception();
    }

    const libraryclient::JobRemovals result = m_job.removeAll(removals, m_mergeHistory);
    const std::size_t answered = std::min(result.removed.size(), removals.size());
    for (std::size_t i = 0; i < answered; ++i) {
        if (result.removed[i]) {
            if (trashed[i] && m_pending)
                m_pending->settle(queue[i].databaseId);
            removed(queue[i].databaseId);
        } else if (trashed[i]) {
            // Gone by another hand, or its keeper is: never an entry in the
            // library with its file in the trash.
            putBack(m_fs, m_pending, *trashed[i], queue[i].databaseId, queue[i].location);
        }
    }
    if (result.failure) {
        // The library died during the call: whether those entries went is
        // not known, so their files stay in the trash with their notes and
        // the next run asks the library.
        if (!unknownOutcome(result.failure, m_pending)) {
            for (std::size_t i = answered; i < removals.size(); ++i) {
                if (trashed[i])
                    putBack(m_fs, m_pending, *trashed[i], queue[i].databaseId, queue[i].location);
            }
        }
        std::rethrow_exception(result.failure);
    }
    if (stopped)
        std::rethrow_exception(stopped);
}

} // namespace tidyfox::cleaning
