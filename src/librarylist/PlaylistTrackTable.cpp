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
    const QString *given[kStored] = {&track.itemId, &track.name,   &track.trackId,
                                     &track.time,   &track.artist, &track.album};
    QString values[kStored];
    Row added;
    std::uint32_t bytes = 0;
    for (int slot = 0; slot < kStored; ++slot) {
        const int field = slot < TrackPath ? slot : slot + 1;
        values[slot] = leftChars(*given[slot], kFields[field].cut);
        const Value &above = m_last[size_t(slot)];
        if (values[slot].isEmpty()) {
            added.length[size_t(slot)] = 0;
        } else if (row > 0 && m_run[size_t(slot)] < kLongestRun &&
                   TextStore::equals(above.bytes, above.length, values[slot])) {
            added.length[size_t(slot)] = above.length | kAbove;
        } else {
            added.length[size_t(slot)] = TextStore::lengthOf(values[slot]);
            bytes += TextStore::bytesOf(added.length[size_t(slot)]);
        }
    }
    // The row's own values, one after the other in one piece.
    added.start = bytes > 0 ? m_texts.reserve(bytes) : 0;
    char *to = bytes > 0 ? m_texts.at(added.start) : nullptr;
    for (int slot = 0; slot < kStored; ++slot) {
        const std::uint16_t length = added.length[size_t(slot)];
        if (length & kAbove) {
            ++m_run[size_t(slot)];
            continue;
        }
        m_run[size_t(slot)] = 0;
        m_last[size_t(slot)] = {to, length};
        if (length != 0) {
            TextStore::write(to, values[slot], length);
            to += TextStore::bytesOf(length);
        }
    }
    m_rows.push_back(added);
    m_fileMissing.push_back(track.fileMissing);
    m_owner->endTrackInsert();
}

PlaylistTrackTable::Value PlaylistTrackTable::valueAt(size_t row, int slot) const
{
    while (m_rows[row].length[size_t(slot)] & kAbove)
        --row;
    const Row &r = m_rows[row];
    const std::uint16_t length = r.length[size_t(slot)];
    if (length == 0)
        return {};
    std::uint32_t offset = r.start;
    for (int before = 0; before < slot; ++before) {
        if (!(r.length[size_t(before)] & kAbove))
            offset += TextStore::bytesOf(r.length[size_t(before)]);
    }
    return {m_texts.at(offset), length};
}

QString PlaylistTrackTable::value(int row, int field) const
{
    if (row < 0 || row >= trackCount() || field < 0 || field >= FieldCount || field == TrackPath)
        return QString();
    const Value value = valueAt(static_cast<size_t>(row), slotOf(field));
    return TextStore::read(value.bytes, value.length);
}

} // namespace tidyfox::librarylist
