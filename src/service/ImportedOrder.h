// SPDX-License-Identifier: GPL-3.0-or-later
// The library order a file's library playlist gives, when the file lists it
// before its tracks: each track can then be stored with the order it ends
// in, instead of being stored in the file's order and moved to its place
// afterwards (a million single-row updates for a library of a million
// tracks whose playlist orders them otherwise than the file). Only a guess:
// the import checks it against the order it would have written and writes
// that order instead when the two differ.
#pragma once

#include <QHash>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace tidyfox::library {

class ImportedOrder
{
public:
    // The library playlist's items (TrackIDs), in order; an ID given again
    // keeps its first place.
    explicit ImportedOrder(const std::vector<std::int64_t> &items)
    {
        // IDs far beyond the number of items go to a hash, so a hostile
        // file cannot make the table large; the table is sized once, as a
        // library of a million tracks is near its memory budget.
        const auto limit = std::int64_t(2 * items.size() + 65536);
        std::int64_t top = -1;
        for (const std::int64_t id : items) {
            if (id >= 0 && id < limit)
                top = std::max(top, id);
        }
        m_table.assign(std::size_t(top + 1), -1);
        for (const std::int64_t id : items) {
            if (placeOf(id) >= 0)
                continue;
            if (id >= 0 && id < limit) {
                m_table[std::size_t(id)] = m_count;
            } else {
                m_spread.insert(id, m_count);
            }
            ++m_count;
        }
    }

    // The place among the distinct items, or -1 for an ID not listed.
    std::int32_t placeOf(std::int64_t id) const
    {
        if (id >= 0 && std::uint64_t(id) < m_table.size())
            return m_table[std::size_t(id)];
        return m_spread.value(id, -1);
    }
    // How many distinct IDs are listed.
    std::int32_t count() const { return m_count; }

private:
    std::vector<std::int32_t> m_table;
    QHash<std::int64_t, std::int32_t> m_spread;
    std::int32_t m_count = 0;
};

} // namespace tidyfox::library
