// SPDX-License-Identifier: GPL-3.0-or-later
// The look-ups' own rules, beyond what the contract tests cover: the answers
// for odd sources and empty references, with small stand-ins for the library.
#include "FaultyLibraryClient.h"
#include "libraryclient/LibraryLookups.h"
#include "localclient/InProcessLibraryClient.h"

#include <gtest/gtest.h>

namespace tidyfox::libraryclient::test {
namespace {

class StubPlaylist final : public LibraryPlaylist
{
public:
    StubPlaylist(std::int32_t id, QString name) : m_id(id), m_name(std::move(name)) {}
    QString name() override { return m_name; }
    std::int32_t playlistId() override { return m_id; }
    std::int32_t kind() override { return 2; }
    std::shared_ptr<LibraryTrackList> tracks() override { throw ClientError(kErrCallFailed, QStringLiteral("unused")); }

private:
    std::int32_t m_id;
    QString m_name;
};

class StubPlaylists final : public LibraryPlaylistCollection
{
public:
    explicit StubPlaylists(std::vector<PlaylistPtr> items) : m_items(std::move(items)) {}
    int count() override { return static_cast<int>(m_items.size()); }
    PlaylistPtr item(int index) override { return m_items.at(static_cast<std::size_t>(index)); }
    void forEach(const std::function<bool(const PlaylistPtr &)> &visit) override
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

class StubSource final : public LibrarySource
{
public:
    StubSource(std::int32_t id, std::int32_t kind, std::shared_ptr<StubPlaylists> playlists)
        : m_id(id), m_kind(kind), m_playlists(std::move(playlists))
    {}
    QString name() override { return QStringLiteral("Stub"); }
    std::int32_t sourceId() override { return m_id; }
    std::int32_t kind() override { return m_kind; }
    std::shared_ptr<LibraryPlaylistCollection> playlists() override { return m_playlists; }

private:
    std::int32_t m_id;
    std::int32_t m_kind;
    std::shared_ptr<StubPlaylists> m_playlists;
};

class StubLibraryClient final : public LibraryClient
{
public:
    explicit StubLibraryClient(SourcePtr source) : m_source(std::move(source)) {}
    SourcePtr librarySource() override { return m_source; }
    PlaylistPtr libraryPlaylist() override { return nullptr; }
    void quit() override {}
    std::vector<std::int32_t> fileTracksAt(const QString &) override { return {}; }
    void setQuittingHandler(std::function<void()>) override {}

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
    StubLibraryClient app(std::make_shared<StubSource>(0, 1, twins()));
    SourcePtr source;
    EXPECT_FALSE(fetchLibrarySource(&app, source));
    ASSERT_TRUE(source);
    EXPECT_FALSE(fetchLibrarySource(&app, source));

    StubLibraryClient usable(std::make_shared<StubSource>(5, 1, twins()));
    EXPECT_TRUE(fetchLibrarySource(&usable, source));
    EXPECT_EQ(source->sourceId(), 5);
}

TEST(Lookups, FailuresLeaveTheSourceAsItWas)
{
    const SourcePtr before = std::make_shared<StubSource>(9, 1, twins());
    SourcePtr source = before;
    EXPECT_FALSE(fetchLibrarySource(nullptr, source));
    EXPECT_EQ(source, before);

    StubLibraryClient noSource(nullptr);
    EXPECT_FALSE(fetchLibrarySource(&noSource, source));
    EXPECT_EQ(source, before);

    auto plan = std::make_shared<FaultPlan>();
    plan->failCall(QStringLiteral("sourceId"));
    FaultyLibraryClient failing(std::make_shared<InProcessLibraryClient>(), plan);
    EXPECT_FALSE(fetchLibrarySource(&failing, source));
    EXPECT_EQ(source, before);
}

TEST(Lookups, TheFirstOfTwinsWinsAndTheWalkStopsThere)
{
    auto playlists = twins();
    const SourcePtr source = std::make_shared<StubSource>(1, 1, playlists);
    const PlaylistPtr found = findPlaylist(source, 100000);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name(), QStringLiteral("ROCK"));
    EXPECT_EQ(playlists->visits, 2);
}

TEST(Lookups, EmptyReferencesRaiseObjectNotSet)
{
    const auto number = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const ClientError &e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number([] { playlistsOf(nullptr); }), kErrObjectNotSet);
    EXPECT_EQ(number([] { findPlaylist(nullptr, 1); }), kErrObjectNotSet);
    EXPECT_EQ(number([] { findTrack(nullptr, 1); }), kErrObjectNotSet);
}

} // namespace
} // namespace tidyfox::libraryclient::test
