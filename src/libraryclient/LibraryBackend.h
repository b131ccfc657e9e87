// SPDX-License-Identifier: GPL-3.0-or-later
// What the automation objects need from wherever the library lives: the
// service over the bus, or a library core in this process. The objects in
// LibraryObjects.h are written once against this, so both implementations of
// the interface behave alike.
#pragma once

#include "libraryclient/LibraryClient.h"
#include "protocol/LibraryBusFormat.h"
#include "protocol/LibraryRecords.h"

#include <memory>
#include <unordered_map>

namespace tidyfox::libraryclient {

class LibraryBackend
{
public:
    virtual ~LibraryBackend() = default;

    // Each of these throws ClientError.
    virtual protocol::SourceRecord source() = 0;
    virtual protocol::PlaylistRecord libraryPlaylist() = 0;
    virtual std::vector<protocol::PlaylistRecord> playlists() = 0;
    virtual std::shared_ptr<const protocol::TrackTable> playlistTracks(std::int32_t playlistId) = 0;
    // A table of zero or one row.
    virtual std::shared_ptr<const protocol::TrackTable> firstTrack(std::int32_t playlistId, std::int32_t trackId) = 0;
    virtual void deleteTrack(std::int32_t databaseId) = 0;
    virtual std::vector<std::int32_t> fileTracksAt(const QString &path) = 0;
    virtual void deleteTrackMergingInto(std::int32_t databaseId, std::int32_t keeperId) = 0;
    // The history of removals; see LibraryClient.
    virtual std::int32_t beginJob(const QString &kind) = 0;
    virtual void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                  const QString &infoPath) = 0;
    virtual void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                             const QString &trashedPath, const QString &infoPath) = 0;
    virtual void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                 const QString &trashedPath, const QString &infoPath) = 0;
    // One answer a removal in removed as it is known; throws the error
    // that ended the call (see LibraryClient::removeTracksInJob).
    virtual void removeTracksInJob(std::int32_t jobId, const std::vector<protocol::TrackRemoval> &removals,
                                   bool mergeHistory, std::vector<bool> &removed) = 0;
    virtual std::vector<std::vector<std::int32_t>> fileTracksAtEach(const QStringList &paths) = 0;
    virtual void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                         const std::vector<std::int32_t> &databaseIds) = 0;
    virtual void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) = 0;
    virtual void endJob(std::int32_t jobId) = 0;
    virtual std::vector<protocol::JobRecord> jobs() = 0;
    virtual protocol::RestoreResult restoreJob(std::int32_t jobId) = 0;
    // Fingerprints; see LibraryClient.
    virtual protocol::FingerprintSummary makeFingerprints(const LibraryClient::FingerprintHandlers &handlers) = 0;
    virtual std::vector<protocol::SoundMatch> soundMatches() = 0;
    virtual void quit() = 0;

    // Tracks known to be gone, each with the mark of when that was learnt: a
    // table fetched at a mark skips (and its objects refuse) the tracks learnt
    // gone after it. What was learnt before is no concern of a table fetched
    // later: it shows the library as it was then, so a track put back since
    // by another process (a restore run on the library file) shows again.
    std::uint64_t deletionMark() const { return m_lastMark; }
    bool isDeletedSince(std::int32_t databaseId, std::uint64_t mark) const
    {
        const auto found = m_deleted.find(databaseId);
        return found != m_deleted.end() && found->second > mark;
    }
    void markDeleted(std::int32_t databaseId) { m_deleted[databaseId] = ++m_lastMark; }
    // After a job was put back: its tracks are there again under their old
    // database ids. Any other track known gone is refused by the library
    // itself, and known again from then on.
    void forgetDeleted() { m_deleted.clear(); }

private:
    std::unordered_map<std::int32_t, std::uint64_t> m_deleted;
    std::uint64_t m_lastMark = 0;
};

using BackendPtr = std::shared_ptr<LibraryBackend>;

} // namespace tidyfox::libraryclient
