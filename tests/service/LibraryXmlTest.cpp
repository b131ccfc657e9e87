// SPDX-License-Identifier: GPL-3.0-or-later
// Import and export of the library XML file: every field, playlists, the
// library order, relocation, duplicates, bad files and the round trip.
#include "LibraryXmlBuilder.h"
#include "XmlTokens.h"
#include "service/LibraryStore.h"
#include "service/LibraryXmlExport.h"
#include "service/LibraryXmlImport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <functional>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <set>
#include <sys/resource.h>

using namespace tidyfox::library;
using namespace tidyfox::library::test;

namespace {

XmlTrack fileTrack(qint64 id, const QString &name, const QString &location)
{
    XmlTrack t;
    t.id = id;
    t.persistentId = QStringLiteral("%1").arg(0xA000 + id, 16, 16, QLatin1Char('0')).toUpper();
    t.name = name;
    t.artist = QStringLiteral("Artist ") + name;
    t.album = QStringLiteral("Album ") + name;
    t.location = location;
    return t;
}

std::vector<QString> names(const std::vector<TrackRecord> &tracks)
{
    std::vector<QString> result;
    for (const auto &t : tracks)
        result.push_back(t.name);
    return result;
}

// What Python's plistlib, a reader that is not ours, says of each file it
// cannot load; empty when it loads them all.
QString plistlibFailures(const QStringList &files)
{
    static const char *script = "import plistlib, sys\n"
                                "for name in sys.argv[1:]:\n"
                                "    try:\n"
                                "        with open(name, 'rb') as f: plistlib.load(f)\n"
                                "    except Exception as e: print(name, type(e).__name__, e)\n";
    QProcess python;
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + files);
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return QStringLiteral("python3 did not run: ") + python.errorString() +
               QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput());
}

class XmlImport : public ::testing::Test
{
protected:
    void SetUp() override { store = LibraryStore::open(QStringLiteral(":memory:")); }

    QString write(const QString &name, const QString &text)
    {
        const QString path = dir.filePath(name);
        writeTextFile(path, text);
        return path;
    }

    XmlImportSummary import(const QString &path, const LocationMapper &locations = {})
    {
        return importLibraryXml(*store, path, XmlImportOptions{locations, {}});
    }

    std::vector<TrackRecord> library() { return store->playlistTracks(store->libraryPlaylistId()); }

    std::optional<PlaylistRecord> playlistNamed(const QString &name)
    {
        for (const auto &p : store->playlists()) {
            if (p.name == name)
                return p;
        }
        return std::nullopt;
    }

    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store;
};

} // namespace

