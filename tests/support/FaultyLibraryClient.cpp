// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultyLibraryClient.h"

namespace tidyfox::libraryclient {

void FaultPlan::failCall(const QString &operation, int afterCalls, std::int32_t number, int times)
{
    m_rules.insert(operation, {afterCalls, number, times});
}

void FaultPlan::failEveryCallAfter(int calls, std::int32_t number)
{
    m_failAllAfter = calls;
    m_failAllNumber = number;
}

void FaultPlan::refuseCreation(int times)
{
    m_refusals = times;
}

void FaultPlan::clear()
{
    m_rules.clear();
    m_failAllAfter = -1;
    m_refusals = 0;
}

void FaultPlan::check(const char *operation)
{
    const QString name = QString::fromLatin1(operation);
    const int nth = ++m_calls[name];
    ++m_totalCalls;
    if (m_failAllAfter >= 0 && m_totalCalls > m_failAllAfter)
        throw ClientError(m_failAllNumber, QStringLiteral("%1 failed (fault injected)").arg(name));
    auto rule = m_rules.find(name);
    if (rule == m_rules.end() || nth <= rule->afterCalls || rule->times == 0)
        return;
    if (rule->times > 0)
        --rule->times;
    throw ClientError(rule->number, QStringLiteral("%1 failed (fault injected)").arg(name));
}

bool FaultPlan::takeCreationRefusal()
{
    if (m_refusals == 0)
        return false;
    if (m_refusals > 0)
        --m_refusals;
    return true;
}

namespace {

PlaylistPtr wrap(PlaylistPtr inner, const FaultPlanPtr &plan);

template<typename T, typename Wrapper, typename Base = LibraryCollection<T>> class FaultyCollection : public Base
{
public:
    FaultyCollection(std::shared_ptr<LibraryCollection<T>> inner, FaultPlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan))
    {}
    int count() override
    {
        m_plan->check("count");
        return m_inner->count();
    }
    std::shared_ptr<T> item(int index) override
    {
        m_plan->check("item");
        return Wrapper::wrap(m_inner->item(index), m_plan);
    }
    void forEach(const std::function<bool(const std::shared_ptr<T> &)> &visit) override
    {
        m_plan->check("forEach");
        m_inner->forEach([&](const std::shared_ptr<T> &item) { return visit(Wrapper::wrap(item, m_plan)); });
    }

protected:
    std::shared_ptr<LibraryCollection<T>> m_inner;
    FaultPlanPtr m_plan;
};

class FaultyTrack final : public LibraryTrack
{
public:
    FaultyTrack(TrackPtr inner, FaultPlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}

    static TrackPtr wrap(TrackPtr inner, const FaultPlanPtr &plan)
    {
        return inner ? std::make_shared<FaultyTrack>(std::move(inner), plan) : nullptr;
    }

#define TIDYFOX_FAULTY(Type, Method)                                                                                   \
    Type Method() override                                                                                             \
    {                                                                                                                  \
        m_plan->check(#Method);                                                                                        \
        return m_inner->Method();                                                                                      \
    }
    TIDYFOX_FAULTY(QString, name)
    TIDYFOX_FAULTY(std::int32_t, trackId)
    TIDYFOX_FAULTY(std::int32_t, databaseId)
    TIDYFOX_FAULTY(QString, album)
    TIDYFOX_FAULTY(QString, artist)
    TIDYFOX_FAULTY(QString, time)
    TIDYFOX_FAULTY(QString, composer)
    TIDYFOX_FAULTY(QString, genre)
    TIDYFOX_FAULTY(QString, kindText)
    TIDYFOX_FAULTY(std::int32_t, bitRate)
    TIDYFOX_FAULTY(std::int32_t, sampleRate)
    TIDYFOX_FAULTY(std::int64_t, size)
    TIDYFOX_FAULTY(QDateTime, dateAdded)
    TIDYFOX_FAULTY(std::int32_t, playCount)
    TIDYFOX_FAULTY(std::int32_t, skipCount)
    TIDYFOX_FAULTY(std::int32_t, rating)
    TIDYFOX_FAULTY(QDateTime, playDate)
    TIDYFOX_FAULTY(std::optional<QString>, location)
    TIDYFOX_FAULTY(QString, longDescription)
    TIDYFOX_FAULTY(void, deleteFromLibrary)
    void deleteFromLibraryMergingInto(std::int32_t keeperId) override
    {
        m_plan->check("deleteFromLibraryMergingInto");
        m_inner->deleteFromLibraryMergingInto(keeperId);
    }
#undef TIDYFOX_FAULTY
    PlaylistPtr playlist() override
    {
        m_plan->check("playlist");
        return tidyfox::libraryclient::wrap(m_inner->playlist(), m_plan);
    }

private:
    TrackPtr m_inner;
    FaultPlanPtr m_plan;
};

class FaultyTrackList final : public FaultyCollection<LibraryTrack, FaultyTrack, LibraryTrackList>
{
public:
    FaultyTrackList(std::shared_ptr<LibraryTrackList> inner, FaultPlanPtr plan)
        : FaultyCollection(inner, std::move(plan)), m_list(std::move(inner))
    {}
    TrackPtr firstByTrackId(std::int32_t trackId) override
    {
        m_plan->check("firstByTrackId");
        return FaultyTrack::wrap(m_list->firstByTrackId(trackId), m_plan);
    }

private:
    std::shared_ptr<LibraryTrackList> m_list;
};

class FaultyPlaylist final : public LibraryPlaylist
{
public:
    FaultyPlaylist(PlaylistPtr inner, FaultPlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}

    static PlaylistPtr wrap(PlaylistPtr inner, const FaultPlanPtr &plan)
    {
        return inner ? std::make_shared<FaultyPlaylist>(std::move(inner), plan) : nullptr;
    }

