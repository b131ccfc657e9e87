// SPDX-License-Identifier: GPL-3.0-or-later
// Track payloads the service has already built (as memory files ready to be
// handed over), kept while the library is
// unchanged. Building the library playlist of a large library takes far longer
// than sending it, and the program asks for the same playlists again after
// each clean-up and reconnect.
#pragma once

#include "protocol/SealedMemoryFile.h"

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
    void store(std::int32_t playlistId, std::shared_ptr<const SealedMemoryFile> payload);
    void clear();
    qsizetype bytes() const { return m_entries.totalCost(); }

private:
    bool unchanged();

    std::unique_ptr<sql::Database> m_watch;
    std::optional<std::int64_t> m_version;
    std::optional<std::int64_t> m_buildVersion;
    // Costs are payload bytes; the least recently used go first. A payload
    // still being sent stays alive through its shared owner when evicted.
    QCache<std::int32_t, std::shared_ptr<const SealedMemoryFile>> m_entries;
};

} // namespace tidyfox::library
