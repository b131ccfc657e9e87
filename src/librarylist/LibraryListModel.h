// SPDX-License-Identifier: GPL-3.0-or-later
// The library model: one row per playlist (ID, PlayList_Name) and, under each,
// a table of that playlist's tracks. It lives in memory only, is filled a
// playlist and a track at a time and is never edited afterwards; each load
// builds a new one.
//
// It is also the item model the library grid shows: top rows are the
// playlists (columns ID, PlayList_Name), their children the tracks (columns
// ItemID, TrackName, TrackID, TrackPath, Time, Artist, Album). Track indexes
// carry a pointer to their playlist's table as internal id.
#pragma once

#include "librarylist/PlaylistTrackTable.h"

#include <QAbstractItemModel>
#include <QString>
#include <memory>
#include <vector>

namespace tidyfox::librarylist {

class LibraryListModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Field { ID, PlayList_Name, FieldCount };
    // A row's ids as numbers: the playlist's for both levels, the track's for
    // a track row; nothing for a row without one.
    enum Role { PlaylistIdRole = Qt::UserRole + 1, TrackIdRole };

    static QString fieldName(int field);
    static int fieldWidth(int field);
    static int cutLength(int field);

    explicit LibraryListModel(QObject *parent = nullptr);
    ~LibraryListModel() override;

    // Appends a playlist with its ID and name, each cut to its field's
    // length; its tracks go into the table returned.
    PlaylistTrackTable &addPlaylist(const QString &id, const QString &name);

    int playlistCount() const { return static_cast<int>(m_playlists.size()); }
    // A stored value; a field never written reads as a null text.
    QString value(int row, int field) const;
    const PlaylistTrackTable &tracks(int row) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    friend class PlaylistTrackTable;

    struct Playlist
    {
        Playlist(TextStore &texts, LibraryListModel *owner, int row) : tracks(texts, owner, row) {}
        QString fields[FieldCount];
        PlaylistTrackTable tracks;
    };

    // Called by the child tables so that views see every row.
    void beginTrackInsert(int parentRow, int row);
    void endTrackInsert();

    // Before the playlists: their tables keep their values in it.
    TextStore m_texts;
    std::vector<std::unique_ptr<Playlist>> m_playlists;
};

} // namespace tidyfox::librarylist
