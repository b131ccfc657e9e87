#include "localclient/InProcessLibraryClient.h"

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
    CoreBackend(std::shared_ptr<library::LibraryCore> core, std::function<void()> onQuit)
        : m_core(std::move(core)), m_onQuit(std::move(onQuit))
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
        return translated([&] { return open().restoreJob(jobId); });
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
    bool m_quit = false;
};

std::shared_ptr<library::LibraryCore> openCore(const QString &path)
{
    return translated([&] { return std::shared_ptr<library::LibraryCore>(library::LibraryCore::open(path)); });
}

} // namespace

InProcessLibraryClient::InProcessLibraryClient(const QString &path) : InProcessLibraryClient(openCore(path)) {}

InProcessLibraryClient::InProcessLibraryClient(std::shared_ptr<library::LibraryCore> core)
    : BackendLibraryClient(std::make_shared<CoreBackend>(core,
                                                         [this] {
                                                             // Like the service's signal, the event arrives
                                                             // through the event loop, not inside Quit.
                                                             QMetaObject::invokeMethod(
                                                                 m_eventContext.get(), [this] { raiseQuitting(); },
                                                                 Qt::QueuedConnection);
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