    QString name() override
    {
        m_plan->check("name");
        return m_inner->name();
    }
    std::int32_t playlistId() override
    {
        m_plan->check("playlistId");
        return m_inner->playlistId();
    }
    std::int32_t kind() override
    {
        m_plan->check("kind");
        return m_inner->kind();
    }
    std::shared_ptr<LibraryTrackList> tracks() override
    {
        m_plan->check("tracks");
        return std::make_shared<FaultyTrackList>(m_inner->tracks(), m_plan);
    }

private:
    PlaylistPtr m_inner;
    FaultPlanPtr m_plan;
};

PlaylistPtr wrap(PlaylistPtr inner, const FaultPlanPtr &plan)
{
    return FaultyPlaylist::wrap(std::move(inner), plan);
}

class FaultySource final : public LibrarySource
{
public:
    FaultySource(SourcePtr inner, FaultPlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}

    QString name() override
    {
        m_plan->check("name");
        return m_inner->name();
    }
    std::int32_t sourceId() override
    {
        m_plan->check("sourceId");
        return m_inner->sourceId();
    }
    std::int32_t kind() override
    {
        m_plan->check("kind");
        return m_inner->kind();
    }
    std::shared_ptr<LibraryPlaylistCollection> playlists() override
    {
        m_plan->check("playlists");
        return std::make_shared<FaultyCollection<LibraryPlaylist, FaultyPlaylist>>(m_inner->playlists(), m_plan);
    }

private:
    SourcePtr m_inner;
    FaultPlanPtr m_plan;
};

} // namespace

FaultyLibraryClient::FaultyLibraryClient(LibraryClientPtr inner, FaultPlanPtr plan)
    : m_inner(std::move(inner)), m_plan(std::move(plan)), m_handler(std::make_shared<std::function<void()>>())
{
    // The inner object's event reaches whoever is listening here; a weak
    // reference so that the inner object does not keep the handler alive.
    std::weak_ptr<std::function<void()>> handler = m_handler;
    m_inner->setQuittingHandler([handler] {
        if (auto h = handler.lock(); h && *h)
            (*h)();
    });
}

SourcePtr FaultyLibraryClient::librarySource()
{
    m_plan->check("librarySource");
    auto source = m_inner->librarySource();
    return source ? std::make_shared<FaultySource>(std::move(source), m_plan) : nullptr;
}

PlaylistPtr FaultyLibraryClient::libraryPlaylist()
{
    m_plan->check("libraryPlaylist");
    return wrap(m_inner->libraryPlaylist(), m_plan);
}

std::vector<std::int32_t> FaultyLibraryClient::fileTracksAt(const QString &path)
{
    m_plan->check("fileTracksAt");
    return m_inner->fileTracksAt(path);
}

void FaultyLibraryClient::quit()
{
    m_plan->check("quit");
    m_inner->quit();
}

std::int32_t FaultyLibraryClient::beginJob(const QString &kind)
{
    m_plan->check("beginJob");
    return m_inner->beginJob(kind);
}

void FaultyLibraryClient::deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                           const QString &infoPath)
{
    m_plan->check("deleteTrackInJob");
    m_inner->deleteTrackInJob(jobId, databaseId, trashedPath, infoPath);
}

void FaultyLibraryClient::deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId,
                                                      std::int32_t keeperId, const QString &trashedPath,
                                                      const QString &infoPath)
{
    m_plan->check("deleteTrackMergingIntoInJob");
    m_inner->deleteTrackMergingIntoInJob(jobId, databaseId, keeperId, trashedPath, infoPath);
}

void FaultyLibraryClient::deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                          const QString &trashedPath, const QString &infoPath)
{
    m_plan->check("deleteCopyInJob");
    m_inner->deleteCopyInJob(jobId, databaseId, keeperId, trashedPath, infoPath);
}

void FaultyLibraryClient::removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                                  const std::vector<std::int32_t> &databaseIds)
{
    m_plan->check("removeFromPlaylistInJob");
    m_inner->removeFromPlaylistInJob(jobId, playlistId, databaseIds);
}

void FaultyLibraryClient::deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId)
{
    m_plan->check("deletePlaylistInJob");
    m_inner->deletePlaylistInJob(jobId, playlistId);
}

void FaultyLibraryClient::endJob(std::int32_t jobId)
{
    m_plan->check("endJob");
    m_inner->endJob(jobId);
}

std::vector<protocol::JobRecord> FaultyLibraryClient::listJobs()
{
    m_plan->check("listJobs");
    return m_inner->listJobs();
}

protocol::RestoreResult FaultyLibraryClient::restoreJob(std::int32_t jobId)
{
    m_plan->check("restoreJob");
    return m_inner->restoreJob(jobId);
}

void FaultyLibraryClient::setRestoredHandler(std::function<void(std::int32_t)> handler)
{
    m_inner->setRestoredHandler(std::move(handler));
}

void FaultyLibraryClient::setQuittingHandler(std::function<void()> handler)
{
    *m_handler = std::move(handler);
}

void FaultyLibraryClient::raiseQuitting()
{
    if (auto handler = *m_handler)
        handler();
}

LibraryClientFactory FaultyLibraryClient::factory(LibraryClientFactory inner, FaultPlanPtr plan)
{
    return [inner = std::move(inner), plan = std::move(plan)]() -> LibraryClientPtr {
        if (plan->takeCreationRefusal())
            throw ClientError(kErrCallFailed,
                              QStringLiteral("Creating the application object failed (fault injected)"));
        return std::make_shared<FaultyLibraryClient>(inner(), plan);
    };
}

} // namespace tidyfox::libraryclient
