// SPDX-License-Identifier: GPL-3.0-or-later
// Duplicate removal on small hand-made libraries: the filter's rules, which
// copy goes, the three ends and what the window is asked to do.

#include "cleaning/DuplicateRemoval.h"

#include "FakeFileSystem.h"
#include "FakeLibrary.h"
#include "RecordingHost.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

namespace tidyfox::cleaning::test {
namespace {

const QString kGateAndButtons[] = {QStringLiteral("reopenCommandGate"), QStringLiteral("enableButtons")};

QStringList successEnd(int count)
{
    return {QStringLiteral("hideBusy"),
            QStringLiteral("showAlert(%1 Duplicate(s) have been deleted|64|Tidyfox)").arg(count),
            QStringLiteral("refreshLibraryList"), kGateAndButtons[0], kGateAndButtons[1]};
}

QStringList failureEnd(int count)
{
    return {QStringLiteral("showAlert(Can not delete all duplicates.\r%1 Duplicate track(s) have been deleted|64|"
                           "Tidyfox)")
                .arg(count),
            QStringLiteral("hideBusy"), kGateAndButtons[0], kGateAndButtons[1]};
}

const QStringList kRejectionEnd = {
    QStringLiteral("showAlert(You must check one filter item at least, Operation aborted.|48|Tidyfox)"),
    QStringLiteral("hideBusy"), kGateAndButtons[0], kGateAndButtons[1]};

// Filter texts by position: name, size, album, artist, bit rate, sample rate,
// file name, keep files.
const QString kByName = QStringLiteral("true,false,false,false,false,false,false,false");
const QString kByNameKeepFiles = QStringLiteral("true,false,false,false,false,false,false,true");
const QString kByFileName = QStringLiteral("false,false,false,false,false,false,true,false");

FakeTrackData song(const QString &name, const QString &location = {})
{
    FakeTrackData track;
    track.name = name;
    track.location = location;
    return track;
}

class DuplicateRemovalTest : public ::testing::Test
{
protected:
    void Run(const QString &filter) { removeDuplicates(host, library->app().get(), fs, filter); }

    std::shared_ptr<FakeLibrary> library = FakeLibrary::create();
    FakeFileSystem fs;
    RecordingHost host;
};

TEST_F(DuplicateRemovalTest, FilterWithoutAnExactTrueIsRejectedBeforeTheLibraryIsRead)
{
    for (const QString &filter : {QStringLiteral("false,false,false,false,false,false,false,true"),
                                  QStringLiteral("TRUE,false,false,false,false,false,false,false"),
                                  QStringLiteral(" true,True,,yes,false,false,false")}) {
        RecordingHost rejected;
        // No library at all: the rejection needs none.
        removeDuplicates(rejected, nullptr, fs, filter);
        EXPECT_EQ(rejected.calls, kRejectionEnd) << filter.toStdString();
    }
}

TEST_F(DuplicateRemovalTest, ShortFiltersAndAMissingLibraryEndInFailure)
{
    for (const QString &filter : {QString(), QStringLiteral("true,true,true,true,true,true")}) {
        RecordingHost failed;
        removeDuplicates(failed, library->app().get(), fs, filter);
        EXPECT_EQ(failed.calls, failureEnd(0));
    }
    removeDuplicates(host, nullptr, fs, kByName);
    EXPECT_EQ(host.calls, failureEnd(0));
}

TEST_F(DuplicateRemovalTest, CapitalTrueChecksAPropertyOnceAnotherItemMadeTheFilterValid)
{
    // Size (TRUE) and album (true) compared, files kept.
    auto track = [](const QString &album, std::int64_t size) {
        FakeTrackData t = song(QStringLiteral("any"), QStringLiteral("/m/") + album);
        t.album = album;
        t.size = size;
        return t;
    };
    const auto first = library->addTrack(track(QStringLiteral("A"), 10));
    library->addTrack(track(QStringLiteral("A"), 10 + (std::int64_t(1) << 32))); // 10 in its low 32 bits
    const auto copy = library->addTrack(track(QStringLiteral("A"), 10));
    library->addTrack(track(QStringLiteral("B"), 10));
    fs.addFile(QStringLiteral("/m/A"), 1);
    Run(QStringLiteral("false,TRUE,true,false,false,false,false,true"));
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{copy});
    EXPECT_FALSE(library->isDeleted(first));
    EXPECT_TRUE(fs.trashed.isEmpty());
    EXPECT_EQ(host.Ends(), successEnd(1));
}

TEST_F(DuplicateRemovalTest, SevenItemsSucceedWithoutCopiesAndFailAtTheFirstCopy)
{
    const QString seven = QStringLiteral("true,false,false,false,false,false,false");
    library->addTrack(song(QStringLiteral("a")));
    library->addTrack(song(QStringLiteral("b")));
    Run(seven);
    EXPECT_EQ(host.calls.mid(4), successEnd(0));

    library->addTrack(song(QStringLiteral("a")));
    RecordingHost second;
    removeDuplicates(second, library->app().get(), fs, seven);
    EXPECT_TRUE(library->deletions().empty());
    EXPECT_EQ(second.calls, QStringList({QStringLiteral("Yield"), QStringLiteral("Yield")}) + failureEnd(0));
}

TEST_F(DuplicateRemovalTest, TheLaterOfTwoGoesAndEveryStepYieldsTwice)
{
    const auto first = library->addTrack(song(QStringLiteral("Song"), QStringLiteral("/m/1.mp3")));
    library->addTrack(song(QStringLiteral("Other")));
    const auto later = library->addTrack(song(QStringLiteral("Song"), QStringLiteral("/m/2.mp3")));
    fs.addFile(QStringLiteral("/m/1.mp3"), 1);
    fs.addFile(QStringLiteral("/m/2.mp3"), 2);
    Run(kByName);
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{later});
    EXPECT_EQ(library->presentIds().front(), first);
    EXPECT_EQ(fs.trashed, QStringList{QStringLiteral("/m/2.mp3")});
    // Two steps: the removed third track is never reached.
    EXPECT_EQ(host.yields, 4);
    EXPECT_EQ(host.calls.mid(4), successEnd(1));
}

