// SPDX-License-Identifier: GPL-3.0-or-later
// Both jobs with real files, the real trash (the test's own) and two
// libraries: the in-memory fake and the library core behind the in-process
// automation objects that the program's service uses.

#include "FakeLibrary.h"
#include "RecordingHost.h"
#include "cleaning/DeadTrackDeletion.h"
#include "cleaning/DeadTrackReview.h"
#include "cleaning/DuplicateRemoval.h"
#include "cleaning/DuplicateReview.h"
#include "cleaning/FolderProbe.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/ReviewedRemoval.h"
#include "localclient/InProcessLibraryClient.h"
#include "protocol/PendingMovesNote.h"
#include "service/LibraryCore.h"
#include "system/Trash.h"
#include "system/TrashFileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace tidyfox::cleaning::test {
namespace {

class TestLibrary
{
public:
    virtual ~TestLibrary() = default;
    virtual std::int32_t add(const FakeTrackData &track) = 0;
    virtual libraryclient::LibraryClient *app() = 0;
    virtual std::vector<std::int32_t> Present() = 0;
};

class FakeBackedLibrary : public TestLibrary
{
public:
    std::int32_t add(const FakeTrackData &track) override { return m_library->addTrack(track); }
    libraryclient::LibraryClient *app() override
    {
        m_app = m_library->app();
        return m_app.get();
    }
    std::vector<std::int32_t> Present() override { return m_library->presentIds(); }

private:
    std::shared_ptr<FakeLibrary> m_library = FakeLibrary::create();
    libraryclient::LibraryClientPtr m_app;
};

class CoreBackedLibrary : public TestLibrary
{
public:
    explicit CoreBackedLibrary(const QString &path) : m_core(library::LibraryCore::open(path)) {}
    std::int32_t add(const FakeTrackData &track) override
    {
        library::TrackRecord record;
        record.kind = track.stream ? library::TrackKind::Url : library::TrackKind::File;
        record.name = track.name;
        record.artist = track.artist;
        record.album = track.album;
        record.size = track.size;
        record.location = track.stream ? QStringLiteral("http://radio.example/live") : track.location;
        return m_core->addTrack(record).databaseId;
    }
    libraryclient::LibraryClient *app() override
    {
        m_app = std::make_unique<libraryclient::InProcessLibraryClient>(m_core);
        return m_app.get();
    }
    std::vector<std::int32_t> Present() override
    {
        std::vector<std::int32_t> ids;
        for (const auto &record : m_core->playlistTracks(m_core->libraryPlaylistId()))
            ids.push_back(record.databaseId);
        return ids;
    }

private:
    std::shared_ptr<library::LibraryCore> m_core;
    std::unique_ptr<libraryclient::InProcessLibraryClient> m_app;
};

// Every entry under a folder with what would show a change to it.
std::map<QString, QString> snapshot(const QString &root)
{
    std::map<QString, QString> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st
        {
        };
        ::lstat(QFile::encodeName(path).constData(), &st);
        entries[path.mid(root.size())] = QStringLiteral("%1 %2 %3 %4")
                                             .arg(st.st_ino)
                                             .arg(st.st_size)
                                             .arg(st.st_mode)
                                             .arg(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
    }
    return entries;
}

FakeTrackData track(const QString &name, const QString &location)
{
    FakeTrackData t;
    t.name = name;
    t.location = location;
    return t;
}

const QString kByName = QStringLiteral("true,false,false,false,false,false,false,false");
const QString kByNameKeepFiles = QStringLiteral("true,false,false,false,false,false,false,true");

class CleaningFilesTest : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qEnvironmentVariableIsSet("TIDYFOX_TEST_ROOT")) << "run through the test wrapper";
        ASSERT_TRUE(music.isValid() && store.isValid());
        trash = system::homeTrashPath();
        QDir(trash).removeRecursively();
        if (QLatin1String(GetParam()) == QLatin1String("core"))
            library = std::make_unique<CoreBackedLibrary>(store.filePath(QStringLiteral("library.db")));
        else
            library = std::make_unique<FakeBackedLibrary>();
        // A file of the folder that the library does not know.
        write(QStringLiteral("cover.jpg"));
    }

    QString file(const QString &name) const { return music.filePath(name); }
    // Starts as an MP3 with a tag does: only a file that looks like audio
    // may go to the trash.
    void write(const QString &name, const QByteArray &content = "ID3music")
    {
        QDir().mkpath(QFileInfo(file(name)).absolutePath());
        QFile out(file(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    QStringList trashed() const
    {
        return QDir(trash + QStringLiteral("/files")).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    void RemoveDuplicatesWith(const QString &filter, PendingRemovals *pending = nullptr)
    {
        removeDuplicates(host, library->app(), fs, filter, pending);
    }
    void Delete(std::int32_t databaseId)
    {
        library->app()->libraryPlaylist()->tracks()->forEach([&](const libraryclient::TrackPtr &t) {
            if (t->databaseId() == databaseId)
                t->deleteFromLibrary();
            return true;
        });
    }

    QTemporaryDir music{qEnvironmentVariable("TIDYFOX_TEST_ROOT") + QStringLiteral("/music-XXXXXX")};
    QTemporaryDir store{qEnvironmentVariable("TIDYFOX_TEST_ROOT") + QStringLiteral("/store-XXXXXX")};
    QString trash;
    std::unique_ptr<TestLibrary> library;
    system::TrashFileSystem fs;
    RecordingHost host;
};

TEST_P(CleaningFilesTest, RemovedCopiesFilesLandInTheTrashWithTheirInfo)
{
    std::vector<std::int32_t> ids;
    for (int i = 1; i <= 4; ++i) {
        write(QStringLiteral("song %1.mp3").arg(i), "ID3" + QByteArray::number(i));
        ids.push_back(library->add(track(QStringLiteral("Song"), file(QStringLiteral("song %1.mp3").arg(i)))));
    }
    ids.push_back(library->add(track(QStringLiteral("Other"), file(QStringLiteral("other.mp3")))));
    write(QStringLiteral("other.mp3"));
    const auto before = snapshot(music.path());

    RemoveDuplicatesWith(kByName);

    // The first step takes the second track, the third step the first, the
    // fourth the third; the last of the four stays.
    EXPECT_EQ(library->Present(), std::vector<std::int32_t>({ids[3], ids[4]}));
    EXPECT_EQ(trashed(),
              QStringList({QStringLiteral("song 1.mp3"), QStringLiteral("song 2.mp3"), QStringLiteral("song 3.mp3")}));
    for (int i = 1; i <= 3; ++i) {
        QFile info(trash + QStringLiteral("/info/song %1.mp3.trashinfo").arg(i));
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        const QString path = QDir(music.path()).canonicalPath() + QStringLiteral("/song %1.mp3").arg(i);
        EXPECT_TRUE(info.readAll().contains("Path=" + QFile::encodeName(path).toPercentEncoding("/") + "\n"));
    }
    auto after = snapshot(music.path());
    auto expected = before;
    for (int i = 1; i <= 3; ++i)
        expected.erase(QStringLiteral("/song %1.mp3").arg(i));
    EXPECT_EQ(after, expected);
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("3 Duplicate(s) have been deleted")});
    EXPECT_EQ(host.Ends().mid(2, 3),
              QStringList({QStringLiteral("refreshLibraryList"), QStringLiteral("reopenCommandGate"),
                           QStringLiteral("enableButtons")}));

    if (QLatin1String(GetParam()) != QLatin1String("core"))
        return;
    // The run is one job of the library's history, which puts back every
    // entry and every file.
    const auto jobs = library->app()->listJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].kind, QStringLiteral("duplicates"));
    EXPECT_EQ(jobs[0].tracks, 3);
    EXPECT_EQ(jobs[0].files, 3);
    EXPECT_EQ(library->app()->restoreJob(jobs[0].jobId).restored, 3);
    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_TRUE(trashed().isEmpty());
    auto present = library->Present();
    std::sort(present.begin(), present.end());
    EXPECT_EQ(present, ids);
}

