// SPDX-License-Identifier: GPL-3.0-or-later
// tidyfox-library run as a process: import-xml, list, export-xml, add, and the
// one-line errors for bad input that leave the library as it was.
#include "AudioFixtures.h"
#include "LibraryXmlBuilder.h"
#include "common/DataFolders.h"
#include "service/LibraryStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tidyfox::library::test;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct RunResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

class Cli : public ::testing::Test
{
protected:
    RunResult run(QStringList args)
    {
        QProcess process;
        process.start(QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library"), args);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    RunResult onLibrary(const QStringList &args)
    {
        return run(QStringList{QStringLiteral("--library"), library} + args);
    }

    QString file(const QString &name) const { return dir.filePath(name); }

    static QString sampleXml()
    {
        XmlTrack a;
        a.id = 501;
        a.persistentId = QStringLiteral("00000000000000A1");
        a.name = QStringLiteral("First");
        a.artist = QStringLiteral("Artist");
        a.album = QStringLiteral("Album");
        a.location = QStringLiteral("file://localhost/C:/Users/me/Music/First%20Song.mp3");
        XmlTrack stream;
        stream.id = 502;
        stream.persistentId = QStringLiteral("00000000000000A2");
        stream.name = QStringLiteral("Radio");
        stream.trackType = QStringLiteral("URL");
        stream.location = QStringLiteral("http://radio.example/live");
        XmlPlaylist mix{QStringLiteral("Mix"), 900, QStringLiteral("00000000000000F1"), false, {}, {502, 501}};
        return libraryXml({a, stream}, {mix});
    }

    QTemporaryDir dir;
    QString library = dir.filePath(QStringLiteral("library.db"));
};

} // namespace

TEST_F(Cli, ImportListExportAndImportAgain)
{
    writeTextFile(file(QStringLiteral("in.xml")), sampleXml());
    const RunResult imported =
        // The file's own Music Folder is file://localhost/C:/Users/me/Music/.
        onLibrary({QStringLiteral("import-xml"), file(QStringLiteral("in.xml")), QStringLiteral("--music-folder"),
                   QStringLiteral("/home/me/Music")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.err.isEmpty()) << imported.err.toStdString();

    const RunResult listed = onLibrary({QStringLiteral("list")});
    ASSERT_EQ(listed.exitCode, 0);
    const QStringList lines = listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QStringList first = lines[0].split(QLatin1Char('\t'));
    ASSERT_EQ(first.size(), 6);
    EXPECT_GT(first[0].toInt(), 0);
    EXPECT_EQ(first.mid(1), (QStringList{"501", "First", "Artist", "Album", "/home/me/Music/First Song.mp3"}));
    EXPECT_EQ(lines[1].split(QLatin1Char('\t')).mid(1), (QStringList{"502", "Radio", "", "", ""}));

    const RunResult exported = onLibrary({QStringLiteral("export-xml"), file(QStringLiteral("out.xml"))});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    const RunResult reimported = run({QStringLiteral("--library"), file(QStringLiteral("copy.db")),
                                      QStringLiteral("import-xml"), file(QStringLiteral("out.xml"))});
    ASSERT_EQ(reimported.exitCode, 0) << reimported.err.toStdString();
    const RunResult copy = run({QStringLiteral("--library"), file(QStringLiteral("copy.db")), QStringLiteral("list")});
    auto withoutDatabaseIds = [](const QString &out) {
        QStringList rows;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            rows << line.section(QLatin1Char('\t'), 1);
        return rows;
    };
    EXPECT_EQ(withoutDatabaseIds(copy.out), withoutDatabaseIds(listed.out));
}

TEST_F(Cli, TheDefaultLibraryLivesInTheDataFolder)
{
    writeTextFile(file(QStringLiteral("in.xml")), sampleXml());
    ASSERT_EQ(run({QStringLiteral("import-xml"), file(QStringLiteral("in.xml"))}).exitCode, 0);
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tidyfox/library.db");
    EXPECT_TRUE(QFile::exists(expected)) << expected.toStdString();
    EXPECT_EQ(run({QStringLiteral("list")}).out.count(QLatin1Char('\n')), 2);
}

TEST_F(Cli, BadInputGetsOneLineAndChangesNothing)
{
    writeTextFile(file(QStringLiteral("in.xml")), sampleXml());
    ASSERT_EQ(onLibrary({QStringLiteral("import-xml"), file(QStringLiteral("in.xml"))}).exitCode, 0);
    const QString before = onLibrary({QStringLiteral("list")}).out;

    const QString badXml = file(QStringLiteral("bad.xml"));
    writeTextFile(badXml, QStringLiteral("<plist>\n<dict>\n<key>Tracks</key>\n<dict>\n<key>1</key>\n"
                                         "<dict><key>Name</key><string>New</string></dict>\n</dict>\n<oops>\n"));
    RunResult r = onLibrary({QStringLiteral("import-xml"), badXml});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(badXml + QStringLiteral(":8:"))) << r.err.toStdString();

    const QString gzip = file(QStringLiteral("library.xml.gz"));
    QFile gzipFile(gzip);
    ASSERT_TRUE(gzipFile.open(QIODevice::WriteOnly));
    gzipFile.write(QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10));
    gzipFile.close();
    r = onLibrary({QStringLiteral("import-xml"), gzip});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(gzip + QStringLiteral(":1:1: not a library export: "))) << r.err.toStdString();

    r = onLibrary({QStringLiteral("import-xml"), file(QStringLiteral("missing.xml"))});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("missing.xml"))) << r.err.toStdString();

    r = onLibrary({QStringLiteral("add"), file(QStringLiteral("no such folder"))});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);
    EXPECT_EQ(onLibrary({QStringLiteral("list")}).out, before);

    // A missing file does not even create a library.
    r = run({QStringLiteral("--library"), file(QStringLiteral("never.db")), QStringLiteral("import-xml"),
             file(QStringLiteral("missing.xml"))});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("never.db"))));
}