TEST_F(DuplicateRemovalTest, WithThreeEqualTracksTheFirstIsTakenByTheLast)
{
    std::vector<std::int32_t> ids;
    for (int position = 1; position <= 9; ++position) {
        const bool equal = position == 1 || position == 5 || position == 9;
        ids.push_back(
            library->addTrack(song(equal ? QStringLiteral("Same") : QStringLiteral("Song %1").arg(position))));
    }
    Run(kByName);
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>({ids[4], ids[0]}));
    EXPECT_FALSE(library->isDeleted(ids[8]));
    EXPECT_EQ(host.Ends(), successEnd(2));
}

TEST_F(DuplicateRemovalTest, NamesCompareWithLetterCaseFileNamesWithout)
{
    library->addTrack(song(QStringLiteral("Song"), QStringLiteral("/one/Track.MP3")));
    library->addTrack(song(QStringLiteral("song"), QStringLiteral("/two/track.mp3")));
    Run(kByName);
    EXPECT_TRUE(library->deletions().empty());

    RecordingHost byFile;
    removeDuplicates(byFile, library->app().get(), fs, kByFileName);
    EXPECT_EQ(library->deletions().size(), 1u);
    EXPECT_EQ(byFile.Ends(), successEnd(1));
}

TEST_F(DuplicateRemovalTest, LostFilesShareTheEmptyFileNameButStreamsShareNone)
{
    const auto lost1 = library->addTrack(song(QStringLiteral("a")));
    FakeTrackData radio = song(QStringLiteral("radio"));
    radio.stream = true;
    const auto stream1 = library->addTrack(radio);
    library->addTrack(radio);
    const auto lost2 = library->addTrack(song(QStringLiteral("b")));
    Run(kByFileName);
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{lost2});
    EXPECT_FALSE(library->isDeleted(lost1));
    EXPECT_FALSE(library->isDeleted(stream1));
    EXPECT_EQ(host.Ends(), successEnd(1));
}

TEST_F(DuplicateRemovalTest, AStreamCopyLosesOnlyItsEntry)
{
    FakeTrackData radio = song(QStringLiteral("radio"));
    radio.stream = true;
    library->addTrack(radio);
    const auto copy = library->addTrack(radio);
    Run(kByName);
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{copy});
    EXPECT_EQ(fs.probes, 0);
    EXPECT_EQ(host.Ends(), successEnd(1));
}

TEST_F(DuplicateRemovalTest, NameAndArtistBothHaveToMatch)
{
    FakeTrackData ann = song(QStringLiteral("Song"));
    ann.artist = QStringLiteral("Ann");
    FakeTrackData bob = ann;
    bob.artist = QStringLiteral("Bob");
    library->addTrack(ann);
    library->addTrack(bob);
    Run(QStringLiteral("true,false,false,true,false,false,false,false"));
    EXPECT_TRUE(library->deletions().empty());
    EXPECT_EQ(host.Ends(), successEnd(0));
}

TEST_F(DuplicateRemovalTest, KeepFilesLeavesFilesAndAMissingFileStillLosesItsEntry)
{
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/1.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/2.mp3")));
    library->addTrack(song(QStringLiteral("t"), QStringLiteral("/m/3.mp3")));
    library->addTrack(song(QStringLiteral("t"), QStringLiteral("/m/gone.mp3")));
    for (int i = 1; i <= 3; ++i)
        fs.addFile(QStringLiteral("/m/%1.mp3").arg(i), static_cast<std::uint64_t>(i));
    Run(kByNameKeepFiles);
    EXPECT_EQ(library->deletions().size(), 2u);
    EXPECT_TRUE(fs.trashed.isEmpty());

    auto again = FakeLibrary::create();
    again->addTrack(song(QStringLiteral("t"), QStringLiteral("/m/3.mp3")));
    again->addTrack(song(QStringLiteral("t"), QStringLiteral("/m/gone.mp3")));
    RecordingHost second;
    removeDuplicates(second, again->app().get(), fs, kByName);
    EXPECT_EQ(again->deletions().size(), 1u);
    EXPECT_TRUE(fs.trashed.isEmpty());
    EXPECT_EQ(second.Ends(), successEnd(1));
}

