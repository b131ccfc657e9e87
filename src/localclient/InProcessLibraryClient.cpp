// SPDX-License-Identifier: GPL-3.0-or-later
#include "localclient/InProcessLibraryClient.h"

#include "service/FingerprintMaker.h"

#include <QEventLoop>
#include <QMetaObject>

namespace tidyfox::libraryclient {

namespace {

// Library errors become the automation interface's errors, as the service's
// replies do on the bus.
template<typename Call> auto translated(Call &&call) -> decltype(call())
{
    try {
        return call();
    } catch (const library::ObjectDeletedError &e) {
        throw ClientError(kErrObjectDeleted, QString::fromUtf8(e.what()));
    } catch (const library::LibraryError &e) {
        throw ClientError(kErrCallFailed, QString::fromUtf8(e.what()));
    }
}

class CoreBackend final : public LibraryBackend
{
public:
    CoreBackend(std::shared_ptr<library::LibraryCore> core, std::function<void()> onQuit,
                std::function<void(std::int32_t)> onRestored)
        : m_core(std::move(core)), m_onQuit(std::move(onQuit)), m_onRestored(std::move(onRestored))
    {}

    library::SourceRecord source() override
    {
        return translated([&] { return open().source(); });
    }
    library::PlaylistRecord libraryPlaylist() override
    {
        return translated([&] {
            const std::int32_t id = open().libraryPlaylistId();
            for (auto &playlist : m_core->playlists()) {
                if (playlist.playlistId == id)
                    return playlist;
            }
            throw library::ObjectDeletedError("The library has no library playlist");
        });
    }
    std::vector<library::PlaylistRecord> playlists() override
    {
        return translated([&] { return open().playlists(); });
    }
    std::shared_ptr<const protocol::TrackTable> playlistTracks(std::int32_t playlistId) override
    {
        // Through the same encoding as the bus, so both sides share one
        // reading of every property.
        return translated([&] {
            return std::make_shared<const protocol::TrackTable>(
                protocol::encodeTracks(open().playlistTracks(playlistId)));
        });
    }
    std::shared_ptr<const protocol::TrackTable> firstTrack(std::int32_t playlistId, std::int32_t trackId) override
    {
        return translated([&] {
            std::vector<library::TrackRecord> found;
            if (auto track = open().firstTrackInPlaylist(playlistId, trackId))
                found.push_back(std::move(*track));
            return std::make_shared<const protocol::TrackTable>(protocol::encodeTracks(found));
        });
    }
    void deleteTrack(std::int32_t databaseId) override
    {
        translated([&] { open().deleteTrack(databaseId); });
    }
    std::vector<std::int32_t> fileTracksAt(const QString &path) override
    {
        return translated([&] { return open().fileTracksAt(path); });
    }
    void deleteTrackMergingInto(std::int32_t databaseId, std::int32_t keeperId) override
    {
        translated([&] { open().deleteTrackMergingInto(databaseId, keeperId); });
    }
    std::int32_t beginJob(const QString &kind) override
    {
        return translated([&] { return open().beginJob(kind); });
    }
    void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                          const QString &infoPath) override
    {
        translated([&] { open().deleteTrackInJob(jobId, databaseId, trashedPath, infoPath); });
    }
    void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                     const QString &trashedPath, const QString &infoPath) override
    {
        translated([&] { open().deleteTrackMergingIntoInJob(jobId, databaseId, keeperId, trashedPath, infoPath); });
    }
    void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId, const QString &trashedPath,
                         const QString &infoPath) override
    {
        translated([&] { open().deleteCopyInJob(jobId, databaseId, keeperId, trashedPath, infoPath); });
    }
    void removeTracksInJob(std::int32_t jobId, const std::vector<protocol::TrackRemoval> &removals, bool mergeHistory,
                           std::vector<bool> &removed) override
    {
        translated([&] { open().removeTracksInJob(jobId, removals, mergeHistory, removed); });
    }
    std::vector<std::vector<std::int32_t>> fileTracksAtEach(const QStringList &paths) override
    {
        return translated([&] {
            std::vector<std::vector<std::int32_t>> users;
            for (const QString &path : paths)
                users.push_back(open().fileTracksAt(path));
            return users;
        });
    }
    void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                 const std::vector<std::int32_t> &databaseIds) override
    {
        translated([&] { open().removeFromPlaylistInJob(jobId, playlistId, databaseIds); });
    }
    void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) override
    {
        translated([&] { open().deletePlaylistInJob(jobId, playlistId); });
    }
    void endJob(std::int32_t jobId) override
    {
        translated([&] { open().endJob(jobId); });
    }
    std::vector<protocol::JobRecord> jobs() override
    {
        return translated([&] { return open().jobs(); });
    }
    protocol::RestoreResult restoreJob(std::int32_t jobId) override
    {
        auto result = translated([&] { return open().restoreJob(jobId); });
        m_onRestored(jobId);
        return result;
    }
    protocol::FingerprintSummary makeFingerprints(const LibraryClient::FingerprintHandlers &handlers) override
    {
        return translated([&] {
            library::FingerprintMaker maker(open());
            protocol::FingerprintSummary summary;
            QEventLoop loop;
            QObject::connect(&maker, &library::FingerprintMaker::progress, &loop, [&](int done, int total) {
                if (handlers.progress)
                    handlers.progress(done, total);
                if (handlers.cancelled && handlers.cancelled())
                    maker.cancel();
            });
            QObject::connect(&maker, &library::FingerprintMaker::without, &loop,
                             [&](const QString &path, const QString &why) {
                                 if (handlers.without)
                                     handlers.without(path, why);
                             });
            QObject::connect(&maker, &library::FingerprintMaker::finished, &loop, [&](int made, int without, int left) {
                summary = {made, without, left};
                loop.quit();
            });
            maker.start();
            loop.exec();
            return summary;
        });
    }
    std::vector<protocol::SoundMatch> soundMatches() override
    {
        return translated([&] { return open().soundMatches(); });
    }
    void quit() override
    {
        open();
        m_quit = true;
        m_onQuit();
    }

