// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicate review on small hand-made libraries: which copy each keep
// rule keeps, ties, missing files, what a group tells of its tracks and the
// totals; then the removal of a reviewed set. (That library order marks what
// the removal removes is for the differential test.)

#include "cleaning/DuplicateReview.h"

#include "FakeFileSystem.h"
#include "FakeLibrary.h"
#include "RecordingHost.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/LooseTags.h"
#include "cleaning/ReviewedRemoval.h"

#include <gtest/gtest.h>

namespace tidyfox::cleaning::test {
namespace {

const QString kByName = QStringLiteral("true,false,false,false,false,false,false,false");

QDateTime day(int d)
{
    return QDateTime(QDate(2020, 1, d), QTime(12, 0), Qt::UTC);
}

FakeTrackData copy(const QString &location)
{
    FakeTrackData t;
    t.name = QStringLiteral("Song");
    t.artist = QStringLiteral("Ann");
    t.location = location;
    t.size = 1000;
    t.bitRate = 128;
    return t;
}

class DuplicateReviewTest : public ::testing::Test
{
protected:
    std::int32_t add(FakeTrackData t, bool fileThere = true)
    {
        if (fileThere && !t.location.isEmpty())
            fs.addFile(t.location, ++m_inode);
        return library->addTrack(std::move(t));
    }
    DuplicateReview Review(KeepRule rule, const QString &filter = kByName)
    {
        return reviewDuplicates(*library->app(), fs, DuplicateFilter(filter), rule);
    }
    std::int32_t Keeper(KeepRule rule)
    {
        const DuplicateReview review = Review(rule);
        EXPECT_EQ(review.groups.size(), 1u);
        if (review.groups.empty())
            return 0;
        const DuplicateGroup &group = review.groups.front();
        EXPECT_EQ(
            std::count_if(group.tracks.begin(), group.tracks.end(), [](const ReviewedTrack &t) { return !t.goes; }), 1);
        return group.tracks[static_cast<size_t>(group.keeper)].databaseId;
    }

