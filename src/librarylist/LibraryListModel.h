// SPDX-License-Identifier: GPL-3.0-or-later
// The library model: one row per playlist (ID, PlayList_Name) and, through the
// chapter field PlayList, a child table of that playlist's tracks. It lives in
// memory only, is filled row by row and is never edited afterwards; each load
// builds a new one.
//
// It is also the item model the library grid shows: top rows are the
// playlists (columns ID, PlayList_Name), their children the tracks (columns
// ItemID, TrackName, TrackID, TrackPath, Time, Artist, Album). Track indexes
// carry a pointer to their playlist's table as internal id.
#pragma once

#include "librarylist/PlaylistTrackTable.h"

#include <QAbstractItemModel>
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

    static int fieldIndex(QStringView name);
    static QString fieldName(int field);
    static int fieldWidth(int field);
    static int cutLength(int field);

    explicit LibraryListModel(QObject *parent = nullptr);
    ~LibraryListModel() override;

    // Appends an empty playlist row and makes it current.
    void addRow();
    // Writes ID or PlayList_Name of the current row, cut to the field's length.
    void setField(QStringView name, const QString &value);
    QString field(QStringView name) const;
    // The child table of the current row, by the chapter field's name
    // ("PlayList", any case); null without a current row.
    PlaylistTrackTable *chapter(QStringView name);
    // Makes the first row current; throws ListModelError on an empty table.
    void moveFirst();

    int recordCount() const { return static_cast<int>(m_playlists.size()); }
    int currentRow() const { return m_current; }
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
        Playlist(LibraryListModel *owner, int row) : tracks(owner, row) {}
        QString fields[FieldCount];
        PlaylistTrackTable tracks;
    };

    void requireCurrent() const;
    // Called by the child tables so that views see every change.
    void beginTrackInsert(int parentRow, int row);
    void endTrackInsert();
    void trackChanged(int parentRow, int row, int field);

    std::vector<std::unique_ptr<Playlist>> m_playlists;
    int m_current = -1;
};

} // namespace tidyfox::librarylist