TEST_F(DuplicateRemovalTest, AFileThatAKeptTrackUsesStaysWhateverItsPath)
{
    // The same file through the same path, another spelling, a symlinked
    // folder and a hard link.
    fs.addFile(QStringLiteral("/m/a.mp3"), 1);
    fs.addFile(QStringLiteral("/alias/a.mp3"), 1);
    fs.addFile(QStringLiteral("/m/hard.mp3"), 1);
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/a.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/a.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/./a.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/alias/a.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/hard.mp3")));
    Run(kByName);
    EXPECT_EQ(library->presentIds().size(), 1u);
    EXPECT_TRUE(fs.trashed.isEmpty());
    EXPECT_EQ(host.Ends(), successEnd(4));
}

TEST_F(DuplicateRemovalTest, ATrashThatRefusesAFileKeepsItsEntryAndEndsTheRun)
{
    // The step on the first track takes the second; the step on the third
    // finds the first, whose file the trash refuses.
    const auto refused = library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/1.mp3")));
    const auto second = library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/2.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/3.mp3")));
    for (int i = 1; i <= 3; ++i)
        fs.addFile(QStringLiteral("/m/%1.mp3").arg(i), static_cast<std::uint64_t>(i));
    fs.refuseTrash(QStringLiteral("/m/1.mp3"));
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.cleaning.warning=false"));
    Run(kByName);
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(library->deletions(), std::vector<std::int32_t>{second});
    EXPECT_FALSE(library->isDeleted(refused));
    EXPECT_TRUE(fs.has(QStringLiteral("/m/1.mp3")));
    EXPECT_EQ(fs.trashed, QStringList{QStringLiteral("/m/2.mp3")});
    EXPECT_EQ(host.Ends(), failureEnd(1));
}

TEST_F(DuplicateRemovalTest, ARefusedRemovalIsNotCountedAndItsFileComesBack)
{
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/1.mp3")));
    FakeTrackData stuck = song(QStringLiteral("s"), QStringLiteral("/m/2.mp3"));
    stuck.refuseDelete = true;
    library->addTrack(stuck);
    fs.addFile(QStringLiteral("/m/1.mp3"), 1);
    fs.addFile(QStringLiteral("/m/2.mp3"), 2);
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.cleaning.warning=false"));
    Run(kByName);
    QLoggingCategory::setFilterRules(QString());
    EXPECT_TRUE(library->deletions().empty());
    EXPECT_EQ(fs.trashed, QStringList{QStringLiteral("/m/2.mp3")});
    EXPECT_EQ(fs.restored, QStringList{QStringLiteral("/m/2.mp3")});
    EXPECT_TRUE(fs.has(QStringLiteral("/m/2.mp3")));
    EXPECT_EQ(host.Ends(), failureEnd(0));
    // The reason goes under the alert, whose text stays as it is.
    EXPECT_EQ(host.details, QStringList{QStringLiteral("The library refused the removal")});
    // The walk hears of the refusal once its batch has gone: here, at its end.
    EXPECT_EQ(host.lastProgress, std::make_pair(2, 2));
}

TEST_F(DuplicateRemovalTest, ACopyAnotherProgramRemovedIsPassedOverWithItsFile)
{
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/1.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/2.mp3")));
    library->addTrack(song(QStringLiteral("s"), QStringLiteral("/m/3.mp3")));
    for (const char *path : {"/m/1.mp3", "/m/2.mp3", "/m/3.mp3"})
        fs.addFile(QLatin1String(path), qHash(QLatin1String(path)));
    const auto other = library->app();
    host.onYield = [&] {
        if (library->deletions().empty())
            other->libraryPlaylist()->tracks()->item(1)->deleteFromLibrary();
    };
    Run(kByName);
    // The second went by the other hand; the walk takes the third instead and
    // leaves the second's file alone.
    EXPECT_EQ(library->deletions().size(), 2u);
    EXPECT_EQ(fs.trashed, QStringList{QStringLiteral("/m/3.mp3")});
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("1 Duplicate(s) have been deleted")});
}

TEST_F(DuplicateRemovalTest, AnEmptyLibrarySucceedsWithNoCopies)
{
    Run(kByName);
    EXPECT_EQ(host.calls, successEnd(0));
}

TEST_F(DuplicateRemovalTest, OneRunRemovesMoreCopiesThanA16BitCount)
{
    constexpr int pairs = 32768;
    for (int i = 0; i < pairs; ++i) {
        library->addTrack(song(QString::number(i)));
        library->addTrack(song(QString::number(i)));
    }
    Run(kByNameKeepFiles);
    EXPECT_EQ(library->deletions().size(), static_cast<size_t>(pairs));
    EXPECT_EQ(host.Ends(), successEnd(pairs));
}

} // namespace
} // namespace tidyfox::cleaning::test
