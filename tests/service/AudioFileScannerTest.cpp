// SPDX-License-Identifier: GPL-3.0-or-later
// `add` in process: tags and audio properties through TagLib, the format
// names, files already present, files that are not audio and audio files that
// cannot be read.
#include "service/AudioFileScanner.h"

#include "AudioFixtures.h"
#include "service/LibraryStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tidyfox::library;
using namespace tidyfox::library::test;

namespace {

class AddFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store = LibraryStore::open(QStringLiteral(":memory:"));
        root = QDir(dir.path()).canonicalPath();
        QDir(root).mkpath(QStringLiteral("Music/Album"));
        writeWav(path("Music/Album/01 Tagged.wav"), 1500);
        ASSERT_TRUE(tagFile(path("Music/Album/01 Tagged.wav"),
                            {QStringLiteral("Wave Title"), QStringLiteral("Wave Artist"), QStringLiteral("Wave Album"),
                             QStringLiteral("Ambient"), QString()}));
        writeMp3(path("Music/Album/02 Song.mp3"), 115); // about 3 s
        ASSERT_TRUE(tagFile(path("Music/Album/02 Song.mp3"),
                            {QStringLiteral("Sång"), QStringLiteral("Artist"), QStringLiteral("Album"),
                             QStringLiteral("Rock"), QStringLiteral("Composer")}));
        writeWav(path("Music/No tags.wav"), 500, 22050, 1);
        writeFile(path("Music/cover.jpg"), "not really a picture");
        writeFile(path("Music/notes.txt"), "liner notes");
        writeFile(path("Music/Album/broken.mp3"), QByteArray("plain text, no audio at all\n").repeated(50));
    }

    QString path(const char *relative) const { return root + QLatin1Char('/') + QLatin1String(relative); }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    const TrackRecord *find(const std::vector<TrackRecord> &tracks, const QString &location)
    {
        for (const auto &t : tracks) {
            if (t.location == location)
                return &t;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    QString root;
    std::unique_ptr<LibraryStore> store;
};

} // namespace

TEST_F(AddFiles, ReadsTagsAndAudioPropertiesOfAFolderTree)
{
    QStringList unreadable;
    const AddSummary summary =
        addAudioFiles(*store, collectFiles({path("Music")}), {{}, [&](const QString &p) { unreadable << p; }, {}});
    EXPECT_EQ(summary.added, 3);
    EXPECT_EQ(summary.notAudio, 2);
    EXPECT_EQ(summary.alreadyPresent, 0);
    EXPECT_EQ(summary.unreadable, QStringList{path("Music/Album/broken.mp3")});
    EXPECT_EQ(unreadable, summary.unreadable);

    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    ASSERT_EQ(tracks.size(), 3u);
    // Sorted within the folder tree.
    EXPECT_EQ(tracks[0].location, path("Music/Album/01 Tagged.wav"));

    const TrackRecord *wav = find(tracks, path("Music/Album/01 Tagged.wav"));
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->kind, TrackKind::File);
    EXPECT_EQ(wav->name, QStringLiteral("Wave Title"));
    EXPECT_EQ(wav->artist, QStringLiteral("Wave Artist"));
    EXPECT_EQ(wav->album, QStringLiteral("Wave Album"));
    EXPECT_EQ(wav->genre, QStringLiteral("Ambient"));
    EXPECT_EQ(wav->kindAsString, QStringLiteral("WAV audio file"));
    EXPECT_EQ(wav->sampleRate, 44100);
    EXPECT_EQ(wav->bitRate, 1411);
    EXPECT_EQ(wav->totalTimeMs, 1500);
    EXPECT_EQ(wav->time, QStringLiteral("0:02"));
    EXPECT_EQ(wav->size, QFileInfo(wav->location).size());
    EXPECT_TRUE(wav->dateAdded.isValid());

    const TrackRecord *mp3 = find(tracks, path("Music/Album/02 Song.mp3"));
    ASSERT_TRUE(mp3);
    EXPECT_EQ(mp3->name, QStringLiteral("Sång"));
    EXPECT_EQ(mp3->composer, QStringLiteral("Composer"));
    EXPECT_EQ(mp3->genre, QStringLiteral("Rock"));
    EXPECT_EQ(mp3->kindAsString, QStringLiteral("MPEG audio file"));
    EXPECT_EQ(mp3->sampleRate, 44100);
    EXPECT_EQ(mp3->bitRate, 128);
    EXPECT_NEAR(mp3->totalTimeMs, 3000, 150);

    const TrackRecord *untagged = find(tracks, path("Music/No tags.wav"));
    ASSERT_TRUE(untagged);
    EXPECT_EQ(untagged->name, QStringLiteral("No tags")); // the file name stands in for a title
    EXPECT_EQ(untagged->sampleRate, 22050);
    EXPECT_EQ(untagged->time, QStringLiteral("0:01"));
}

