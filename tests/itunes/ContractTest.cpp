// One set of expectations of the automation interface, run against both
// implementations: the in-process adapter and the D-Bus client of the real
// service.
#include "SampleLibrary.h"
#include "ServiceProcess.h"
#include "itunes/DBusITunes.h"
#include "itunes/InProcessITunes.h"
#include "itunes/Lookups.h"

#include <gtest/gtest.h>
#include <memory>

namespace tidyfox::itunes::test {
namespace {

struct InProcess
{
    ITunesPtr connect(const QString &path) { return std::make_shared<InProcessITunes>(path); }
};

struct OverTheBus
{
    ServiceProcess service;
    ITunesPtr connect(const QString &path)
    {
        if (!service.running() && !service.start(path))
            throw std::runtime_error("the library service did not start");
        return std::make_shared<DBusITunes>(QStringLiteral(TIDYFOX_APP_DIR));
    }
};

std::vector<TrackPtr> walk(const PlaylistPtr &playlist)
{
    std::vector<TrackPtr> tracks;
    playlist->Tracks()->ForEach([&](const TrackPtr &t) {
        tracks.push_back(t);
        return true;
    });
    return tracks;
}

std::vector<std::int32_t> databaseIds(const std::vector<TrackPtr> &tracks)
{
    std::vector<std::int32_t> ids;
    for (const auto &t : tracks)
        ids.push_back(t->TrackDatabaseID());
    return ids;
}

std::vector<PlaylistPtr> playlistsOf(const SourcePtr &source)
{
    std::vector<PlaylistPtr> playlists;
    source->Playlists()->ForEach([&](const PlaylistPtr &p) {
        playlists.push_back(p);
        return true;
    });
    return playlists;
}

void expectError(std::int32_t number, const std::function<void()> &call)
{
    try {
        call();
        ADD_FAILURE() << "no error, expected " << number;
    } catch (const ComError &e) {
        EXPECT_EQ(e.number(), number) << e.what();
    }
}

template<typename Impl> class AutomationContract : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sample = SampleLibrary::create(freshFolder() + QStringLiteral("/library.db"));
        app = impl.connect(sample.path);
        source = app->LibrarySource();
        playlists = playlistsOf(source);
        ASSERT_EQ(playlists.size(), 4u);
    }

    PlaylistPtr mix() const { return playlists[1]; }
    std::int32_t dbId(int index) const { return sample.tracks[static_cast<std::size_t>(index)].databaseId; }

    Impl impl;
    SampleLibrary sample;
    ITunesPtr app;
    SourcePtr source;
    std::vector<PlaylistPtr> playlists;
};

using Implementations = ::testing::Types<InProcess, OverTheBus>;
class ImplementationNames
{
public:
    template<typename T> static std::string GetName(int)
    {
        return std::is_same_v<T, InProcess> ? "InProcess" : "OverTheBus";
    }
};
TYPED_TEST_SUITE(AutomationContract, Implementations, ImplementationNames);

TYPED_TEST(AutomationContract, SourceAndPlaylistsWalkInLibraryOrder)
{
    EXPECT_NE(this->source->SourceID(), 0);
    EXPECT_EQ(this->source->Kind(), 1);
    EXPECT_EQ(this->source->Name(), QStringLiteral("Library"));

    const auto &expected = this->sample.playlists;
    ASSERT_EQ(this->source->Playlists()->Count(), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(this->playlists[i]->PlaylistID(), expected[i].playlistId);
        EXPECT_EQ(this->playlists[i]->Name(), expected[i].name);
        EXPECT_EQ(this->playlists[i]->Kind(), i == 0 ? 1 : 2);
        EXPECT_EQ(this->source->Playlists()->Item(static_cast<int>(i))->PlaylistID(), expected[i].playlistId);
    }
    EXPECT_EQ(this->app->LibraryPlaylist()->PlaylistID(), expected[0].playlistId);
    expectError(kErrCallFailed, [&] { this->source->Playlists()->Item(4); });

    // The library playlist holds every track in the order added; a user
    // playlist its items in order, repeats included.
    std::vector<std::int32_t> all;
    for (const auto &t : this->sample.tracks)
        all.push_back(t.databaseId);
    EXPECT_EQ(databaseIds(walk(this->playlists[0])), all);
    EXPECT_EQ(databaseIds(walk(this->mix())),
              (std::vector<std::int32_t>{this->dbId(2), this->dbId(0), this->dbId(2), this->dbId(4)}));
    EXPECT_TRUE(walk(this->playlists[2]).empty());
    EXPECT_EQ(this->mix()->Tracks()->Count(), 4);
    EXPECT_EQ(this->mix()->Tracks()->Item(1)->TrackDatabaseID(), this->dbId(0));
}