TEST_P(CleaningFilesTest, ACopyWhoseEntryCannotGoGetsItsFileBack)
{
    if (QLatin1String(GetParam()) == QLatin1String("core"))
        GTEST_SKIP() << "only the made-up library refuses a removal";
    write(QStringLiteral("kept.mp3"), "kept");
    write(QStringLiteral("copy.mp3"), "copy");
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("kept.mp3"))));
    FakeTrackData refused = track(QStringLiteral("Song"), file(QStringLiteral("copy.mp3")));
    refused.refuseDelete = true;
    library->add(refused);
    const auto before = snapshot(music.path());

    RemoveDuplicatesWith(kByName);

    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_TRUE(trashed().isEmpty());
    EXPECT_TRUE(QDir(trash + QStringLiteral("/info")).isEmpty());
    EXPECT_EQ(host.alerts,
              QStringList{QStringLiteral("Can not delete all duplicates.\r0 Duplicate track(s) have been deleted")});
}

TEST_P(CleaningFilesTest, AFileAKeptTrackUsesIsNeverTouched)
{
    write(QStringLiteral("same.mp3"));
    write(QStringLiteral("linked.mp3"));
    write(QStringLiteral("real/folder.mp3"));
    ASSERT_EQ(::link(QFile::encodeName(file(QStringLiteral("linked.mp3"))).constData(),
                     QFile::encodeName(file(QStringLiteral("hard.mp3"))).constData()),
              0);
    ASSERT_TRUE(QFile::link(file(QStringLiteral("real")), file(QStringLiteral("alias"))));
    library->add(track(QStringLiteral("Same path"), file(QStringLiteral("same.mp3"))));
    library->add(track(QStringLiteral("Same path"), file(QStringLiteral("same.mp3"))));
    library->add(track(QStringLiteral("Hard link"), file(QStringLiteral("linked.mp3"))));
    library->add(track(QStringLiteral("Hard link"), file(QStringLiteral("hard.mp3"))));
    library->add(track(QStringLiteral("Symlinked folder"), file(QStringLiteral("real/folder.mp3"))));
    library->add(track(QStringLiteral("Symlinked folder"), file(QStringLiteral("alias/folder.mp3"))));
    const auto before = snapshot(music.path());

    // The review, which asks the disk only about what could share a copy's
    // file, sees it so too.
    const DuplicateReview review =
        reviewDuplicates(*library->app(), fs, DuplicateFilter(kByName), KeepRule::LibraryOrder);
    EXPECT_EQ(review.copies, 3);
    EXPECT_EQ(review.trashBytes, 0);
    RemoveDuplicatesWith(kByName);

    EXPECT_EQ(library->Present().size(), 3u);
    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_TRUE(trashed().isEmpty());
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("3 Duplicate(s) have been deleted")});
}

