// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/PlaylistTrackTable.h"

#include "librarylist/FieldTable.h"
#include "librarylist/LibraryListModel.h"
#include "librarylist/TextCut.h"

#include <algorithm>

namespace tidyfox::librarylist {

namespace {

constexpr FieldInfo kFields[PlaylistTrackTable::FieldCount] = {
    {u"ItemID", 10, 9}, {u"TrackName", 100, 99}, {u"TrackID", 10, 9}, {u"TrackPath", 150, 149},
    {u"Time", 10, 9},   {u"Artist", 120, 40},    {u"Album", 120, 40},
};
constexpr FieldTable kTable{kFields};

} // namespace

QString PlaylistTrackTable::fieldName(int field)
{
    return kTable.name(field);
}

int PlaylistTrackTable::fieldWidth(int field)
{
    return kTable.width(field);
}

int PlaylistTrackTable::cutLength(int field)
{
    return kTable.cut(field);
}

void PlaylistTrackTable::addTrack(const Track &track)
{
    const int row = trackCount();
    m_owner->beginTrackInsert(m_parentRow, row);
    m_rows.emplace_back();
    m_rows.back().fileMissing = track.fileMissing;
    setField(ItemID, track.itemId);
    setField(TrackName, track.name);
    setField(TrackID, track.trackId);
    setField(Time, track.time);
    setField(Artist, track.artist);
    setField(Album, track.album);
    m_owner->endTrackInsert();
}

void PlaylistTrackTable::setField(int field, const QString &value)
{
    const QString stored = leftChars(value, kFields[field].cut);
    const size_t current = m_rows.size() - 1;
    Row &row = m_rows[current];
    const auto length = static_cast<std::uint16_t>(stored.size());
    // An empty value takes no room, and there may be no block yet to point into.
    if (length == 0) {
        row.offset[field] = 0;
        row.length[field] = 0;
        return;
    }
    if (current > 0) {
        const Row &above = m_rows[current - 1];
        if (above.length[field] == length &&
            std::equal(stored.utf16(), stored.utf16() + length, text(above.offset[field]))) {
            row.offset[field] = above.offset[field];
            row.length[field] = length;
            return;
        }
    }
    row.offset[field] = store(reinterpret_cast<const char16_t *>(stored.utf16()), length);
    row.length[field] = length;
}

std::uint32_t PlaylistTrackTable::store(const char16_t *value, std::uint16_t length)
{
    if (m_used + length > m_capacity) {
        m_capacity = std::min(kBlockSize, std::max<std::uint32_t>(1024, 2 * m_capacity));
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(m_capacity));
        m_used = 0;
    }
    std::copy(value, value + length, m_blocks.back().get() + m_used);
    const auto offset = static_cast<std::uint32_t>((m_blocks.size() - 1) * kBlockSize + m_used);
    m_used += length;
    return offset;
}

QString PlaylistTrackTable::value(int row, int field) const
{
    if (row < 0 || row >= trackCount() || field < 0 || field >= FieldCount)
        return QString();
    const Row &r = m_rows[static_cast<size_t>(row)];
    if (r.length[field] == 0)
        return QString();
    return QString(reinterpret_cast<const QChar *>(text(r.offset[field])), r.length[field]);
}

} // namespace tidyfox::librarylist
