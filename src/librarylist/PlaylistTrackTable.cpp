// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/PlaylistTrackTable.h"

#include "librarylist/FieldTable.h"
#include "librarylist/LibraryListModel.h"
#include "librarylist/TextCut.h"

#include <QLatin1String>
#include <algorithm>
#include <cstring>

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
    const int slot = slotOf(field);
    Row &row = m_rows[current];
    // An empty value takes no room, and there may be no block yet to point into.
    if (stored.isEmpty()) {
        row.offset[slot] = 0;
        row.length[slot] = 0;
        return;
    }
    const bool wide = std::any_of(stored.cbegin(), stored.cend(), [](QChar c) { return c.unicode() > 0xff; });
    const auto length = static_cast<std::uint16_t>(stored.size() | (wide ? kWide : 0));
    if (current > 0) {
        const Row &above = m_rows[current - 1];
        if (above.length[slot] == length && equal(above.offset[slot], length, stored)) {
            row.offset[slot] = above.offset[slot];
            row.length[slot] = length;
            return;
        }
    }
    row.offset[slot] = store(stored, wide);
    row.length[slot] = length;
}

bool PlaylistTrackTable::equal(std::uint32_t offset, std::uint16_t length, QStringView text) const
{
    const qsizetype units = length & ~kWide;
    if (length & kWide)
        return QStringView(reinterpret_cast<const char16_t *>(bytes(offset)), units) == text;
    return QLatin1String(bytes(offset), units) == text;
}

std::uint32_t PlaylistTrackTable::store(QStringView text, bool wide)
{
    const auto size = static_cast<std::uint32_t>(text.size() * (wide ? 2 : 1));
    // A UTF-16 value starts at an even position.
    std::uint32_t at = wide ? (m_used + 1) & ~1u : m_used;
    if (m_blocks.empty() || at + size > m_capacity) {
        m_capacity = std::min(kBlockSize, std::max<std::uint32_t>(2048, 2 * m_capacity));
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_capacity));
        at = 0;
    }
    char *to = m_blocks.back().get() + at;
    if (wide) {
        std::memcpy(to, text.utf16(), size);
    } else {
        for (const QChar c : text)
            *to++ = static_cast<char>(c.unicode());
    }
    m_used = at + size;
    return static_cast<std::uint32_t>((m_blocks.size() - 1) * kBlockSize + at);
}

QString PlaylistTrackTable::value(int row, int field) const
{
    if (row < 0 || row >= trackCount() || field < 0 || field >= FieldCount || field == TrackPath)
        return QString();
    const Row &r = m_rows[static_cast<size_t>(row)];
    const std::uint16_t length = r.length[slotOf(field)];
    if (length == 0)
        return QString();
    const char *text = bytes(r.offset[slotOf(field)]);
    if (length & kWide)
        return QString(reinterpret_cast<const QChar *>(text), length & ~kWide);
    return QString::fromLatin1(text, length);
}

} // namespace tidyfox::librarylist