TEST_P(CleaningFilesTest, AFileOnlyASymlinkOfAKeptTrackNamesStays)
{
    write(QStringLiteral("target.mp3"));
    ASSERT_TRUE(QFile::link(file(QStringLiteral("target.mp3")), file(QStringLiteral("pointer.mp3"))));
    write(QStringLiteral("plain.mp3"));
    write(QStringLiteral("plain copy.mp3"));
    // The copy is the symlink's target: only the kept symlink tells; the
    // plain copy's file goes.
    library->add(track(QStringLiteral("Symlinked file"), file(QStringLiteral("pointer.mp3"))));
    library->add(track(QStringLiteral("Symlinked file"), file(QStringLiteral("target.mp3"))));
    library->add(track(QStringLiteral("Plain"), file(QStringLiteral("plain.mp3"))));
    library->add(track(QStringLiteral("Plain"), file(QStringLiteral("plain copy.mp3"))));

    const DuplicateReview review =
        reviewDuplicates(*library->app(), fs, DuplicateFilter(kByName), KeepRule::LibraryOrder);
    ASSERT_EQ(review.groups.size(), 2u);
    EXPECT_FALSE(review.groups[0].tracks[1].fileGoes);
    EXPECT_TRUE(review.groups[1].tracks[1].fileGoes);
    RemoveDuplicatesWith(kByName);

    EXPECT_TRUE(QFileInfo::exists(file(QStringLiteral("target.mp3"))));
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("plain copy.mp3"))));
    EXPECT_EQ(trashed().size(), 1);
}

