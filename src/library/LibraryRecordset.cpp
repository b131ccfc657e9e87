#include "library/LibraryRecordset.h"

#include "library/FieldTable.h"
#include "library/RecordsetError.h"
#include "library/TextCut.h"
#include "platform/GridRoles.h"

namespace tidyfox::library {

namespace {

constexpr FieldInfo kFields[LibraryRecordset::FieldCount] = {{u"ID", 10, 9}, {u"PlayList_Name", 60, 59}};
constexpr FieldTable kTable{kFields};
constexpr char16_t kChapter[] = u"PlayList";

} // namespace

int LibraryRecordset::fieldIndex(QStringView name)
{
    return kTable.index(name);
}

QString LibraryRecordset::fieldName(int field)
{
    return kTable.name(field);
}

int LibraryRecordset::fieldWidth(int field)
{
    return kTable.width(field);
}

int LibraryRecordset::cutLength(int field)
{
    return kTable.cut(field);
}

LibraryRecordset::LibraryRecordset(QObject *parent) : QAbstractItemModel(parent) {}

LibraryRecordset::~LibraryRecordset() = default;

void LibraryRecordset::AddNew()
{
    const int row = RecordCount();
    beginInsertRows(QModelIndex(), row, row);
    m_playlists.push_back(std::make_unique<Playlist>(this, row));
    m_current = row;
    endInsertRows();
}

void LibraryRecordset::requireCurrent() const
{
    if (m_current < 0)
        throw RecordsetError(RecordsetError::NoCurrentRow, QStringLiteral("The table has no current row"));
}

void LibraryRecordset::setField(QStringView name, const QString &value)
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw RecordsetError(RecordsetError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    requireCurrent();
    m_playlists[static_cast<size_t>(m_current)]->fields[field] = LeftChars(value, kFields[field].cut);
    const QModelIndex changed = index(m_current, field);
    Q_EMIT dataChanged(changed, changed);
}

QString LibraryRecordset::field(QStringView name) const
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw RecordsetError(RecordsetError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    requireCurrent();
    return m_playlists[static_cast<size_t>(m_current)]->fields[field];
}

LibraryTrackTable *LibraryRecordset::chapter(QStringView name)
{
    if (name.compare(QStringView(kChapter), Qt::CaseInsensitive) != 0)
        throw RecordsetError(RecordsetError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    if (m_current < 0)
        return nullptr;
    return &m_playlists[static_cast<size_t>(m_current)]->tracks;
}

void LibraryRecordset::MoveFirst()
{
    if (m_playlists.empty())
        throw RecordsetError(RecordsetError::NoRows, QStringLiteral("The table has no rows"));
    m_current = 0;
}

QString LibraryRecordset::value(int row, int field) const
{
    if (row < 0 || row >= RecordCount() || field < 0 || field >= FieldCount)
        return QString();
    return m_playlists[static_cast<size_t>(row)]->fields[field];
}

const LibraryTrackTable &LibraryRecordset::tracks(int row) const
{
    return m_playlists.at(static_cast<size_t>(row))->tracks;
}

void LibraryRecordset::beginTrackInsert(int parentRow, int row)
{
    beginInsertRows(index(parentRow, 0), row, row);
}

void LibraryRecordset::endTrackInsert()
{
    endInsertRows();
}

void LibraryRecordset::trackChanged(int parentRow, int row, int field)
{
    const QModelIndex changed = index(row, field, index(parentRow, 0));
    Q_EMIT dataChanged(changed, changed);
}

// The item model ------------------------------------------------------------

QModelIndex LibraryRecordset::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || row >= rowCount(parent) || column >= columnCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, nullptr);
    // A track's id is its playlist's table: a pointer, which Qt's index hashes spread well.
    const LibraryTrackTable *table = &m_playlists[static_cast<size_t>(parent.row())]->tracks;
    return createIndex(row, column, const_cast<LibraryTrackTable *>(table));
}

QModelIndex LibraryRecordset::parent(const QModelIndex &child) const
{
    if (!child.isValid() || !child.internalPointer())
        return {};
    const auto *table = static_cast<const LibraryTrackTable *>(child.internalPointer());
    return createIndex(table->m_parentRow, 0, nullptr);
}

int LibraryRecordset::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return RecordCount();
    if (parent.internalPointer() || parent.column() != 0)
        return 0;
    return m_playlists[static_cast<size_t>(parent.row())]->tracks.RecordCount();
}

int LibraryRecordset::columnCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return FieldCount;
    return parent.internalPointer() ? 0 : LibraryTrackTable::FieldCount;
}

bool LibraryRecordset::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant LibraryRecordset::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (const auto *table = static_cast<const LibraryTrackTable *>(index.internalPointer()))
        return table->value(index.row(), index.column());
    return value(index.row(), index.column());
}

QVariant LibraryRecordset::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole && section >= 0 && section < FieldCount)
        return fieldName(section);
    if (role == platform::GridRoles::ChildHeaderRole && section >= 0 && section < LibraryTrackTable::FieldCount)
        return LibraryTrackTable::fieldName(section);
    if (role == platform::GridRoles::ChildColumnCountRole)
        return int(LibraryTrackTable::FieldCount);
    return {};
}

Qt::ItemFlags LibraryRecordset::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.internalPointer())
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace tidyfox::library