TEST_F(XmlImport, ReadsEveryFieldOfATrack)
{
    XmlTrack t = fileTrack(4711, QStringLiteral("Café & Co"),
                           QStringLiteral("file://localhost/home/me/Music/Caf%C3%A9%20%26%20Co.mp3"));
    t.composer = QStringLiteral("Composer");
    t.genre = QStringLiteral("Jazz");
    t.kind = QStringLiteral("AAC audio file");
    t.totalTime = 3723000;
    t.bitRate = 256;
    t.sampleRate = 48000;
    t.size = 6543210;
    t.dateAdded = QStringLiteral("2019-11-12T13:14:15Z");
    XmlTrack stream;
    stream.id = 4712;
    stream.name = QStringLiteral("Radio");
    stream.kind = QString();
    stream.trackType = QStringLiteral("URL");
    stream.location = QStringLiteral("http://radio.example/live?x=1&y=2");
    XmlTrack remote = fileTrack(4713, QStringLiteral("In the cloud"), QString());
    remote.trackType = QStringLiteral("Remote");
    remote.location = QString();

    const auto summary = import(write(QStringLiteral("a.xml"), libraryXml({t, stream, remote}, {})));
    EXPECT_EQ(summary.tracksAdded, 3);

    const auto tracks = library();
    ASSERT_EQ(tracks.size(), 3u);
    const TrackRecord &r = tracks[0];
    EXPECT_EQ(r.trackId, 4711); // the file's own ID in a fresh library
    EXPECT_EQ(r.persistentId, t.persistentId);
    EXPECT_EQ(r.name, QStringLiteral("Café & Co"));
    EXPECT_EQ(r.artist, t.artist);
    EXPECT_EQ(r.album, t.album);
    EXPECT_EQ(r.composer, QStringLiteral("Composer"));
    EXPECT_EQ(r.genre, QStringLiteral("Jazz"));
    EXPECT_EQ(r.kindAsString, QStringLiteral("AAC audio file"));
    EXPECT_EQ(r.totalTimeMs, 3723000);
    EXPECT_EQ(r.time, QStringLiteral("1:02:03"));
    EXPECT_EQ(r.bitRate, 256);
    EXPECT_EQ(r.sampleRate, 48000);
    EXPECT_EQ(r.size, 6543210);
    EXPECT_EQ(r.dateAdded, QDateTime(QDate(2019, 11, 12), QTime(13, 14, 15), Qt::UTC));
    EXPECT_EQ(r.kind, TrackKind::File);
    EXPECT_EQ(r.location, QStringLiteral("/home/me/Music/Café & Co.mp3"));

    EXPECT_EQ(tracks[1].kind, TrackKind::Url);
    EXPECT_EQ(tracks[1].location, QStringLiteral("http://radio.example/live?x=1&y=2"));
    EXPECT_EQ(tracks[1].kindAsString, QStringLiteral("Internet audio stream"));
    EXPECT_EQ(tracks[2].kind, TrackKind::Url); // no file on this machine
    EXPECT_EQ(store->trackType(tracks[2].databaseId), QStringLiteral("Remote"));

    // Keys are compared where they stand with those of the track before:
    // one in another place, one broken by a comment. Numbers in the plain
    // form and in others, and a date that is not in UTC.
    import(write(QStringLiteral("b.xml"), QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Tracks</key><dict>
<key>1</key><dict><key>Track ID</key><integer>1</integer><key>Name</key><string>One</string>
<key>Size</key><integer>0042</integer><key>Total Time</key><integer>+61000</integer>
<key>Location</key><string>file://localhost/m/1.mp3</string></dict>
<key>2</key><dict><key>Track ID</key><integer>2</integer><key>Size</key><integer>1234567890123456789</integer>
<key>Na<!-- in two -->me</key><string>Two</string><key>Total Time</key><integer> 7 </integer>
<key>Date Added</key><date>2020-01-02T03:04:05+01:00</date>
<key>Location</key><string>file://localhost/m/2.mp3</string></dict>
</dict><key>Playlists</key><array/></dict></plist>)")));
    const auto more = library();
    ASSERT_EQ(more.size(), 5u);
    EXPECT_EQ(more[3].name, QStringLiteral("One"));
    EXPECT_EQ(more[3].size, 42);
    EXPECT_EQ(more[3].totalTimeMs, 61000);
    EXPECT_EQ(more[4].name, QStringLiteral("Two"));
    EXPECT_EQ(more[4].size, 1234567890123456789);
    EXPECT_EQ(more[4].totalTimeMs, 7);
    EXPECT_EQ(more[4].dateAdded, QDateTime(QDate(2020, 1, 2), QTime(2, 4, 5), Qt::UTC));
    EXPECT_EQ(more[4].location, QStringLiteral("/m/2.mp3"));
}

TEST_F(XmlImport, PlaylistsKeepTheirItemsInOrderAndTheMasterGivesTheLibraryOrder)
{
    const std::vector<XmlTrack> tracks = {fileTrack(10, QStringLiteral("A"), QStringLiteral("file:///m/a.mp3")),
                                          fileTrack(20, QStringLiteral("B"), QStringLiteral("file:///m/b.mp3")),
                                          fileTrack(30, QStringLiteral("C"), QStringLiteral("file:///m/c.mp3"))};
    XmlPlaylist master{QStringLiteral("Library"), 1000, QStringLiteral("00000000000000F0"), true, {}, {30, 10, 20}};
    XmlPlaylist mix{QStringLiteral("Mix"), 1001, QStringLiteral("00000000000000F1"), false, {}, {20, 20, 99, 10}};
    XmlPlaylist smart{QStringLiteral("Recent"),
                      1002,
                      QStringLiteral("00000000000000F2"),
                      false,
                      QStringLiteral("\t\t\t<key>Smart Info</key><data>AAEC</data>\n"),
                      {10}};
    XmlPlaylist folder{QStringLiteral("Folder"),
                       1003,
                       QStringLiteral("00000000000000F3"),
                       false,
                       QStringLiteral("\t\t\t<key>Folder</key><true/>\n"),
                       {10}};
    XmlPlaylist special{QStringLiteral("Music"),
                        1004,
                        QStringLiteral("00000000000000F4"),
                        false,
                        QStringLiteral("\t\t\t<key>Distinguished Kind</key><integer>4</integer>\n"),
                        {10, 20}};
    const auto summary =
        import(write(QStringLiteral("p.xml"), libraryXml(tracks, {master, mix, smart, folder, special})));

    // Smart playlists are listed like any other; folders and the player's own
    // playlists are kept for the export but not listed.
    EXPECT_EQ(summary.playlistsAdded, 2);
    EXPECT_EQ(summary.playlistsLeftOut, 2);
    EXPECT_EQ(names(library()), (std::vector<QString>{"C", "A", "B"}));
    EXPECT_EQ(store->allPlaylists().size(), 5u);
    const auto playlists = store->playlists();
    ASSERT_EQ(playlists.size(), 3u);
    EXPECT_EQ(playlists[0].kind, 1);
    EXPECT_EQ(playlists[1].name, QStringLiteral("Mix"));
    EXPECT_EQ(playlists[1].kind, 2);
    EXPECT_EQ(playlists[2].name, QStringLiteral("Recent"));
    EXPECT_EQ(playlists[2].kind, 2);
    EXPECT_EQ(playlists[1].playlistId, 1001);
    EXPECT_EQ(playlists[1].persistentId, QStringLiteral("00000000000000F1"));
    // An item naming a track the file does not have is dropped.
    EXPECT_EQ(names(store->playlistTracks(1001)), (std::vector<QString>{"B", "B", "A"}));
}

// A location is cleaned as the track comes in, so that nothing later reaches
// another file through it; one that cannot be cleaned refuses its track, with
// a note at its place.
TEST_F(XmlImport, LocationsAreCleanedOnceOrTheirTrackIsRefused)
{
    const std::vector<std::pair<QString, QString>> accepted = {
        {QStringLiteral("file://localhost/m/a/%2e%2e/%2E%2E/home/me/.bashrc"), QStringLiteral("/home/me/.bashrc")},
        {QStringLiteral("file:///m/./b//c.mp3"), QStringLiteral("/m/b/c.mp3")},
        {QStringLiteral("file://LocalHost/../../d.mp3"), QStringLiteral("/d.mp3")},
        {QStringLiteral("/m/e/../e.mp3"), QStringLiteral("/m/e.mp3")},
    };
    const QStringList refused = {
        QStringLiteral("file:///m/victim.txt%00.mp3"), QStringLiteral("file://nas/share/f.mp3"),
        QStringLiteral("file://evil%2Fhost/g.mp3"),
        QStringLiteral("music/h.mp3"), // a file in the service's working folder
    };
    std::vector<XmlTrack> tracks;
    for (const auto &[location, path] : accepted)
        tracks.push_back(fileTrack(qint64(tracks.size() + 1), path, location));
    for (const QString &location : refused)
        tracks.push_back(fileTrack(qint64(tracks.size() + 1), QStringLiteral("Bait"), location));
    XmlPlaylist mix{QStringLiteral("Mix"), 300, QStringLiteral("00000000000000F1"), false, {}, {5, 1}};
    const auto summary = import(write(QStringLiteral("locations.xml"), libraryXml(tracks, {mix})));

    const auto r = library();
    ASSERT_EQ(r.size(), accepted.size());
    for (const TrackRecord &t : r) {
        EXPECT_EQ(t.kind, TrackKind::File);
        EXPECT_EQ(t.location, t.name);
    }
    EXPECT_EQ(summary.tracksRefused, 4);
    ASSERT_EQ(summary.notes.size(), 4u);
    const QStringList why = {"NUL", "another machine (\"nas\")", "another machine (\"evil/host\")", "not a full path"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_GT(summary.notes[i].line, 0);
        EXPECT_TRUE(
            summary.notes[i].message.startsWith(QStringLiteral("track %1 (\"Bait\") not imported: ").arg(i + 5)));
        EXPECT_TRUE(summary.notes[i].message.contains(why[qsizetype(i)])) << summary.notes[i].message.toStdString();
    }
    EXPECT_EQ(names(store->playlistTracks(300)), (std::vector<QString>{r[0].name}));

    // A share on another machine mapped onto a folder here is a place here.
    LocationMapper locations;
    ASSERT_TRUE(locations.addMapping(QStringLiteral("file://nas/share/=/mnt/share/")));
    EXPECT_EQ(locations.toPath(QStringLiteral("file://nas/share/x/../f.mp3")).path, QStringLiteral("/mnt/share/f.mp3"));
    EXPECT_FALSE(locations.toPath(QStringLiteral("file://nas/other/f.mp3")).accepted());
}

TEST_F(XmlImport, IdsOutOfRangeAreRenumberedAndNewIdsDoNotRunOut)
{
    const std::vector<XmlTrack> tracks = {fileTrack(99999999999, QStringLiteral("Huge"), QStringLiteral("/m/h.mp3")),
                                          fileTrack(88888888888, QStringLiteral("Also"), QStringLiteral("/m/a.mp3")),
                                          fileTrack(2147483647, QStringLiteral("Top"), QStringLiteral("/m/t.mp3")),
                                          fileTrack(-7, QStringLiteral("Below"), QStringLiteral("/m/b.mp3")),
                                          fileTrack(12, QStringLiteral("Twelve"), QStringLiteral("/m/12.mp3")),
                                          fileTrack(12, QStringLiteral("Twelve again"), QStringLiteral("/m/12b.mp3"))};
    // A TrackID given twice stands for the later track in the playlists.
    XmlPlaylist mix{
        QStringLiteral("Mix"), 5, QStringLiteral("00000000000000F1"), false, {}, {88888888888, 99999999999, 12, -7}};
    import(write(QStringLiteral("huge.xml"), libraryXml(tracks, {mix})));
    EXPECT_EQ(names(store->playlistTracks(5)), (std::vector<QString>{"Also", "Huge", "Twelve again", "Below"}));
    std::set<std::int32_t> ids;
    for (const auto &t : library())
        ids.insert(t.trackId);
    EXPECT_EQ(ids.size(), 6u);
    EXPECT_TRUE(ids.contains(2147483647)); // in range, so kept

    // The top ID is taken; a new track gets a free one instead of failing.
    TrackRecord added;
    added.name = QStringLiteral("Later");
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(ids.insert(store->addTrack(added).trackId).second);
}

TEST_F(XmlImport, PlaylistsBeforeTracksAreStillResolved)
{
    const std::vector<XmlTrack> tracks = {fileTrack(10, QStringLiteral("A"), QStringLiteral("file:///m/a.mp3")),
                                          fileTrack(20, QStringLiteral("B"), QStringLiteral("file:///m/b.mp3"))};
    XmlPlaylist mix{QStringLiteral("Mix"), 0, QString(), false, {}, {20, 10}};
    import(write(QStringLiteral("p.xml"), libraryXml(tracks, {mix}, true)));
    ASSERT_TRUE(playlistNamed(QStringLiteral("Mix")));
    EXPECT_EQ(names(store->playlistTracks(playlistNamed(QStringLiteral("Mix"))->playlistId)),
              (std::vector<QString>{"B", "A"}));

    // The second reading, for the playlists, goes on from where the tracks
    // end without scanning them: the place of a value after them is the one
    // the first reading gave, whatever part of a character the first chunk
    // of the file (256 KiB) ends in, with line ends of two characters and
    // a U+FEFF right after the tracks.
    QString text = libraryXml(tracks, {mix}, true).replace(u'\n', QStringLiteral("\r\n"));
    const qsizetype rootEnd = text.lastIndexOf(QStringLiteral("</dict>"));
    const qsizetype tracksEnd = text.lastIndexOf(QStringLiteral("</dict>"), rootEnd - 1);
    const qsizetype filler = 256 * 1024 - 600 - text.left(tracksEnd).toUtf8().size() - 14;
    text.insert(tracksEnd, QStringLiteral("<!--%1-->").arg(QString(filler, u'x')));
    const qsizetype after =
        text.lastIndexOf(QStringLiteral("</dict>"), text.lastIndexOf(QStringLiteral("</dict>")) - 1) + 7;
    for (int pad = 0; pad < 4; ++pad) {
        store = LibraryStore::open(QStringLiteral(":memory:"));
        QString padded = text;
        padded.insert(after, QChar(0xFEFF) + QString(pad, u' ') + QStringLiteral("<!--") +
                                 QString::fromUtf8("\xF0\x9D\x84\x9E").repeated(300) +
                                 QStringLiteral("-->\r\n<key>Odd Date</key><date>\u00e9t\u00e9</date>\r\n"));
        const auto summary = import(write(QStringLiteral("split.xml"), padded));
        std::vector<std::pair<qint64, qint64>> places;
        for (const auto &n : summary.notes) {
            if (n.message.contains(QStringLiteral("Odd Date")))
                places.emplace_back(n.line, n.column);
        }
        ASSERT_EQ(places.size(), 2u) << pad; // once in each reading
        EXPECT_EQ(places[0], places[1]) << pad;
        ASSERT_TRUE(playlistNamed(QStringLiteral("Mix")));
        EXPECT_EQ(store->playlistTracks(playlistNamed(QStringLiteral("Mix"))->playlistId).size(), 2u);
    }
}

TEST_F(XmlImport, MapPrefixRelocatesFilesFromAnotherMachine)
{
    const std::vector<XmlTrack> tracks = {
        fileTrack(1, QStringLiteral("A"), QStringLiteral("file://localhost/C:/Users/me/Music/Artist/a%20b.mp3")),
        fileTrack(2, QStringLiteral("B"), QStringLiteral("file://localhost/c:/users/me/music/b.mp3")),
        fileTrack(3, QStringLiteral("C"), QStringLiteral("file://localhost/C:/Users/me/Musical/c.mp3")),
        fileTrack(4, QStringLiteral("D"), QStringLiteral("file://localhost/D:/Other/d.mp3")),
        fileTrack(5, QStringLiteral("E"), QStringLiteral("file://localhost/Volumes/Disk/Music/e.mp3")),
    };
    LocationMapper locations;
    ASSERT_TRUE(locations.addMapping(QStringLiteral("file://localhost/C:/Users/me/Music/=/home/me/Music/")));
    ASSERT_TRUE(locations.addMapping(QStringLiteral("/Volumes/Disk/Music=/mnt/disk/music")));
    EXPECT_FALSE(locations.addMapping(QStringLiteral("no equals sign")));
    import(write(QStringLiteral("m.xml"), libraryXml(tracks, {})), locations);

    const auto r = library();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].location, QStringLiteral("/home/me/Music/Artist/a b.mp3"));
    EXPECT_EQ(r[1].location, QStringLiteral("/home/me/Music/b.mp3"));      // drive paths ignore case
    EXPECT_EQ(r[2].location, QStringLiteral("C:/Users/me/Musical/c.mp3")); // whole folder names only
    EXPECT_EQ(r[3].location, QStringLiteral("D:/Other/d.mp3"));
    EXPECT_EQ(r[4].location, QStringLiteral("/mnt/disk/music/e.mp3"));
}

