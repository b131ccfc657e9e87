// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DeadTrackRule.h"

namespace tidyfox::cleaning {

std::optional<QString> deadLocation(libraryclient::LibraryTrack &track, system::FileSystem &fs)
{
    const std::optional<QString> location = track.location();
    if (!location || fs.fileExists(*location))
        return std::nullopt;
    return location;
}

QString folderOf(const QString &location)
{
    const qsizetype slash = location.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : location.left(slash);
}

bool onDisconnectedDrive(const QString &folder, const system::Volumes &volumes)
{
    return !folder.isEmpty() && volumes.isDisconnected(folder);
}

std::vector<libraryclient::PlaylistPtr> libraryPlaylistsOf(libraryclient::LibrarySource &source)
{
    const auto playlists = source.playlists();
    if (!playlists)
        throw libraryclient::ClientError::objectNotSet();
    std::vector<libraryclient::PlaylistPtr> all;
    playlists->forEach([&all](const libraryclient::PlaylistPtr &playlist) {
        all.push_back(playlist);
        return true;
    });
    std::vector<libraryclient::PlaylistPtr> library;
    for (const auto &playlist : all) {
        if (playlist->kind() == protocol::kLibraryPlaylist)
            library.push_back(playlist);
    }
    return library;
}

} // namespace tidyfox::cleaning
