#include "itunes/FaultyITunes.h"

namespace tidyfox::itunes {

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
        throw ComError(m_failAllNumber, QStringLiteral("%1 failed (fault injected)").arg(name));
    auto rule = m_rules.find(name);
    if (rule == m_rules.end() || nth <= rule->afterCalls || rule->times == 0)
        return;
    if (rule->times > 0)
        --rule->times;
    throw ComError(rule->number, QStringLiteral("%1 failed (fault injected)").arg(name));
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

template<typename T, typename Wrapper, typename Base = IITCollection<T>> class FaultyCollection : public Base
{
public:
    FaultyCollection(std::shared_ptr<IITCollection<T>> inner, FaultPlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan))
    {}
    int Count() override
    {
        m_plan->check("Count");
        return m_inner->Count();
    }
    std::shared_ptr<T> Item(int index) override
    {
        m_plan->check("Item");
        return Wrapper::wrap(m_inner->Item(index), m_plan);
    }
    void ForEach(const std::function<bool(const std::shared_ptr<T> &)> &visit) override
    {
        m_plan->check("ForEach");
        m_inner->ForEach([&](const std::shared_ptr<T> &item) { return visit(Wrapper::wrap(item, m_plan)); });
    }

protected:
    std::shared_ptr<IITCollection<T>> m_inner;
    FaultPlanPtr m_plan;
};

class FaultyTrack final : public IITTrack
{
public:
    FaultyTrack(TrackPtr inner, FaultPlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}

    static TrackPtr wrap(TrackPtr inner, const FaultPlanPtr &plan)
    {
        return inner ? std::make_shared<FaultyTrack>(std::move(inner), plan) : nullptr;
    }

#define TIDYFOX_FAULTY(Type, Name)                                                                                     \
    Type Name() override                                                                                               \
    {                                                                                                                  \
        m_plan->check(#Name);                                                                                          \
        return m_inner->Name();                                                                                        \
    }
    TIDYFOX_FAULTY(QString, Name)
    TIDYFOX_FAULTY(std::int32_t, TrackID)
    TIDYFOX_FAULTY(std::int32_t, TrackDatabaseID)
    TIDYFOX_FAULTY(QString, Album)
    TIDYFOX_FAULTY(QString, Artist)
    TIDYFOX_FAULTY(QString, Time)
    TIDYFOX_FAULTY(QString, Composer)
    TIDYFOX_FAULTY(QString, Genre)
    TIDYFOX_FAULTY(QString, KindAsString)
    TIDYFOX_FAULTY(std::int32_t, BitRate)
    TIDYFOX_FAULTY(std::int32_t, SampleRate)
    TIDYFOX_FAULTY(std::int64_t, Size)
    TIDYFOX_FAULTY(QDateTime, DateAdded)
    TIDYFOX_FAULTY(QString, Location)
    TIDYFOX_FAULTY(QString, LongDescription)
    TIDYFOX_FAULTY(void, Delete)
#undef TIDYFOX_FAULTY
    PlaylistPtr Playlist() override
    {
        m_plan->check("Playlist");
        return tidyfox::itunes::wrap(m_inner->Playlist(), m_plan);
    }

private:
    TrackPtr m_inner;
    FaultPlanPtr m_plan;
};

class FaultyTrackList final : public FaultyCollection<IITTrack, FaultyTrack, IITTrackList>
{
public:
    FaultyTrackList(std::shared_ptr<IITTrackList> inner, FaultPlanPtr plan)
        : FaultyCollection(inner, std::move(plan)), m_list(std::move(inner))
    {}
    TrackPtr FirstByTrackID(std::int32_t trackId) override
    {
        m_plan->check("FirstByTrackID");
        return FaultyTrack::wrap(m_list->FirstByTrackID(trackId), m_plan);
    }

private:
    std::shared_ptr<IITTrackList> m_list;
};

class FaultyPlaylist final : public IITPlaylist
{
public:
    FaultyPlaylist(PlaylistPtr inner, FaultPlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}