TEST_F(XmlImport, TracksAndPlaylistsAlreadyPresentAreNotAddedTwice)
{
    const auto a = fileTrack(10, QStringLiteral("A"), QStringLiteral("file:///m/a.mp3"));
    const auto b = fileTrack(20, QStringLiteral("B"), QStringLiteral("file:///m/b.mp3"));
    XmlPlaylist mix{QStringLiteral("Mix"), 500, QStringLiteral("00000000000000F1"), false, {}, {20, 10}};
    const QString first = write(QStringLiteral("1.xml"), libraryXml({a, b}, {mix}));
    import(first);
    const auto again = import(first);
    EXPECT_EQ(again.tracksAdded, 0);
    EXPECT_EQ(again.tracksAlreadyPresent, 2);
    EXPECT_EQ(again.playlistsAlreadyPresent, 1);
    EXPECT_EQ(library().size(), 2u);
    EXPECT_EQ(store->playlists().size(), 2u);

    // Another file with one known track under a different TrackID, and a new
    // one whose TrackID this library already gave away.
    auto knownB = b;
    knownB.id = 77;
    auto c = fileTrack(10, QStringLiteral("C"), QStringLiteral("file:///m/c.mp3"));
    c.persistentId = QStringLiteral("00000000000C0C0C");
    XmlPlaylist other{QStringLiteral("Other"), 501, QStringLiteral("00000000000000F2"), false, {}, {10, 77}};
    const auto summary = import(write(QStringLiteral("2.xml"), libraryXml({knownB, c}, {other})));
    EXPECT_EQ(summary.tracksAdded, 1);
    EXPECT_EQ(summary.tracksAlreadyPresent, 1);
    const auto tracks = library();
    ASSERT_EQ(names(tracks), (std::vector<QString>{"A", "B", "C"}));
    EXPECT_NE(tracks[2].trackId, 10);
    EXPECT_EQ(names(store->playlistTracks(501)), (std::vector<QString>{"C", "B"}));
    EXPECT_EQ(store->playlistTracks(501)[1].databaseId, tracks[1].databaseId);
}