TEST_P(CleaningFilesTest, AFileATrackAddedDuringTheRunUsesStays)
{
    write(QStringLiteral("kept.mp3"));
    write(QStringLiteral("copy.mp3"));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("kept.mp3"))));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("copy.mp3"))));
    // Another program imports a track of the copy's file while the run yields.
    host.onYield = [&] {
        library->add(track(QStringLiteral("Added meanwhile"), file(QStringLiteral("copy.mp3"))));
        host.onYield = nullptr;
    };
    const auto before = snapshot(music.path());

    RemoveDuplicatesWith(kByName);

    EXPECT_EQ(library->Present().size(), 2u);
    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_TRUE(trashed().isEmpty());
}

TEST_P(CleaningFilesTest, WhatAKilledRunLeftIsPutRightByTheLibrary)
{
    if (QLatin1String(GetParam()) != QLatin1String("core"))
        GTEST_SKIP() << "the library core settles the note";
    write(QStringLiteral("kept.mp3"));
    write(QStringLiteral("stays.mp3"));
    write(QStringLiteral("went.mp3"));
    write(QStringLiteral("later.mp3"));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("kept.mp3"))));
    const std::int32_t stays = library->add(track(QStringLiteral("Other"), file(QStringLiteral("stays.mp3"))));
    const std::int32_t went = library->add(track(QStringLiteral("Third"), file(QStringLiteral("went.mp3"))));
    const std::int32_t later = library->add(track(QStringLiteral("Fourth"), file(QStringLiteral("later.mp3"))));
    const QString libraryPath = store.filePath(QStringLiteral("library.db"));
    const QString notePath = protocol::pendingMovesNoteOf(libraryPath);
    const auto killedRunMoves = [&](std::int32_t id, const QString &name) {
        PendingRemovals note(notePath);
        fs.moveToTrash(file(name), [&](const system::TrashedFile &r) { note.intend(id, file(name), r); });
    };
    // A run killed after moving two files: one entry was removed, the other
    // not.
    killedRunMoves(stays, QStringLiteral("stays.mp3"));
    killedRunMoves(went, QStringLiteral("went.mp3"));
    Delete(went);

    // The next to open the library (the service starting, the command line)
    // puts the file back whose entry stayed.
    library::LibraryCore::open(libraryPath);
    EXPECT_TRUE(QFileInfo::exists(file(QStringLiteral("stays.mp3"))));
    EXPECT_EQ(trashed(), QStringList{QStringLiteral("went.mp3")});
    EXPECT_TRUE(PendingRemovals(notePath).openMoves().empty());

    // So does the next job, in a library open all along.
    killedRunMoves(later, QStringLiteral("later.mp3"));
    ASSERT_EQ(PendingRemovals(notePath).openMoves().size(), 1u);
    write(QStringLiteral("copy.mp3"));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("copy.mp3"))));
    PendingRemovals next(notePath);
    RemoveDuplicatesWith(kByName, &next);
    EXPECT_TRUE(QFileInfo::exists(file(QStringLiteral("later.mp3"))));
    EXPECT_EQ(trashed(), QStringList({QStringLiteral("copy.mp3"), QStringLiteral("went.mp3")}));
    EXPECT_TRUE(next.openMoves().empty());
}

TEST_P(CleaningFilesTest, AServiceThatDiesAfterItsRemovalLeavesTheFileInTheTrash)
{
    if (QLatin1String(GetParam()) == QLatin1String("core"))
        GTEST_SKIP() << "only the made-up library loses its answers";
    write(QStringLiteral("kept.mp3"));
    write(QStringLiteral("copy.mp3"));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("kept.mp3"))));
    FakeTrackData lost = track(QStringLiteral("Song"), file(QStringLiteral("copy.mp3")));
    lost.answerLost = true;
    library->add(lost);
    PendingRemovals note(store.filePath(QStringLiteral("pending-removals")));

    RemoveDuplicatesWith(kByName, &note);

    // The run fails, but the entry went: its file must not come back.
    EXPECT_EQ(library->Present().size(), 1u);
    EXPECT_EQ(trashed(), QStringList{QStringLiteral("copy.mp3")});
    EXPECT_EQ(note.openMoves().size(), 1u);
}

