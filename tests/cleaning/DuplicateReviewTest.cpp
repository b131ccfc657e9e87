// The duplicate review on small hand-made libraries: which copy each keep
// rule keeps, ties, missing files, what a group tells of its tracks and the
// totals. (That library order marks what the removal removes is the
// differential test's part.)

#include "cleaning/DuplicateReview.h"

#include "FakeFileSystem.h"
#include "FakeLibrary.h"
#include "cleaning/CleaningRun.h"

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
    std::int32_t Add(FakeTrackData t, bool fileThere = true)
    {
        if (fileThere && !t.location.isEmpty())
            fs.AddFile(t.location, ++m_inode);
        return library->AddTrack(std::move(t));
    }
    DuplicateReview Review(KeepRule rule, const QString &filter = kByName)
    {
        return reviewDuplicates(*library->App(), fs, DuplicateFilter(filter), rule);
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

    std::shared_ptr<FakeLibrary> library = FakeLibrary::Create();
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
    Add(copy(QStringLiteral("/m/first.mp3")));
    FakeTrackData t = copy(QStringLiteral("/m/fast.mp3"));
    t.bitRate = 320;
    const auto fast = Add(t);
    t = copy(QStringLiteral("/m/big.mp3"));
    t.size = 9000;
    const auto big = Add(t);
    t = copy(QStringLiteral("/m/song.flac"));
    t.kindAsString = QStringLiteral("FLAC audio file");
    t.bitRate = 256; // below fast: lossless wins before bit rate
    const auto lossless = Add(t);
    t = copy(QStringLiteral("/m/played.mp3"));
    t.playCount = 40;
    t.playDate = day(2);
    const auto played = Add(t);
    t = copy(QStringLiteral("/m/rated.mp3"));
    t.rating = 100;
    const auto rated = Add(t);
    t = copy(QStringLiteral("/m/old.mp3"));
    t.dateAdded = day(1);
    const auto old = Add(t);
    t = copy(QStringLiteral("/m/recent.mp3"));
    t.playDate = day(20);
    t.dateAdded = day(3);
    const auto recent = Add(t);

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
    Add(best, false);
    best.stream = true;
    Add(best, false);
    const auto tie = Add(copy(QStringLiteral("/m/a.mp3")));
    Add(copy(QStringLiteral("/m/b.mp3")));
    for (const QString &name : keepRuleNames().mid(1))
        EXPECT_EQ(Keeper(*keepRuleNamed(name)), tie) << name.toStdString();

    // Among copies that all lack their file the rule still ranks them.
    library = FakeLibrary::Create();
    Add(copy(QStringLiteral("/m/x.mp3")), false);
    FakeTrackData fast = copy(QStringLiteral("/m/y.mp3"));
    fast.bitRate = 320;
    const auto kept = Add(fast, false);
    Add(fast, false);
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
    const auto keeper = Add(t);
    FakeTrackData other;
    other.name = QStringLiteral("Other");
    other.location = QStringLiteral("/m/other.mp3");
    Add(other);
    t.size = 2000;
    t.location = QStringLiteral("/m/b.mp3");
    Add(t);
    // The same file as the keeper's: it stays on the disk.
    t.size = 4000;
    t.location = QStringLiteral("/m/./a.mp3");
    library->AddTrack(t);
    // Two entries of one file that goes.
    t.size = 8000;
    t.location = QStringLiteral("/m/c.mp3");
    Add(t);
    library->AddTrack(t);

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
    Add(copy(QStringLiteral("/m/a.mp3")));
    Add(copy(QStringLiteral("/m/b.mp3")));
    EXPECT_THROW(Review(KeepRule::LibraryOrder, QStringLiteral("true,false,false")), RunFailure);
    EXPECT_THROW(Review(KeepRule::LibraryOrder, QStringLiteral("TRUE,false,false,false,false,false,false,false")),
                 RunFailure);
    EXPECT_TRUE(
        Review(KeepRule::LibraryOrder, QStringLiteral("false,false,false,true,false,true,false,false")).groups.size() ==
        1);
}

} // namespace
} // namespace tidyfox::cleaning::test
