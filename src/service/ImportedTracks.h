// SPDX-License-Identifier: GPL-3.0-or-later
// The TrackIDs of a library file and what an import made of each: the
// library's database ID and the order of adding. Files number their tracks
// from near 1 without many gaps, so the tracks are kept in a table by ID,
// 8 to 16 bytes a track where a hash took 25 (a million tracks); an ID far
// beyond the others (a hostile file, or one that numbers from two billion)
// goes to a hash instead, so the table never grows much beyond the number
// of tracks.
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
    // Whether the table may reach id: not past twice the tracks seen, so
    // that at most half of it is empty, and grown by a quarter at a time.
    bool growFor(std::int64_t id)
    {
        if (id >= 2 * m_inserted + 65536)
            return false;
        const auto size = std::int64_t(m_table.size());
        const auto grown = std::size_t(std::max(id + 1, size + size / 4));
        m_table.reserve(grown); // exactly: resize alone would double it
        m_table.resize(grown);
        return true;
    }

    std::vector<ImportedTrack> m_table;
    QHash<std::int64_t, ImportedTrack> m_spread;
    std::int64_t m_inserted = 0;
};

} // namespace tidyfox::library
