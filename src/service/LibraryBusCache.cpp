#include "service/LibraryBusCache.h"

#include "service/ServiceLog.h"
#include "service/SqliteDatabase.h"

namespace tidyfox::library {

LibraryBusCache::LibraryBusCache(const QString &libraryPath, qsizetype budget) : m_budget(budget)
{
    if (libraryPath == QLatin1String(":memory:"))
        return;
    try {
        // A connection of its own: its data_version moves whenever any other
        // connection, the service's included, commits a change.
        m_watch = std::make_unique<sql::Database>(libraryPath);
        m_watch->scalar("PRAGMA data_version");
    } catch (const std::exception &e) {
        qCWarning(lcService) << "payloads will not be kept:" << e.what();
        m_watch.reset();
        m_budget = 0;
    }
}

LibraryBusCache::~LibraryBusCache() = default;

bool LibraryBusCache::unchanged()
{
    if (!m_watch)
        return true;
    try {
        const std::int64_t now = m_watch->scalar("PRAGMA data_version");
        if (m_version && *m_version == now)
            return true;
        qCDebug(lcService) << "library changed: data version" << now;
        m_version = now;
    } catch (const std::exception &) {
        m_version.reset();
    }
    return false;
}

std::shared_ptr<const SealedMemoryFile> LibraryBusCache::find(std::int32_t playlistId)
{
    if (!unchanged()) {
        clear();
        return nullptr;
    }
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->playlistId == playlistId) {
            m_entries.splice(m_entries.begin(), m_entries, it);
            return it->payload;
        }
    }
    return nullptr;
}

void LibraryBusCache::beginBuild()
{
    if (!unchanged())
        clear();
    m_buildVersion = m_version;
}

void LibraryBusCache::store(std::int32_t playlistId, std::shared_ptr<const SealedMemoryFile> payload)
{
    // Changed while building: the payload may already be out of date.
    if (!unchanged() || m_buildVersion != m_version) {
        clear();
        return;
    }
    if (payload->size() > m_budget)
        return;
    m_bytes += payload->size();
    m_entries.push_front({playlistId, std::move(payload)});
    while (m_bytes > m_budget) {
        m_bytes -= m_entries.back().payload->size();
        m_entries.pop_back();
    }
}

void LibraryBusCache::clear()
{
    m_entries.clear();
    m_bytes = 0;
}

} // namespace tidyfox::library