private:
    library::LibraryCore &open()
    {
        if (m_quit)
            throw ClientError(kErrCallFailed, QStringLiteral("The library has quit"));
        return *m_core;
    }

    std::shared_ptr<library::LibraryCore> m_core;
    std::function<void()> m_onQuit;
    std::function<void(std::int32_t)> m_onRestored;
    bool m_quit = false;
};

std::shared_ptr<library::LibraryCore> openCore(const QString &path)
{
    return translated([&] { return std::shared_ptr<library::LibraryCore>(library::LibraryCore::open(path)); });
}

} // namespace

InProcessLibraryClient::InProcessLibraryClient(const QString &path) : InProcessLibraryClient(openCore(path)) {}

InProcessLibraryClient::InProcessLibraryClient(std::shared_ptr<library::LibraryCore> core)
    : BackendLibraryClient(std::make_shared<CoreBackend>(
          core,
          // Like the service's signals, the events arrive through the event
          // loop, not inside the call.
          [this] {
              QMetaObject::invokeMethod(
                  m_eventContext.get(), [this] { raiseQuitting(); }, Qt::QueuedConnection);
          },
          [this](std::int32_t jobId) {
              QMetaObject::invokeMethod(
                  m_eventContext.get(), [this, jobId] { raiseRestored(jobId); }, Qt::QueuedConnection);
          })),
      m_core(std::move(core)), m_eventContext(std::make_unique<QObject>())
{}

InProcessLibraryClient::~InProcessLibraryClient() = default;

library::LibraryCore &InProcessLibraryClient::core()
{
    return *m_core;
}

LibraryClientFactory InProcessLibraryClient::factory(std::shared_ptr<library::LibraryCore> core)
{
    return [core] { return std::make_shared<InProcessLibraryClient>(core); };
}

} // namespace tidyfox::libraryclient
