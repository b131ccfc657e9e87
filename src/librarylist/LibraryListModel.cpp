// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/LibraryListModel.h"

#include "librarylist/FieldTable.h"
#include "librarylist/TextCut.h"
#include "widgets/GridRoles.h"

namespace tidyfox::librarylist {

namespace {

constexpr FieldInfo kFields[LibraryListModel::FieldCount] = {{u"ID", 10, 9}, {u"PlayList_Name", 60, 59}};
constexpr FieldTable kTable{kFields};

} // namespace

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

PlaylistTrackTable &LibraryListModel::addPlaylist(const QString &id, const QString &name)
{
    const int row = playlistCount();
    beginInsertRows(QModelIndex(), row, row);
    auto playlist = std::make_unique<Playlist>(m_texts, this, row);
    playlist->fields[ID] = leftChars(id, kFields[ID].cut);
    playlist->fields[PlayList_Name] = leftChars(name, kFields[PlayList_Name].cut);
    m_playlists.push_back(std::move(playlist));
    endInsertRows();
    return m_playlists.back()->tracks;
}

QString LibraryListModel::value(int row, int field) const
{
    if (row < 0 || row >= playlistCount() || field < 0 || field >= FieldCount)
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
        return playlistCount();
    if (parent.internalPointer() || parent.column() != 0)
        return 0;
    return m_playlists[static_cast<size_t>(parent.row())]->tracks.trackCount();
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
