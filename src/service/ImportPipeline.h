// SPDX-License-Identifier: GPL-3.0-or-later
// Hands the items an import has read to a thread of their own that stores
// them, in batches through a short queue: reading the file and SQLite's
// inserts then share the machine's processors instead of taking turns, and
// memory stays a few batches whatever the file's size. The items are stored
// in the order given, one at a time, as if the reader stored each itself.
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

namespace tidyfox::library {

template<typename Item> class ImportPipeline
{
public:
    // store runs on the pipeline's thread; what it throws stops the storing
    // and comes out of the next push or finish.
    explicit ImportPipeline(std::function<void(Item &)> store, std::size_t batchSize = 256,
                            std::size_t batchesQueued = 4)
        : m_store(std::move(store)), m_batchSize(batchSize), m_batchesQueued(batchesQueued),
          m_thread([this] { storeBatches(); })
    {
        m_batch.reserve(m_batchSize);
    }
    ImportPipeline(const ImportPipeline &) = delete;
    ImportPipeline &operator=(const ImportPipeline &) = delete;
    // Without finish (the reading failed past recovery): what is queued is
    // dropped.
    ~ImportPipeline()
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

    // Stores what is left and waits for it; rethrows the storing's failure,
    // which comes before anything the reader failed on after it.
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
        // The stored items are freed here: freeing them took a good part of
        // the storing thread's time, and that thread is the slower one.
        std::vector<std::vector<Item>> spent = std::exchange(m_spent, {});
        lock.unlock();
        m_changed.notify_all();
        spent.clear();
        m_batch = {};
        m_batch.reserve(m_batchSize);
    }

    void storeBatches()
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
                    m_store(item);
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

    std::function<void(Item &)> m_store;
    std::size_t m_batchSize;
    std::size_t m_batchesQueued;
    std::vector<Item> m_batch; // the reader's, not yet handed over
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<Item>> m_queue;
    std::vector<std::vector<Item>> m_spent; // stored, for the reader to free
    bool m_closed = false;
    std::exception_ptr m_failure; // set once, under m_mutex; read after the join without it
    std::thread m_thread;
};

} // namespace tidyfox::library
