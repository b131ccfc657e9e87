// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/DeleteChoice.h"

#include <QStringList>

namespace tidyfox::window {

QString DeleteChoice::trackIds() const
{
    QStringList ids;
    for (const std::int32_t id : m_trackIds)
        ids << QString::number(id);
    return ids.join(QLatin1Char(','));
}

QString DeleteChoice::playlistArgs() const
{
    if (m_mode == QLatin1String("playlist"))
        return QString::number(m_playlistId);
    return QString::number(m_playlistId) + QLatin1Char(';') + trackIds();
}

void DeleteChoice::showTracks(bool ofLibrary, std::int32_t playlistId, const QString &playlistName,
                              std::vector<std::int32_t> databaseIds)
{
    m_mode = ofLibrary ? QStringLiteral("libraryTracks") : QStringLiteral("playlistTracks");
    m_playlistId = playlistId;
    m_playlistName = playlistName;
    m_trackIds = std::move(databaseIds);
    Q_EMIT changed();
    Q_EMIT opened();
}

void DeleteChoice::showPlaylist(std::int32_t playlistId, const QString &playlistName)
{
    m_mode = QStringLiteral("playlist");
    m_playlistId = playlistId;
    m_playlistName = playlistName;
    m_trackIds.clear();
    Q_EMIT changed();
    Q_EMIT opened();
}

} // namespace tidyfox::window
