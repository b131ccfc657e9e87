// SPDX-License-Identifier: GPL-3.0-or-later
// One set of expectations of the automation interface, run against both
// implementations: the in-process adapter and the D-Bus client of the real
// service; what a library shows and how it changes when a track goes, also
// against the double that the cleaning tests run on.
#include "FakeLibrary.h"
#include "SampleLibrary.h"
#include "ServiceProcess.h"
#include "libraryclient/BusLibraryClient.h"
#include "libraryclient/LibraryLookups.h"
#include "localclient/InProcessLibraryClient.h"

#include <gtest/gtest.h>
#include <memory>

namespace tidyfox::libraryclient::test {
namespace {

struct InProcess
{
    LibraryClientPtr connect(const QString &path) { return std::make_shared<InProcessLibraryClient>(path); }
};

struct OverTheBus
{
    ServiceProcess service;
    LibraryClientPtr connect(const QString &path)
    {
        if (!service.running() && !service.start(path))
            throw std::runtime_error("the library service did not start");
        return std::make_shared<BusLibraryClient>(QStringLiteral(TIDYFOX_APP_DIR));
    }
};

std::vector<TrackPtr> walk(const PlaylistPtr &playlist);

// The cleaning tests' double, holding what the in-process client reads of
// the same file.
struct Fake
{
    std::shared_ptr<cleaning::test::FakeLibrary> library;
    LibraryClientPtr connect(const QString &path)
    {
        if (!library)
            library = copyOf(path);
        return library->app();
    }

