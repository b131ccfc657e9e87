// SPDX-License-Identifier: GPL-3.0-or-later
#include "fingerprint/FingerprintWorkers.h"

#include <algorithm>

namespace tidyfox::fingerprint {

FingerprintWorkers::FingerprintWorkers(std::vector<QString> paths, int threads, std::chrono::milliseconds limit)
    : m_paths(std::move(paths)), m_limit(limit)
{
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = int(std::min<size_t>(size_t(threads), m_paths.size()));
    m_running = threads;
    for (int t = 0; t < threads; ++t)
        m_threads.emplace_back([this] { work(); });
}

FingerprintWorkers::~FingerprintWorkers()
{
    cancel();
    for (std::thread &thread : m_threads)
        thread.join();
}

void FingerprintWorkers::work()
{
    while (!m_cancelled) {
        const size_t index = m_next++;
        if (index >= m_paths.size())
            break;
        FingerprintResult result{index, fingerprintFile(m_paths[index], m_limit)};
        const std::lock_guard lock(m_mutex);
        m_finished.push_back(std::move(result));
        m_ready.notify_all();
    }
    const std::lock_guard lock(m_mutex);
    --m_running;
    m_ready.notify_all();
}

std::vector<FingerprintResult> FingerprintWorkers::take()
{
    const std::lock_guard lock(m_mutex);
    std::vector<FingerprintResult> results(std::make_move_iterator(m_finished.begin()),
                                           std::make_move_iterator(m_finished.end()));
    m_finished.clear();
    return results;
}

std::vector<FingerprintResult> FingerprintWorkers::waitAndTake(std::chrono::milliseconds wait)
{
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait_for(lock, wait, [this] { return !m_finished.empty() || m_running == 0; });
    }
    return take();
}

bool FingerprintWorkers::done()
{
    const std::lock_guard lock(m_mutex);
    return m_running == 0 && m_finished.empty();
}

} // namespace tidyfox::fingerprint
