// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/PlaylistTrackTable.h"

#include "librarylist/FieldTable.h"
#include "librarylist/LibraryListModel.h"
#include "librarylist/ListModelError.h"
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

int PlaylistTrackTable::fieldIndex(QStringView name)
{
    return kTable.index(name);
}

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

void PlaylistTrackTable::addRow()
{
    const int row = recordCount();
    m_owner->beginTrackInsert(m_parentRow, row);
    m_rows.emplace_back();
    m_current = row;
    m_owner->endTrackInsert();
}

int PlaylistTrackTable::checkedField(QStringView name) const
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw ListModelError(ListModelError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    return field;
}

void PlaylistTrackTable::setField(QStringView name, const QString &value)
{
    setField(checkedField(name), value);
}

void PlaylistTrackTable::setFileMissing(bool missing)
{
    if (m_current < 0)
        throw ListModelError(ListModelError::NoCurrentRow, QStringLiteral("The table has no current row"));
    m_rows[static_cast<size_t>(m_current)].fileMissing = missing;
}

void PlaylistTrackTable::setField(int field, const QString &value)
{
    if (field < 0 || field >= FieldCount)
        throw ListModelError(ListModelError::UnknownField, QStringLiteral("The table has no field %1").arg(field));
    if (m_current < 0)
        throw ListModelError(ListModelError::NoCurrentRow, QStringLiteral("The table has no current row"));
    const QString stored = leftChars(value, kFields[field].cut);

    Row &row = m_rows[static_cast<size_t>(m_current)];
    const auto length = static_cast<std::uint16_t>(stored.size());
    if (m_current > 0) {
        const Row &above = m_rows[static_cast<size_t>(m_current - 1)];
        if (above.length[field] == length &&
            std::equal(stored.utf16(), stored.utf16() + length, text(above.offset[field]))) {
            row.offset[field] = above.offset[field];
            row.length[field] = length;
            m_owner->trackChanged(m_parentRow, m_current, field);
            return;
        }
    }
    row.offset[field] = store(reinterpret_cast<const char16_t *>(stored.utf16()), length);
    row.length[field] = length;
    m_owner->trackChanged(m_parentRow, m_current, field);
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

QString PlaylistTrackTable::field(QStringView name) const
{
    const int field = checkedField(name);
    if (m_current < 0)
        throw ListModelError(ListModelError::NoCurrentRow, QStringLiteral("The table has no current row"));
    return value(m_current, field);
}

void PlaylistTrackTable::moveFirst()
{
    if (m_rows.empty())
        throw ListModelError(ListModelError::NoRows, QStringLiteral("The table has no rows"));
    m_current = 0;
}

QString PlaylistTrackTable::value(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= FieldCount)
        return QString();
    const Row &r = m_rows[static_cast<size_t>(row)];
    if (r.length[field] == 0)
        return QString();
    return QString(reinterpret_cast<const QChar *>(text(r.offset[field])), r.length[field]);
}

} // namespace tidyfox::librarylist
