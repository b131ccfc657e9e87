// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryBusCache.h"

#include "service/ServiceLog.h"
#include "service/SqliteDatabase.h"

namespace tidyfox::library {

LibraryBusCache::LibraryBusCache(const QString &libraryPath, qsizetype budget) : m_entries(budget)
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
        m_entries.setMaxCost(0);
        m_keepLarge = false;
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
    if (m_large && m_largeId == playlistId)
        return m_large;
    const auto *kept = m_entries.object(playlistId);
    return kept ? *kept : nullptr;
}

void LibraryBusCache::beginBuild()
{
    if (!unchanged())
        clear();
    m_buildVersion = m_version;
}

bool LibraryBusCache::changedSinceBuildBegan()
{
    return !unchanged() || m_buildVersion != m_version;
}

void LibraryBusCache::store(std::int32_t playlistId, std::shared_ptr<const SealedMemoryFile> payload, bool whateverSize,
                            std::shared_ptr<const PayloadRecords> records)
{
    // Changed while building: the payload may already be out of date.
    if (changedSinceBuildBegan()) {
        clear();
        return;
    }
    if (whateverSize && m_keepLarge) {
        m_largeId = playlistId;
        m_large = std::move(payload);
        m_largeRecords = std::move(records);
        return;
    }
    const qsizetype cost = payload->size();
    // Too large for the budget: QCache deletes it at once.
    m_entries.insert(playlistId, new std::shared_ptr<const SealedMemoryFile>(std::move(payload)), cost);
}

std::optional<LibraryBusCache::Large> LibraryBusCache::largeWithRecords(std::int32_t playlistId)
{
    if (!unchanged()) {
        clear();
        return std::nullopt;
    }
    if (!m_large || !m_largeRecords || m_largeId != playlistId)
        return std::nullopt;
    return Large{m_large, m_largeRecords};
}

void LibraryBusCache::clear()
{
    m_entries.clear();
    m_large.reset();
    m_largeRecords.reset();
}

} // namespace tidyfox::library
