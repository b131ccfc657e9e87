// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/DeadTrackReviewModel.h"

#include "window/PathText.h"

#include <QStringList>

namespace tidyfox::window {

void DeadTrackReviewModel::show(const cleaning::DeadTrackFindings &findings)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(static_cast<size_t>(findings.trackCount));
    m_ticked = 0;
    m_disconnected = 0;
    for (const cleaning::DeadTrackFolder &folder : findings.folders) {
        for (const cleaning::DeadTrack &track : folder.tracks) {
            m_rows.push_back({track, folder.folder, folder.disconnected, !folder.disconnected});
            m_ticked += folder.disconnected ? 0 : 1;
            m_disconnected += folder.disconnected ? 1 : 0;
        }
    }
    endResetModel();
    Q_EMIT countsChanged();
    Q_EMIT opened();
}

int DeadTrackReviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant DeadTrackReviewModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case DatabaseIdRole:
        return row.track.databaseId;
    case Qt::DisplayRole:
    case NameRole:
        return row.track.name;
    case ArtistRole:
        return row.track.artist;
    case AlbumRole:
        return row.track.album;
    case LocationRole:
        return row.track.location;
    case FolderRole:
        return row.folder;
    case DisconnectedRole:
        return row.disconnected;
    case TickedRole:
        return row.ticked;
    default:
        return {};
    }
}

bool DeadTrackReviewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != TickedRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setTicked(index.row(), value.toBool());
    return true;
}

Qt::ItemFlags DeadTrackReviewModel::flags(const QModelIndex &index) const
{
    return QAbstractListModel::flags(index) | (index.isValid() ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
}

QHash<int, QByteArray> DeadTrackReviewModel::roleNames() const
{
    return {{DatabaseIdRole, "databaseId"},
            {NameRole, "name"},
            {ArtistRole, "artist"},
            {AlbumRole, "album"},
            {LocationRole, "location"},
            {FolderRole, "folder"},
            {DisconnectedRole, "disconnected"},
            {TickedRole, "ticked"}};
}

void DeadTrackReviewModel::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= rowCount())
        return;
    Row &entry = m_rows[static_cast<size_t>(row)];
    if (entry.ticked == ticked)
        return;
    entry.ticked = ticked;
    m_ticked += ticked ? 1 : -1;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {TickedRole});
    Q_EMIT countsChanged();
}

void DeadTrackReviewModel::setAllTicked(bool ticked)
{
    tickWhere([](const Row &) { return true; }, ticked);
}

void DeadTrackReviewModel::setFolderTicked(const QString &folder, bool ticked)
{
    tickWhere([&folder](const Row &row) { return row.folder == folder; }, ticked);
}

// One change for the face however many rows it touches: a review of
// thousands of tracks is ticked at once.
void DeadTrackReviewModel::tickWhere(const std::function<bool(const Row &)> &chosen, bool ticked)
{
    int first = -1;
    int last = -1;
    for (int i = 0; i < rowCount(); ++i) {
        Row &row = m_rows[size_t(i)];
        if (row.ticked == ticked || !chosen(row))
            continue;
        row.ticked = ticked;
        m_ticked += ticked ? 1 : -1;
        first = first < 0 ? i : first;
        last = i;
    }
    if (first < 0)
        return;
    Q_EMIT dataChanged(index(first), index(last), {TickedRole});
    Q_EMIT countsChanged();
}

QString DeadTrackReviewModel::shownFolder(const QString &folder) const
{
    return shownPath(folder);
}

int DeadTrackReviewModel::folderTicks(const QString &folder) const
{
    int tracks = 0;
    int ticked = 0;
    for (const Row &row : m_rows) {
        if (row.folder == folder) {
            ++tracks;
            ticked += row.ticked ? 1 : 0;
        }
    }
    return ticked == 0 ? 0 : ticked == tracks ? 2 : 1;
}

QString DeadTrackReviewModel::tickedIds() const
{
    QStringList ids;
    for (const Row &row : m_rows) {
        if (row.ticked)
            ids << QString::number(row.track.databaseId);
    }
    return ids.join(QLatin1Char(','));
}

} // namespace tidyfox::window
