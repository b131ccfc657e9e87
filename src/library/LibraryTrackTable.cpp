#include "library/LibraryTrackTable.h"

#include "library/LibraryRecordset.h"
#include "library/RecordsetError.h"
#include "library/TextCut.h"

#include <algorithm>

namespace tidyfox::library {

namespace {

struct FieldInfo
{
    const char16_t *name;
    int width;
    int cut;
};

constexpr FieldInfo kFields[LibraryTrackTable::FieldCount] = {
    {u"ItemID", 10, 9}, {u"TrackName", 100, 99}, {u"TrackID", 10, 9}, {u"TrackPath", 150, 149},
    {u"Time", 10, 9},   {u"Artist", 120, 40},    {u"Album", 120, 40},
};

} // namespace

int LibraryTrackTable::fieldIndex(QStringView name)
{
    for (int i = 0; i < FieldCount; ++i)
        if (name.compare(QStringView(kFields[i].name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString LibraryTrackTable::fieldName(int field)
{
    return field >= 0 && field < FieldCount ? QString::fromUtf16(kFields[field].name) : QString();
}

int LibraryTrackTable::fieldWidth(int field)
{
    return field >= 0 && field < FieldCount ? kFields[field].width : 0;
}

int LibraryTrackTable::cutLength(int field)
{
    return field >= 0 && field < FieldCount ? kFields[field].cut : 0;
}

void LibraryTrackTable::AddNew()
{
    const int row = RecordCount();
    m_owner->beginTrackInsert(m_parentRow, row);
    m_rows.emplace_back();
    m_current = row;
    m_owner->endTrackInsert();
}

int LibraryTrackTable::checkedField(QStringView name) const
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw RecordsetError(RecordsetError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    return field;
}

void LibraryTrackTable::setField(QStringView name, const QString &value)
{
    setField(checkedField(name), value);
}

void LibraryTrackTable::setField(int field, const QString &value)
{
    if (field < 0 || field >= FieldCount)
        throw RecordsetError(RecordsetError::UnknownField, QStringLiteral("The table has no field %1").arg(field));
    if (m_current < 0)
        throw RecordsetError(RecordsetError::NoCurrentRow, QStringLiteral("The table has no current row"));
    const QString stored = LeftChars(value, kFields[field].cut);

    Row &row = m_rows[static_cast<size_t>(m_current)];
    const auto length = static_cast<std::uint16_t>(stored.size());
    if (m_current > 0) {
        const Row &above = m_rows[static_cast<size_t>(m_current - 1)];
        if (above.length[field] == length &&
            std::equal(stored.utf16(), stored.utf16() + length, m_text.data() + above.offset[field])) {
            row.offset[field] = above.offset[field];
            row.length[field] = length;
            m_owner->trackChanged(m_parentRow, m_current, field);
            return;
        }
    }
    row.offset[field] = static_cast<std::uint32_t>(m_text.size());
    row.length[field] = length;
    m_text.insert(m_text.end(), stored.utf16(), stored.utf16() + length);
    m_owner->trackChanged(m_parentRow, m_current, field);
}

QString LibraryTrackTable::field(QStringView name) const
{
    const int field = checkedField(name);
    if (m_current < 0)
        throw RecordsetError(RecordsetError::NoCurrentRow, QStringLiteral("The table has no current row"));
    return value(m_current, field);
}

void LibraryTrackTable::MoveFirst()
{
    if (m_rows.empty())
        throw RecordsetError(RecordsetError::NoRows, QStringLiteral("The table has no rows"));
    m_current = 0;
}

QString LibraryTrackTable::value(int row, int field) const
{
    if (row < 0 || row >= RecordCount() || field < 0 || field >= FieldCount)
        return QString();
    const Row &r = m_rows[static_cast<size_t>(row)];
    if (r.length[field] == 0)
        return QString();
    return QString(reinterpret_cast<const QChar *>(m_text.data() + r.offset[field]), r.length[field]);
}

} // namespace tidyfox::library