TEST_F(Cli, WhatIsRefusedOrCannotBeWrittenIsSaidPlainly)
{
    // A track on another machine is refused, at its place; the rest comes in.
    std::vector<XmlTrack> tracks;
    for (int i = 1; i <= 200; ++i) {
        XmlTrack t;
        t.id = i;
        t.persistentId = QStringLiteral("%1").arg(i, 16, 16, QLatin1Char('0')).toUpper();
        t.name = QStringLiteral("Song %1").arg(i);
        t.location = QStringLiteral("file://localhost/m/%1.mp3").arg(i);
        tracks.push_back(t);
    }
    tracks[0].location = QStringLiteral("file://nas/m/1.mp3");
    const QString in = file(QStringLiteral("in.xml"));
    writeTextFile(in, libraryXml(tracks, {}));
    const RunResult imported = onLibrary({QStringLiteral("import-xml"), in});
    EXPECT_EQ(imported.exitCode, 1);
    EXPECT_TRUE(imported.err.startsWith(in + QStringLiteral(":1")));
    EXPECT_TRUE(imported.err.contains(QStringLiteral(": track 1 (\"Song 1\") not imported: the location names another "
                                                     "machine (\"nas\")\n")))
        << imported.err.toStdString();
    EXPECT_TRUE(imported.out.startsWith(QStringLiteral("Imported 199 tracks")));
    EXPECT_TRUE(imported.out.contains(QStringLiteral("Refused 1 track whose location"))) << imported.out.toStdString();

    // A full disk, as a tmpfs of 16 kB in a mount namespace of its own.
    const QString full = file(QStringLiteral("full"));
    ASSERT_TRUE(QDir().mkpath(full));
    QProcess process;
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("mount -t tmpfs -o size=16k tmpfs \"$1\" || exit 77; exec \"$2\" --library \"$3\" "
                                  "export-xml \"$1/out.xml\""),
                   QStringLiteral("sh"), full, QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library"), library});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString error = QString::fromUtf8(process.readAllStandardError());
    if (process.exitCode() == 77 || error.startsWith(QLatin1String("unshare:")))
        GTEST_SKIP() << "cannot mount a tmpfs here: " << error.toStdString();
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(error.toStdString(),
              QStringLiteral("tidyfox-library: Cannot write %1/out.xml: the disk is full\n").arg(full).toStdString());
}

TEST_F(Cli, ALibraryFileThatIsNotALibraryIsRefusedUntouched)
{
    const QString notes = file(QStringLiteral("notes.db"));
    writeTextFile(notes, QStringLiteral("just some text\n").repeated(100));
    const RunResult r = run({QStringLiteral("--library"), notes, QStringLiteral("list")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not a Tidyfox library"))) << r.err.toStdString();
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QStringLiteral("just some text\n").repeated(100).toUtf8());
}

TEST_F(Cli, UsageErrors)
{
    for (const QStringList &args :
         {QStringList{}, QStringList{QStringLiteral("frobnicate")}, QStringList{QStringLiteral("import-xml")},
          QStringList{QStringLiteral("import-xml"), QStringLiteral("a.xml"), QStringLiteral("--map-prefix"),
                      QStringLiteral("noequals")},
          QStringList{QStringLiteral("import-xml"), QStringLiteral("a.xml"), QStringLiteral("b.xml")},
          QStringList{QStringLiteral("export-xml")}, QStringList{QStringLiteral("add")},
          QStringList{QStringLiteral("list"), QStringLiteral("extra")}, QStringList{QStringLiteral("--library")},
          QStringList{QStringLiteral("history"), QStringLiteral("extra")},
          QStringList{QStringLiteral("restore"), QStringLiteral("last")},
          QStringList{QStringLiteral("restore"), QStringLiteral("1"), QStringLiteral("2")},
          QStringList{QStringLiteral("--bogus"), QStringLiteral("list")}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const RunResult r = onLibrary(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString(); // one clear line
    }
    EXPECT_FALSE(QFile::exists(library));
    const RunResult help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("export-xml FILE")));
    const RunResult version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("tidyfox-library "))) << version.out.toStdString();
}

