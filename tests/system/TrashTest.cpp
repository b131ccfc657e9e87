// SPDX-License-Identifier: GPL-3.0-or-later
// The real file system and trash, in the test's own temporary folders.

#include "system/Trash.h"

#include "system/FileSystem.h"
#include "system/TrashFileSystem.h"
#include "system/Volumes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tidyfox::system {
namespace {

void writeFile(const QString &path, const QByteArray &content = "music")
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TrashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The test runner gives every test its own data folder, so its own
        // home trash; refuse to run against a person's real trash.
        ASSERT_TRUE(qEnvironmentVariableIsSet("TIDYFOX_TEST_ROOT"));
        trash = homeTrashPath();
        QDir(trash).removeRecursively();
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir{qEnvironmentVariable("TIDYFOX_TEST_ROOT") + QStringLiteral("/files-XXXXXX")};
    QString trash;
    TrashFileSystem fs;
};

TEST_F(TrashTest, FileNamesAndExistence)
{
    EXPECT_EQ(fileNameOf(QStringLiteral("/a/b/Song.MP3")), QStringLiteral("Song.MP3"));
    EXPECT_EQ(fileNameOf(QStringLiteral("Song.mp3")), QStringLiteral("Song.mp3"));
    EXPECT_EQ(fileNameOf(QStringLiteral("/a/b/")), QString());
    EXPECT_EQ(fileNameOf(QString()), QString());

    writeFile(path(QStringLiteral("a.mp3")));
    ASSERT_EQ(::symlink("a.mp3", QFile::encodeName(path(QStringLiteral("link.mp3"))).constData()), 0);
    ASSERT_EQ(::symlink("nowhere.mp3", QFile::encodeName(path(QStringLiteral("dangling.mp3"))).constData()), 0);
    EXPECT_TRUE(fs.fileExists(path(QStringLiteral("a.mp3"))));
    EXPECT_TRUE(fs.fileExists(path(QStringLiteral("link.mp3"))));
    EXPECT_FALSE(fs.fileExists(path(QStringLiteral("dangling.mp3"))));
    EXPECT_FALSE(fs.fileExists(path(QStringLiteral("missing.mp3"))));
    EXPECT_FALSE(fs.fileExists(dir.path()));
    EXPECT_FALSE(fs.fileExists(QString()));

    // A listing names the regular files apart from every other entry.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    FolderListing listing = fs.listFolder(dir.path());
    EXPECT_TRUE(listing.listed && listing.complete && !listing.missing);
    EXPECT_EQ(listing.names, QStringList{QStringLiteral("a.mp3")});
    listing.otherNames.sort();
    EXPECT_EQ(listing.otherNames,
              (QStringList{QStringLiteral("dangling.mp3"), QStringLiteral("link.mp3"), QStringLiteral("sub")}));
    // A name that does not decode could be any other.
    const int bad = ::creat(QFile::encodeName(path(QStringLiteral("sub/"))) + "bad\xff.mp3", 0644);
    ASSERT_GE(bad, 0);
    ::close(bad);
    listing = fs.listFolder(path(QStringLiteral("sub")));
    EXPECT_TRUE(listing.listed);
    EXPECT_FALSE(listing.complete);
    EXPECT_TRUE(fs.listFolder(path(QStringLiteral("gone"))).missing);
}

TEST_F(TrashTest, IdentityFollowsSymlinksAndHardLinks)
{
    writeFile(path(QStringLiteral("a.mp3")));
    writeFile(path(QStringLiteral("b.mp3")));
    ASSERT_EQ(::link(QFile::encodeName(path(QStringLiteral("a.mp3"))).constData(),
                     QFile::encodeName(path(QStringLiteral("hard.mp3"))).constData()),
              0);
    ASSERT_TRUE(QFile::link(dir.path(), path(QStringLiteral("alias"))));
    const auto a = fs.stamp(path(QStringLiteral("a.mp3")));
    ASSERT_TRUE(a);
    EXPECT_EQ(fs.stamp(path(QStringLiteral("hard.mp3"))), a);
    EXPECT_EQ(fs.stamp(path(QStringLiteral("alias/a.mp3"))), a);
    EXPECT_NE(fs.stamp(path(QStringLiteral("b.mp3")))->id, a->id);
    EXPECT_FALSE(fs.stamp(path(QStringLiteral("missing.mp3"))));
}

TEST_F(TrashTest, AFileGoesToTheHomeTrashWithItsInfo)
{
    // The data folder itself may not exist yet on a fresh account.
    QDir(qEnvironmentVariable("XDG_DATA_HOME")).removeRecursively();
    const QString name = QStringLiteral("My Song 100% ü.mp3");
    writeFile(path(name), "tune");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    fs.moveToTrash(path(name), {});

    EXPECT_FALSE(QFile::exists(path(name)));
    EXPECT_EQ(readFile(trash + QStringLiteral("/files/") + name), QByteArray("tune"));
    const QString info = QString::fromUtf8(readFile(trash + QStringLiteral("/info/") + name + ".trashinfo"));
    const QString encoded =
        QString::fromLatin1(QFile::encodeName(QDir(dir.path()).canonicalPath() + "/" + name).toPercentEncoding("/"));
    EXPECT_TRUE(info.startsWith(QStringLiteral("[Trash Info]\nPath=") + encoded + "\nDeletionDate="))
        << info.toStdString();
    EXPECT_TRUE(encoded.contains(QStringLiteral("My%20Song%20100%25%20%C3%BC.mp3")));
    const auto date =
        QRegularExpression(QStringLiteral("DeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n")).match(info);
    ASSERT_TRUE(date.hasMatch()) << info.toStdString();
    const QDateTime when = QDateTime::fromString(date.captured(1), Qt::ISODate);
    EXPECT_GE(when, before);
    EXPECT_LE(when, QDateTime::currentDateTime().addSecs(1));
}