TEST_P(CleaningFilesTest, KeepFilesLeavesEveryFile)
{
    write(QStringLiteral("a.mp3"));
    write(QStringLiteral("b.mp3"));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("a.mp3"))));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("b.mp3"))));
    const auto before = snapshot(music.path());

    RemoveDuplicatesWith(kByNameKeepFiles);

    EXPECT_EQ(library->Present().size(), 1u);
    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_FALSE(QFileInfo::exists(trash));
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("1 Duplicate(s) have been deleted")});
}

TEST_P(CleaningFilesTest, ReadOnlyFilesAreTaken)
{
    write(QStringLiteral("a.mp3"));
    write(QStringLiteral("b.mp3"));
    ASSERT_TRUE(QFile::setPermissions(file(QStringLiteral("b.mp3")), QFile::ReadOwner | QFile::ReadGroup));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("a.mp3"))));
    library->add(track(QStringLiteral("Song"), file(QStringLiteral("b.mp3"))));

    RemoveDuplicatesWith(kByName);

    EXPECT_EQ(trashed(), QStringList{QStringLiteral("b.mp3")});
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("b.mp3"))));
    EXPECT_EQ(host.alerts, QStringList{QStringLiteral("1 Duplicate(s) have been deleted")});
}

TEST_P(CleaningFilesTest, AFileThatCannotBeMovedKeepsItsEntryAndEndsTheRun)
{
    write(QStringLiteral("a.mp3"));
    write(QStringLiteral("b1.mp3"));
    write(QStringLiteral("b2.mp3"));
    library->add(track(QStringLiteral("A"), file(QStringLiteral("a.mp3"))));
    const auto lost = library->add(track(QStringLiteral("A"), file(QStringLiteral("gone.mp3"))));
    const auto b1 = library->add(track(QStringLiteral("B"), file(QStringLiteral("b1.mp3"))));
    const auto b2 = library->add(track(QStringLiteral("B"), file(QStringLiteral("b2.mp3"))));
    // A plain file where the trash belongs: no trash can be made, even by
    // root, who could write into any folder.
    QDir().mkpath(QFileInfo(trash).absolutePath());
    QFile blocker(trash);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto before = snapshot(music.path());

    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.cleaning.warning=false"));
    RemoveDuplicatesWith(kByName);
    QLoggingCategory::setFilterRules(QString());

    const auto present = library->Present();
    EXPECT_EQ(std::count(present.begin(), present.end(), lost), 0);
    EXPECT_EQ(std::count(present.begin(), present.end(), b1), 1);
    EXPECT_EQ(std::count(present.begin(), present.end(), b2), 1);
    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("gone.mp3"))));
    EXPECT_EQ(host.Ends(),
              QStringList({QStringLiteral("showAlert(Can not delete all duplicates.\r1 Duplicate track(s) have been "
                                          "deleted|64|Tidyfox)"),
                           QStringLiteral("hideBusy"), QStringLiteral("reopenCommandGate"),
                           QStringLiteral("enableButtons")}));
    QFile::remove(trash);
}

TEST_P(CleaningFilesTest, DeadTracksLeaveWithoutAnyFileTouched)
{
    write(QStringLiteral("here.mp3"));
    const auto here = library->add(track(QStringLiteral("here"), file(QStringLiteral("here.mp3"))));
    library->add(track(QStringLiteral("gone"), file(QStringLiteral("gone.mp3"))));
    library->add(track(QStringLiteral("lost"), QString()));
    FakeTrackData radio = track(QStringLiteral("radio"), QString());
    radio.stream = true;
    const auto stream = library->add(radio);
    library->add(track(QStringLiteral("unplugged"), file(QStringLiteral("no such folder/song.mp3"))));
    const auto before = snapshot(music.path());

    auto *app = library->app();
    const auto source = app->librarySource();
    const system::Volumes volumes = system::Volumes::current();
    deleteDeadTracks(host, app, source.get(), fs, &volumes);

    EXPECT_EQ(library->Present(), std::vector<std::int32_t>({here, stream}));
    EXPECT_EQ(snapshot(music.path()), before);
    EXPECT_FALSE(QFileInfo::exists(trash));
    EXPECT_EQ(host.calls, QStringList({QStringLiteral("hideBusy"),
                                       QStringLiteral("showAlert(3 Dead track(s) have been deleted|64|Tidyfox)"),
                                       QStringLiteral("refreshLibraryList")}));
}