TEST_F(XmlImport, BadFilesStopWithTheirPlaceAndChangeNothing)
{
    import(write(QStringLiteral("good.xml"),
                 libraryXml({fileTrack(1, QStringLiteral("Kept"), QStringLiteral("file:///m/k.mp3"))}, {})));

    struct Case
    {
        const char *what;
        QString text;
        qint64 line;
        const char *message;
    };
    QString broken = libraryXml({fileTrack(2, QStringLiteral("X"), QStringLiteral("file:///m/x.mp3")),
                                 fileTrack(3, QStringLiteral("Y"), QStringLiteral("file:///m/y.mp3"))},
                                {});
    // The error is in the second track, after the first was read and stored.
    QStringList lines = broken.split(QLatin1Char('\n'));
    const qsizetype badLine = lines.indexOf(QStringLiteral("\t\t\t<key>Name</key><string>Y</string>"));
    ASSERT_GT(badLine, 0);
    lines[badLine] = QStringLiteral("\t\t\t<key>Name</key><string>Y</strin>");
    const std::vector<Case> cases = {
        {"mismatched tags", lines.join(QLatin1Char('\n')), badLine + 1, "tag mismatch"},
        {"not a plist", QStringLiteral("<?xml version=\"1.0\"?>\n<html><body/></html>\n"), 2, "<html>"},
        {"no tracks",
         QStringLiteral("<plist version=\"1.0\">\n<dict>\n<key>Other</key><string>x</string>\n</dict>\n"
                        "</plist>\n"),
         4, "no \"Tracks\""},
        {"not a number",
         QStringLiteral("<plist>\n<dict>\n<key>Tracks</key>\n<dict>\n<key>1</key>\n<dict>\n"
                        "<key>Track ID</key><integer>one</integer>\n</dict></dict></dict></plist>\n"),
         7, "not a number"},
        {"value missing",
         QStringLiteral("<plist>\n<dict>\n<key>Tracks</key>\n<dict>\n<key>1</key>\n<dict>\n"
                        "<key>Name</key>\n</dict></dict></dict></plist>\n"),
         8, "has no value"},
        {"cut short", broken.left(broken.size() / 2), 0, "ends too early"},
        {"empty", QString(), 1, "empty"},
        {"only a declaration", QStringLiteral("<?xml version=\"1.0\"?>\n"), 0, "ends too early"},
        // Found by the fuzzer: refused with an empty message.
        {"a document type inside a text",
         QStringLiteral("<plist>\n<dict>\n<key>Tracks</key>\n<dict>\n<key>1</key>\n<dict>\n"
                        "<key>Name</key><string>a<!DOCTYPE plist>b</string>\n</dict></dict></dict></plist>\n"),
         7, "unexpected DTD"},
        {"a text of over 16 MB",
         QStringLiteral("<plist>\n<dict>\n<key>Tracks</key>\n<dict>\n<key>1</key>\n<dict>\n<key>Name</key><string>") +
             QString(17 * 1024 * 1024, QLatin1Char('a')) + QStringLiteral("</string>\n</dict></dict></dict></plist>\n"),
         7, "longer than 16 MB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = write(QStringLiteral("bad.xml"), c.text);
        try {
            import(path);
            ADD_FAILURE() << "imported a bad file";
        } catch (const XmlImportError &e) {
            if (c.line > 0) {
                EXPECT_EQ(e.line(), c.line);
                EXPECT_GT(e.column(), 0);
            }
            EXPECT_TRUE(e.message().contains(QLatin1String(c.message), Qt::CaseInsensitive))
                << e.message().toStdString();
        }
        EXPECT_EQ(names(library()), (std::vector<QString>{"Kept"}));
        EXPECT_EQ(store->playlists().size(), 1u);
    }

    // The library failing to store a track far into a long file, with a
    // fault in the file after it: the tracks are stored on a thread of
    // their own while the file is read on, yet the library's failure is the
    // one reported, and nothing is kept.
    {
        std::vector<XmlTrack> many;
        for (int i = 1; i <= 3000; ++i)
            many.push_back(fileTrack(100 + i, QStringLiteral("T%1").arg(i), QStringLiteral("file:///m/%1.mp3").arg(i)));
        QString text = libraryXml(many, {});
        text.replace(QStringLiteral("<string>T2900</string>"), QStringLiteral("<string>T2900</strin>"));
        store->database().exec("CREATE TEMP TRIGGER refuse BEFORE INSERT ON tracks WHEN NEW.name = 'T1200'"
                               " BEGIN SELECT RAISE(ABORT, 'no room for T1200'); END");
        try {
            import(write(QStringLiteral("long.xml"), text));
            ADD_FAILURE() << "imported what the library refused";
        } catch (const LibraryError &e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(QLatin1String("no room for T1200"))) << e.what();
        }
        EXPECT_EQ(names(library()), (std::vector<QString>{"Kept"}));
        store->database().exec("DROP TRIGGER refuse");
    }

    // 40 arrays, each holding the next one twice: a few hundred bytes that
    // expand to 2^40 objects.
    QByteArray shared("bplist00");
    QByteArray offsets;
    for (int i = 0; i <= 40; ++i) {
        offsets.append(char(0)).append(char(shared.size()));
        shared.append(i < 40 ? QByteArray("\xA2", 1).append(char(i + 1)).append(char(i + 1)) : QByteArray("\x08", 1));
    }
    const qsizetype table = shared.size();
    shared.append(offsets).append(QByteArray(6, '\0')).append('\x02').append('\x01');
    for (const std::uint64_t word : {std::uint64_t(41), std::uint64_t(0), std::uint64_t(table)}) {
        for (int shift = 56; shift >= 0; shift -= 8)
            shared.append(char((word >> shift) & 0xFF));
    }

    // Not XML at all: one plain line at the start of the file.
    const std::pair<QByteArray, const char *> foreign[] = {
        {QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00", 8), "compressed with gzip"},
        {QByteArray("bplist00\x01\x02garbage", 17), "damaged binary property list"},
        {shared, "would expand to more than 1048576 elements"},
        {QByteArray("\x89PNG\r\n\x1a\n\0\0", 10), "binary data"},
    };
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (const auto &[bytes, message] : foreign) {
        SCOPED_TRACE(message);
        const QString path = dir.filePath(QStringLiteral("foreign"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        try {
            import(path);
            ADD_FAILURE() << "imported a foreign file";
        } catch (const XmlImportError &e) {
            EXPECT_EQ(e.line(), 1);
            EXPECT_TRUE(e.message().startsWith(QLatin1String("not a library export: ")));
            EXPECT_TRUE(e.message().contains(QLatin1String(message))) << e.message().toStdString();
        }
        EXPECT_EQ(names(library()), (std::vector<QString>{"Kept"}));
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kB more at the peak";
}

// Faults of a file that lose nothing: each is mended or kept as the file
// gives it, said in a note, and the export is one that other readers load.
TEST_F(XmlImport, FaultsInAFileAreMendedOrNamedAndTheExportStillLoads)
{
    auto a = fileTrack(1, QStringLiteral("A"), QStringLiteral("file:///m/a.mp3"));
    auto b = fileTrack(2, QStringLiteral("B"), QStringLiteral("file:///m/b.mp3"));
    b.persistentId = a.persistentId;
    b.size = 7;
    b.dateAdded = QStringLiteral("2020-13-45T00:00:00Z");
    XmlPlaylist mix{QStringLiteral("Mix"),
                    300,
                    QStringLiteral("00000000000000F1"),
                    false,
                    QStringLiteral("\t\t\t<key>Made</key><date>yesterday</date>\n"
                                   "\t\t\t<key>Dates</key>\n\t\t\t<array><date>2020-01-01T00:00:00Z</date>"
                                   "<date>never</date></array>\n"
                                   "\t\t\t<key>Count</key><integer>12abc</integer>\n"),
                    {2, 1}};
    XmlPlaylist again{QStringLiteral("Mix again"), 301, mix.persistentId, false, {}, {1}};
    QString text = libraryXml({a, b}, {mix, again});
    const QString huge = QStringLiteral("1180591620717411303424"); // 2^70
    text.replace(QStringLiteral("<key>Size</key><integer>7<"), QStringLiteral("<key>Size</key><integer>%1<").arg(huge));
    text.replace(QStringLiteral("<key>Name</key><string>B</string>\n"),
                 QStringLiteral("<key>Name</key><string>B</string>\n\t\t\t<key>Name</key><string>B again</string>\n"));
    const QString source = write(QStringLiteral("faults.xml"), text);
    const auto summary = import(source);

    EXPECT_EQ(summary.tracksAdded, 2);
    EXPECT_EQ(summary.persistentIdsRenewed, 1);
    QStringList notes;
    for (const XmlImportNote &note : summary.notes) {
        EXPECT_GT(note.line, 0);
        notes << note.message;
    }
    ASSERT_EQ(notes.size(), 7) << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes[0].contains(QLatin1String("\"Size\" is ") + huge)) << notes[0].toStdString();
    EXPECT_TRUE(notes[1].startsWith(QLatin1String("\"Date Added\" is not a date"))) << notes[1].toStdString();
    EXPECT_TRUE(notes[2].startsWith(QLatin1String("track 2 (\"B\") has the Persistent ID ") + a.persistentId))
        << notes[2].toStdString();
    EXPECT_TRUE(notes[3].startsWith(QLatin1String("\"Made\" is not a valid <date>"))) << notes[3].toStdString();
    EXPECT_TRUE(notes[4].startsWith(QLatin1String("\"Dates\" holds a value"))) << notes[4].toStdString();
    EXPECT_TRUE(notes[5].startsWith(QLatin1String("\"Count\" is not a valid <integer>"))) << notes[5].toStdString();
    EXPECT_TRUE(notes[6].startsWith(QLatin1String("playlist \"Mix again\" has the Playlist Persistent ID ")))
        << notes[6].toStdString();
    const auto tracks = library();
    ASSERT_EQ(names(tracks), (std::vector<QString>{"A", "B"}));
    EXPECT_NE(tracks[1].persistentId, a.persistentId);
    EXPECT_EQ(tracks[1].size, 0); // past what the library counts with
    EXPECT_EQ(names(store->playlistTracks(300)), (std::vector<QString>{"B", "A"}));
    EXPECT_EQ(names(store->playlistTracks(301)), (std::vector<QString>{"A"}));

    // A tag read from an audio file can hold what XML cannot.
    TrackRecord tagged;
    tagged.name = QStringLiteral("Bell\x07");
    store->addTrack(tagged);

    const QString exported = dir.filePath(QStringLiteral("out.xml"));
    exportLibraryXml(*store, exported);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString out = QString::fromUtf8(file.readAll());
    const QString twice =
        QStringLiteral("<key>Name</key><string>B</string>\n\t\t\t<key>Name</key><string>B again</string>\n");
    EXPECT_EQ(out.count(twice), 1);
    EXPECT_TRUE(out.contains(QStringLiteral("<key>Size</key><integer>%1</integer>").arg(huge)));
    EXPECT_EQ(plistlibFailures({exported}).toStdString(), "");

    // Neither file adds anything again, the second track included.
    EXPECT_EQ(import(source).tracksAdded, 0);
    EXPECT_EQ(import(exported).tracksAdded, 0);
    EXPECT_EQ(library().size(), 3u);
    EXPECT_EQ(store->playlists().size(), 3u);
}

TEST_F(XmlImport, ExportThenImportGivesTheSameLibrary)
{
    XmlTrack a = fileTrack(10, QStringLiteral("Ä <odd> & \"name\""),
                           QStringLiteral("file://localhost/home/me/Music/%C3%84%20odd%23%3F.mp3"));
    a.composer = QStringLiteral("Composer");
    a.genre = QStringLiteral("Genre");
    a.totalTime = 187000;
    a.bitRate = 320;
    a.sampleRate = 44100;
    a.size = 123456;
    a.dateAdded = QStringLiteral("2018-01-02T03:04:05Z");
    XmlTrack stream;
    stream.id = 11;
    stream.persistentId = QStringLiteral("00000000000000BB");
    stream.name = QStringLiteral("Radio");
    stream.kind = QStringLiteral("Internet audio stream");
    stream.trackType = QStringLiteral("URL");
    stream.location = QStringLiteral("http://radio.example/live");
    const auto b = fileTrack(12, QStringLiteral("B"), QStringLiteral("file:///m/b.mp3"));
    XmlPlaylist master{QStringLiteral("Library"), 1, QString(), true, {}, {12, 10, 11}};
    XmlPlaylist mix{QStringLiteral("Mix"), 40, QStringLiteral("00000000000000F1"), false, {}, {11, 12, 11}};
    XmlPlaylist empty{QStringLiteral("Empty"), 41, QStringLiteral("00000000000000F2"), false, {}, {}};
    import(write(QStringLiteral("source.xml"), libraryXml({a, stream, b}, {master, mix, empty})));

    const QString exported = dir.filePath(QStringLiteral("export.xml"));
    writeTextFile(exported, QStringLiteral("an older file that the export replaces"));
    exportLibraryXml(*store, exported);

    auto copy = LibraryStore::open(QStringLiteral(":memory:"));
    importLibraryXml(*copy, exported, XmlImportOptions{});
    const auto before = library();
    const auto after = copy->playlistTracks(copy->libraryPlaylistId());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i].name.toStdString());
        EXPECT_EQ(after[i].trackId, before[i].trackId);
        EXPECT_EQ(after[i].kind, before[i].kind);
        EXPECT_EQ(after[i].persistentId, before[i].persistentId);
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].artist, before[i].artist);
        EXPECT_EQ(after[i].album, before[i].album);
        EXPECT_EQ(after[i].composer, before[i].composer);
        EXPECT_EQ(after[i].genre, before[i].genre);
        EXPECT_EQ(after[i].kindAsString, before[i].kindAsString);
        EXPECT_EQ(after[i].totalTimeMs, before[i].totalTimeMs);
        EXPECT_EQ(after[i].bitRate, before[i].bitRate);
        EXPECT_EQ(after[i].sampleRate, before[i].sampleRate);
        EXPECT_EQ(after[i].size, before[i].size);
        EXPECT_EQ(after[i].dateAdded, before[i].dateAdded);
        EXPECT_EQ(after[i].location, before[i].location);
    }
    EXPECT_EQ(before[1].location, QStringLiteral("/home/me/Music/Ä odd#?.mp3"));
    const auto playlistsBefore = store->playlists();
    const auto playlistsAfter = copy->playlists();
    ASSERT_EQ(playlistsAfter.size(), playlistsBefore.size());
    for (std::size_t i = 1; i < playlistsBefore.size(); ++i) {
        EXPECT_EQ(playlistsAfter[i].name, playlistsBefore[i].name);
        EXPECT_EQ(playlistsAfter[i].playlistId, playlistsBefore[i].playlistId);
        EXPECT_EQ(playlistsAfter[i].persistentId, playlistsBefore[i].persistentId);
        EXPECT_EQ(names(copy->playlistTracks(playlistsAfter[i].playlistId)),
                  names(store->playlistTracks(playlistsBefore[i].playlistId)));
    }
}

