// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DeadTrackReview.h"

#include "cleaning/DeadTrackRule.h"
#include "cleaning/FolderProbe.h"
#include "cleaning/PendingRemovals.h"

#include <QHash>
#include <unordered_set>

namespace tidyfox::cleaning {

const QString kDisconnectedReason =
    QStringLiteral("These files are on a drive that is not connected now; connect it and look again, or tick the "
                   "tracks that are gone for good.");

DeadTrackFindings findDeadTracks(libraryclient::LibrarySource &source, system::FileSystem &fs,
                                 const system::Volumes &volumes, const std::function<void(int, int)> &progress)
{
    DeadTrackFindings findings;
    QHash<QString, size_t> folderIndex;
    ListedFolders listed(fs);
    for (const auto &playlist : libraryPlaylistsOf(source)) {
        const auto tracks = playlist->tracks();
        if (!tracks)
            throw libraryclient::ClientError::objectNotSet();
        const int total = tracks->count();
        int done = 0;
        tracks->forEach([&](const libraryclient::TrackPtr &track) {
            if (progress)
                progress(++done, total);
            const std::optional<QString> location = deadLocation(*track, listed);
            if (!location)
                return true;
            const QString folder = folderOf(*location);
            auto found = folderIndex.constFind(folder);
            if (found == folderIndex.constEnd()) {
                found = folderIndex.insert(folder, findings.folders.size());
                findings.folders.push_back({folder, onDisconnectedDrive(folder, volumes), {}});
            }
            DeadTrackFolder &group = findings.folders[*found];
            group.tracks.push_back({track->databaseId(), track->name(), track->artist(), track->album(), *location});
            ++findings.trackCount;
            if (group.disconnected)
                ++findings.disconnectedCount;
            return true;
        });
    }
    return findings;
}

void leaveOutMovesUnderWay(DeadTrackFindings &findings, const PendingRemovals &note)
{
    std::unordered_set<std::int32_t> moving;
    for (const protocol::PendingMove &move : note.openMoves())
        moving.insert(move.databaseId);
    if (moving.empty())
        return;
    for (DeadTrackFolder &folder : findings.folders) {
        const auto gone = std::remove_if(folder.tracks.begin(), folder.tracks.end(),
                                         [&](const DeadTrack &t) { return moving.count(t.databaseId) != 0; });
        const int left = int(folder.tracks.end() - gone);
        findings.trackCount -= left;
        if (folder.disconnected)
            findings.disconnectedCount -= left;
        folder.tracks.erase(gone, folder.tracks.end());
    }
    std::erase_if(findings.folders, [](const DeadTrackFolder &folder) { return folder.tracks.empty(); });
}

} // namespace tidyfox::cleaning