TEST_P(CleaningFilesTest, OnlyAnAudioFileAsTheRunSawItGoesToTheTrash)
{
    // Copies whose entries point at what no removal may take: a document, the
    // library itself, a file in a hidden folder, one in the trash already,
    // a symlink, and a file replaced after the review.
    write(QStringLiteral("kept.mp3"));
    const QString hidden = QStringLiteral(".config/app/settings.mp3");
    write(hidden);
    write(QStringLiteral("notes.txt"), "my notes");
    write(QStringLiteral("replaced.mp3"));
    QDir().mkpath(trash + QStringLiteral("/files"));
    const QString inTrash = trash + QStringLiteral("/files/earlier.mp3");
    {
        QFile earlier(inTrash);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("ID3") == 3);
    }
    write(QStringLiteral("elsewhere/target.mp3"));
    ASSERT_TRUE(QFile::link(file(QStringLiteral("elsewhere/target.mp3")), file(QStringLiteral("link.mp3"))));
    FakeTrackData largest = track(QStringLiteral("Song"), file(QStringLiteral("kept.mp3")));
    largest.size = 1000;
    library->add(largest);
    for (const QString &location :
         {file(QStringLiteral("notes.txt")), store.filePath(QStringLiteral("library.db")), file(hidden), inTrash,
          file(QStringLiteral("link.mp3")), file(QStringLiteral("replaced.mp3"))})
        library->add(track(QStringLiteral("Song"), location));
    const auto before = snapshot(music.path());
    const DuplicateReview review =
        reviewDuplicates(*library->app(), fs, DuplicateFilter(kByName), KeepRule::LargestFile);
    ASSERT_EQ(review.groups.size(), 1u);
    EXPECT_EQ(review.trashBytes, 0) << "the review shows no file going";
    const DuplicateGroup &group = review.groups[0];
    const ReviewedTrack &keeper = group.tracks[static_cast<size_t>(group.keeper)];
    ASSERT_EQ(keeper.location, file(QStringLiteral("kept.mp3")));
    ReviewedRemoval removal{{}, false, false, {}};
    for (const ReviewedTrack &t : group.tracks) {
        if (t.goes)
            removal.copies.push_back({t.databaseId, keeper.databaseId, t.stamp});
    }
    // Rewritten between the review and the confirmation: not the file shown.
    write(QStringLiteral("replaced.mp3"), "ID3 another song, longer");
    const auto replaced = snapshot(music.path());

    removeReviewed(host, library->app(), fs, removal);

    EXPECT_EQ(library->Present().size(), 1u) << "every entry goes as the run says";
    EXPECT_EQ(snapshot(music.path()), replaced);
    EXPECT_NE(replaced, before);
    // The library file is there only for the core.
    const bool core = QLatin1String(GetParam()) == QLatin1String("core");
    EXPECT_EQ(QFileInfo::exists(store.filePath(QStringLiteral("library.db"))), core);
    EXPECT_EQ(trashed(), QStringList{QStringLiteral("earlier.mp3")});
    ASSERT_EQ(host.details.size(), 1);
    EXPECT_TRUE(host.details[0].startsWith(QStringLiteral("%1 files stayed where they were").arg(core ? 6 : 5)))
        << host.details[0].toStdString();
    for (const char *why : {"does not look like audio", "in a hidden folder", "in the trash", "not a regular file",
                            "changed since the copy was found"})
        EXPECT_TRUE(host.details[0].contains(QLatin1String(why))) << host.details[0].toStdString();
}

