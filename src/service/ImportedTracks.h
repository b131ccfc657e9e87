// SPDX-License-Identifier: GPL-3.0-or-later
// The TrackIDs of a library file and what an import made of each: the
// library's database ID and the order of adding. Files number their tracks
// from near 1 without many gaps, so the tracks are kept in a table by ID,
// 8 bytes a track where a hash took 25; an ID far beyond the others (a
// hostile file, or one that numbers from two billion) goes to a hash
// instead, so the table never grows much beyond the number of tracks.
#pragma once

#include <QHash>
#include <cstdint>
#include <vector>

namespace tidyfox::library {

struct ImportedTrack
{
    std::int32_t databaseId = 0; // 0: no track of that ID
    std::int32_t sequence = -1;  // order of adding in this import; -1: was there before
};

class ImportedTracks
{
public:
    // A TrackID given again stands for the later track.
    void insert(std::int64_t id, ImportedTrack track)
    {
        ++m_inserted;
        if (id >= 0 && (std::uint64_t(id) < m_table.size() || growFor(id))) {
            m_table[std::size_t(id)] = track;
            if (!m_spread.isEmpty())
                m_spread.remove(id);
            return;
        }
        m_spread.insert(id, track);
    }

    const ImportedTrack *find(std::int64_t id) const
    {
        if (id >= 0 && std::uint64_t(id) < m_table.size() && m_table[std::size_t(id)].databaseId != 0)
            return &m_table[std::size_t(id)];
        const auto found = m_spread.constFind(id);
        return found == m_spread.cend() ? nullptr : &*found;
    }

    template<typename Visit> void forEach(Visit &&visit) const
    {
        for (const ImportedTrack &track : m_table) {
            if (track.databaseId != 0)
                visit(track);
        }
        for (const ImportedTrack &track : m_spread)
            visit(track);
    }

private:
    // Whether the table may reach id: not past a few times the tracks seen.
    bool growFor(std::int64_t id)
    {
        const std::int64_t limit = 4 * m_inserted + 65536;
        if (id >= limit)
            return false;
        m_table.resize(std::size_t(std::min(limit, std::max<std::int64_t>(id + 1, 2 * std::int64_t(m_table.size())))));
        return true;
    }

    std::vector<ImportedTrack> m_table;
    QHash<std::int64_t, ImportedTrack> m_spread;
    std::int64_t m_inserted = 0;
};

} // namespace tidyfox::library
