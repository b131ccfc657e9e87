// SPDX-License-Identifier: GPL-3.0-or-later
// The removals of one run sent to the library many at a time: a large run
// was two round trips through the bus a track (is the file shared, remove
// the entry), and those were most of its time. Each removal keeps the steps
// and guards it had alone: its file goes to the trash only as it was shown,
// only when no other track uses it, and with a note written before it moves;
// an entry that does not go gets its file back; an answer that never came
// leaves the files with their notes for the next run.
#pragma once

#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <QSet>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tidyfox::cleaning {

class PendingRemovals;
class RemovalJob;

class RemovalBatch
{
public:
    // Removals a call at most: a few hundred keep each call short enough for
    // a window that waits on it.
    static constexpr std::size_t kSize = 512;
    // The size every batch of the process takes (kSize unless set); one makes
    // every job remove one track a call, as the plain walks do.
    static std::size_t size();
    static void setSize(std::size_t removals);

    struct Removal
    {
        std::int32_t databaseId = 0;
        std::int32_t keeperId = 0; // 0: none
        QString location;
        // The file may go to the trash, as far as the run knows: it is there
        // and no track the run read uses it. It goes only if, when the batch
        // is sent, the library names no other track at location either.
        bool fileMayGo = false;
        std::optional<system::FileStamp> shown; // the file as it was shown
    };

    // mergeHistory: each copy's play history goes to its keeper.
    RemovalBatch(RemovalJob &job, libraryclient::LibraryClient &library, system::FileSystem &fs,
                 PendingRemovals *pending, bool mergeHistory = false);

    // Queues a removal; the caller sends the batch once full().
    void add(Removal removal);
    bool full() const { return m_queue.size() >= m_limit; }
    bool holds(std::int32_t databaseId) const { return m_ids.contains(databaseId); }

    // Sends the removals queued, their files first. removed is told each
    // removal done, in order; an entry gone by another hand (or whose keeper
    // is gone) is passed over. Throws what stopped the run, with every file
    // of an entry that did not go back in its place.
    void send(const std::function<void(std::int32_t databaseId)> &removed);

private:
    RemovalJob &m_job;
    libraryclient::LibraryClient &m_library;
    system::FileSystem &m_fs;
    PendingRemovals *m_pending;
    bool m_mergeHistory;
    std::vector<Removal> m_queue;
    QSet<std::int32_t> m_ids;
    // The first batches are small, so that the first removals are seen soon;
    // each is twice the last, up to size().
    std::size_t m_limit;
};

} // namespace tidyfox::cleaning