TEST_F(XmlImport, ExportToAFolderThatDoesNotExistFails)
{
    EXPECT_THROW(exportLibraryXml(*store, dir.filePath(QStringLiteral("missing/folder/out.xml"))), LibraryError);
}

TEST_F(XmlImport, ReimportWithoutPersistentIdsAddsNothingAndFileFactsSurvive)
{
    // No persistent IDs, as iTunes 5 wrote them; a size over 4 GB; no Date
    // Added; a track outside the master playlist; an iTunes 5 built-in.
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "\t<key>Tracks</key>\n\t<dict>\n"
        "\t\t<key>44</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>44</integer>\n"
        "\t\t\t<key>Name</key><string>Big</string>\n\t\t\t<key>Size</key><integer>5095599673</integer>\n"
        "\t\t\t<key>Location</key><string>file://localhost/m/big.mov</string>\n\t\t</dict>\n"
        "\t\t<key>45</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>45</integer>\n"
        "\t\t\t<key>Name</key><string>Listed</string>\n\t\t\t<key>Size</key><integer>2849631385</integer>\n"
        "\t\t\t<key>Location</key><string>file://localhost/m/listed.mov</string>\n\t\t</dict>\n"
        "\t\t<key>46</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>46</integer>\n"
        "\t\t\t<key>Name</key><string>No file</string>\n\t\t</dict>\n"
        "\t\t<key>47</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>47</integer>\n"
        "\t\t\t<key>Name</key><string>No file</string>\n\t\t</dict>\n"
        "\t</dict>\n\t<key>Playlists</key>\n\t<array>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>Bibliotheek</string>\n\t\t\t<key>Master</key><true/>\n"
        "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
        "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>45</integer>\n\t\t\t\t</dict>\n"
        "\t\t\t</array>\n\t\t</dict>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>Party Shuffle</string>\n"
        "\t\t\t<key>Party Shuffle</key><true/>\n\t\t</dict>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>Mix</string>\n\t\t</dict>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>Mix</string>\n\t\t</dict>\n"
        "\t</array>\n</dict>\n</plist>\n");
    const QString path = write(QStringLiteral("nl.xml"), text);
    const auto first = import(path);
    EXPECT_EQ(first.tracksAdded, 4);    // two tracks of one name without a file stay two
    EXPECT_EQ(first.playlistsAdded, 2); // two of one name without persistent IDs stay two as well
    EXPECT_EQ(first.playlistsLeftOut, 1);
    const auto again = import(path);
    EXPECT_EQ(again.tracksAdded, 0);
    EXPECT_EQ(again.playlistsAlreadyPresent, 3);

    const auto tracks = library();
    EXPECT_EQ(names(tracks), (std::vector<QString>{"Listed", "Big", "No file", "No file"}));
    ASSERT_EQ(tracks.size(), 4u);
    EXPECT_EQ(tracks[1].size, 5095599673);
    EXPECT_EQ(tracks[0].size, 2849631385);
    EXPECT_FALSE(tracks[1].dateAdded.isValid());
    EXPECT_EQ(store->playlists().size(), 3u);
    EXPECT_EQ(store->playlists()[0].name, QStringLiteral("Bibliotheek"));

    const QString exported = dir.filePath(QStringLiteral("out.xml"));
    exportLibraryXml(*store, exported);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString back = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(back.contains(QLatin1String("<key>Size</key><integer>5095599673</integer>")));
    EXPECT_FALSE(back.contains(QLatin1String("Date Added")));
    EXPECT_FALSE(back.contains(QLatin1String("<key>Persistent ID</key>")));
    EXPECT_TRUE(back.contains(QLatin1String("\t\t\t<key>Party Shuffle</key><true/>\n")));
}

