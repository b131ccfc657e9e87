// The look-ups' own rules, beyond what the contract tests cover: the answers
// for odd sources and empty references, with small stand-ins for the library.
#include "itunes/Lookups.h"

#include "itunes/FaultyITunes.h"
#include "itunes/InProcessITunes.h"

#include <gtest/gtest.h>

namespace tidyfox::itunes::test {
namespace {

class StubPlaylist final : public IITPlaylist
{
public:
    StubPlaylist(std::int32_t id, QString name) : m_id(id), m_name(std::move(name)) {}
    QString Name() override { return m_name; }
    std::int32_t PlaylistID() override { return m_id; }
    std::int32_t Kind() override { return 2; }
    std::shared_ptr<IITTrackList> Tracks() override { throw ComError(kErrCallFailed, QStringLiteral("unused")); }

private:
    std::int32_t m_id;
    QString m_name;
};

class StubPlaylists final : public IITPlaylistCollection
{
public:
    explicit StubPlaylists(std::vector<PlaylistPtr> items) : m_items(std::move(items)) {}
    int Count() override { return static_cast<int>(m_items.size()); }
    PlaylistPtr Item(int index) override { return m_items.at(static_cast<std::size_t>(index)); }
    void ForEach(const std::function<bool(const PlaylistPtr &)> &visit) override
    {
        for (const auto &p : m_items) {
            ++visits;
            if (!visit(p))
                return;
        }
    }
    int visits = 0;

private:
    std::vector<PlaylistPtr> m_items;
};

class StubSource final : public IITSource
{
public:
    StubSource(std::int32_t id, std::int32_t kind, std::shared_ptr<StubPlaylists> playlists)
        : m_id(id), m_kind(kind), m_playlists(std::move(playlists))
    {}
    QString Name() override { return QStringLiteral("Stub"); }
    std::int32_t SourceID() override { return m_id; }
    std::int32_t Kind() override { return m_kind; }
    std::shared_ptr<IITPlaylistCollection> Playlists() override { return m_playlists; }

private:
    std::int32_t m_id;
    std::int32_t m_kind;
    std::shared_ptr<StubPlaylists> m_playlists;
};

class StubITunes final : public IiTunes
{
public:
    explicit StubITunes(SourcePtr source) : m_source(std::move(source)) {}
    void SetForceToForegroundOnDialog(bool) override {}
    SourcePtr LibrarySource() override { return m_source; }
    PlaylistPtr LibraryPlaylist() override { return nullptr; }
    void Quit() override {}
    void SetOnQuittingEvent(std::function<void()>) override {}

private:
    SourcePtr m_source;
};

std::shared_ptr<StubPlaylists> twins()
{
    return std::make_shared<StubPlaylists>(std::vector<PlaylistPtr>{
        std::make_shared<StubPlaylist>(7, QStringLiteral("Rock")),
        std::make_shared<StubPlaylist>(100000, QStringLiteral("ROCK")),
        std::make_shared<StubPlaylist>(100000, QStringLiteral("Later twin")),
    });
}

TEST(Lookups, ASourceWithIdZeroIsStoredButNotUsable)
{
    StubITunes app(std::make_shared<StubSource>(0, 1, twins()));
    SourcePtr source;
    EXPECT_FALSE(GetLibrarySource(&app, source));
    ASSERT_TRUE(source);
    EXPECT_EQ(LoadSources(&app, source), 2);

    StubITunes usable(std::make_shared<StubSource>(5, 1, twins()));
    EXPECT_EQ(LoadSources(&usable, source), 0);
    EXPECT_EQ(source->SourceID(), 5);
}

TEST(Lookups, FailuresLeaveTheSourceAsItWas)
{
    const SourcePtr before = std::make_shared<StubSource>(9, 1, twins());
    SourcePtr source = before;
    EXPECT_FALSE(GetLibrarySource(nullptr, source));
    EXPECT_EQ(source, before);

    StubITunes noSource(nullptr);
    EXPECT_FALSE(GetLibrarySource(&noSource, source));
    EXPECT_EQ(source, before);

    auto plan = std::make_shared<FaultPlan>();
    plan->failCall(QStringLiteral("SourceID"));
    FaultyITunes failing(std::make_shared<InProcessITunes>(), plan);
    EXPECT_EQ(LoadSources(&failing, source), 2);
    EXPECT_EQ(source, before);
}

TEST(Lookups, TheFirstOfTwinsWinsAndTheWalkStopsThere)
{
    auto playlists = twins();
    const SourcePtr source = std::make_shared<StubSource>(1, 1, playlists);
    const PlaylistPtr found = GetPlayListByID(source, 100000);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Name(), QStringLiteral("ROCK"));
    EXPECT_EQ(playlists->visits, 2);

    EXPECT_EQ(GetLibraryListByName(source, QStringLiteral("rOcK"))->PlaylistID(), 7);
    EXPECT_EQ(GetLibraryListByName(source, QStringLiteral("later TWIN"))->PlaylistID(), 100000);
}

TEST(Lookups, ByNameOnlyInTheLibrarySource)
{
    auto playlists = twins();
    const SourcePtr device = std::make_shared<StubSource>(1, 2, playlists);
    EXPECT_EQ(GetLibraryListByName(device, QStringLiteral("Rock")), nullptr);
    EXPECT_EQ(playlists->visits, 0);
}

TEST(Lookups, EmptyReferencesRaiseObjectNotSet)
{
    const auto number = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const ComError &e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number([] { GetLists(nullptr); }), kErrObjectNotSet);
    EXPECT_EQ(number([] { GetPlayListByID(nullptr, 1); }), kErrObjectNotSet);
    EXPECT_EQ(number([] { GetTrackByID(nullptr, 1); }), kErrObjectNotSet);
    EXPECT_EQ(number([] { GetLibraryListByName(nullptr, QStringLiteral("x")); }), kErrObjectNotSet);
}

} // namespace
} // namespace tidyfox::itunes::test
