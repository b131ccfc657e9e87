// SPDX-License-Identifier: GPL-3.0-or-later
// Dead-track deletion on small hand-made libraries.

#include "cleaning/DeadTrackDeletion.h"

#include "FakeFileSystem.h"
#include "FakeLibrary.h"
#include "RecordingHost.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

namespace tidyfox::cleaning::test {
namespace {

QStringList successEnd(int count)
{
    return {QStringLiteral("hideBusy"),
            QStringLiteral("showAlert(%1 Dead track(s) have been deleted|64|Tidyfox)").arg(count),
            QStringLiteral("refreshLibraryList")};
}

QStringList failureEnd(int count)
{
    return {QStringLiteral("showAlert(Can not delete all tracks.\r%1 Dead track(s) have been deleted|64|Tidyfox)")
                .arg(count),
            QStringLiteral("hideBusy")};
}

FakeTrackData fileTrack(const QString &location)
{
    FakeTrackData track;
    track.name = location;
    track.location = location;
    return track;
}

FakeTrackData streamTrack()
{
    FakeTrackData track;
    track.name = QStringLiteral("radio");
    track.stream = true;
    return track;
}

class DeadTrackDeletionTest : public ::testing::Test
{
protected:
    void Run() { deleteDeadTracks(host, library->app().get(), library->source().get(), fs, nullptr); }

    std::shared_ptr<FakeLibrary> library = FakeLibrary::create();
    FakeFileSystem fs;
    RecordingHost host;
};

TEST_F(DeadTrackDeletionTest, WithoutALibrarySourceNothingHappens)
{
    deleteDeadTracks(host, nullptr, nullptr, fs, nullptr);
    EXPECT_EQ(host.calls, QStringList({QStringLiteral("showAlert(0 Track have been deleted.|64|Tidyfox)"),
                                       QStringLiteral("hideBusy")}));
}

TEST_F(DeadTrackDeletionTest, ALibraryWithoutDeadTracksReportsZeroAndReloads)
{
    library->addTrack(fileTrack(QStringLiteral("/m/here.mp3")));
    fs.addFile(QStringLiteral("/m/here.mp3"), 1);
    Run();
    EXPECT_TRUE(library->deletions().empty());
    EXPECT_EQ(host.calls, successEnd(0));
}

TEST_F(DeadTrackDeletionTest, EveryDeadTrackGoesStreamsStayAndEachFolderIsListedOnce)
{
    const auto lost = library->addTrack(fileTrack(QString()));
    library->addTrack(fileTrack(QStringLiteral("/m/here.mp3")));
    const auto otherCase = library->addTrack(fileTrack(QStringLiteral("/m/HERE.mp3")));
    const auto gone = library->addTrack(fileTrack(QStringLiteral("/m/gone.mp3")));
    const auto radio = library->addTrack(streamTrack());
    const auto offline = library->addTrack(fileTrack(QStringLiteral("/media/usb/song.mp3")));
    library->addPlaylist(QStringLiteral("Mix"), {gone, radio});
    fs.addFile(QStringLiteral("/m/here.mp3"), 1);
    Run();
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>({lost, otherCase, gone, offline}));
    EXPECT_FALSE(library->isDeleted(radio));
    // The listing of /m vouches for here.mp3 and against gone.mp3 (no entry
    // of /m has any spelling of it), that of /media/usb (not there) for
    // song.mp3; only the empty location and HERE.mp3 (which a folder
    // ignoring case could hold) are asked about.
    EXPECT_EQ(fs.listings, 2);
    EXPECT_EQ(fs.probes, 2);
    EXPECT_EQ(host.yields, 0);
    EXPECT_TRUE(fs.trashed.isEmpty());
    EXPECT_EQ(host.calls, successEnd(4));
}

TEST_F(DeadTrackDeletionTest, TracksOnADisconnectedDriveAreSparedUnlessPicked)
{
    const auto gone = library->addTrack(fileTrack(QStringLiteral("/tmp/tidyfox-gone.mp3")));
    const auto usb = library->addTrack(fileTrack(QStringLiteral("/media/usb/song.mp3")));
    library->addTrack(fileTrack(QStringLiteral("/Volumes/Mac/Music/song.mp3")));
    const system::Volumes volumes({QStringLiteral("/"), QStringLiteral("/tmp")});
    deleteDeadTracks(host, library->app().get(), library->source().get(), fs, &volumes);
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{gone});
    EXPECT_EQ(host.calls, successEnd(1));
    EXPECT_EQ(host.details, QStringList{QStringLiteral("Kept 2 tracks whose files are on a drive that is not "
                                                       "connected now: connect it and delete again, or pick them "
                                                       "in Review.")});
    // Picked in the review, a track on such a drive goes.
    host.calls.clear();
    host.details.clear();
    deleteReviewedDeadTracks(host, library->app().get(), library->source().get(), fs, {usb});
    EXPECT_EQ(library->deletions(), (std::vector<std::int32_t>{gone, usb}));
    EXPECT_EQ(host.calls, successEnd(1));
    EXPECT_TRUE(host.details.isEmpty());
}

TEST_F(DeadTrackDeletionTest, OnlyLibraryPlaylistsAreWalked)
{
    library->addTrack(fileTrack(QStringLiteral("/m/here.mp3")));
    fs.addFile(QStringLiteral("/m/here.mp3"), 1);
    const auto dead = library->addTrack(fileTrack(QStringLiteral("/m/gone.mp3")));
    library->addPlaylist(QStringLiteral("Mix"), {dead, dead});
    Run();
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{dead});
    EXPECT_EQ(fs.listings, 1);
    EXPECT_EQ(fs.probes, 0);
}

TEST_F(DeadTrackDeletionTest, ARefusedRemovalEndsTheRunUncounted)
{
    const auto first = library->addTrack(fileTrack(QStringLiteral("/m/a.mp3")));
    FakeTrackData stuck = fileTrack(QStringLiteral("/m/b.mp3"));
    stuck.refuseDelete = true;
    library->addTrack(stuck);
    library->addTrack(fileTrack(QStringLiteral("/m/c.mp3")));
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.cleaning.warning=false"));
    Run();
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{first});
    EXPECT_EQ(host.calls, failureEnd(1));
}

TEST_F(DeadTrackDeletionTest, OneRunDeletesMoreThanA16BitCount)
{
    for (int i = 0; i < 32768; ++i)
        library->addTrack(fileTrack(QString()));
    Run();
    EXPECT_EQ(library->deletions().size(), 32768u);
    EXPECT_TRUE(library->presentIds().empty());
    EXPECT_EQ(host.calls, successEnd(32768));
}

} // namespace
} // namespace tidyfox::cleaning::test