TEST_F(Cli, AddReportsUnreadableFilesAndAddsTheRest)
{
    QDir(dir.path()).mkpath(QStringLiteral("Music/Sub"));
    writeWav(file(QStringLiteral("Music/a.wav")), 1000);
    writeMp3(file(QStringLiteral("Music/Sub/b.mp3")), 40);
    tagFile(file(QStringLiteral("Music/Sub/b.mp3")),
            {QStringLiteral("Bee"), QStringLiteral("Artist"), QStringLiteral("Album"), QString(), QString()});
    writeTextFile(file(QStringLiteral("Music/Sub/garbage.mp3")), QStringLiteral("no frames here\n").repeated(40));
    writeTextFile(file(QStringLiteral("Music/readme.txt")), QStringLiteral("hello"));

    RunResult r = onLibrary({QStringLiteral("add"), file(QStringLiteral("Music"))});
    EXPECT_EQ(r.exitCode, 1); // one file could not be read
    EXPECT_TRUE(r.err.contains(QStringLiteral("garbage.mp3"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Added 2 tracks"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 file that is not audio"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QLatin1Char('\r'))); // no progress when not on a terminal

    const QStringList lines = onLibrary({QStringLiteral("list")}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].section(QLatin1Char('\t'), 2, 2), QStringLiteral("a"));
    EXPECT_EQ(lines[1].section(QLatin1Char('\t'), 2, 4), QStringLiteral("Bee\tArtist\tAlbum"));

    r = onLibrary({QStringLiteral("add"), file(QStringLiteral("Music/a.wav"))});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Added 0 tracks. 1 file was already in the library.")))
        << r.out.toStdString();
}

// list and export-xml only read: they never make a library of a file, and they
// work on one that cannot be written.
TEST_F(Cli, ListAndExportNeverWriteTheLibrary)
{
    writeTextFile(library, QString());
    EXPECT_EQ(onLibrary({QStringLiteral("list")}).exitCode, 0);
    EXPECT_EQ(onLibrary({QStringLiteral("export-xml"), file(QStringLiteral("empty.xml"))}).exitCode, 0);
    EXPECT_EQ(QFileInfo(library).size(), 0);
    QFile::remove(library);

    writeTextFile(file(QStringLiteral("in.xml")), sampleXml());
    ASSERT_EQ(onLibrary({QStringLiteral("import-xml"), file(QStringLiteral("in.xml"))}).exitCode, 0);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes read-only files";
    ASSERT_TRUE(QFile::setPermissions(library, QFile::ReadOwner));
    const RunResult listed = onLibrary({QStringLiteral("list")});
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.out.count(QLatin1Char('\n')), 2);
    const RunResult exported = onLibrary({QStringLiteral("export-xml"), file(QStringLiteral("out.xml"))});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
}

