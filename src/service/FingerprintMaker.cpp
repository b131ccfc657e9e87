// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/FingerprintMaker.h"

#include "service/ServiceLog.h"

namespace tidyfox::library {

FingerprintMaker::FingerprintMaker(LibraryCore &core, QObject *parent) : QObject(parent), m_core(core)
{
    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, &FingerprintMaker::collect);
}

FingerprintMaker::~FingerprintMaker() = default;

int FingerprintMaker::start()
{
    if (m_workers)
        return -1;
    m_tasks = m_core.fingerprintsToMake();
    std::vector<QString> paths;
    paths.reserve(m_tasks.size());
    for (const auto &task : m_tasks)
        paths.push_back(task.path);
    m_done = m_made = m_without = m_reported = 0;
    m_workers =
        std::make_unique<fingerprint::FingerprintWorkers>(std::move(paths), 0, std::chrono::milliseconds(kFileLimit));
    m_poll.start();
    const int total = int(m_tasks.size());
    // The first report (and, for nothing to do, the end) after the caller
    // has heard the total.
    QTimer::singleShot(0, this, [this, total] { emit progress(0, total); });
    return total;
}

void FingerprintMaker::cancel()
{
    if (m_workers)
        m_workers->cancel();
}

void FingerprintMaker::collect()
{
    if (!m_workers)
        return;
    const int total = int(m_tasks.size());
    for (fingerprint::FingerprintResult &result : m_workers->take()) {
        const auto &task = m_tasks[result.index];
        try {
            m_core.keepFingerprint(task, result.outcome.items, result.outcome.why);
        } catch (const LibraryError &error) {
            qCWarning(lcService) << "fingerprint of" << task.path << "not kept:" << error.what();
        }
        if (result.outcome.items.empty()) {
            ++m_without;
            emit without(task.path, result.outcome.why);
        } else {
            ++m_made;
        }
        ++m_done;
    }
    if (m_done != m_reported) {
        m_reported = m_done;
        emit progress(m_done, total);
    }
    if (!m_workers->done())
        return;
    m_poll.stop();
    m_workers.reset();
    m_tasks.clear();
    emit finished(m_made, m_without, total - m_done);
}

} // namespace tidyfox::library