    static std::shared_ptr<cleaning::test::FakeLibrary> copyOf(const QString &path)
    {
        InProcessLibraryClient real(path);
        auto copy = cleaning::test::FakeLibrary::create();
        const PlaylistPtr libraryPlaylist = real.libraryPlaylist();
        copy->setLibraryPlaylistId(libraryPlaylist->playlistId());
        for (const TrackPtr &t : walk(libraryPlaylist)) {
            const std::optional<QString> location = t->location();
            copy->addTrack({.databaseId = t->databaseId(),
                            .trackId = t->trackId(),
                            .name = t->name(),
                            .album = t->album(),
                            .artist = t->artist(),
                            .composer = t->composer(),
                            .genre = t->genre(),
                            .kindAsString = t->kindText(),
                            .time = t->time(),
                            .size = t->size(),
                            .bitRate = t->bitRate(),
                            .sampleRate = t->sampleRate(),
                            .dateAdded = t->dateAdded(),
                            .playCount = t->playCount(),
                            .skipCount = t->skipCount(),
                            .rating = t->rating(),
                            .playDate = t->playDate(),
                            .location = location.value_or(QString()),
                            .longDescription = t->longDescription(),
                            .stream = !location.has_value()});
        }
        real.librarySource()->playlists()->forEach([&](const PlaylistPtr &p) {
            if (p->playlistId() == libraryPlaylist->playlistId())
                return true;
            std::vector<std::int32_t> ids;
            for (const TrackPtr &t : walk(p))
                ids.push_back(t->databaseId());
            copy->addPlaylist(p->name(), ids, p->kind(), p->playlistId());
            return true;
        });
        return copy;
    }
};

std::vector<TrackPtr> walk(const PlaylistPtr &playlist)
{
    std::vector<TrackPtr> tracks;
    playlist->tracks()->forEach([&](const TrackPtr &t) {
        tracks.push_back(t);
        return true;
    });
    return tracks;
}

std::vector<std::int32_t> databaseIds(const std::vector<TrackPtr> &tracks)
{
    std::vector<std::int32_t> ids;
    for (const auto &t : tracks)
        ids.push_back(t->databaseId());
    return ids;
}

std::vector<PlaylistPtr> allPlaylists(const SourcePtr &source)
{
    std::vector<PlaylistPtr> playlists;
    source->playlists()->forEach([&](const PlaylistPtr &p) {
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
    } catch (const ClientError &e) {
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
        source = app->librarySource();
        playlists = allPlaylists(source);
        ASSERT_EQ(playlists.size(), 4u);
    }

    PlaylistPtr mix() const { return playlists[1]; }
    std::int32_t dbId(int index) const { return sample.tracks[static_cast<std::size_t>(index)].databaseId; }

    Impl impl;
    SampleLibrary sample;
    LibraryClientPtr app;
    SourcePtr source;
    std::vector<PlaylistPtr> playlists;
};

// Jobs, restores and quitting are the real libraries' alone.
using Implementations = ::testing::Types<InProcess, OverTheBus>;
template<typename Impl> class ReadingContract : public AutomationContract<Impl>
{
};
using ReadingImplementations = ::testing::Types<InProcess, OverTheBus, Fake>;
class ImplementationNames
{
public:
    template<typename T> static std::string GetName(int)
    {
        return std::is_same_v<T, InProcess> ? "InProcess" : std::is_same_v<T, OverTheBus> ? "OverTheBus" : "Fake";
    }
};
TYPED_TEST_SUITE(AutomationContract, Implementations, ImplementationNames);
TYPED_TEST_SUITE(ReadingContract, ReadingImplementations, ImplementationNames);

TYPED_TEST(ReadingContract, SourceAndPlaylistsWalkInLibraryOrder)
{
    EXPECT_NE(this->source->sourceId(), 0);
    EXPECT_EQ(this->source->kind(), 1);
    EXPECT_EQ(this->source->name(), QStringLiteral("Library"));

    const auto &expected = this->sample.playlists;
    ASSERT_EQ(this->source->playlists()->count(), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(this->playlists[i]->playlistId(), expected[i].playlistId);
        EXPECT_EQ(this->playlists[i]->name(), expected[i].name);
        EXPECT_EQ(this->playlists[i]->kind(), i == 0 ? 1 : 2);
        EXPECT_EQ(this->source->playlists()->item(static_cast<int>(i))->playlistId(), expected[i].playlistId);
    }
    EXPECT_EQ(this->app->libraryPlaylist()->playlistId(), expected[0].playlistId);
    expectError(kErrCallFailed, [&] { this->source->playlists()->item(4); });

    // The library playlist holds every track in the order added; a user
    // playlist its items in order, repeats included.
    std::vector<std::int32_t> all;
    for (const auto &t : this->sample.tracks)
        all.push_back(t.databaseId);
    EXPECT_EQ(databaseIds(walk(this->playlists[0])), all);
    EXPECT_EQ(databaseIds(walk(this->mix())),
              (std::vector<std::int32_t>{this->dbId(2), this->dbId(0), this->dbId(2), this->dbId(4)}));
    EXPECT_TRUE(walk(this->playlists[2]).empty());
    EXPECT_EQ(this->mix()->tracks()->count(), 4);
    EXPECT_EQ(this->mix()->tracks()->item(1)->databaseId(), this->dbId(0));
}

TYPED_TEST(ReadingContract, EveryPropertyOfATrackArrives)
{
    const auto &alpha = this->sample.alpha();
    for (const auto &playlist : {this->playlists[0], this->mix()}) {
        const TrackPtr track = playlist->tracks()->firstByTrackId(alpha.trackId);
        ASSERT_TRUE(track);
        EXPECT_EQ(track->trackId(), alpha.trackId);
        EXPECT_EQ(track->databaseId(), alpha.databaseId);
        EXPECT_EQ(track->name(), QStringLiteral("Alpha"));
        EXPECT_EQ(track->artist(), QStringLiteral("Ann Artist"));
        EXPECT_EQ(track->album(), QStringLiteral("First Album"));
        EXPECT_EQ(track->composer(), QStringLiteral("Cole Composer"));
        EXPECT_EQ(track->genre(), QStringLiteral("Jazz"));
        EXPECT_EQ(track->kindText(), QStringLiteral("MPEG audio file"));
        EXPECT_EQ(track->time(), QStringLiteral("3:07"));
        EXPECT_EQ(track->bitRate(), 192);
        EXPECT_EQ(track->sampleRate(), 44100);
        EXPECT_EQ(track->size(), 4500000);
        EXPECT_EQ(track->dateAdded(), QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC));
        EXPECT_EQ(track->playCount(), 7);
        EXPECT_EQ(track->skipCount(), 2);
        EXPECT_EQ(track->rating(), 80);
        EXPECT_EQ(track->playDate(), QDateTime(QDate(2023, 11, 5), QTime(21, 30, 15), Qt::UTC));
        EXPECT_EQ(track->location(), QStringLiteral("/music/Alpha.mp3"));
        EXPECT_EQ(track->longDescription(), QStringLiteral("A long description"));
        // The playlist it was reached through, not the library playlist.
        EXPECT_EQ(track->playlist()->playlistId(), playlist->playlistId());
    }
    const auto unicode = walk(this->playlists[0]).back();
    EXPECT_EQ(unicode->name(), QStringLiteral("Délta ünï 日本"));
    EXPECT_EQ(unicode->artist(), QStringLiteral("Ωmega"));
    EXPECT_EQ(unicode->composer(), QString());
    // A track never played has no history to show.
    EXPECT_EQ(unicode->playCount(), 0);
    EXPECT_EQ(unicode->rating(), 0);
    EXPECT_FALSE(unicode->playDate().isValid());
}

TYPED_TEST(ReadingContract, AStreamHasNoLocation)
{
    const TrackPtr radio = walk(this->playlists[3]).at(0);
    EXPECT_EQ(radio->name(), QStringLiteral("Radio"));
    EXPECT_EQ(radio->kindText(), QStringLiteral("Internet audio stream"));
    EXPECT_EQ(radio->bitRate(), 128);
    EXPECT_FALSE(radio->location().has_value());
    // Reading it does not spoil the object.
    EXPECT_EQ(radio->databaseId(), this->sample.radio().databaseId);
}

TYPED_TEST(ReadingContract, DeletedTrackLeavesEveryPlaylistAndRefusesCalls)
{
    // Delete the track that Mix holds twice, reached through Mix.
    const TrackPtr beta = this->mix()->tracks()->item(0);
    ASSERT_EQ(beta->databaseId(), this->dbId(2));
    beta->deleteFromLibrary();

    expectError(kErrObjectDeleted, [&] { beta->name(); });
    expectError(kErrObjectDeleted, [&] { beta->databaseId(); });
    expectError(kErrObjectDeleted, [&] { beta->location(); });
    expectError(kErrObjectDeleted, [&] { beta->deleteFromLibrary(); });

    const auto gone = [&](const std::vector<TrackPtr> &tracks) {
        const auto ids = databaseIds(tracks);
        return std::find(ids.begin(), ids.end(), this->dbId(2)) == ids.end();
    };
    EXPECT_TRUE(gone(walk(this->playlists[0])));
    EXPECT_EQ(databaseIds(walk(this->mix())), (std::vector<std::int32_t>{this->dbId(0), this->dbId(4)}));
    EXPECT_EQ(this->mix()->tracks()->firstByTrackId(this->sample.beta().trackId), nullptr);

    // A new connection, which never saw the delete, does not find it either.
    auto again = this->impl.connect(this->sample.path);
    const auto library = allPlaylists(again->librarySource());
    EXPECT_TRUE(gone(walk(library[0])));
    EXPECT_EQ(walk(library[1]).size(), 2u);
}

TYPED_TEST(ReadingContract, WalksSkipTracksDeletedAfterTheFetch)
{
    const auto fetched = this->playlists[0]->tracks();
    ASSERT_EQ(fetched->count(), 5);
    const TrackPtr alphaBefore = fetched->item(0);

    // Deleted through another collection after the fetch.
    this->mix()->tracks()->firstByTrackId(this->sample.alpha().trackId)->deleteFromLibrary();

    std::vector<std::int32_t> seen;
    fetched->forEach([&](const TrackPtr &t) {
        seen.push_back(t->databaseId());
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::int32_t>{this->dbId(1), this->dbId(2), this->dbId(3), this->dbId(4)}));
    EXPECT_EQ(fetched->count(), 5);
    expectError(kErrObjectDeleted, [&] { alphaBefore->artist(); });
    expectError(kErrObjectDeleted, [&] { fetched->item(0)->name(); });
    EXPECT_EQ(fetched->firstByTrackId(this->sample.alpha().trackId), nullptr);

    // Stopping a walk early stops it.
    int visits = 0;
    fetched->forEach([&](const TrackPtr &) { return ++visits < 2; });
    EXPECT_EQ(visits, 2);
}

TYPED_TEST(ReadingContract, FirstByTrackIdAgreesWithTheWalk)
{
    for (const auto &playlist : this->playlists) {
        const auto tracks = walk(playlist);
        for (const auto &record : this->sample.tracks) {
            TrackPtr byWalk;
            for (const auto &t : tracks) {
                if (t->trackId() == record.trackId) {
                    byWalk = t;
                    break;
                }
            }
            // Both before and after the playlist's tracks have been fetched.
            const auto list = playlist->tracks();
            const TrackPtr direct = list->firstByTrackId(record.trackId);
            list->count();
            const TrackPtr local = list->firstByTrackId(record.trackId);
            ASSERT_EQ(direct == nullptr, byWalk == nullptr) << record.name.toStdString();
            ASSERT_EQ(local == nullptr, byWalk == nullptr) << record.name.toStdString();
            if (byWalk) {
                EXPECT_EQ(direct->databaseId(), byWalk->databaseId());
                EXPECT_EQ(local->databaseId(), byWalk->databaseId());
                EXPECT_EQ(direct->playlist()->playlistId(), playlist->playlistId());
            }
        }
    }
    EXPECT_EQ(this->playlists[0]->tracks()->firstByTrackId(123456789), nullptr);
}

TYPED_TEST(ReadingContract, LookupsFindIdsBeyondSixteenBits)
{
    ASSERT_GT(this->sample.beta().trackId, 32767);
    ASSERT_GT(this->sample.gamma().trackId, 65535);

    SourcePtr library;
    EXPECT_TRUE(fetchLibrarySource(this->app.get(), library));
    ASSERT_TRUE(library);
    const auto mixId = this->sample.playlists[1].playlistId;
    const PlaylistPtr mix = findPlaylist(library, mixId);
    ASSERT_TRUE(mix);
    EXPECT_EQ(mix->name(), QStringLiteral("Mix"));
    EXPECT_EQ(findPlaylist(library, -1), nullptr);

    const TrackPtr beta = findTrack(mix, this->sample.beta().trackId);
    ASSERT_TRUE(beta);
    EXPECT_EQ(beta->name(), QStringLiteral("Beta"));
    const TrackPtr gamma =
        findTrack(findPlaylist(library, this->sample.playlists[0].playlistId), this->sample.gamma().trackId);
    ASSERT_TRUE(gamma);
    EXPECT_EQ(gamma->name(), QStringLiteral("Gamma"));
    // The value a 16-bit narrowing of 70000 would give finds nothing.
    EXPECT_EQ(findTrack(mix, static_cast<std::int16_t>(this->sample.gamma().trackId)), nullptr);
}

TYPED_TEST(AutomationContract, AJobIsWrittenDownAndPutBackAndTheRestoreIsHeard)
{
    std::vector<std::int32_t> heard;
    this->app->setRestoredHandler([&](std::int32_t jobId) { heard.push_back(jobId); });
    const auto fetched = this->playlists[0]->tracks();
    ASSERT_EQ(fetched->count(), 5);
    const auto mixBefore = databaseIds(walk(this->mix()));

    const std::int32_t job = this->app->beginJob(QStringLiteral("duplicates"));
    this->app->deleteTrackInJob(job, this->dbId(2), {}, {});
    this->app->removeFromPlaylistInJob(job, this->mix()->playlistId(), {this->dbId(4)});
    this->app->deletePlaylistInJob(job, this->playlists[3]->playlistId());
    this->app->endJob(job);
    EXPECT_EQ(databaseIds(walk(this->mix())), (std::vector<std::int32_t>{this->dbId(0)}));
    EXPECT_EQ(allPlaylists(this->source).size(), 3u);
    ASSERT_EQ(this->app->listJobs().size(), 1u);
    EXPECT_EQ(this->app->listJobs()[0].tracks, 3);

    EXPECT_EQ(this->app->restoreJob(job).restored, 3);
    EXPECT_TRUE(waitFor([&] { return !heard.empty(); }));
    EXPECT_EQ(heard, std::vector<std::int32_t>{job});
    // What was fetched before offers the track that came back.
    std::vector<std::int32_t> seen;
    fetched->forEach([&](const TrackPtr &t) {
        seen.push_back(t->databaseId());
        return true;
    });
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(databaseIds(walk(this->mix())), mixBefore);
    EXPECT_EQ(allPlaylists(this->source).size(), 4u);
}

TYPED_TEST(AutomationContract, QuitRaisesTheQuittingEventAndEndsTheLibrary)
{
    int quitting = 0;
    this->app->setQuittingHandler([&] { ++quitting; });
    this->app->quit();
    EXPECT_TRUE(waitFor([&] { return quitting > 0; }));
    // Announced once, however it is heard.
    waitFor([] { return false; }, 200);
    EXPECT_EQ(quitting, 1);
    expectError(kErrCallFailed, [&] { this->app->librarySource(); });
}

} // namespace
} // namespace tidyfox::libraryclient::test
