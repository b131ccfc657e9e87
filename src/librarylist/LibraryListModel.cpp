// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/LibraryListModel.h"

#include "librarylist/FieldTable.h"
#include "librarylist/ListModelError.h"
#include "librarylist/TextCut.h"
#include "widgets/GridRoles.h"

namespace tidyfox::librarylist {

namespace {

constexpr FieldInfo kFields[LibraryListModel::FieldCount] = {{u"ID", 10, 9}, {u"PlayList_Name", 60, 59}};
constexpr FieldTable kTable{kFields};
constexpr char16_t kChapter[] = u"PlayList";

} // namespace

int LibraryListModel::fieldIndex(QStringView name)
{
    return kTable.index(name);
}

QString LibraryListModel::fieldName(int field)
{
    return kTable.name(field);
}

int LibraryListModel::fieldWidth(int field)
{
    return kTable.width(field);
}

int LibraryListModel::cutLength(int field)
{
    return kTable.cut(field);
}

LibraryListModel::LibraryListModel(QObject *parent) : QAbstractItemModel(parent) {}

LibraryListModel::~LibraryListModel() = default;

void LibraryListModel::addRow()
{
    const int row = recordCount();
    beginInsertRows(QModelIndex(), row, row);
    m_playlists.push_back(std::make_unique<Playlist>(this, row));
    m_current = row;
    endInsertRows();
}

void LibraryListModel::requireCurrent() const
{
    if (m_current < 0)
        throw ListModelError(ListModelError::NoCurrentRow, QStringLiteral("The table has no current row"));
}

void LibraryListModel::setField(QStringView name, const QString &value)
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw ListModelError(ListModelError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    requireCurrent();
    m_playlists[static_cast<size_t>(m_current)]->fields[field] = leftChars(value, kFields[field].cut);
    const QModelIndex changed = index(m_current, field);
    Q_EMIT dataChanged(changed, changed);
}

QString LibraryListModel::field(QStringView name) const
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw ListModelError(ListModelError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    requireCurrent();
    return m_playlists[static_cast<size_t>(m_current)]->fields[field];
}

PlaylistTrackTable *LibraryListModel::chapter(QStringView name)
{
    if (name.compare(QStringView(kChapter), Qt::CaseInsensitive) != 0)
        throw ListModelError(ListModelError::UnknownField,
                             QStringLiteral("The table has no field named %1").arg(name.toString()));
    if (m_current < 0)
        return nullptr;
    return &m_playlists[static_cast<size_t>(m_current)]->tracks;
}

void LibraryListModel::moveFirst()
{
    if (m_playlists.empty())
        throw ListModelError(ListModelError::NoRows, QStringLiteral("The table has no rows"));
    m_current = 0;
}

QString LibraryListModel::value(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= FieldCount)
        return QString();
    return m_playlists[static_cast<size_t>(row)]->fields[field];
}

const PlaylistTrackTable &LibraryListModel::tracks(int row) const
{
    return m_playlists.at(static_cast<size_t>(row))->tracks;
}

void LibraryListModel::beginTrackInsert(int parentRow, int row)
{
    beginInsertRows(index(parentRow, 0), row, row);
}

void LibraryListModel::endTrackInsert()
{
    endInsertRows();
}

void LibraryListModel::trackChanged(int parentRow, int row, int field)
{
    const QModelIndex changed = index(row, field, index(parentRow, 0));
    Q_EMIT dataChanged(changed, changed);
}

// The item model ------------------------------------------------------------

QModelIndex LibraryListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || row >= rowCount(parent) || column >= columnCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, nullptr);
    // A track's id is its playlist's table: a pointer, which Qt's index hashes spread well.
    const PlaylistTrackTable *table = &m_playlists[static_cast<size_t>(parent.row())]->tracks;
    return createIndex(row, column, const_cast<PlaylistTrackTable *>(table));
}

QModelIndex LibraryListModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || !child.internalPointer())
        return {};
    const auto *table = static_cast<const PlaylistTrackTable *>(child.internalPointer());
    return createIndex(table->m_parentRow, 0, nullptr);
}

int LibraryListModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return recordCount();
    if (parent.internalPointer() || parent.column() != 0)
        return 0;
    return m_playlists[static_cast<size_t>(parent.row())]->tracks.recordCount();
}

int LibraryListModel::columnCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return FieldCount;
    return parent.internalPointer() ? 0 : PlaylistTrackTable::FieldCount;
}

bool LibraryListModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant LibraryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const auto *table = static_cast<const PlaylistTrackTable *>(index.internalPointer());
    if (table && role == widgets::GridRoles::RowMarkRole)
        return table->fileMissing(index.row());
    if (table && role == widgets::GridRoles::RowMarkTextRole)
        return QStringLiteral("The file of this track is missing");
    if (role == PlaylistIdRole || role == TrackIdRole) {
        const QString text = !table                   ? value(index.row(), ID)
                             : role == PlaylistIdRole ? table->value(index.row(), PlaylistTrackTable::ItemID)
                                                      : table->value(index.row(), PlaylistTrackTable::TrackID);
        bool ok = false;
        const std::int32_t id = text.trimmed().toInt(&ok);
        return ok && (table || role == PlaylistIdRole) ? QVariant(id) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (table)
        return table->value(index.row(), index.column());
    return value(index.row(), index.column());
}

QVariant LibraryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole && section >= 0 && section < FieldCount)
        return fieldName(section);
    if (role == widgets::GridRoles::ChildHeaderRole && section >= 0 && section < PlaylistTrackTable::FieldCount)
        return PlaylistTrackTable::fieldName(section);
    if (role == widgets::GridRoles::ChildColumnCountRole)
        return int(PlaylistTrackTable::FieldCount);
    return {};
}

Qt::ItemFlags LibraryListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.internalPointer())
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace tidyfox::librarylist