TEST_F(XmlImport, ExportWritesBackEveryKeyInPlaceInTheFilesOwnLayout)
{
    // What a music player writes, layout included; the export must give it
    // back unchanged but for the date of the export.
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n"
        "\t<key>Major Version</key><integer>1</integer>\n"
        "\t<key>Minor Version</key><integer>1</integer>\n"
        "\t<key>Date</key><date>2014-01-07T21:42:01Z</date>\n"
        "\t<key>Application Version</key><string>11.1.3</string>\n"
        "\t<key>Features</key><integer>5</integer>\n"
        "\t<key>Show Content Ratings</key><true/>\n"
        "\t<key>Music Folder</key><string>file://localhost/m/</string>\n"
        "\t<key>Library Persistent ID</key><string>EE4D51244EB39A8C</string>\n"
        "\t<key>Tracks</key>\n\t<dict>\n"
        "\t\t<key>684</key>\n\t\t<dict>\n"
        "\t\t\t<key>Track ID</key><integer>684</integer>\n"
        "\t\t\t<key>Name</key><string>Rock &#38; Roll &#60;Live&#62;</string>\n"
        "\t\t\t<key>Artist</key><string>A Day To Remember</string>\n"
        "\t\t\t<key>Album Artist</key><string>A Day to Remember</string>\n"
        "\t\t\t<key>Kind</key><string>MPEG audio file</string>\n"
        "\t\t\t<key>Size</key><integer>0</integer>\n"
        "\t\t\t<key>Track Number</key><integer>1</integer>\n"
        "\t\t\t<key>Year</key><integer>2009</integer>\n"
        "\t\t\t<key>Date Modified</key><date>2010-03-09T10:22:58Z</date>\n"
        "\t\t\t<key>Date Added</key><date>2013-09-24T22:49:35Z</date>\n"
        "\t\t\t<key>Play Count</key><integer>1</integer>\n"
        "\t\t\t<key>Play Date</key><integer>3462912081</integer>\n"
        "\t\t\t<key>Play Date UTC</key><date>2013-09-24T23:01:21Z</date>\n"
        "\t\t\t<key>Rating</key><integer>60</integer>\n"
        "\t\t\t<key>Album Rating Computed</key><true/>\n"
        "\t\t\t<key>Comments</key><string></string>\n"
        "\t\t\t<key>Sort Artist</key><string>Day To Remember</string>\n"
        "\t\t\t<key>Persistent ID</key><string>1A4C20E45D7D4E9C</string>\n"
        "\t\t\t<key>Track Type</key><string>File</string>\n"
        "\t\t\t<key>Location</key><string>file://localhost/m/a%20b.mp3</string>\n"
        "\t\t</dict>\n\t</dict>\n"
        "\t<key>Playlists</key>\n\t<array>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>Library</string>\n"
        "\t\t\t<key>Master</key><true/>\n\t\t\t<key>Playlist ID</key><integer>1</integer>\n"
        "\t\t\t<key>Playlist Persistent ID</key><string>0BF05BAF08F86D15</string>\n"
        "\t\t\t<key>Visible</key><false/>\n\t\t\t<key>All Items</key><true/>\n"
        "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
        "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>684</integer>\n\t\t\t\t</dict>\n"
        "\t\t\t</array>\n\t\t</dict>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>Mine</string>\n"
        "\t\t\t<key>Playlist ID</key><integer>700</integer>\n"
        "\t\t\t<key>Playlist Persistent ID</key><string>0000000000000700</string>\n"
        "\t\t\t<key>All Items</key><true/>\n\t\t\t<key>Folder</key><true/>\n\t\t</dict>\n"
        "\t\t<dict>\n\t\t\t<key>Name</key><string>3+ Stars</string>\n"
        "\t\t\t<key>Playlist ID</key><integer>701</integer>\n"
        "\t\t\t<key>Playlist Persistent ID</key><string>0000000000000701</string>\n"
        "\t\t\t<key>Parent Persistent ID</key><string>0000000000000700</string>\n"
        "\t\t\t<key>All Items</key><true/>\n"
        "\t\t\t<key>Smart Info</key>\n\t\t\t<data>\n\t\t\tAQEAAwAAAAIAAAAZAAAAAAAAAAcAAAAB\n\t\t\t</data>\n"
        "\t\t\t<key>Smart Criteria</key>\n\t\t\t<data>\n\t\t\tU0xzdAABAAEAAAADAAAAAA==\n\t\t\t</data>\n"
        "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
        "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>684</integer>\n\t\t\t\t</dict>\n"
        "\t\t\t</array>\n\t\t</dict>\n"
        "\t</array>\n</dict>\n</plist>\n");
    // The same library as a binary property list reads the same.
    {
        const QByteArray xml = text.toUtf8();
        plist_t root = nullptr;
        plist_from_xml(xml.constData(), std::uint32_t(xml.size()), &root);
        ASSERT_TRUE(root);
        char *binary = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(root, &binary, &length);
        plist_free(root);
        QFile file(dir.filePath(QStringLiteral("in.bplist")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(binary, length);
        file.close();
        plist_to_bin_free(binary);
        auto copy = LibraryStore::open(QStringLiteral(":memory:"));
        importLibraryXml(*copy, file.fileName(), XmlImportOptions{});
        EXPECT_EQ(names(copy->playlistTracks(701)), (std::vector<QString>{"Rock & Roll <Live>"}));
        EXPECT_EQ(copy->allPlaylists().size(), 3u);
    }

    import(write(QStringLiteral("in.xml"), text));
    const auto playlists = store->playlists();
    ASSERT_EQ(playlists.size(), 2u); // the folder is not listed
    EXPECT_EQ(playlists[1].name, QStringLiteral("3+ Stars"));
    EXPECT_EQ(names(store->playlistTracks(701)), (std::vector<QString>{"Rock & Roll <Live>"}));

    const QString exported = dir.filePath(QStringLiteral("out.xml"));
    exportLibraryXml(*store, exported);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QStringList expected = text.split(QLatin1Char('\n'));
    const auto date = [](const QString &line) { return line.startsWith(QLatin1String("\t<key>Date</key>")); };
    lines.removeIf(date);
    expected.removeIf(date);
    // The master playlist's ID is this library's own.
    expected.replaceInStrings(QStringLiteral("<key>Playlist ID</key><integer>1<"),
                              QStringLiteral("<key>Playlist ID</key><integer>%1<").arg(store->libraryPlaylistId()));
    EXPECT_EQ(lines.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
}

// A copy merged into the track that stays: the keeper is written back with
// the keys it came with plus those it gained, each in its usual place, and
// the player's local play date moves with the UTC one.
TEST_F(XmlImport, AMergedHistoryIsWrittenBackWithTheKeepersKeys)
{
    const auto track = [](int id, const QString &keys) {
        return QStringLiteral("\t\t<key>%1</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>%1</integer>\n"
                              "\t\t\t<key>Name</key><string>Song</string>\n%2"
                              "\t\t\t<key>Persistent ID</key><string>000000000000000%1</string>\n"
                              "\t\t\t<key>Track Type</key><string>File</string>\n"
                              "\t\t\t<key>Location</key><string>file://localhost/m/%1.mp3</string>\n\t\t</dict>\n")
            .arg(id)
            .arg(keys);
    };
    const QString keeperKeys = QStringLiteral("\t\t\t<key>Play Count</key><integer>2</integer>\n"
                                              "\t\t\t<key>Play Date</key><integer>3462912081</integer>\n"
                                              "\t\t\t<key>Play Date UTC</key><date>2013-09-24T23:01:21Z</date>\n");
    const QString copyKeys = QStringLiteral("\t\t\t<key>Date Added</key><date>2012-01-01T00:00:00Z</date>\n"
                                            "\t\t\t<key>Play Count</key><integer>5</integer>\n"
                                            "\t\t\t<key>Play Date UTC</key><date>2013-09-25T23:01:21Z</date>\n"
                                            "\t\t\t<key>Skip Count</key><integer>1</integer>\n"
                                            "\t\t\t<key>Rating</key><integer>80</integer>\n");
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                                        "\t<key>Tracks</key>\n\t<dict>\n") +
                         track(1, keeperKeys) + track(2, copyKeys) + QStringLiteral("\t</dict>\n</dict>\n</plist>\n");
    import(write(QStringLiteral("in.xml"), text));
    const auto tracks = library();
    ASSERT_EQ(tracks.size(), 2u);
    store->deleteTrackMergingInto(tracks[1].databaseId, tracks[0].databaseId);

    const QString exported = dir.filePath(QStringLiteral("out.xml"));
    exportLibraryXml(*store, exported);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString out = QString::fromUtf8(file.readAll());
    const QString merged = QStringLiteral("\t\t\t<key>Date Added</key><date>2012-01-01T00:00:00Z</date>\n"
                                          "\t\t\t<key>Play Count</key><integer>7</integer>\n"
                                          "\t\t\t<key>Play Date</key><integer>3462998481</integer>\n"
                                          "\t\t\t<key>Play Date UTC</key><date>2013-09-25T23:01:21Z</date>\n"
                                          "\t\t\t<key>Skip Count</key><integer>1</integer>\n"
                                          "\t\t\t<key>Rating</key><integer>80</integer>\n");
    EXPECT_TRUE(out.contains(track(1, merged))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("<key>2</key>")));
}

