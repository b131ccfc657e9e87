// Import and export of the library XML file: every field, playlists, the
// library order, relocation, duplicates, bad files and the round trip.
#include "LibraryXmlBuilder.h"
#include "service/LibraryStore.h"
#include "service/LibraryXmlExport.h"
#include "service/LibraryXmlImport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

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
        return importLibraryXml(*store, path, locations);
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

    EXPECT_EQ(summary.playlistsAdded, 1);
    EXPECT_EQ(summary.playlistsLeftOut, 3);
    EXPECT_EQ(names(library()), (std::vector<QString>{"C", "A", "B"}));
    const auto playlists = store->playlists();
    ASSERT_EQ(playlists.size(), 2u);
    EXPECT_EQ(playlists[0].kind, 1);
    EXPECT_EQ(playlists[1].name, QStringLiteral("Mix"));
    EXPECT_EQ(playlists[1].kind, 2);
    EXPECT_EQ(playlists[1].playlistId, 1001);
    EXPECT_EQ(playlists[1].persistentId, QStringLiteral("00000000000000F1"));
    // An item naming a track the file does not have is dropped.
    EXPECT_EQ(names(store->playlistTracks(1001)), (std::vector<QString>{"B", "B", "A"}));
}

// A NUL in a location would cut the path before it and name another file.
TEST_F(XmlImport, ALocationWithANulKeepsItsTextButHasNoFile)
{
    const QString url = QStringLiteral("file:///m/victim.txt%00.mp3");
    import(write(QStringLiteral("nul.xml"), libraryXml({fileTrack(1, QStringLiteral("Bait"), url)}, {})));
    const auto tracks = library();
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].kind, TrackKind::Url);
    EXPECT_EQ(tracks[0].location, url);
}

TEST_F(XmlImport, IdsOutOfRangeAreRenumberedAndNewIdsDoNotRunOut)
{
    const std::vector<XmlTrack> tracks = {fileTrack(99999999999, QStringLiteral("Huge"), QStringLiteral("/m/h.mp3")),
                                          fileTrack(88888888888, QStringLiteral("Also"), QStringLiteral("/m/a.mp3")),
                                          fileTrack(2147483647, QStringLiteral("Top"), QStringLiteral("/m/t.mp3"))};
    XmlPlaylist mix{QStringLiteral("Mix"),     5, QStringLiteral("00000000000000F1"), false, {},
                    {88888888888, 99999999999}};
    import(write(QStringLiteral("huge.xml"), libraryXml(tracks, {mix})));
    EXPECT_EQ(names(store->playlistTracks(5)), (std::vector<QString>{"Also", "Huge"}));
    std::set<std::int32_t> ids;
    for (const auto &t : library())
        ids.insert(t.trackId);
    EXPECT_EQ(ids.size(), 3u);
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
    importLibraryXml(*copy, exported, {});
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