TYPED_TEST(AutomationContract, EveryPropertyOfATrackArrives)
{
    const auto &alpha = this->sample.alpha();
    for (const auto &playlist : {this->playlists[0], this->mix()}) {
        const TrackPtr track = playlist->Tracks()->FirstByTrackID(alpha.trackId);
        ASSERT_TRUE(track);
        EXPECT_EQ(track->TrackID(), alpha.trackId);
        EXPECT_EQ(track->TrackDatabaseID(), alpha.databaseId);
        EXPECT_EQ(track->Name(), QStringLiteral("Alpha"));
        EXPECT_EQ(track->Artist(), QStringLiteral("Ann Artist"));
        EXPECT_EQ(track->Album(), QStringLiteral("First Album"));
        EXPECT_EQ(track->Composer(), QStringLiteral("Cole Composer"));
        EXPECT_EQ(track->Genre(), QStringLiteral("Jazz"));
        EXPECT_EQ(track->KindAsString(), QStringLiteral("MPEG audio file"));
        EXPECT_EQ(track->Time(), QStringLiteral("3:07"));
        EXPECT_EQ(track->BitRate(), 192);
        EXPECT_EQ(track->SampleRate(), 44100);
        EXPECT_EQ(track->Size(), 4500000);
        EXPECT_EQ(track->DateAdded(), QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC));
        EXPECT_EQ(track->Location(), QStringLiteral("/music/Alpha.mp3"));
        EXPECT_EQ(track->LongDescription(), QStringLiteral("A long description"));
        // The playlist it was reached through, not the library playlist.
        EXPECT_EQ(track->Playlist()->PlaylistID(), playlist->PlaylistID());
    }
    const auto unicode = walk(this->playlists[0]).back();
    EXPECT_EQ(unicode->Name(), QStringLiteral("Délta ünï 日本"));
    EXPECT_EQ(unicode->Artist(), QStringLiteral("Ωmega"));
    EXPECT_EQ(unicode->Composer(), QString());
}

TYPED_TEST(AutomationContract, AStreamHasNoLocation)
{
    const TrackPtr radio = walk(this->playlists[3]).at(0);
    EXPECT_EQ(radio->Name(), QStringLiteral("Radio"));
    EXPECT_EQ(radio->KindAsString(), QStringLiteral("Internet audio stream"));
    EXPECT_EQ(radio->BitRate(), 128);
    expectError(kErrNoSuchProperty, [&] { radio->Location(); });
    // Reading it does not spoil the object.
    EXPECT_EQ(radio->TrackDatabaseID(), this->sample.radio().databaseId);
}

TYPED_TEST(AutomationContract, DeletedTrackLeavesEveryPlaylistAndRefusesCalls)
{
    // Delete the track that Mix holds twice, reached through Mix.
    const TrackPtr beta = this->mix()->Tracks()->Item(0);
    ASSERT_EQ(beta->TrackDatabaseID(), this->dbId(2));
    beta->Delete();

    expectError(kErrObjectDeleted, [&] { beta->Name(); });
    expectError(kErrObjectDeleted, [&] { beta->TrackDatabaseID(); });
    expectError(kErrObjectDeleted, [&] { beta->Location(); });
    expectError(kErrObjectDeleted, [&] { beta->Delete(); });

    const auto gone = [&](const std::vector<TrackPtr> &tracks) {
        const auto ids = databaseIds(tracks);
        return std::find(ids.begin(), ids.end(), this->dbId(2)) == ids.end();
    };
    EXPECT_TRUE(gone(walk(this->playlists[0])));
    EXPECT_EQ(databaseIds(walk(this->mix())), (std::vector<std::int32_t>{this->dbId(0), this->dbId(4)}));
    EXPECT_EQ(this->mix()->Tracks()->FirstByTrackID(this->sample.beta().trackId), nullptr);

    // A new connection, which never saw the delete, does not find it either.
    auto again = this->impl.connect(this->sample.path);
    const auto library = playlistsOf(again->LibrarySource());
    EXPECT_TRUE(gone(walk(library[0])));
    EXPECT_EQ(walk(library[1]).size(), 2u);
}

