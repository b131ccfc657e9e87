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
    void Run() { deleteDeadTracks(host, library->App().get(), library->Source().get(), fs, nullptr); }

    std::shared_ptr<FakeLibrary> library = FakeLibrary::Create();
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
    library->AddTrack(fileTrack(QStringLiteral("/m/here.mp3")));
    fs.AddFile(QStringLiteral("/m/here.mp3"), 1);
    Run();
    EXPECT_TRUE(library->Deletions().empty());
    EXPECT_EQ(host.calls, successEnd(0));
}

TEST_F(DeadTrackDeletionTest, EveryDeadTrackGoesStreamsStayAndEachFolderIsListedOnce)
{
    const auto lost = library->AddTrack(fileTrack(QString()));
    library->AddTrack(fileTrack(QStringLiteral("/m/here.mp3")));
    const auto gone = library->AddTrack(fileTrack(QStringLiteral("/m/gone.mp3")));
    const auto radio = library->AddTrack(streamTrack());
    const auto offline = library->AddTrack(fileTrack(QStringLiteral("/media/usb/song.mp3")));
    library->AddPlaylist(QStringLiteral("Mix"), {gone, radio});
    fs.AddFile(QStringLiteral("/m/here.mp3"), 1);
    Run();
    EXPECT_EQ(library->Deletions(), std::vector<std::int32_t>({lost, gone, offline}));
    EXPECT_FALSE(library->IsDeleted(radio));
    // The listing of /m vouches for here.mp3 and that of /media/usb (not
    // there) for song.mp3; only the empty location and gone.mp3 (which a
    // folder ignoring case could still hold) are asked about.
    EXPECT_EQ(fs.listings, 2);
    EXPECT_EQ(fs.probes, 2);
    EXPECT_EQ(host.yields, 0);
    EXPECT_TRUE(fs.trashed.isEmpty());
    EXPECT_EQ(host.calls, successEnd(3));
}

TEST_F(DeadTrackDeletionTest, TracksOnADisconnectedDriveAreSparedUnlessPicked)
{
    const auto gone = library->AddTrack(fileTrack(QStringLiteral("/tmp/tidyfox-gone.mp3")));
    const auto usb = library->AddTrack(fileTrack(QStringLiteral("/media/usb/song.mp3")));
    library->AddTrack(fileTrack(QStringLiteral("/Volumes/Mac/Music/song.mp3")));
    const system::Volumes volumes({QStringLiteral("/"), QStringLiteral("/tmp")});
    deleteDeadTracks(host, library->App().get(), library->Source().get(), fs, &volumes);
    EXPECT_EQ(library->Deletions(), std::vector<std::int32_t>{gone});
    EXPECT_EQ(host.calls, successEnd(1));
    EXPECT_EQ(host.details, QStringList{QStringLiteral("Kept 2 tracks whose files are on a drive that is not "
                                                       "connected now: connect it and delete again, or pick them "
                                                       "in Review.")});
    // Picked in the review, a track on such a drive goes.
    host.calls.clear();
    host.details.clear();
    deleteReviewedDeadTracks(host, library->App().get(), library->Source().get(), fs, {usb});
    EXPECT_EQ(library->Deletions(), (std::vector<std::int32_t>{gone, usb}));
    EXPECT_EQ(host.calls, successEnd(1));
    EXPECT_TRUE(host.details.isEmpty());
}

TEST_F(DeadTrackDeletionTest, OnlyLibraryPlaylistsAreWalked)
{
    library->AddTrack(fileTrack(QStringLiteral("/m/here.mp3")));
    fs.AddFile(QStringLiteral("/m/here.mp3"), 1);
    const auto dead = library->AddTrack(fileTrack(QStringLiteral("/m/gone.mp3")));
    library->AddPlaylist(QStringLiteral("Mix"), {dead, dead});
    Run();
    EXPECT_EQ(library->Deletions(), std::vector<std::int32_t>{dead});
    EXPECT_EQ(fs.listings, 1);
    EXPECT_EQ(fs.probes, 1);
}

TEST_F(DeadTrackDeletionTest, ARefusedRemovalEndsTheRunUncounted)
{
    const auto first = library->AddTrack(fileTrack(QStringLiteral("/m/a.mp3")));
    FakeTrackData stuck = fileTrack(QStringLiteral("/m/b.mp3"));
    stuck.refuseDelete = true;
    library->AddTrack(stuck);
    library->AddTrack(fileTrack(QStringLiteral("/m/c.mp3")));
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.cleaning.warning=false"));
    Run();
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(library->Deletions(), std::vector<std::int32_t>{first});
    EXPECT_EQ(host.calls, failureEnd(1));
}

TEST_F(DeadTrackDeletionTest, OneRunDeletesMoreThanA16BitCount)
{
    for (int i = 0; i < 32768; ++i)
        library->AddTrack(fileTrack(QString()));
    Run();
    EXPECT_EQ(library->Deletions().size(), 32768u);
    EXPECT_TRUE(library->PresentIds().empty());
    EXPECT_EQ(host.calls, successEnd(32768));
}

} // namespace
} // namespace tidyfox::cleaning::test
