// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/PresentTracks.h"

#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/RemovalJob.h"

namespace tidyfox::cleaning {

PresentTracks::PresentTracks(libraryclient::LibraryClient &library, bool readLocations)
{
    libraryTracksOf(library)->forEach([&](const libraryclient::TrackPtr &track) {
        PresentTrack entry;
        entry.databaseId = track->databaseId();
        entry.track = track;
        if (readLocations) {
            const std::optional<QString> location = track->location();
            entry.hasFile = location.has_value();
            entry.location = location.value_or(QString());
        }
        m_tracks.emplace(entry.databaseId, std::move(entry));
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

bool PresentTracks::fileSharedBeyond(PresentTrack &entry, libraryclient::LibraryClient &library, system::FileSystem &fs)
{
    if (!m_usage) {
        m_usage.emplace();
        for (auto &[id, t] : m_tracks) {
            if (!t.hasFile || t.location.isEmpty())
                continue;
            t.use = FileUsage::useOf(fs, t.location);
            m_usage->add(*t.use);
        }
    }
    if (entry.use && m_usage->sharedBeyond(*entry.use))
        return true;
    for (std::int32_t user : library.fileTracksAt(entry.location)) {
        if (user != entry.databaseId)
            return true;
    }
    return false;
}

void PresentTracks::markRemoved(PresentTrack &entry)
{
    if (m_usage && entry.use)
        m_usage->release(*entry.use);
    m_tracks.erase(entry.databaseId);
}

bool PresentTracks::removeFromLibrary(PresentTrack &entry, std::int32_t keeperId, bool mergeHistory, bool trashFile,
                                      RemovalJob &job, libraryclient::LibraryClient &library, system::FileSystem &fs,
                                      PendingRemovals *pending, const std::optional<system::FileStamp> &reviewed)
{
    job.open();
    std::optional<system::TrashedFile> trashed;
    if (trashFile && entry.hasFile && fs.fileExists(entry.location) && !fileSharedBeyond(entry, library, fs)) {
        const std::optional<system::FileStamp> atStart = entry.use ? entry.use->stamp : std::nullopt;
        trashed = trashCopy(fs, pending, job, entry.databaseId, entry.location, reviewed ? reviewed : atStart);
    }
    if (!removeEntry(job, fs, pending, {entry.databaseId, keeperId, mergeHistory}, entry.location, trashed))
        return false;
    markRemoved(entry);
    return true;
}

} // namespace tidyfox::cleaning