TEST_F(TrashTest, NamesAlreadyInTheTrashGetANumber)
{
    QDir().mkpath(path(QStringLiteral("one")));
    QDir().mkpath(path(QStringLiteral("two")));
    QDir().mkpath(path(QStringLiteral("three")));
    writeFile(path(QStringLiteral("one/song.mp3")), "1");
    writeFile(path(QStringLiteral("two/song.mp3")), "2");
    writeFile(path(QStringLiteral("three/song.mp3")), "3");
    const TrashedFile first = moveToTrash(path(QStringLiteral("one/song.mp3")));
    // An entry without its info (left by some other program) is not
    // overwritten either.
    writeFile(trash + QStringLiteral("/files/song.2.mp3"), "stray");
    const TrashedFile second = moveToTrash(path(QStringLiteral("two/song.mp3")));
    const TrashedFile third = moveToTrash(path(QStringLiteral("three/song.mp3")));
    EXPECT_EQ(first.trashedPath, trash + QStringLiteral("/files/song.mp3"));
    EXPECT_EQ(second.trashedPath, trash + QStringLiteral("/files/song.3.mp3"));
    EXPECT_EQ(third.trashedPath, trash + QStringLiteral("/files/song.4.mp3"));
    EXPECT_EQ(readFile(trash + QStringLiteral("/files/song.2.mp3")), QByteArray("stray"));
    EXPECT_EQ(readFile(second.trashedPath), QByteArray("2"));
    EXPECT_TRUE(readFile(third.infoPath).contains("/three/song.mp3"));
    EXPECT_FALSE(QFile::exists(trash + QStringLiteral("/info/song.2.mp3.trashinfo")));
}

TEST_F(TrashTest, ReadOnlyFilesAreTaken)
{
    writeFile(path(QStringLiteral("locked.mp3")));
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("locked.mp3")), QFile::ReadOwner));
    fs.moveToTrash(path(QStringLiteral("locked.mp3")), {});
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("locked.mp3"))));
    EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/files/locked.mp3")));
}

TEST_F(TrashTest, WhenTheTrashCannotBeMadeTheFileStays)
{
    // A plain file where the trash folder belongs: refused even for root.
    writeFile(trash, "not a folder");
    writeFile(path(QStringLiteral("keep.mp3")), "tune");
    try {
        fs.moveToTrash(path(QStringLiteral("keep.mp3")), {});
        ADD_FAILURE() << "the move should have failed";
    } catch (const TrashError &error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("keep.mp3")));
    }
    EXPECT_EQ(readFile(path(QStringLiteral("keep.mp3"))), QByteArray("tune"));
    EXPECT_EQ(readFile(trash), QByteArray("not a folder"));
    QFile::remove(trash);
}

TEST_F(TrashTest, MissingFilesAndFoldersAreRefused)
{
    EXPECT_THROW(fs.moveToTrash(path(QStringLiteral("missing.mp3")), {}), TrashError);
    EXPECT_THROW(fs.moveToTrash(dir.path(), {}), TrashError);
    EXPECT_THROW(fs.moveToTrash(QString(), {}), TrashError);
    EXPECT_TRUE(QDir(dir.path()).exists());

    // A path with a NUL is refused whole, never cut to the file before it.
    writeFile(path(QStringLiteral("victim.txt")), "keep");
    const QString cut = path(QStringLiteral("victim.txt")) + QChar(0) + QStringLiteral(".mp3");
    EXPECT_FALSE(fs.fileExists(cut));
    EXPECT_FALSE(fs.stamp(cut));
    EXPECT_THROW(fs.moveToTrash(cut, {}), TrashError);
    EXPECT_EQ(readFile(path(QStringLiteral("victim.txt"))), QByteArray("keep"));
}