namespace {

// A property list as a tree, keys in the file's order, for comparing two
// files key by key.
struct PlistNode
{
    QString type; // element name
    QString text;
    std::vector<std::pair<QString, PlistNode>> entries; // a <dict>'s keys, an <array>'s items (no key)
};

PlistNode readNode(QXmlStreamReader &xml)
{
    PlistNode node{xml.name().toString(), {}, {}};
    QString key;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == u"key")
                key = xml.readElementText();
            else
                node.entries.emplace_back(std::exchange(key, {}), readNode(xml));
            break;
        case QXmlStreamReader::Characters:
            if (node.type != u"dict" && node.type != u"array") // not the layout between elements
                node.text += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (node.type == u"data")
                node.text.remove(QRegularExpression(QStringLiteral("\\s")));
            return node;
        default:
            break;
        }
    }
    return node;
}

PlistNode readPlist(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement()) {
        if (xml.name() == u"dict")
            return readNode(xml);
    }
    return {};
}

const PlistNode *find(const PlistNode &dict, const QString &key)
{
    for (const auto &[k, v] : dict.entries) {
        if (k == key)
            return &v;
    }
    return nullptr;
}

// Differences between an original value and the exported one, as text; the
// allowed ones are left out by the caller's rules.
void compare(const QString &where, const PlistNode &a, const PlistNode &b, QStringList &out,
             const std::function<bool(const QString &key, const PlistNode &, const PlistNode &)> &allowed)
{
    if (a.type != b.type || a.text != b.text) {
        out << QStringLiteral("%1: <%2>\"%3\" became <%4>\"%5\"")
                   .arg(where, a.type, a.text.left(80), b.type, b.text.left(80));
        return;
    }
    QStringList keysA;
    QStringList keysB;
    for (const auto &e : a.entries)
        keysA << e.first;
    for (const auto &e : b.entries)
        keysB << e.first;
    if (keysA != keysB) {
        out << (a.type == u"array"
                    ? QStringLiteral("%1: %2 items became %3").arg(where).arg(keysA.size()).arg(keysB.size())
                    : QStringLiteral("%1: keys %2 became %3").arg(where, keysA.join(u','), keysB.join(u',')));
        return;
    }
    for (std::size_t i = 0; i < a.entries.size() && i < b.entries.size(); ++i) {
        const QString &key = a.entries[i].first;
        if (allowed(key, a.entries[i].second, b.entries[i].second))
            continue;
        compare(where + u'/' + (key.isEmpty() ? QString::number(i) : key), a.entries[i].second, b.entries[i].second,
                out, allowed);
    }
}

} // namespace