    std::shared_ptr<FakeLibrary> library = FakeLibrary::create();
    FakeFileSystem fs;

private:
    std::uint64_t m_inode = 0;
};

TEST(KeepRuleNames, ShortNamesReadBackInAnyCase)
{
    EXPECT_EQ(keepRuleNames(),
              QStringList({QStringLiteral("first"), QStringLiteral("bitrate"), QStringLiteral("size"),
                           QStringLiteral("lossless"), QStringLiteral("played"), QStringLiteral("rated"),
                           QStringLiteral("added"), QStringLiteral("recent")}));
    for (const QString &name : keepRuleNames()) {
        ASSERT_TRUE(keepRuleNamed(name.toUpper()));
        EXPECT_EQ(keepRuleName(*keepRuleNamed(name)), name);
    }
    EXPECT_FALSE(keepRuleNamed(QStringLiteral("best")));
    EXPECT_FALSE(keepRuleNamed(QString()));
}

// Each rule keeps the track it ranks best; the others each rank best on one
// property, so every rule picks a different one.
TEST_F(DuplicateReviewTest, EachRuleKeepsTheTrackItRanksBest)
{
    add(copy(QStringLiteral("/m/first.mp3")));
    FakeTrackData t = copy(QStringLiteral("/m/fast.mp3"));
    t.bitRate = 320;
    const auto fast = add(t);
    t = copy(QStringLiteral("/m/big.mp3"));
    t.size = 9000;
    const auto big = add(t);
    t = copy(QStringLiteral("/m/song.flac"));
    t.kindAsString = QStringLiteral("FLAC audio file");
    t.bitRate = 256; // below fast: lossless wins before bit rate
    const auto lossless = add(t);
    t = copy(QStringLiteral("/m/played.mp3"));
    t.playCount = 40;
    t.playDate = day(2);
    const auto played = add(t);
    t = copy(QStringLiteral("/m/rated.mp3"));
    t.rating = 100;
    const auto rated = add(t);
    t = copy(QStringLiteral("/m/old.mp3"));
    t.dateAdded = day(1);
    const auto old = add(t);
    t = copy(QStringLiteral("/m/recent.mp3"));
    t.playDate = day(20);
    t.dateAdded = day(3);
    const auto recent = add(t);

    EXPECT_EQ(Keeper(KeepRule::HighestBitRate), fast);
    EXPECT_EQ(Keeper(KeepRule::LargestFile), big);
    EXPECT_EQ(Keeper(KeepRule::LosslessFirst), lossless);
    EXPECT_EQ(Keeper(KeepRule::MostPlayed), played);
    EXPECT_EQ(Keeper(KeepRule::HighestRated), rated);
    EXPECT_EQ(Keeper(KeepRule::EarliestAdded), old);
    EXPECT_EQ(Keeper(KeepRule::MostRecentlyPlayed), recent);
    // Eight equal tracks: the walk ends with the last.
    EXPECT_EQ(Keeper(KeepRule::LibraryOrder), recent);
}

TEST_F(DuplicateReviewTest, TiesGoToTheFirstInLibraryOrderAndAMissingFileNeverStays)
{
    // Best on every property, but without a file on the disk.
    FakeTrackData best = copy(QStringLiteral("/m/lost.flac"));
    best.kindAsString = QStringLiteral("FLAC audio file");
    best.bitRate = 900;
    best.size = 9000;
    best.playCount = 50;
    best.rating = 100;
    best.dateAdded = day(1);
    best.playDate = day(30);
    add(best, false);
    best.stream = true;
    add(best, false);
    const auto tie = add(copy(QStringLiteral("/m/a.mp3")));
    add(copy(QStringLiteral("/m/b.mp3")));
    for (const QString &name : keepRuleNames().mid(1))
        EXPECT_EQ(Keeper(*keepRuleNamed(name)), tie) << name.toStdString();

    // Among copies that all lack their file the rule still ranks them.
    library = FakeLibrary::create();
    add(copy(QStringLiteral("/m/x.mp3")), false);
    FakeTrackData fast = copy(QStringLiteral("/m/y.mp3"));
    fast.bitRate = 320;
    const auto kept = add(fast, false);
    add(fast, false);
    EXPECT_EQ(Keeper(KeepRule::HighestBitRate), kept);
}

TEST_F(DuplicateReviewTest, GroupsTellTheirTracksAndTheTotalsCountEachFileOnce)
{
    FakeTrackData t = copy(QStringLiteral("/m/a.mp3"));
    t.album = QStringLiteral("Album");
    t.sampleRate = 44100;
    t.dateAdded = day(5);
    t.playCount = 3;
    t.rating = 60;
    const auto keeper = add(t);
    FakeTrackData other;
    other.name = QStringLiteral("Other");
    other.location = QStringLiteral("/m/other.mp3");
    add(other);
    t.size = 2000;
    t.location = QStringLiteral("/m/b.mp3");
    add(t);
    // The same file as the keeper's: it stays on the disk.
    t.size = 4000;
    t.location = QStringLiteral("/m/./a.mp3");
    library->addTrack(t);
    // Two entries of one file that goes.
    t.size = 8000;
    t.location = QStringLiteral("/m/c.mp3");
    add(t);
    library->addTrack(t);

    const DuplicateReview review = Review(KeepRule::EarliestAdded);
    ASSERT_EQ(review.groups.size(), 1u);
    const DuplicateGroup &group = review.groups.front();
    ASSERT_EQ(group.tracks.size(), 5u);
    const ReviewedTrack &kept = group.tracks[static_cast<size_t>(group.keeper)];
    EXPECT_EQ(kept.databaseId, keeper);
    EXPECT_EQ(kept.name, QStringLiteral("Song"));
    EXPECT_EQ(kept.artist, QStringLiteral("Ann"));
    EXPECT_EQ(kept.album, QStringLiteral("Album"));
    EXPECT_EQ(kept.time, QStringLiteral("3:07"));
    EXPECT_EQ(kept.kind, QStringLiteral("MPEG audio file"));
    EXPECT_EQ(kept.sampleRate, 44100);
    EXPECT_EQ(kept.dateAdded, day(5));
    EXPECT_EQ(kept.playCount, 3);
    EXPECT_EQ(kept.rating, 60);
    EXPECT_EQ(kept.location, QStringLiteral("/m/a.mp3"));
    EXPECT_TRUE(kept.fileThere);
    EXPECT_EQ(review.copies, 4);
    EXPECT_EQ(review.trashBytes, 2000 + 8000);

    // Kept files: nothing goes to the trash.
    EXPECT_EQ(
        Review(KeepRule::EarliestAdded, QStringLiteral("true,false,false,false,false,false,false,true")).trashBytes, 0);
}

TEST_F(DuplicateReviewTest, FiltersTheRemovalRefusesAreRefused)
{
    add(copy(QStringLiteral("/m/a.mp3")));
    add(copy(QStringLiteral("/m/b.mp3")));
    EXPECT_THROW(Review(KeepRule::LibraryOrder, QStringLiteral("true,false,false")), RunFailure);
    EXPECT_THROW(Review(KeepRule::LibraryOrder, QStringLiteral("TRUE,false,false,false,false,false,false,false")),
                 RunFailure);
    EXPECT_TRUE(
        Review(KeepRule::LibraryOrder, QStringLiteral("false,false,false,true,false,true,false,false")).groups.size() ==
        1);
}

TEST(LooseTags, NamesOfOneRecordingFoldAndOthersStayApart)
{
    const struct
    {
        const char *a;
        const char *b;
        bool same;
    } kTable[] = {
        {"Harbour Lights", "harbour lights", true},
        {"Harbour Lights", "Harbour Lights (2011 Remaster)", true},
        {"Harbour Lights", "Harbour Lights - Remastered 2011", true},
        {"Harbour Lights", "Harbour Lights [Deluxe Edition]", true},
        {"Harbour Lights", "Harbour Lights (Bonus Track)", true},
        {"Harbour Lights", "Harbour Lights (Live)", false},
        {"Harbour Lights", "Harbour Lights (Live 2011 Remaster)", false},
        {"Harbour Lights", "Harbour Lights (Acoustic)", false},
        {"Harbour Lights", "Harbour Lights - Radio Edit", false},
        {"Harbour Lights", "Harbour Lights (Club Remix)", false},
        {"Harbour Lights", "Harbour Lights (Instrumental)", false},
        {"Harbour Lights", "Harbour Lights (Demo)", false},
        {"Paper Boats feat. Mira", "Paper Boats ft. Mira", true},
        {"Paper Boats feat. Mira", "Paper Boats Featuring Mira", true},
        {"Paper Boats (feat. Mira)", "Paper Boats feat Mira", true},
        {"Beyoncé", "Beyonce", true},
        {"Sigur Rós", "SIGUR ROS", true},
        {"AC/DC", "AC DC", true},
        {"Salt & Pepper", "Salt and Pepper", true},
        {"Don't Stop", "Dont Stop", false},
        {"Mr. Blue Sky", "Mr Blue Sky", true},
        {"Low  Tide...", "low tide", true},
        {"Harbour Lights", "Harbour Light", false},
        {"", "", true},
    };
    for (const auto &row : kTable) {
        EXPECT_EQ(looseTag(QString::fromUtf8(row.a)) == looseTag(QString::fromUtf8(row.b)), row.same)
            << row.a << " / " << row.b;
    }
    EXPECT_EQ(secondsOfTime(QStringLiteral("3:07")), 187);
    EXPECT_EQ(secondsOfTime(QStringLiteral("1:02:03")), 3723);
    EXPECT_EQ(secondsOfTime(QString()), 0);
}

TEST_F(DuplicateReviewTest, LooseAndSoundGroupsJoinWhatTheirRulesConnect)
{
    const QString kLoose = QStringLiteral("false,false,false,true,false,false,false,false,loose");
    auto tagged = [&](const char *name, const char *artist, const char *time, const char *file) {
        FakeTrackData t = copy(QString::fromUtf8(file));
        t.name = QString::fromUtf8(name);
        t.artist = QString::fromUtf8(artist);
        t.time = QString::fromUtf8(time);
        if (t.location.endsWith(QLatin1String(".flac")))
            t.kindAsString = QStringLiteral("FLAC audio file");
        return add(t);
    };
    const auto a = tagged("Harbour Lights", "Paper Boats feat. Mira", "3:07", "/m/a.mp3");
    const auto b = tagged("harbour lights (2011 Remaster)", "Paper Boats ft. Mira", "3:09", "/m/b.flac");
    tagged("Harbour Lights (Live)", "Paper Boats feat. Mira", "3:08", "/m/live.mp3");
    tagged("Harbour Lights", "Paper Boats feat. Mira", "4:30", "/m/long.mp3"); // another recording
    // Loose with only the artist checked: names and artists loosely, times within 2 s.
    DuplicateReview review =
        Review(KeepRule::LibraryOrder, QStringLiteral("true,false,false,true,false,false,false,false,loose"));
    ASSERT_EQ(review.groups.size(), 1u);
    ASSERT_EQ(review.groups[0].tracks.size(), 2u);
    EXPECT_EQ(review.groups[0].tracks[1].databaseId, b);
    EXPECT_FALSE(review.groups[0].soundStrength);
    // The artist alone, loosely: all four by one artist, the 4:30 one apart by time.
    EXPECT_EQ(Review(KeepRule::LibraryOrder, kLoose).groups.at(0).tracks.size(), 3u);
    // The exact filter is untouched by the new item: only the equal tags.
    review = Review(KeepRule::LibraryOrder, QStringLiteral("true,false,false,true,false,false,false,false"));
    ASSERT_EQ(review.groups.size(), 1u);
    EXPECT_EQ(review.groups[0].tracks[1].location, QStringLiteral("/m/long.mp3"));

    // By sound: connected through the matches (a-b-c chain), lossless kept;
    // with the artist too, only tracks equal on it connect.
    const auto c = tagged("Other Name", "Someone Else", "3:07", "/m/c.ogg");
    library->soundMatches = {{a, b, 0.97f}, {b, c, 0.95f}};
    review = Review(KeepRule::LosslessFirst, QStringLiteral("false,false,false,false,false,false,false,false,sound"));
    ASSERT_EQ(review.groups.size(), 1u);
    EXPECT_EQ(review.groups[0].tracks.size(), 3u);
    EXPECT_EQ(review.groups[0].tracks[size_t(review.groups[0].keeper)].databaseId, b);
    EXPECT_FLOAT_EQ(review.groups[0].soundStrength.value_or(0), 0.95f);
    review = Review(KeepRule::LosslessFirst, QStringLiteral("false,false,false,true,false,false,false,false,sound"));
    ASSERT_EQ(review.groups.size(), 0u); // a and b differ in the artist exactly
    review =
        Review(KeepRule::LosslessFirst, QStringLiteral("false,false,false,true,false,false,false,false,sound loose"));
    ASSERT_EQ(review.groups.size(), 1u);
    EXPECT_EQ(review.groups[0].tracks.size(), 2u);
}

// What a person chose after the review: every copy marked to go, with the
// track that stays in its group.
ReviewedRemoval chosen(const DuplicateReview &review, bool keepFiles, bool merge)
{
    ReviewedRemoval removal{{}, keepFiles, merge, {}};
    for (const DuplicateGroup &group : review.groups) {
        for (const ReviewedTrack &t : group.tracks) {
            if (t.goes)
                removal.copies.push_back(
                    {t.databaseId, group.tracks[static_cast<size_t>(group.keeper)].databaseId, t.stamp});
        }
    }
    return removal;
}

TEST_F(DuplicateReviewTest, AReviewedSetGoesWithItsFilesAndHistory)
{
    FakeTrackData t = copy(QStringLiteral("/m/a.mp3"));
    t.playCount = 2;
    t.rating = 20;
    const auto a = add(t);
    t.location = QStringLiteral("/m/b.mp3");
    t.playCount = 9;
    t.playDate = day(4);
    const auto kept = add(t);
    t.location = QStringLiteral("/m/./b.mp3"); // the keeper's file: it stays
    t.playCount = 1;
    t.rating = 100;
    t.dateAdded = day(1);
    const auto c = add(t);

    RecordingHost host;
    removeReviewed(host, library->app().get(), fs, chosen(Review(KeepRule::MostPlayed), false, true));
    EXPECT_EQ(library->deletions(), (std::vector<std::int32_t>{a, c}));
    EXPECT_EQ(fs.trashed, QStringList{QStringLiteral("/m/a.mp3")});
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("2 Duplicate(s) have been deleted")});
    EXPECT_EQ(host.yields, 4);
    const FakeTrackData &keeper = library->data(1);
    ASSERT_EQ(keeper.databaseId, kept);
    EXPECT_EQ(keeper.playCount, 12);
    EXPECT_EQ(keeper.rating, 100);
    EXPECT_EQ(keeper.playDate, day(4));
    EXPECT_EQ(keeper.dateAdded, day(1));
}

