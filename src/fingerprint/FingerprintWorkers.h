// SPDX-License-Identifier: GPL-3.0-or-later
// Files fingerprinted on worker threads, one file per thread at a time, every
// core busy; the results are taken on the owner's thread, so that whatever
// keeps them (a SQLite connection) stays on one thread.
#pragma once

#include "fingerprint/AudioFingerprint.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tidyfox::fingerprint {

struct FingerprintResult
{
    size_t index = 0; // into the paths given
    FingerprintOutcome outcome;
};

class FingerprintWorkers
{
public:
    // threads 0: one per core. limit: the time a file may take.
    FingerprintWorkers(std::vector<QString> paths, int threads, std::chrono::milliseconds limit);
    ~FingerprintWorkers(); // cancels and waits for the files under way
    FingerprintWorkers(const FingerprintWorkers &) = delete;
    FingerprintWorkers &operator=(const FingerprintWorkers &) = delete;

    // What has finished since the last call; never waits.
    std::vector<FingerprintResult> take();
    // Waits up to wait for at least one result.
    std::vector<FingerprintResult> waitAndTake(std::chrono::milliseconds wait);
    // No file is left to start or under way, and everything has been taken.
    bool done();
    // No further file starts; those under way finish.
    void cancel() { m_cancelled = true; }

private:
    void work();

    std::vector<QString> m_paths;
    std::chrono::milliseconds m_limit;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<FingerprintResult> m_finished;
    int m_running = 0;
    std::vector<std::thread> m_threads;
};

} // namespace tidyfox::fingerprint