TYPED_TEST(AutomationContract, WalksSkipTracksDeletedAfterTheFetch)
{
    const auto fetched = this->playlists[0]->Tracks();
    ASSERT_EQ(fetched->Count(), 5);
    const TrackPtr alphaBefore = fetched->Item(0);

    // Deleted through another collection after the fetch.
    this->mix()->Tracks()->FirstByTrackID(this->sample.alpha().trackId)->Delete();

    std::vector<std::int32_t> seen;
    fetched->ForEach([&](const TrackPtr &t) {
        seen.push_back(t->TrackDatabaseID());
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::int32_t>{this->dbId(1), this->dbId(2), this->dbId(3), this->dbId(4)}));
    EXPECT_EQ(fetched->Count(), 5);
    expectError(kErrObjectDeleted, [&] { alphaBefore->Artist(); });
    expectError(kErrObjectDeleted, [&] { fetched->Item(0)->Name(); });
    EXPECT_EQ(fetched->FirstByTrackID(this->sample.alpha().trackId), nullptr);

    // Stopping a walk early stops it.
    int visits = 0;
    fetched->ForEach([&](const TrackPtr &) { return ++visits < 2; });
    EXPECT_EQ(visits, 2);
}

TYPED_TEST(AutomationContract, FirstByTrackIdAgreesWithTheWalk)
{
    for (const auto &playlist : this->playlists) {
        const auto tracks = walk(playlist);
        for (const auto &record : this->sample.tracks) {
            TrackPtr byWalk;
            for (const auto &t : tracks) {
                if (t->TrackID() == record.trackId) {
                    byWalk = t;
                    break;
                }
            }
            // Both before and after the playlist's tracks have been fetched.
            const auto list = playlist->Tracks();
            const TrackPtr direct = list->FirstByTrackID(record.trackId);
            list->Count();
            const TrackPtr local = list->FirstByTrackID(record.trackId);
            ASSERT_EQ(direct == nullptr, byWalk == nullptr) << record.name.toStdString();
            ASSERT_EQ(local == nullptr, byWalk == nullptr) << record.name.toStdString();
            if (byWalk) {
                EXPECT_EQ(direct->TrackDatabaseID(), byWalk->TrackDatabaseID());
                EXPECT_EQ(local->TrackDatabaseID(), byWalk->TrackDatabaseID());
                EXPECT_EQ(direct->Playlist()->PlaylistID(), playlist->PlaylistID());
            }
        }
    }
    EXPECT_EQ(this->playlists[0]->Tracks()->FirstByTrackID(123456789), nullptr);
}

TYPED_TEST(AutomationContract, LookupsFindIdsBeyondSixteenBits)
{
    ASSERT_GT(this->sample.beta().trackId, 32767);
    ASSERT_GT(this->sample.gamma().trackId, 65535);

    SourcePtr library;
    EXPECT_EQ(LoadSources(this->app.get(), library), 0);
    ASSERT_TRUE(library);
    const auto mixId = this->sample.playlists[1].playlistId;
    const PlaylistPtr mix = GetPlayListByID(library, mixId);
    ASSERT_TRUE(mix);
    EXPECT_EQ(mix->Name(), QStringLiteral("Mix"));
    EXPECT_EQ(GetPlayListByID(library, -1), nullptr);

    const TrackPtr beta = GetTrackByID(mix, this->sample.beta().trackId);
    ASSERT_TRUE(beta);
    EXPECT_EQ(beta->Name(), QStringLiteral("Beta"));
    const TrackPtr gamma =
        GetTrackByID(GetPlayListByID(library, this->sample.playlists[0].playlistId), this->sample.gamma().trackId);
    ASSERT_TRUE(gamma);
    EXPECT_EQ(gamma->Name(), QStringLiteral("Gamma"));
    // The value a 16-bit narrowing of 70000 would give finds nothing.
    EXPECT_EQ(GetTrackByID(mix, static_cast<std::int16_t>(this->sample.gamma().trackId)), nullptr);

    EXPECT_EQ(GetLibraryListByName(library, QStringLiteral("sTrEaMs"))->PlaylistID(),
              this->sample.playlists[3].playlistId);
    EXPECT_EQ(GetLibraryListByName(library, QStringLiteral("nothing")), nullptr);
}

TYPED_TEST(AutomationContract, QuitRaisesTheQuittingEventAndEndsTheLibrary)
{
    int quitting = 0;
    this->app->SetOnQuittingEvent([&] { ++quitting; });
    this->app->Quit();
    EXPECT_TRUE(waitFor([&] { return quitting > 0; }));
    // Announced once, however it is heard.
    waitFor([] { return false; }, 200);
    EXPECT_EQ(quitting, 1);
    expectError(kErrCallFailed, [&] { this->app->LibrarySource(); });
}

} // namespace
} // namespace tidyfox::itunes::test
