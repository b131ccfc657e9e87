// SPDX-License-Identifier: GPL-3.0-or-later
// Where each track's record lies in the library playlist's payload, by
// database id. Every other playlist's payload is the same records in that
// playlist's order: copied from there, its tracks are not read from the table
// again, a look-up each all over the table (the most of a large library's
// start-up when it has many playlists).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::library {

class PayloadRecords
{
public:
    // In payload order: the record's first byte.
    void add(std::int32_t databaseId, std::uint64_t start);
    // other's records (not finished) after these, each shift bytes further.
    void append(const PayloadRecords &other, std::uint64_t shift);
    // After the last record: the payload's end.
    void finish(std::uint64_t end);

    struct Span
    {
        std::uint64_t start = 0;
        std::uint64_t size = 0;
    };
    // Only once finished.
    std::optional<Span> find(std::int32_t databaseId) const;

private:
    std::vector<std::int32_t> m_ids;     // in payload order
    std::vector<std::uint64_t> m_starts; // one more than m_ids: the end
    // The records by database id, when they did not come in its order (a
    // library sorted by hand).
    std::vector<std::uint32_t> m_byId;
    bool m_ascending = true;
};

} // namespace tidyfox::library
