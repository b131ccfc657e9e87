// SPDX-License-Identifier: GPL-3.0-or-later
// The automation objects (source, playlists, tracks and their collections)
// over a LibraryBackend, and an application object built on them.
//
// A collection is fetched in one call the first time it is used; property
// reads are then local. Tracks deleted through the same backend since the
// fetch are skipped by walks and refuse calls with "object deleted".
#pragma once

#include "libraryclient/LibraryBackend.h"
#include "libraryclient/LibraryClient.h"

namespace tidyfox::libraryclient {

SourcePtr makeSource(const BackendPtr &backend, const protocol::SourceRecord &record);
PlaylistPtr makePlaylist(const BackendPtr &backend, const protocol::PlaylistRecord &record);

class BackendLibraryClient : public LibraryClient
{
public:
    SourcePtr librarySource() override;
    PlaylistPtr libraryPlaylist() override;
    void quit() override;
    std::vector<std::int32_t> fileTracksAt(const QString &path) override;
    std::vector<std::vector<std::int32_t>> fileTracksAtEach(const QStringList &paths) override;
    void setQuittingHandler(std::function<void()> handler) override;
    std::int32_t beginJob(const QString &kind) override;
    void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                          const QString &infoPath) override;
    void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                     const QString &trashedPath, const QString &infoPath) override;
    void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId, const QString &trashedPath,
                         const QString &infoPath) override;
    JobRemovals removeTracksInJob(std::int32_t jobId, const std::vector<protocol::TrackRemoval> &removals,
                                  bool mergeHistory) override;
    void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                 const std::vector<std::int32_t> &databaseIds) override;
    void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) override;
    void endJob(std::int32_t jobId) override;
    std::vector<protocol::JobRecord> listJobs() override;
    protocol::RestoreResult restoreJob(std::int32_t jobId) override;
    protocol::FingerprintSummary makeFingerprints(const FingerprintHandlers &handlers) override;
    std::vector<protocol::SoundMatch> soundMatches() override;
    void setRestoredHandler(std::function<void(std::int32_t)> handler) override;

protected:
    explicit BackendLibraryClient(BackendPtr backend);
    const BackendPtr &backend() const { return m_backend; }
    // Calls the quitting handler, if any.
    void raiseQuitting();
    // A job has been put back: tracks known gone may be there again.
    void raiseRestored(std::int32_t jobId);

private:
    BackendPtr m_backend;
    std::function<void()> m_onQuitting;
    std::function<void(std::int32_t)> m_onRestored;
};

} // namespace tidyfox::libraryclient
