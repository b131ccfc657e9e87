// The fault decorator: the failure cases of the program are built with it, so
// it must fail exactly where and when it is told, and pass through otherwise.
#include "itunes/FaultyITunes.h"

#include "SampleLibrary.h"
#include "itunes/InProcessITunes.h"

#include <gtest/gtest.h>

namespace tidyfox::itunes::test {
namespace {

class FaultyITunesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sample = SampleLibrary::create(freshFolder() + QStringLiteral("/library.db"));
        inner = std::make_shared<InProcessITunes>(sample.path);
        faulty = std::make_shared<FaultyITunes>(inner, plan);
    }

    SampleLibrary sample;
    FaultPlanPtr plan = std::make_shared<FaultPlan>();
    std::shared_ptr<InProcessITunes> inner;
    std::shared_ptr<FaultyITunes> faulty;
};

std::int32_t failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const ComError &e) {
        return e.number();
    }
    return 0;
}

TEST_F(FaultyITunesTest, PassesThroughWithoutAPlan)
{
    const auto source = faulty->LibrarySource();
    EXPECT_EQ(source->Name(), QStringLiteral("Library"));
    const auto tracks = faulty->LibraryPlaylist()->Tracks();
    EXPECT_EQ(tracks->Count(), 5);
    EXPECT_EQ(tracks->FirstByTrackID(sample.beta().trackId)->Name(), QStringLiteral("Beta"));
    EXPECT_EQ(plan->calls(QStringLiteral("Count")), 1);
    EXPECT_EQ(plan->totalCalls(), 7);
}

TEST_F(FaultyITunesTest, FailsTheChosenOperationFromTheChosenCallOn)
{
    plan->failCall(QStringLiteral("Name"), 2, kErrObjectDeleted, 1);
    const auto tracks = faulty->LibraryPlaylist()->Tracks();
    const auto track = tracks->Item(0);
    EXPECT_EQ(failureOf([&] { track->Name(); }), 0);
    EXPECT_EQ(failureOf([&] { track->Name(); }), 0);
    EXPECT_EQ(failureOf([&] { track->Name(); }), kErrObjectDeleted);
    EXPECT_EQ(failureOf([&] { track->Name(); }), 0) << "only once";
    EXPECT_EQ(failureOf([&] { track->Artist(); }), 0);

    // Deep in the tree: a track's playlist is wrapped too.
    plan->failCall(QStringLiteral("Tracks"));
    EXPECT_EQ(failureOf([&] { track->Playlist()->Tracks(); }), kErrCallFailed);
    plan->failCall(QStringLiteral("Delete"), 0, kErrCallFailed);
    EXPECT_EQ(failureOf([&] { track->Delete(); }), kErrCallFailed);
    EXPECT_EQ(inner->LibraryPlaylist()->Tracks()->Count(), 5) << "the failed delete reached nothing";

    plan->clear();
    EXPECT_NO_THROW(track->Playlist()->Tracks());
}

TEST_F(FaultyITunesTest, FailsEveryCallAfterACount)
{
    plan->failEveryCallAfter(2);
    const auto source = faulty->LibrarySource();
    EXPECT_EQ(source->Kind(), 1);
    EXPECT_EQ(failureOf([&] { source->Playlists(); }), kErrCallFailed);
    EXPECT_EQ(failureOf([&] { faulty->LibraryPlaylist(); }), kErrCallFailed);
    // Items handed to a walk are wrapped: the walk itself counts and fails.
    plan->clear();
    int visited = 0;
    faulty->LibraryPlaylist()->Tracks()->ForEach([&](const TrackPtr &t) {
        plan->failCall(QStringLiteral("TrackID"));
        EXPECT_EQ(failureOf([&] { t->TrackID(); }), kErrCallFailed);
        return ++visited < 2;
    });
    EXPECT_EQ(visited, 2);
}

TEST_F(FaultyITunesTest, RefusesCreationAndRaisesQuittingOnDemand)
{
    int created = 0;
    const ITunesFactory factory = FaultyITunes::factory(
        [&] {
            ++created;
            return std::make_shared<InProcessITunes>(sample.path);
        },
        plan);
    plan->refuseCreation(2);
    EXPECT_THROW(factory(), ComError);
    EXPECT_THROW(factory(), ComError);
    EXPECT_EQ(created, 0);
    const ITunesPtr app = factory();
    EXPECT_EQ(created, 1);

    int quitting = 0;
    app->SetOnQuittingEvent([&] { ++quitting; });
    std::static_pointer_cast<FaultyITunes>(app)->raiseQuitting();
    EXPECT_EQ(quitting, 1);
    // The wrapped object's own event comes through as well.
    app->Quit();
    EXPECT_TRUE(waitFor([&] { return quitting == 2; }));
}

} // namespace
} // namespace tidyfox::itunes::test