// Removals the program made in a job, listed and put back from the command
// line.
TEST_F(Cli, HistoryListsTheJobsAndRestorePutsTheLastOneBack)
{
    writeTextFile(file(QStringLiteral("in.xml")), sampleXml());
    ASSERT_EQ(onLibrary({QStringLiteral("import-xml"), file(QStringLiteral("in.xml")), QStringLiteral("--map-prefix"),
                         QStringLiteral("file://localhost/C:/Users/me/Music/=") + file(QStringLiteral("music/"))})
                  .exitCode,
              0);
    const QString listedBefore = onLibrary({QStringLiteral("list")}).out;
    EXPECT_EQ(onLibrary({QStringLiteral("history")}).out, QString());
    RunResult r = onLibrary({QStringLiteral("restore")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("history is empty"))) << r.err.toStdString();
    {
        auto store = tidyfox::library::LibraryStore::open(library);
        std::vector<std::int32_t> ids;
        store->forEachTrack(store->libraryPlaylistId(), [&](const tidyfox::library::TrackRecord &t, const QString &) {
            ids.push_back(t.databaseId);
        });
        ASSERT_EQ(ids.size(), 2u);
        const auto job = store->beginJob(QStringLiteral("duplicates"));
        // The first track's file went to the trash; the stream had none.
        const QString trash = tidyfox::homeTrashFolder();
        const QString trashed = trash + QStringLiteral("/files/First Song.mp3");
        const QString info = trash + QStringLiteral("/info/First Song.mp3.trashinfo");
        QDir().mkpath(trash + QStringLiteral("/files"));
        QDir().mkpath(trash + QStringLiteral("/info"));
        writeTextFile(trashed, QStringLiteral("sound"));
        writeTextFile(info, QStringLiteral("[Trash Info]\nPath=") + store->track(ids[0])->location + QLatin1Char('\n'));
        store->deleteTrackInJob(job, ids[0], trashed, info);
        store->deleteTrackInJob(job, ids[1], {}, {});
        store->endJob(job);
    }
    r = onLibrary({QStringLiteral("history")});
    EXPECT_EQ(r.exitCode, 0);
    const QStringList fields = r.out.trimmed().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 7) << r.out.toStdString();
    EXPECT_EQ(fields[1], QStringLiteral("duplicates"));
    EXPECT_EQ(fields.mid(4),
              (QStringList{QStringLiteral("2 tracks"), QStringLiteral("1 file"), QStringLiteral("removed")}));

    // The file cannot come back (another file is in its place now): said
    // so, and the tracks come back all the same.
    QDir().mkpath(file(QStringLiteral("music")));
    writeTextFile(file(QStringLiteral("music/First Song.mp3")), QStringLiteral("another song"));
    r = onLibrary({QStringLiteral("restore")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("First Song.mp3: could not be put back"))) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("Restored 2 tracks of job %1. 1 file stays in the trash.").arg(fields[0])))
        << r.out.toStdString();
    EXPECT_EQ(onLibrary({QStringLiteral("list")}).out, listedBefore);
    EXPECT_TRUE(onLibrary({QStringLiteral("history")}).out.trimmed().endsWith(QStringLiteral("\trestored")));

    r = onLibrary({QStringLiteral("restore"), fields[0]});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("already been restored"))) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);

    r = onLibrary({QStringLiteral("history"), QStringLiteral("--clear")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Cleared 1 job"))) << r.out.toStdString();
    EXPECT_EQ(onLibrary({QStringLiteral("history")}).out, QString());
}

TEST_F(Cli, APlayersLibraryTakesTheChangeOnlyWhenThePlayerIsNotRunning)
{
    const QString rhythmdb = file(QStringLiteral("rhythmdb.xml"));
    const QByteArray text = "<?xml version=\"1.0\" standalone=\"yes\"?>\n<rhythmdb version=\"2.0\">\n"
                            "  <entry type=\"song\">\n    <title>Twice</title>\n"
                            "    <location>file:///music/a.mp3</location>\n    <play-count>2</play-count>\n"
                            "  </entry>\n  <entry type=\"song\">\n    <title>Twice</title>\n"
                            "    <location>file:///music/copy/a.mp3</location>\n    <play-count>3</play-count>\n"
                            "  </entry>\n</rhythmdb>\n";
    writeTextFile(rhythmdb, QString::fromUtf8(text));
    RunResult r = onLibrary({QStringLiteral("import-rhythmbox"), rhythmdb});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Imported 2 tracks"))) << r.out.toStdString();

    const QString cut = file(QStringLiteral("cut.xml"));
    writeTextFile(cut, QString::fromUtf8(text.left(text.size() - 30)));
    r = run({QStringLiteral("--library"), file(QStringLiteral("other.db")), QStringLiteral("import-rhythmbox"), cut});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(cut) + QStringLiteral(":\\d+:\\d+: .*cut short"))
                    .match(r.err)
                    .hasMatch())
        << r.err.toStdString();
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);

    // The player is this test, on its own bus.
    static int argc = 1;
    static char name[] = "service_cli";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.gnome.Rhythmbox3")));
    {
        auto store = tidyfox::library::LibraryStore::open(library);
        std::vector<std::int32_t> ids;
        store->forEachTrack(store->libraryPlaylistId(), [&](const tidyfox::library::TrackRecord &t, const QString &) {
            ids.push_back(t.databaseId);
        });
        const auto job = store->beginJob(QStringLiteral("duplicates"));
        store->deleteTrackMergingIntoInJob(job, ids[1], ids[0], {}, {});
        store->endJob(job);
    }
    const QString line = QStringLiteral("Rhythmbox is running: its library is updated when it quits");
    r = onLibrary({QStringLiteral("sync")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("tidyfox-library: ") + line + QLatin1Char('\n'));
    EXPECT_EQ(readBytes(rhythmdb), text);

    ASSERT_TRUE(bus.unregisterService(QStringLiteral("org.gnome.Rhythmbox3")));
    r = onLibrary({QStringLiteral("sync")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray written = readBytes(rhythmdb);
    EXPECT_FALSE(written.contains("copy/a.mp3"));
    EXPECT_TRUE(written.contains("<play-count>5</play-count>"));
    EXPECT_EQ(onLibrary({QStringLiteral("sync")}).out,
              QStringLiteral("Nothing waits: the player's library has every change.\n"));
}
