// SPDX-License-Identifier: GPL-3.0-or-later
// Track payloads the service has already built (as memory files ready to be
// handed over), kept while the library is unchanged. Building the library
// playlist of a large library takes far longer than sending it, and the
// program asks for the same playlists again after each clean-up and
// reconnect. The library playlist's payload is kept whatever its size: it is
// the one every client asks for, and a memory file costs the service none of
// its own memory while nobody maps it.
#pragma once

#include "protocol/SealedMemoryFile.h"
#include "service/PayloadRecords.h"

#include <QCache>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace tidyfox::library {

using protocol::SealedMemoryFile;

namespace sql {
class Database;
}

class LibraryBusCache
{
public:
    // libraryPath: the library file, watched for changes made by any
    // connection (":memory:" has no other). budget: bytes kept at most.
    LibraryBusCache(const QString &libraryPath, qsizetype budget);
    ~LibraryBusCache();

    // A payload stored since the last change of the library.
    std::shared_ptr<const SealedMemoryFile> find(std::int32_t playlistId);
    // Marks where the library stands before a payload is built from it, so
    // that a change while building is not mistaken for the built state.
    void beginBuild();
    // Whether the library changed since beginBuild (a payload built of two
    // states would be neither).
    bool changedSinceBuildBegan();
    // whateverSize: kept beside the budget (one payload at most), with where
    // its records lie when given.
    void store(std::int32_t playlistId, std::shared_ptr<const SealedMemoryFile> payload, bool whateverSize = false,
               std::shared_ptr<const PayloadRecords> records = nullptr);
    // The payload kept whatever its size, when it is playlistId's and has its
    // records, and the library is unchanged since.
    struct Large
    {
        std::shared_ptr<const SealedMemoryFile> payload;
        std::shared_ptr<const PayloadRecords> records;
    };
    std::optional<Large> largeWithRecords(std::int32_t playlistId);
    void clear();
    // Within the budget.
    qsizetype bytes() const { return m_entries.totalCost(); }

private:
    bool unchanged();

    std::unique_ptr<sql::Database> m_watch;
    std::optional<std::int64_t> m_version;
    std::optional<std::int64_t> m_buildVersion;
    // Costs are payload bytes; the least recently used go first. A payload
    // still being sent stays alive through its shared owner when evicted.
    QCache<std::int32_t, std::shared_ptr<const SealedMemoryFile>> m_entries;
    std::int32_t m_largeId = 0;
    std::shared_ptr<const SealedMemoryFile> m_large;
    std::shared_ptr<const PayloadRecords> m_largeRecords;
    bool m_keepLarge = true; // false when changes cannot be seen
};

} // namespace tidyfox::library