// Every real library export we have: import, counts, export, and the export
// compared with the original key by key.
TEST(RealLibraries, ImportAndExportLoseNothing)
{
    const QDir folder(QStringLiteral(TIDYFOX_REALDATA_XML));
    const QStringList files = folder.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        GTEST_SKIP() << "no real library files in " << folder.path().toStdString();
    QTemporaryDir dir;
    QStringList exports;
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString source = folder.filePath(name);
        const PlistNode original = readPlist(source);
        const PlistNode *tracks = find(original, QStringLiteral("Tracks"));
        const PlistNode *playlists = find(original, QStringLiteral("Playlists"));
        ASSERT_TRUE(tracks && playlists);

        auto store = LibraryStore::open(QStringLiteral(":memory:"));
        const auto summary = importLibraryXml(*store, source, XmlImportOptions{});
        EXPECT_EQ(summary.tracksAdded, int(tracks->entries.size()));
        EXPECT_EQ(store->trackCount(), std::int64_t(tracks->entries.size()));
        // A file without a master playlist (a hand-made fixture) gets this
        // library's own in front: every library has one.
        const bool hasMaster = std::any_of(playlists->entries.begin(), playlists->entries.end(),
                                           [](const auto &p) { return find(p.second, QStringLiteral("Master")); });
        const std::size_t added = hasMaster ? 0 : 1;
        EXPECT_EQ(store->allPlaylists().size(), playlists->entries.size() + added);
        const auto again = importLibraryXml(*store, source, XmlImportOptions{});
        EXPECT_EQ(again.tracksAdded, 0);
        EXPECT_EQ(again.playlistsAdded + again.playlistsLeftOut, 0);
        const QString exported = dir.filePath(name);
        exportLibraryXml(*store, exported);
        exports << exported;
        const PlistNode back = readPlist(exported);

        QSet<QString> trackIds;
        for (const auto &[id, track] : tracks->entries)
            trackIds.insert(id);
        const auto allowed = [&](const QString &key, const PlistNode &a, const PlistNode &b) {
            // The export is made now.
            if (key == u"Date" && a.type == u"date")
                return true;
            // Kept as a path, written back as a URL of our own form: the
            // same file.
            if (key == u"Location" && isFileUrl(a.text))
                return fileUrlToPath(a.text) == fileUrlToPath(b.text);
            return false;
        };
        QStringList differences;
        compare(QStringLiteral("header"), original, back, differences,
                [&](const QString &key, const PlistNode &a, const PlistNode &b) {
                    return key == u"Tracks" || key == u"Playlists" || allowed(key, a, b);
                });
        const PlistNode *tracksBack = find(back, QStringLiteral("Tracks"));
        const PlistNode *playlistsBack = find(back, QStringLiteral("Playlists"));
        ASSERT_TRUE(tracksBack && playlistsBack);
        for (const auto &[id, track] : tracks->entries) {
            const PlistNode *after = find(*tracksBack, id);
            if (!after)
                differences << QStringLiteral("track %1 is missing").arg(id);
            else
                compare(QStringLiteral("track ") + id, track, *after, differences, allowed);
        }
        ASSERT_EQ(playlistsBack->entries.size(), playlists->entries.size() + added);
        for (std::size_t i = 0; i < playlists->entries.size(); ++i) {
            PlistNode before = playlists->entries[i].second;
            const bool master = find(before, QStringLiteral("Master"));
            for (auto &[key, value] : before.entries) {
                // An item naming a track that the file does not have is
                // dropped: there is nothing it could point to.
                if (key == u"Playlist Items")
                    std::erase_if(value.entries, [&](const auto &item) {
                        const PlistNode *id = find(item.second, QStringLiteral("Track ID"));
                        return id && !trackIds.contains(id->text);
                    });
            }
            PlistNode after = playlistsBack->entries[i + added].second;
            if (master) {
                // The library playlist lists every track: those the file's
                // master left out ("Playlist Only") follow its own.
                const PlistNode *items = find(before, QStringLiteral("Playlist Items"));
                for (auto &[key, value] : after.entries) {
                    if (key == u"Playlist Items" && items && value.entries.size() > items->entries.size())
                        value.entries.resize(items->entries.size());
                }
            }
            compare(QStringLiteral("playlist %1").arg(i), before, after, differences,
                    [&](const QString &key, const PlistNode &a, const PlistNode &b) {
                        // The library playlist keeps this library's own ID.
                        return (master && key == u"Playlist ID") || allowed(key, a, b);
                    });
        }
        EXPECT_TRUE(differences.isEmpty())
            << differences.size() << " differences, the first: " << differences.mid(0, 10).join(u'\n').toStdString();
    }
    EXPECT_EQ(plistlibFailures(exports).toStdString(), "");
}

// The import's XML scanner against Qt's stream reader, the reader it
// replaced: the same tokens, texts, attributes and places of every element
// in every real library file (iTunes, Music and Rhythmbox), and in the
// corners of XML that those files do not reach; a file that is not
// well-formed is refused by both.
TEST(RealLibraries, TheScannerReadsEveryFileAsQtsReaderDoes)
{
    QStringList files;
    for (const QString &folder :
         {QStringLiteral(TIDYFOX_REALDATA_XML), QStringLiteral(TIDYFOX_REALDATA_XML "/../rhythmbox"),
          QStringLiteral(TIDYFOX_REALDATA_XML "/../rhythmbox/migration-fixtures")}) {
        for (const QString &name : QDir(folder).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name))
            files << QDir(folder).filePath(name);
    }
    if (files.isEmpty())
        GTEST_SKIP() << "no real library files";
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(firstDifference(scannerTokens(bytes), qtReaderTokens(bytes)), "");
    }

    // A text longer than the scanner's pieces, with a reference and a line
    // end at every place a piece could end.
    QByteArray longText = "<a>";
    for (int i = 0; longText.size() < 3 * 1024 * 1024; ++i)
        longText += i % 3 == 0 ? "x&amp;" : i % 3 == 1 ? "\r\n\xC3\xA9" : "]";
    longText += "</a>";
    const QString wide = QString::fromUtf8("<a b='\xC3\xA9'>t\xF0\x9F\x98\x80</a>");
    const QByteArray utf16 =
        QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(wide.utf16()), wide.size() * 2);
    const QList<QByteArray> wellFormed = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<a>x\ry\r\nz<b/>\n</a>\n",
        "<a x=\"1&amp;\t2\r\n3\" y='&quot;&#65;&#x1F600;'>t&lt;&gt;&apos;<![CDATA[c<d&amp;]]>e</a>",
        "<!-- before --><?pi data?><!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">"
        "<a>&undeclared;<!-- in --><?pi?></a><!-- after -->",
        "\xEF\xBB\xBF<a>\xC3\xA9\xF0\x9F\x98\x80<b>\xE4\xB8\xAD</b>\n\xC3\xA9<c/></a>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>",
        utf16,
        longText,
    };
    const QList<QByteArray> notWellFormed = {
        "<a></b>",
        "<a>",
        "<a>x\xFF</a>",
        "<a>x\x01</a>",
        "<a>]]></a>",
        "<a>&foo;</a>",
        "<a>&#0;</a>",
        "<a b=\"1\" b=\"2\"/>",
        "<a b=\"<\"/>",
        "<a></a>x",
        "<a/><b/>",
        " <?xml version=\"1.0\"?><a/>",
        "<a><!-- x -- y --></a>",
        "<a></a><?pi",
        "text<a/>",
        "<?xml version=\"2\"?><a/>",
        "<a b=1/>",
    };
    for (const QByteArray &bytes : wellFormed) {
        SCOPED_TRACE(bytes.left(80).toStdString());
        const QString tokens = scannerTokens(bytes);
        EXPECT_EQ(firstDifference(tokens, qtReaderTokens(bytes)), "");
        EXPECT_EQ(lastToken(tokens).toString().toStdString(), "END");
    }
    for (const QByteArray &bytes : notWellFormed) {
        SCOPED_TRACE(bytes.toStdString());
        EXPECT_TRUE(refused(scannerTokens(bytes)));
        EXPECT_TRUE(refused(qtReaderTokens(bytes)));
    }
    // Where the two part: declarations in the file's own document type are
    // refused, not read. No library file has them.
    EXPECT_TRUE(lastToken(scannerTokens("<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>")).contains(u"of its own"));
}
