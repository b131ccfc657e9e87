// SPDX-License-Identifier: GPL-3.0-or-later
// The dead tracks found, as the face's review lists them: one row per track
// with its folder (the list's sections) and a tick, unticked for the tracks on
// a drive that is not connected. The face reads the ticked tracks' ids back
// when the user confirms.
#pragma once

#include "cleaning/DeadTrackReview.h"

#include <QAbstractListModel>
#include <functional>
#include <vector>

namespace tidyfox::window {

class DeadTrackReviewModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countsChanged)
    Q_PROPERTY(int tickedCount READ tickedCount NOTIFY countsChanged)
    Q_PROPERTY(bool allTicked READ allTicked NOTIFY countsChanged)
    Q_PROPERTY(bool deletesAll READ deletesAll NOTIFY countsChanged)
    Q_PROPERTY(int disconnectedCount READ disconnectedCount NOTIFY countsChanged)
    Q_PROPERTY(QString disconnectedReason READ disconnectedReason CONSTANT)
public:
    enum Role {
        DatabaseIdRole = Qt::UserRole + 1,
        NameRole,
        ArtistRole,
        AlbumRole,
        LocationRole,
        FolderRole,
        DisconnectedRole,
        TickedRole
    };

    using QAbstractListModel::QAbstractListModel;

    // Shows a new review (every track ticked but those on a disconnected
    // drive) and tells the face to open it.
    void show(const cleaning::DeadTrackFindings &findings);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    int tickedCount() const { return m_ticked; }
    bool allTicked() const { return m_ticked == rowCount(); }
    // Whether the ticks ask for what deleting all dead tracks does, which
    // spares the tracks on a disconnected drive: every track ticked, and
    // none on such a drive.
    bool deletesAll() const { return allTicked() && m_disconnected == 0; }
    int disconnectedCount() const { return m_disconnected; }
    QString disconnectedReason() const { return cleaning::kDisconnectedReason; }

    Q_INVOKABLE void setTicked(int row, bool ticked);
    Q_INVOKABLE void setAllTicked(bool ticked);
    Q_INVOKABLE void setFolderTicked(const QString &folder, bool ticked);
    // The folder as the face writes it (the home folder as "~").
    Q_INVOKABLE QString shownFolder(const QString &folder) const;
    // 0 none of the folder's tracks ticked, 1 some, 2 all.
    Q_INVOKABLE int folderTicks(const QString &folder) const;
    // The database ids of the ticked tracks, joined by commas, in list order:
    // the arguments of "IDC_FS_deleteReviewedDeadTracks".
    Q_INVOKABLE QString tickedIds() const;

Q_SIGNALS:
    void countsChanged();
    void opened();

private:
    struct Row
    {
        cleaning::DeadTrack track;
        QString folder;
        bool disconnected = false;
        bool ticked = true;
    };
    void tickWhere(const std::function<bool(const Row &)> &chosen, bool ticked);

    std::vector<Row> m_rows;
    int m_ticked = 0;
    int m_disconnected = 0;
};

} // namespace tidyfox::window