TEST_F(AddFiles, FilesAlreadyInTheLibraryAreSkippedByTheirRealPath)
{
    addAudioFiles(*store, collectFiles({path("Music/Album")}));
    ASSERT_EQ(store->trackCount(), 2);
    ASSERT_TRUE(QFile::link(path("Music/Album/02 Song.mp3"), path("Music/link.mp3")));

    const AddSummary again = addAudioFiles(
        *store, collectFiles({path("Music/link.mp3"), root + QStringLiteral("/Music/../Music/Album/01 Tagged.wav"),
                              path("Music/No tags.wav")}));
    EXPECT_EQ(again.added, 1);
    EXPECT_EQ(again.alreadyPresent, 2);
    EXPECT_EQ(store->trackCount(), 3);
}

// A FIFO would block the reader forever, a large file that does not start like
// audio would be read whole, a name that is not UTF-8 cannot be a location: each
// is named, and nothing else is held up.
TEST_F(AddFiles, WhatCannotBeAddedIsNamedAndTheRestIsAdded)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("Music/Album/03 Pipe.mp3")).constData(), 0600), 0);
    writeFile(path("Music/Album/04 Zeros.mp3"), QByteArray(4 << 20, '\0'));
    const QByteArray latin1 = QFile::encodeName(path("Music/Album/")) + "Caf\xe9.wav";
    ASSERT_TRUE(
        QFile::copy(path("Music/No tags.wav"), QFile::decodeName(QFile::encodeName(path("Music/Album/x.wav")))));
    ASSERT_EQ(::rename(QFile::encodeName(path("Music/Album/x.wav")).constData(), latin1.constData()), 0);
    writeWav(path("Music/Album/Track 10.wav"), 100);
    writeWav(path("Music/Album/Track 2.wav"), 100);

    QStringList skipped;
    const QStringList files = collectFiles({path("Music/Album"), path("Music/Album/03 Pipe.mp3")}, &skipped);
    EXPECT_EQ(skipped,
              QStringList{path("Music/Album") + QStringLiteral("/Caf\\xe9.wav: the name is not valid UTF-8; skipped")});
    EXPECT_LT(files.indexOf(path("Music/Album/Track 2.wav")), files.indexOf(path("Music/Album/Track 10.wav")));

    const AddSummary summary = addAudioFiles(*store, files);
    EXPECT_EQ(summary.added, 4);
    EXPECT_EQ(summary.skipped,
              QStringList(2, path("Music/Album/03 Pipe.mp3") + QStringLiteral(": not a regular file; skipped")));
    EXPECT_EQ(summary.unreadable, (QStringList{path("Music/Album/04 Zeros.mp3"), path("Music/Album/broken.mp3")}));
}

TEST_F(AddFiles, AFolderThatCannotBeReadIsNamed)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "every folder can be read by root";
    QDir(root).mkpath(QStringLiteral("Music/Locked"));
    ASSERT_TRUE(QFile::setPermissions(path("Music/Locked"), QFile::WriteOwner));
    QStringList skipped;
    collectFiles({path("Music")}, &skipped);
    QFile::setPermissions(path("Music/Locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped[0].startsWith(path("Music/Locked") + QStringLiteral(": cannot read this folder")))
        << skipped[0].toStdString();
}

// Reading tags can take long (a slow disk, a large file); another program
// must be able to change the library meanwhile.
TEST_F(AddFiles, FilesAreReadWithoutHoldingTheLibrarysWriteLock)
{
    const QString file = root + QStringLiteral("/library.db");
    auto library = LibraryStore::open(file);
    int writesMeanwhile = 0;
    AddObserver observer;
    observer.progress = [&](int done, int total) {
        if (done == 0 || done == total)
            return;
        auto other = LibraryStore::open(file, std::chrono::milliseconds(0));
        TrackRecord t;
        t.name = QStringLiteral("Meanwhile %1").arg(done);
        EXPECT_NO_THROW(other->addTrack(t));
        ++writesMeanwhile;
    };
    const AddSummary summary = addAudioFiles(*library, collectFiles({path("Music")}), observer);
    EXPECT_GT(writesMeanwhile, 0);
    EXPECT_EQ(summary.added, 3);
    EXPECT_EQ(library->trackCount(), 3 + writesMeanwhile);
}
