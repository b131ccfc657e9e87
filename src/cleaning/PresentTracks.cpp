// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/PresentTracks.h"

#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/FolderProbe.h"

#include <unordered_set>

namespace tidyfox::cleaning {

PresentTracks::PresentTracks(libraryclient::LibraryClient &library, const std::vector<std::int32_t> &mayGo,
                             const std::vector<std::int32_t> &staying, bool readLocations)
    : m_list(libraryTracksOf(library))
{
    const std::unordered_set<std::int32_t> going(mayGo.begin(), mayGo.end());
    const std::unordered_set<std::int32_t> kept(staying.begin(), staying.end());
    m_list->forEach([&](const libraryclient::TrackPtr &track) {
        const std::int32_t databaseId = track->databaseId();
        const bool goes = going.contains(databaseId);
        if (!goes && !kept.contains(databaseId))
            return true;
        PresentTrack entry;
        entry.databaseId = databaseId;
        entry.mayGo = goes;
        entry.track = track;
        if (readLocations) {
            const std::optional<QString> location = track->location();
            entry.hasFile = location.has_value();
            entry.location = location.value_or(QString());
        }
        m_tracks.emplace(databaseId, std::move(entry));
        return true;
    });
}

PresentTrack *PresentTracks::find(std::int32_t databaseId)
{
    const auto found = m_tracks.find(databaseId);
    if (found == m_tracks.end())
        return nullptr;
    if (isGone(*found->second.track)) {
        markRemoved(found->second);
        return nullptr;
    }
    return &found->second;
}

void PresentTracks::gatherUses(system::FileSystem &fs)
{
    m_usage.emplace();
    // One picture of the folders, before any file of the run moves.
    ListedFolders listed(fs);
    FilesThatMayGo going(listed);
    for (auto &[id, t] : m_tracks) {
        if (!t.mayGo || !t.hasFile || t.location.isEmpty())
            continue;
        t.use = FileUsage::useOf(fs, t.location);
        m_usage->add(*t.use);
        going.add(t.location, *t.use);
    }
    // Only a file that may go is ever asked about: another track counts only
    // where it could use one.
    for (auto &[id, t] : m_tracks) {
        if (t.mayGo || !t.hasFile || t.location.isEmpty())
            continue;
        t.use = going.useReaching(t.location);
        if (t.use)
            m_usage->add(*t.use);
    }
    m_list->forEach([&](const libraryclient::TrackPtr &track) {
        if (m_tracks.contains(track->databaseId()))
            return true;
        const std::optional<QString> location = track->location();
        if (location && !location->isEmpty()) {
            if (const auto use = going.useReaching(*location))
                m_usage->add(*use);
        }
        return true;
    });
}

void PresentTracks::markRemoved(PresentTrack &entry)
{
    if (m_usage && entry.use)
        m_usage->release(*entry.use);
    m_tracks.erase(entry.databaseId);
}

void PresentTracks::queueRemoval(RemovalBatch &batch, PresentTrack &entry, std::int32_t keeperId, bool trashFile,
                                 system::FileSystem &fs, const std::optional<system::FileStamp> &reviewed,
                                 const std::function<void(std::int32_t)> &removed)
{
    if (batch.holds(entry.databaseId))
        return;
    bool fileMayGo = false;
    if (trashFile && entry.hasFile && fs.fileExists(entry.location)) {
        // The disk is asked about the other tracks only once a file may go.
        if (!m_usage)
            gatherUses(fs);
        const auto shared = [&] { return entry.use && m_usage->sharedBeyond(*entry.use); };
        // A removal queued before this one may be what still uses the file:
        // it must have gone (or not) before this file is judged.
        if (shared() && m_queued.touches(*entry.use))
            send(batch, removed);
        fileMayGo = !shared();
    }
    const std::optional<system::FileStamp> atStart = entry.use ? entry.use->stamp : std::nullopt;
    batch.add({entry.databaseId, keeperId, entry.location, fileMayGo, reviewed ? reviewed : atStart});
    if (entry.use)
        m_queued.add(*entry.use);
    if (batch.full())
        send(batch, removed);
}

void PresentTracks::send(RemovalBatch &batch, const std::function<void(std::int32_t)> &removed)
{
    m_queued = FileUsage();
    batch.send([&](std::int32_t databaseId) {
        if (const auto found = m_tracks.find(databaseId); found != m_tracks.end())
            markRemoved(found->second);
        removed(databaseId);
    });
}

} // namespace tidyfox::cleaning