// A crash between writing the info file and moving the file leaves the info
// alone; only our own such orphans are removed.
TEST_F(TrashTest, OurOrphanInfoFilesAreRemovedOthersAreKept)
{
    writeFile(path(QStringLiteral("a.mp3")));
    writeFile(path(QStringLiteral("b.mp3")));
    const TrashedFile kept = moveToTrash(path(QStringLiteral("a.mp3")));
    const TrashedFile orphan = moveToTrash(path(QStringLiteral("b.mp3")));
    ASSERT_TRUE(QFile::remove(orphan.trashedPath));
    const QString foreign = trash + QStringLiteral("/info/other.mp3.trashinfo");
    writeFile(foreign, "[Trash Info]\nPath=/x/other.mp3\nDeletionDate=2020-01-01T00:00:00\n");
    // Names reserved by a trasher that died before writing: an old one goes,
    // one that may still be filled stays.
    const QString abandoned = trash + QStringLiteral("/info/c.mp3.trashinfo");
    const QString fresh = trash + QStringLiteral("/info/d.mp3.trashinfo");
    writeFile(abandoned, "");
    writeFile(fresh, "");
    QFile old(abandoned);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
    old.close();

    EXPECT_EQ(removeOrphanInfoFiles(trash), 2);
    EXPECT_FALSE(QFile::exists(orphan.infoPath));
    EXPECT_FALSE(QFile::exists(abandoned));
    EXPECT_TRUE(QFile::exists(fresh));
    EXPECT_TRUE(QFile::exists(kept.infoPath));
    EXPECT_TRUE(QFile::exists(foreign));
}

// A file on another mounted volume goes to that volume's own trash, never
// copied across. /dev/shm is a volume of its own on most systems.
TEST_F(TrashTest, AFileOnAnotherVolumeGoesToThatVolumesTrash)
{
    const QString volume = QStringLiteral("/dev/shm");
    struct stat home
    {
    }, other{};
    if (::stat(QFile::encodeName(dir.path()).constData(), &home) != 0 ||
        ::stat(QFile::encodeName(volume).constData(), &other) != 0 || home.st_dev == other.st_dev ||
        ::access(QFile::encodeName(volume).constData(), W_OK) != 0)
        GTEST_SKIP() << "no second writable volume";
    const QString volumeTrash = volume + QStringLiteral("/.Trash-") + QString::number(::getuid());
    const QString sharedTrash = volume + QStringLiteral("/.Trash");
    if (QFileInfo::exists(volumeTrash) || QFileInfo::exists(sharedTrash))
        GTEST_SKIP() << "the volume already has a trash of someone's";

    QTemporaryDir there(volume + QStringLiteral("/tidyfox-test-XXXXXX"));
    ASSERT_TRUE(there.isValid());
    const QString file = there.filePath(QStringLiteral("far away.mp3"));
    writeFile(file, "far");
    const TrashedFile own = moveToTrash(file);
    EXPECT_EQ(own.trashedPath, volumeTrash + QStringLiteral("/files/far away.mp3"));
    EXPECT_EQ(readFile(own.trashedPath), QByteArray("far"));
    // Paths in a volume's trash are relative to the volume's top folder.
    const QString relative = QDir(volume).relativeFilePath(there.path()) + QStringLiteral("/far%20away.mp3");
    EXPECT_TRUE(readFile(own.infoPath).contains("\nPath=" + relative.toUtf8() + "\n"));
    EXPECT_FALSE(QFileInfo::exists(homeTrashPath() + QStringLiteral("/files/far away.mp3")));
    QDir(volumeTrash).removeRecursively();

    // An administrator's shared trash (sticky) is used when there is one.
    ASSERT_TRUE(QDir().mkdir(sharedTrash));
    ::chmod(QFile::encodeName(sharedTrash).constData(), 01777);
    writeFile(file, "far");
    const TrashedFile shared = moveToTrash(file);
    EXPECT_EQ(shared.trashedPath,
              sharedTrash + QLatin1Char('/') + QString::number(::getuid()) + QStringLiteral("/files/far away.mp3"));
    QDir(sharedTrash).removeRecursively();

    // Without the sticky bit it is not trusted.
    ASSERT_TRUE(QDir().mkdir(sharedTrash));
    ::chmod(QFile::encodeName(sharedTrash).constData(), 0777);
    writeFile(file, "far");
    EXPECT_EQ(moveToTrash(file).trashedPath, volumeTrash + QStringLiteral("/files/far away.mp3"));
    QDir(sharedTrash).removeRecursively();
    QDir(volumeTrash).removeRecursively();
}

// Files on a drive that is not plugged in look gone; the review spares them.
TEST(VolumesTest, AMissingDriveIsToldFromAMissingFile)
{
    const QStringList points = mountPointsIn("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                             "40 22 8:17 / /media/me/My\\040Music rw - vfat /dev/sdb1 rw\n");
    EXPECT_EQ(points, QStringList({QStringLiteral("/"), QStringLiteral("/media/me/My Music")}));
    const Volumes volumes(points);
    EXPECT_FALSE(volumes.isDisconnected(QStringLiteral("/media/me/My Music/Album")));
    EXPECT_TRUE(volumes.isDisconnected(QStringLiteral("/media/me/Other/Album")));
    EXPECT_TRUE(volumes.isDisconnected(QStringLiteral("/run/media/me/Stick")));
    EXPECT_TRUE(volumes.isDisconnected(QStringLiteral("/mnt/nas/music")));
    // A library from another machine: its top folder is not here at all.
    EXPECT_TRUE(volumes.isDisconnected(QStringLiteral("/Volumes/Music/iTunes")));
    EXPECT_FALSE(volumes.isDisconnected(QDir::tempPath() + QStringLiteral("/gone")));
}

} // namespace
} // namespace tidyfox::system
