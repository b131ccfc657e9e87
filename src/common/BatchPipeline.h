// SPDX-License-Identifier: GPL-3.0-or-later
// Hands the items one thread makes to a thread of their own that takes them
// on (an import's tracks to be stored, a walk's keys to be grouped), in
// batches through a short queue: the two halves of the work then share the
// machine's processors instead of taking turns, and memory stays a few
// batches whatever the input's size. The items are taken in the order given,
// one at a time, as if the first thread took each itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tidyfox {

template<typename Item> class BatchPipeline
{
public:
    // take runs on the pipeline's thread; what it throws stops the work
    // and comes out of the next push or finish.
    explicit BatchPipeline(std::function<void(Item &)> take, std::size_t batchSize = 256, std::size_t batchesQueued = 4)
        : m_take(std::move(take)), m_batchSize(batchSize), m_batchesQueued(batchesQueued),
          m_thread([this] { takeBatches(); })
    {
        m_batch.reserve(m_batchSize);
    }
    BatchPipeline(const BatchPipeline &) = delete;
    BatchPipeline &operator=(const BatchPipeline &) = delete;
    // Without finish (the making failed past recovery): what is queued is
    // dropped.
    ~BatchPipeline()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_queue.clear();
            m_closed = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void push(Item &&item)
    {
        m_batch.push_back(std::move(item));
        if (m_batch.size() >= m_batchSize)
            handOver();
    }

    // Takes on what is left and waits for it; rethrows the taking's failure,
    // which comes before anything the maker failed on after it.
    void finish()
    {
        if (!m_batch.empty())
            handOver();
        {
            const std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    void handOver()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_failure || m_queue.size() < m_batchesQueued; });
        if (m_failure) {
            m_batch.clear();
            std::rethrow_exception(m_failure);
        }
        m_queue.push_back(std::move(m_batch));
        // The items taken on are freed here: freeing them took a good part
        // of an import's storing thread, the slower of its two.
        std::vector<std::vector<Item>> spent = std::exchange(m_spent, {});
        lock.unlock();
        m_changed.notify_all();
        spent.clear();
        m_batch = {};
        m_batch.reserve(m_batchSize);
    }

    void takeBatches()
    {
        for (;;) {
            std::vector<Item> batch;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_closed || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                batch = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_changed.notify_all();
            try {
                for (Item &item : batch)
                    m_take(item);
                const std::lock_guard lock(m_mutex);
                m_spent.push_back(std::move(batch));
            } catch (...) {
                const std::lock_guard lock(m_mutex);
                m_failure = std::current_exception();
                m_queue.clear();
                m_changed.notify_all();
                return;
            }
        }
    }

    std::function<void(Item &)> m_take;
    std::size_t m_batchSize;
    std::size_t m_batchesQueued;
    std::vector<Item> m_batch; // the maker's, not yet handed over
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<Item>> m_queue;
    std::vector<std::vector<Item>> m_spent; // taken on, for the maker to free
    bool m_closed = false;
    std::exception_ptr m_failure; // set once, under m_mutex; read after the join without it
    std::thread m_thread;
};

} // namespace tidyfox