    static PlaylistPtr wrap(PlaylistPtr inner, const FaultPlanPtr &plan)
    {
        return inner ? std::make_shared<FaultyPlaylist>(std::move(inner), plan) : nullptr;
    }

    QString Name() override
    {
        m_plan->check("Name");
        return m_inner->Name();
    }
    std::int32_t PlaylistID() override
    {
        m_plan->check("PlaylistID");
        return m_inner->PlaylistID();
    }
    std::int32_t Kind() override
    {
        m_plan->check("Kind");
        return m_inner->Kind();
    }
    std::shared_ptr<IITTrackList> Tracks() override
    {
        m_plan->check("Tracks");
        return std::make_shared<FaultyTrackList>(m_inner->Tracks(), m_plan);
    }

private:
    PlaylistPtr m_inner;
    FaultPlanPtr m_plan;
};

PlaylistPtr wrap(PlaylistPtr inner, const FaultPlanPtr &plan)
{
    return FaultyPlaylist::wrap(std::move(inner), plan);
}

class FaultySource final : public IITSource
{
public:
    FaultySource(SourcePtr inner, FaultPlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}

    QString Name() override
    {
        m_plan->check("Name");
        return m_inner->Name();
    }
    std::int32_t SourceID() override
    {
        m_plan->check("SourceID");
        return m_inner->SourceID();
    }
    std::int32_t Kind() override
    {
        m_plan->check("Kind");
        return m_inner->Kind();
    }
    std::shared_ptr<IITPlaylistCollection> Playlists() override
    {
        m_plan->check("Playlists");
        return std::make_shared<FaultyCollection<IITPlaylist, FaultyPlaylist>>(m_inner->Playlists(), m_plan);
    }

private:
    SourcePtr m_inner;
    FaultPlanPtr m_plan;
};

} // namespace

FaultyITunes::FaultyITunes(ITunesPtr inner, FaultPlanPtr plan)
    : m_inner(std::move(inner)), m_plan(std::move(plan)), m_handler(std::make_shared<std::function<void()>>())
{
    // The inner object's event reaches whoever is listening here; a weak
    // reference so that the inner object does not keep the handler alive.
    std::weak_ptr<std::function<void()>> handler = m_handler;
    m_inner->SetOnQuittingEvent([handler] {
        if (auto h = handler.lock(); h && *h)
            (*h)();
    });
}

void FaultyITunes::SetForceToForegroundOnDialog(bool value)
{
    m_plan->check("SetForceToForegroundOnDialog");
    m_inner->SetForceToForegroundOnDialog(value);
}

SourcePtr FaultyITunes::LibrarySource()
{
    m_plan->check("LibrarySource");
    auto source = m_inner->LibrarySource();
    return source ? std::make_shared<FaultySource>(std::move(source), m_plan) : nullptr;
}

PlaylistPtr FaultyITunes::LibraryPlaylist()
{
    m_plan->check("LibraryPlaylist");
    return wrap(m_inner->LibraryPlaylist(), m_plan);
}

void FaultyITunes::Quit()
{
    m_plan->check("Quit");
    m_inner->Quit();
}

void FaultyITunes::SetOnQuittingEvent(std::function<void()> handler)
{
    *m_handler = std::move(handler);
}

void FaultyITunes::raiseQuitting()
{
    if (auto handler = *m_handler)
        handler();
}

ITunesFactory FaultyITunes::factory(ITunesFactory inner, FaultPlanPtr plan)
{
    return [inner = std::move(inner), plan = std::move(plan)]() -> ITunesPtr {
        if (plan->takeCreationRefusal())
            throw ComError(kErrCallFailed, QStringLiteral("Creating the application object failed (fault injected)"));
        return std::make_shared<FaultyITunes>(inner(), plan);
    };
}

} // namespace tidyfox::itunes