TEST_P(CleaningFilesTest, ATrackWhoseFileIsOnItsWayToTheTrashIsNotDead)
{
    write(QStringLiteral("moving.mp3"));
    const auto moving = library->add(track(QStringLiteral("moving"), file(QStringLiteral("moving.mp3"))));
    const auto gone = library->add(track(QStringLiteral("gone"), file(QStringLiteral("gone.mp3"))));
    // A removal under way has moved the file and not yet removed the entry.
    PendingRemovals note(store.filePath(QStringLiteral("note")));
    fs.moveToTrash(file(QStringLiteral("moving.mp3")),
                   [&](const system::TrashedFile &r) { note.intend(moving, file(QStringLiteral("moving.mp3")), r); });

    const auto source = library->app()->librarySource();
    DeadTrackFindings findings = findDeadTracks(*source, fs, system::Volumes::current());
    ASSERT_EQ(findings.trackCount, 2);
    leaveOutMovesUnderWay(findings, note);
    ASSERT_EQ(findings.trackCount, 1);
    EXPECT_EQ(findings.folders.at(0).tracks.at(0).databaseId, gone);
}

INSTANTIATE_TEST_SUITE_P(Libraries, CleaningFilesTest, ::testing::Values("fake", "core"));

// A name no entry of its folder has in any spelling is missing without a
// question to the disk; one that a folder ignoring case, a symlink or a
// folder could answer to is asked about.
TEST(ListedFoldersTest, OnlyANameNoEntryCouldAnswerToIsMissingUnasked)
{
    QTemporaryDir dir{qEnvironmentVariable("TIDYFOX_TEST_ROOT") + QStringLiteral("/listed-XXXXXX")};
    const auto at = [&](QByteArrayView name) { return dir.filePath(QString::fromUtf8(name)); };
    QFile(at("song.mp3")).open(QIODevice::WriteOnly);
    QFile(at("\xc3\xa9t\xc3\xa9.mp3")).open(QIODevice::WriteOnly); // "été" composed
    ASSERT_EQ(::symlink("nowhere.mp3", QFile::encodeName(at("link.mp3")).constData()), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub.mp3")));
    system::TrashFileSystem disk;
    ListedFolders listed(disk);
    EXPECT_EQ(listed.entryOf(at("song.mp3")), ListedFolders::Entry::RegularFile);
    EXPECT_EQ(listed.entryOf(at("gone.mp3")), ListedFolders::Entry::Missing);
    EXPECT_EQ(listed.entryOf(at("SONG.mp3")), ListedFolders::Entry::Unknown);
    EXPECT_EQ(listed.entryOf(at("E\xcc\x81te\xcc\x81.mp3")), ListedFolders::Entry::Unknown); // decomposed
    EXPECT_EQ(listed.entryOf(at("link.mp3")), ListedFolders::Entry::Unknown);
    EXPECT_EQ(listed.entryOf(at("sub.mp3")), ListedFolders::Entry::Unknown);
    EXPECT_EQ(listed.entryOf(at("none/x.mp3")), ListedFolders::Entry::Missing);
    EXPECT_FALSE(listed.fileExists(at("gone.mp3")));
    EXPECT_FALSE(listed.fileExists(at("SONG.mp3")));
    EXPECT_TRUE(listed.fileExists(at("song.mp3")));

    // Listed ahead on a second thread, asked in another order than listed:
    // the same answers.
    ListedFolders::FolderList folders;
    for (int f = 0; f < 40; ++f) {
        ASSERT_TRUE(QDir(dir.path()).mkdir(QString::number(f)));
        QFile(at(QByteArray::number(f) + "/song.mp3")).open(QIODevice::WriteOnly);
        folders.add(at(QByteArray::number(f) + "/song.mp3"));
    }
    folders.add(at("song.mp3"));
    folders.add(at("none/x.mp3"));
    ListedFolders ahead(disk);
    ahead.listAhead(std::move(folders));
    for (int f = 39; f >= 0; f -= 3) {
        EXPECT_EQ(ahead.entryOf(at(QByteArray::number(f) + "/song.mp3")), ListedFolders::Entry::RegularFile) << f;
        EXPECT_EQ(ahead.entryOf(at(QByteArray::number(f) + "/gone.mp3")), ListedFolders::Entry::Missing) << f;
    }
    EXPECT_EQ(ahead.entryOf(at("link.mp3")), ListedFolders::Entry::Unknown);
    EXPECT_EQ(ahead.entryOf(at("none/x.mp3")), ListedFolders::Entry::Missing);
    EXPECT_EQ(ahead.entryOf(at("1/song.mp3")), ListedFolders::Entry::RegularFile);
}

} // namespace
} // namespace tidyfox::cleaning::test