TEST_F(DuplicateReviewTest, WhatChangedSinceTheReviewIsPassedOverAndARefusedEntryKeepsItsFile)
{
    const auto keeper = add(copy(QStringLiteral("/m/keeper.mp3")));
    const auto goneMeanwhile = add(copy(QStringLiteral("/m/gone.mp3")));
    const auto refuses = add(copy(QStringLiteral("/m/refuses.mp3")));
    const auto orphanKeeper = add(copy(QStringLiteral("/m/orphan-keeper.mp3")));
    const auto orphan = add(copy(QStringLiteral("/m/orphan.mp3")));
    library->data(2).refuseDelete = true;
    ReviewedRemoval removal{
        {{goneMeanwhile, keeper, {}}, {orphan, orphanKeeper, {}}, {keeper, orphanKeeper, {}}}, false, false, {}};

    // Another program removes a copy and a keeper after the review.
    const auto other = library->app();
    for (const std::int32_t id : {goneMeanwhile, orphanKeeper}) {
        other->libraryPlaylist()->tracks()->forEach([&](const libraryclient::TrackPtr &track) {
            if (track->databaseId() == id)
                track->deleteFromLibrary();
            return true;
        });
    }
    RecordingHost host;
    removeReviewed(host, library->app().get(), fs, removal);
    EXPECT_EQ(library->presentIds(), (std::vector<std::int32_t>{keeper, refuses, orphan}));
    EXPECT_TRUE(fs.trashed.isEmpty()) << "a keeper never goes, nor does a copy whose keeper went";
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("0 Duplicate(s) have been deleted")});

    // The library refuses an entry: its file comes back and the run ends early.
    RecordingHost refused;
    removeReviewed(refused, library->app().get(), fs, ReviewedRemoval{{{refuses, keeper, {}}}, false, false, {}});
    EXPECT_EQ(fs.trashed, QStringList{QStringLiteral("/m/refuses.mp3")});
    EXPECT_EQ(fs.restored, QStringList{QStringLiteral("/m/refuses.mp3")});
    EXPECT_TRUE(fs.has(QStringLiteral("/m/refuses.mp3")));
    EXPECT_EQ(refused.alerts,
              QStringList{QStringLiteral("Can not delete all duplicates.\r0 Duplicate track(s) have been deleted")});
}

} // namespace
} // namespace tidyfox::cleaning::test
