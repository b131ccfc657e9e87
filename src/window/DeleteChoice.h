// SPDX-License-Identifier: GPL-3.0-or-later
// What the Delete button would delete, worked out from the list's selection
// when it is pressed: the face's delete panel offers the answers that fit
// (tracks of the library, tracks of a user playlist, or a user playlist) and
// sends them with these ids.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

namespace tidyfox::window {

class DeleteChoice : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString mode READ mode NOTIFY changed)
    Q_PROPERTY(int trackCount READ trackCount NOTIFY changed)
    Q_PROPERTY(QString playlistName READ playlistName NOTIFY changed)
    Q_PROPERTY(QString trackIds READ trackIds NOTIFY changed)
    Q_PROPERTY(QString playlistArgs READ playlistArgs NOTIFY changed)
public:
    using QObject::QObject;

    // "libraryTracks": "IDC_FS_deleteFromLibrary" or "IDC_FS_deleteFromhard"
    // with trackIds; "playlistTracks": "IDC_FS_removeFromPlaylist" with
    // playlistArgs; "playlist": "IDC_FS_deletePlaylist" with playlistArgs.
    QString mode() const { return m_mode; }
    int trackCount() const { return int(m_trackIds.size()); }
    QString playlistName() const { return m_playlistName; }
    // The database ids, joined by commas.
    QString trackIds() const;
    // The playlist's id, then for tracks ";" and their ids.
    QString playlistArgs() const;

    void showTracks(bool ofLibrary, std::int32_t playlistId, const QString &playlistName,
                    std::vector<std::int32_t> databaseIds);
    void showPlaylist(std::int32_t playlistId, const QString &playlistName);

Q_SIGNALS:
    void changed();
    // The face opens the delete panel.
    void opened();

private:
    QString m_mode;
    std::int32_t m_playlistId = 0;
    QString m_playlistName;
    std::vector<std::int32_t> m_trackIds;
};

} // namespace tidyfox::window
