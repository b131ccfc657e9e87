// SPDX-License-Identifier: GPL-3.0-or-later
// The library core on SQLite: in memory and on disk, IDs, deletion, the
// transaction rules and the files it must refuse without touching them.
#include "service/LibraryStore.h"

#include "common/DataFolders.h"
#include "service/LibrarySchema.h"
#include "service/SqliteDatabase.h"
#include "service/TimeText.h"
#include "service/Transaction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <set>
#include <sqlite3.h>
#include <unistd.h>

using namespace tidyfox::library;

namespace {

TrackRecord makeTrack(const QString &name, std::int32_t totalTimeMs = 187000)
{
    TrackRecord t;
    t.name = name;
    t.artist = QStringLiteral("Artist of ") + name;
    t.album = QStringLiteral("Album");
    t.composer = QStringLiteral("Composer");
    t.genre = QStringLiteral("Jazz");
    t.kindAsString = QStringLiteral("MPEG audio file");
    t.totalTimeMs = totalTimeMs;
    t.bitRate = 256;
    t.sampleRate = 44100;
    t.size = 4000000;
    t.dateAdded = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
    t.location = QStringLiteral("/music/") + name + QStringLiteral(".mp3");
    return t;
}

std::vector<QString> names(const std::vector<TrackRecord> &tracks)
{
    std::vector<QString> result;
    for (const auto &t : tracks)
        result.push_back(t.name);
    return result;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A raw connection, as another program (or another process) would have.
struct RawDb
{
    explicit RawDb(const QString &path) { sqlite3_open(path.toUtf8().constData(), &db); }
    ~RawDb() { sqlite3_close(db); }
    int exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    QString text(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        QString result;
        if (sqlite3_step(stmt) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return result;
    }
    // Every column of every row, to compare a library before and after.
    QStringList rows(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        QStringList result;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                row << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            }
            result << row.join(QLatin1Char('|'));
        }
        sqlite3_finalize(stmt);
        return result;
    }
    sqlite3 *db = nullptr;
};

class StoreOnDisk : public ::testing::Test
{
protected:
    QString libraryPath() const { return dir.filePath(QStringLiteral("sub/library.db")); }
    QTemporaryDir dir;
};

} // namespace

TEST(TimeText, AsAPersonReadsIt)
{
    EXPECT_EQ(timeText(5000), QStringLiteral("0:05"));
    EXPECT_EQ(timeText(187000), QStringLiteral("3:07"));
    EXPECT_EQ(timeText(3723000), QStringLiteral("1:02:03"));
    EXPECT_EQ(timeText(36000000), QStringLiteral("10:00:00"));
    EXPECT_EQ(timeText(59600), QStringLiteral("1:00")); // rounded, carried into the minutes
    EXPECT_EQ(timeText(3599500), QStringLiteral("1:00:00"));
    EXPECT_EQ(timeText(400), QStringLiteral("0:00"));
    EXPECT_EQ(timeText(0), QString()); // a stream has no length
    EXPECT_EQ(timeText(std::numeric_limits<std::int32_t>::max()), QStringLiteral("596:31:24"));
}

TEST(Store, TimesComeFromTheLengthOfEachTrack)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    for (const std::int32_t ms : {187000, 0, 400, std::numeric_limits<std::int32_t>::max(), 187400})
        store->addTrack(makeTrack(QStringLiteral("T"), ms));
    std::vector<QString> times;
    for (const auto &t : store->playlistTracks(store->libraryPlaylistId()))
        times.push_back(t.time);
    EXPECT_EQ(times, (std::vector<QString>{"3:07", "", "0:00", "596:31:24", "3:07"}));
}

TEST(Store, NewLibraryHasTheLibrarySourceAndPlaylist)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    const SourceRecord source = store->source();
    EXPECT_NE(source.sourceId, 0);
    EXPECT_EQ(source.kind, 1);
    EXPECT_EQ(source.name, QStringLiteral("Library"));

    const auto playlists = store->playlists();
    ASSERT_EQ(playlists.size(), 1u);
    EXPECT_EQ(playlists[0].playlistId, store->libraryPlaylistId());
    EXPECT_GT(playlists[0].playlistId, 0);
    EXPECT_EQ(playlists[0].kind, 1);
    EXPECT_EQ(playlists[0].name, QStringLiteral("Library"));
    EXPECT_EQ(playlists[0].persistentId.size(), 16);
    EXPECT_TRUE(store->playlistTracks(store->libraryPlaylistId()).empty());
}

TEST(Store, AddedTracksKeepEveryPropertyInTheOrderAdded)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    const TrackRecord a = store->addTrack(makeTrack(QStringLiteral("A")));
    TrackRecord streamIn = makeTrack(QStringLiteral("Radio"), 0);
    streamIn.kind = TrackKind::Url;
    streamIn.location = QStringLiteral("http://radio.example/live");
    const TrackRecord stream = store->addTrack(streamIn);
    const TrackRecord c = store->addTrack(makeTrack(QStringLiteral("C")));

    EXPECT_GT(a.databaseId, 0);
    EXPECT_GT(a.trackId, 0);
    EXPECT_NE(a.databaseId, c.databaseId);
    EXPECT_NE(a.trackId, c.trackId);
    EXPECT_EQ(a.persistentId.size(), 16);
    EXPECT_NE(a.persistentId, c.persistentId);

    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    ASSERT_EQ(names(tracks), (std::vector<QString>{"A", "Radio", "C"}));
    const TrackRecord &t = tracks[0];
    EXPECT_EQ(t.databaseId, a.databaseId);
    EXPECT_EQ(t.trackId, a.trackId);
    EXPECT_EQ(t.kind, TrackKind::File);
    EXPECT_EQ(t.artist, QStringLiteral("Artist of A"));
    EXPECT_EQ(t.album, QStringLiteral("Album"));
    EXPECT_EQ(t.composer, QStringLiteral("Composer"));
    EXPECT_EQ(t.genre, QStringLiteral("Jazz"));
    EXPECT_EQ(t.kindAsString, QStringLiteral("MPEG audio file"));
    EXPECT_EQ(t.time, QStringLiteral("3:07"));
    EXPECT_EQ(t.totalTimeMs, 187000);
    EXPECT_EQ(t.bitRate, 256);
    EXPECT_EQ(t.sampleRate, 44100);
    EXPECT_EQ(t.size, 4000000);
    EXPECT_EQ(t.dateAdded, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC));
    EXPECT_EQ(t.location, QStringLiteral("/music/A.mp3"));
    EXPECT_EQ(tracks[1].kind, TrackKind::Url);
    EXPECT_EQ(tracks[1].location, QStringLiteral("http://radio.example/live"));
    EXPECT_EQ(store->trackType(stream.databaseId), QStringLiteral("URL"));
    EXPECT_EQ(store->trackType(a.databaseId), QStringLiteral("File"));
    EXPECT_EQ(store->track(c.databaseId)->name, QStringLiteral("C"));

    // Streamed, whether the rows are stored in library order or not.
    const auto streamed = [&] {
        std::vector<TrackRecord> out;
        store->forEachTrack(store->libraryPlaylistId(),
                            [&](const TrackRecord &t, const QString &) { out.push_back(t); });
        return names(out);
    };
    EXPECT_EQ(streamed(), names(tracks));
    store->moveToLibraryEnd({a.databaseId});
    EXPECT_EQ(names(store->playlistTracks(store->libraryPlaylistId())), (std::vector<QString>{"Radio", "C", "A"}));
    EXPECT_EQ(streamed(), (std::vector<QString>{"Radio", "C", "A"}));
    // Several at once keep the list's order, not that of their rows; one
    // listed twice goes where its last place is.
    store->moveToLibraryEnd({a.databaseId, stream.databaseId, a.databaseId, c.databaseId});
    EXPECT_EQ(streamed(), (std::vector<QString>{"Radio", "A", "C"}));
}

// The service writes the bus payload from SQLite's own bytes; it must be the
// payload the records would make, texts that QString would change included.
TEST(Store, TheBusPayloadIsTheOneTheRecordsMake)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    const std::vector<const char *> odd = {
        "C080",                       // overlong
        "EDA080",                     // a surrogate
        "F4908080",                   // above the last code point
        "41E282",                     // cut short
        "EFBBBF41",                   // a byte order mark
        "EFBFBE",                     // a noncharacter
        "E282AC20F09D849E",           // plain: three and four bytes
        "6c6f6e6720617363696920ff41", // a bad byte after eight plain ones
        "410042",                     // a NUL inside
    };
    std::vector<std::int32_t> ids;
    for (std::size_t i = 0; i < odd.size(); ++i) {
        TrackRecord t = makeTrack(QStringLiteral("T%1 Ünïcödé").arg(i), std::int32_t(i) * 61000);
        if (i % 2)
            t.dateAdded = QDateTime();
        t.playDate = QDateTime(QDate(2020, 1, 1), QTime(), Qt::UTC).addSecs(qint64(i));
        t.playCount = std::int32_t(i);
        ids.push_back(store->addTrack(t).databaseId);
        const QByteArray sql = "UPDATE tracks SET artist = CAST(x'" + QByteArray(odd[i]) +
                               "' AS TEXT), long_description = CAST(x'" + QByteArray(odd[odd.size() - 1 - i]) +
                               "' AS TEXT) WHERE database_id = " + QByteArray::number(ids.back());
        store->database().exec(sql.constData());
    }
    const auto mix = store->addPlaylist(QStringLiteral("Mix"));
    store->appendToPlaylist(mix.playlistId, {ids[3], ids[0], ids[3]});
    for (const std::int32_t playlist : {store->libraryPlaylistId(), mix.playlistId}) {
        tidyfox::protocol::TrackPayloadWriter writer;
        store->forEachTrackBytes(playlist, [&](const tidyfox::protocol::TrackBytes &t) { writer.add(t); });
        EXPECT_EQ(writer.finish(), tidyfox::protocol::encodeTracks(store->playlistTracks(playlist))) << playlist;
    }
}

TEST(Store, DeleteRemovesTheTrackFromTheLibraryAndEveryPlaylist)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    const auto a = store->addTrack(makeTrack(QStringLiteral("A")));
    const auto b = store->addTrack(makeTrack(QStringLiteral("B")));
    const auto c = store->addTrack(makeTrack(QStringLiteral("C")));
    const auto mix = store->addPlaylist(QStringLiteral("Mix"));
    const auto other = store->addPlaylist(QStringLiteral("Other"));
    EXPECT_EQ(mix.kind, 2);
    store->appendToPlaylist(mix.playlistId, {c.databaseId, b.databaseId, c.databaseId});
    store->appendToPlaylist(other.playlistId, {b.databaseId});
    EXPECT_EQ(names(store->playlistTracks(mix.playlistId)), (std::vector<QString>{"C", "B", "C"}));

    store->deleteTrack(b.databaseId);
    EXPECT_EQ(names(store->playlistTracks(store->libraryPlaylistId())), (std::vector<QString>{"A", "C"}));
    EXPECT_EQ(names(store->playlistTracks(mix.playlistId)), (std::vector<QString>{"C", "C"}));
    EXPECT_TRUE(store->playlistTracks(other.playlistId).empty());
    EXPECT_FALSE(store->track(b.databaseId));
    EXPECT_FALSE(store->firstTrackInPlaylist(store->libraryPlaylistId(), b.trackId));

    EXPECT_THROW(store->deleteTrack(b.databaseId), ObjectDeletedError);
    EXPECT_THROW(store->playlistTracks(987654), ObjectDeletedError);
    EXPECT_THROW(store->firstTrackInPlaylist(987654, a.trackId), ObjectDeletedError);
    // A refused append leaves the playlist as it was.
    EXPECT_THROW(store->appendToPlaylist(mix.playlistId, {a.databaseId, b.databaseId}), ObjectDeletedError);
    EXPECT_EQ(names(store->playlistTracks(mix.playlistId)), (std::vector<QString>{"C", "C"}));
    EXPECT_THROW(store->appendToPlaylist(987654, {a.databaseId}), ObjectDeletedError);
}

TEST(Store, FirstTrackInPlaylistFindsATrackOnlyInPlaylistsThatHoldIt)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    const auto a = store->addTrack(makeTrack(QStringLiteral("A")));
    const auto b = store->addTrack(makeTrack(QStringLiteral("B")));
    const auto mix = store->addPlaylist(QStringLiteral("Mix"));
    store->appendToPlaylist(mix.playlistId, {b.databaseId});

    ASSERT_TRUE(store->firstTrackInPlaylist(store->libraryPlaylistId(), a.trackId));
    EXPECT_EQ(store->firstTrackInPlaylist(store->libraryPlaylistId(), a.trackId)->databaseId, a.databaseId);
    EXPECT_EQ(store->firstTrackInPlaylist(mix.playlistId, b.trackId)->name, QStringLiteral("B"));
    EXPECT_FALSE(store->firstTrackInPlaylist(mix.playlistId, a.trackId));
    EXPECT_FALSE(store->firstTrackInPlaylist(mix.playlistId, 424242));
}

TEST(Store, ExplicitIdsAreKeptAndCheckedAndIdsAbove16BitsWork)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    TrackRecord big = makeTrack(QStringLiteral("Big"));
    big.trackId = 70000;
    big.databaseId = 2000000000;
    const auto added = store->addTrack(big);
    EXPECT_EQ(added.trackId, 70000);
    EXPECT_EQ(added.databaseId, 2000000000);
    EXPECT_EQ(store->firstTrackInPlaylist(store->libraryPlaylistId(), 70000)->name, QStringLiteral("Big"));

    TrackRecord clash = makeTrack(QStringLiteral("Clash"));
    clash.trackId = 70000;
    EXPECT_THROW(store->addTrack(clash), LibraryError);
    TrackRecord negative = makeTrack(QStringLiteral("Negative"));
    negative.trackId = -5;
    EXPECT_THROW(store->addTrack(negative), LibraryError);
    // The next assigned ID continues above the highest one given.
    EXPECT_GT(store->addTrack(makeTrack(QStringLiteral("Next"))).trackId, 70000);
    EXPECT_EQ(store->trackCount(), 2);

    // Within one transaction (an import), IDs given in it are known in use
    // until their track goes, and one far above the rest still counts.
    {
        Transaction transaction(*store);
        TrackRecord inside = makeTrack(QStringLiteral("Inside"));
        inside.trackId = 80000;
        const std::int32_t databaseId = store->addTrack(inside).databaseId;
        TrackRecord far = makeTrack(QStringLiteral("Far"));
        far.trackId = 2000000000;
        store->addTrack(far);
        EXPECT_TRUE(store->isTrackIdInUse(80000));
        EXPECT_FALSE(store->isTrackIdInUse(80001));
        EXPECT_TRUE(store->isTrackIdInUse(2000000000));
        EXPECT_THROW(store->addTrack(inside), LibraryError);
        store->deleteTrack(databaseId);
        EXPECT_FALSE(store->isTrackIdInUse(80000));
        EXPECT_EQ(store->addTrack(inside).trackId, 80000);
        transaction.commit();
    }
    // Persistent IDs given one after another are distinct.
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    std::set<QString> persistentIds;
    for (const TrackRecord &track : tracks)
        persistentIds.insert(track.persistentId);
    EXPECT_EQ(persistentIds.size(), tracks.size());
}

TEST(Store, TransactionsUndoEverythingUnlessCommitted)
{
    auto store = LibraryStore::open(QStringLiteral(":memory:"));
    store->addTrack(makeTrack(QStringLiteral("Kept")));
    {
        Transaction transaction(*store);
        store->addTrack(makeTrack(QStringLiteral("Dropped")));
        store->addPlaylist(QStringLiteral("Dropped list"));
    }
    EXPECT_EQ(store->trackCount(), 1);
    EXPECT_EQ(store->playlists().size(), 1u);

    // Nested transactions join the outer one: the outer commit decides.
    {
        Transaction outer(*store);
        {
            Transaction inner(*store);
            store->addTrack(makeTrack(QStringLiteral("Inner")));
            inner.commit();
        }
        EXPECT_EQ(store->trackCount(), 2);
    }
    EXPECT_EQ(store->trackCount(), 1);

    // An inner part that failed undoes the whole change.
    {
        Transaction outer(*store);
        store->addTrack(makeTrack(QStringLiteral("Before the failure")));
        {
            Transaction inner(*store);
            store->addTrack(makeTrack(QStringLiteral("Failing part")));
        }
        EXPECT_THROW(outer.commit(), LibraryError);
    }
    EXPECT_EQ(names(store->playlistTracks(store->libraryPlaylistId())), (std::vector<QString>{"Kept"}));

    // A refused call inside a transaction is not a failure of it.
    {
        Transaction outer(*store);
        store->addTrack(makeTrack(QStringLiteral("Also kept")));
        EXPECT_THROW(store->deleteTrack(999999), ObjectDeletedError);
        outer.commit();
    }
    EXPECT_EQ(store->trackCount(), 2);
}

TEST_F(StoreOnDisk, CreatesReopensAndKeepsIdsStable)
{
    std::int32_t keptId = 0, keptTrackId = 0, deletedId = 0, deletedTrackId = 0, mixId = 0;
    {
        auto store = LibraryStore::open(libraryPath());
        const auto a = store->addTrack(makeTrack(QStringLiteral("A")));
        const auto b = store->addTrack(makeTrack(QStringLiteral("B")));
        mixId = store->addPlaylist(QStringLiteral("Mix")).playlistId;
        store->appendToPlaylist(mixId, {a.databaseId, b.databaseId});
        keptId = a.databaseId;
        keptTrackId = a.trackId;
        deletedId = b.databaseId;
        deletedTrackId = b.trackId;
        store->deleteTrack(b.databaseId);
    }
    RawDb raw(libraryPath());
    EXPECT_EQ(raw.text("PRAGMA journal_mode"), QStringLiteral("wal"));
    EXPECT_EQ(raw.text("PRAGMA user_version").toInt(), latestSchemaVersion());

    auto store = LibraryStore::open(libraryPath());
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].databaseId, keptId);
    EXPECT_EQ(tracks[0].trackId, keptTrackId);
    EXPECT_EQ(names(store->playlistTracks(mixId)), (std::vector<QString>{"A"}));
    // The IDs of a deleted track are never given to another one.
    const auto c = store->addTrack(makeTrack(QStringLiteral("C")));
    EXPECT_NE(c.databaseId, deletedId);
    EXPECT_NE(c.trackId, deletedTrackId);
    EXPECT_FALSE(store->isFreshTrackId(deletedTrackId));
}

TEST_F(StoreOnDisk, TwoConnectionsShareTheLibrary)
{
    auto service = LibraryStore::open(libraryPath());
    auto commandLine = LibraryStore::open(libraryPath());
    const auto a = commandLine->addTrack(makeTrack(QStringLiteral("A")));
    const auto b = service->addTrack(makeTrack(QStringLiteral("B")));
    EXPECT_NE(a.trackId, b.trackId);
    EXPECT_NE(a.databaseId, b.databaseId);
    EXPECT_EQ(names(service->playlistTracks(service->libraryPlaylistId())), (std::vector<QString>{"A", "B"}));
    commandLine->deleteTrack(b.databaseId);
    EXPECT_THROW(service->deleteTrack(b.databaseId), ObjectDeletedError);
}

TEST_F(StoreOnDisk, MigratesALibraryOfAnOlderSchema)
{
    ASSERT_GE(latestSchemaVersion(), 2);
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    {
        sql::Database db(libraryPath());
        db.exec("BEGIN");
        applySchemaSteps(db, 0, 1);
        db.exec("INSERT INTO tracks(track_id, library_order, kind, track_type, persistent_id, name, location, size)"
                " VALUES(41, 1, 1, 'File', '00000000000000AA', 'Old track', '/music/old.mp3', 5095599673)");
        db.exec("COMMIT");
        EXPECT_EQ(db.scalar("PRAGMA user_version"), 1);
    }
    auto store = LibraryStore::open(libraryPath());
    EXPECT_EQ(store->schemaVersion(), latestSchemaVersion());
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].name, QStringLiteral("Old track"));
    EXPECT_EQ(tracks[0].trackId, 41);
    EXPECT_EQ(tracks[0].size, 5095599673);
    EXPECT_TRUE(store->hasFileTrack(QStringLiteral("/music/old.mp3")));
    // What the newer steps added is empty for the old track, not made up.
    int fields = 0;
    store->forEachFileTrack([&](const TrackRecord &, const QString &, const TrackFields &f, const QByteArray &entries) {
        fields = int(std::count(f.present.begin(), f.present.end(), true)) + int(entries.size());
    });
    EXPECT_EQ(fields, 0);
    RawDb raw(libraryPath());
    EXPECT_EQ(raw.text("SELECT count(*) FROM sqlite_master WHERE name = 'tracks_by_location'").toInt(), 1);
}

TEST_F(StoreOnDisk, RefusesFilesThatAreNotLibrariesWithoutTouchingThem)
{
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    const QByteArray garbage = QByteArray("This is a text file, not a database.\n").repeated(200);
    writeFile(libraryPath(), garbage);
    EXPECT_THROW(LibraryStore::open(libraryPath()), LibraryError);
    EXPECT_EQ(readAll(libraryPath()), garbage);

    const QString foreign = dir.filePath(QStringLiteral("other.db"));
    {
        RawDb raw(foreign);
        raw.exec("CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('mine')");
    }
    const QByteArray before = readAll(foreign);
    try {
        LibraryStore::open(foreign);
        FAIL() << "a foreign SQLite file was opened";
    } catch (const LibraryError &e) {
        EXPECT_NE(std::string(e.what()).find("not a Tidyfox library"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readAll(foreign), before);

    const QString newer = dir.filePath(QStringLiteral("newer.db"));
    {
        sql::Database db(newer);
        applySchemaSteps(db, 0, latestSchemaVersion());
        db.exec("PRAGMA user_version = 999");
    }
    EXPECT_THROW(LibraryStore::open(newer), LibraryError);
}

TEST_F(StoreOnDisk, ReadOnlyLibraryIsRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write to any file";
    {
        LibraryStore::open(libraryPath())->addTrack(makeTrack(QStringLiteral("A")));
    }
    QFile::setPermissions(libraryPath(), QFile::ReadOwner);
    const QByteArray before = readAll(libraryPath());
    try {
        LibraryStore::open(libraryPath());
        FAIL() << "a read-only library was opened";
    } catch (const LibraryError &e) {
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readAll(libraryPath()), before);
}

TEST_F(StoreOnDisk, ALockedLibraryGivesAClearErrorAndStaysWhole)
{
    auto store = LibraryStore::open(libraryPath(), std::chrono::milliseconds(100));
    store->addTrack(makeTrack(QStringLiteral("A")));
    RawDb other(libraryPath());
    ASSERT_EQ(other.exec("BEGIN IMMEDIATE; INSERT INTO meta(key, value) VALUES('x', 1)"), SQLITE_OK);
    try {
        store->addTrack(makeTrack(QStringLiteral("B")));
        FAIL() << "the change went through a lock";
    } catch (const LibraryError &e) {
        EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos) << e.what();
    }
    // Reading goes on while another process writes.
    EXPECT_EQ(store->playlistTracks(store->libraryPlaylistId()).size(), 1u);
    other.exec("ROLLBACK");
    store->addTrack(makeTrack(QStringLiteral("B")));
    EXPECT_EQ(store->trackCount(), 2);
}

namespace {

// A file of the library in the test's home trash, as the program's trash
// lays it out: its info records where it was.
struct Trashed
{
    QString path, info;
};

Trashed trashPlace(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const QString trash = tidyfox::homeTrashFolder();
    QDir().mkpath(trash + QStringLiteral("/files"));
    QDir().mkpath(trash + QStringLiteral("/info"));
    Trashed t{trash + QStringLiteral("/files/") + name, trash + QStringLiteral("/info/") + name + ".trashinfo"};
    writeFile(t.info, "[Trash Info]\nPath=" + path.toUtf8() + "\n");
    return t;
}

Trashed trashFile(const QTemporaryDir &, const QString &path)
{
    const Trashed t = trashPlace(path);
    EXPECT_TRUE(QFile::rename(path, t.path));
    return t;
}

} // namespace

TEST_F(StoreOnDisk, AJobOfRemovalsIsPutBackWhole)
{
    for (const char *sub : {"music", "trash/files", "trash/info"})
        QDir().mkpath(dir.filePath(QLatin1String(sub)));
    auto store = LibraryStore::open(libraryPath());
    auto add = [&](const char *name, std::int32_t plays) {
        TrackRecord t = makeTrack(QLatin1String(name));
        t.location = dir.filePath(QStringLiteral("music/%1.mp3").arg(QLatin1String(name)));
        t.playCount = plays;
        t.rating = plays * 10;
        writeFile(t.location, QByteArray("sound of ") + name);
        return store->addTrack(t);
    };
    const auto a = add("a", 1), b = add("b", 2), keeper = add("c", 3), copy = add("d", 4);
    const auto mix = store->addPlaylist(QStringLiteral("Mix")).playlistId;
    const auto two = store->addPlaylist(QStringLiteral("Two")).playlistId;
    store->appendToPlaylist(mix, {b.databaseId, a.databaseId, copy.databaseId, keeper.databaseId, a.databaseId});
    store->appendToPlaylist(two, {copy.databaseId});
    RawDb raw(libraryPath());
    const QStringList tracksBefore = raw.rows("SELECT * FROM tracks ORDER BY database_id");
    const QStringList itemsBefore = raw.rows("SELECT * FROM playlist_items ORDER BY playlist_id, position");

    const auto job = store->beginJob(QStringLiteral("duplicates"));
    const Trashed trashedA = trashFile(dir, a.location), trashedCopy = trashFile(dir, copy.location);
    store->deleteTrackInJob(job, a.databaseId, trashedA.path, trashedA.info);
    store->deleteTrackInJob(job, b.databaseId, {}, {});
    store->deleteTrackMergingIntoInJob(job, copy.databaseId, keeper.databaseId, trashedCopy.path, trashedCopy.info);
    // Refused as outside a job, and nothing written down for it.
    EXPECT_THROW(store->deleteTrackInJob(job, 999999, {}, {}), ObjectDeletedError);
    EXPECT_THROW(store->deleteTrackMergingIntoInJob(job, 999999, keeper.databaseId, {}, {}), ObjectDeletedError);
    EXPECT_THROW(store->deleteTrackMergingIntoInJob(job, keeper.databaseId, keeper.databaseId, {}, {}), LibraryError);
    EXPECT_THROW(store->deleteTrackInJob(job + 1, keeper.databaseId, {}, {}), LibraryError);
    store->endJob(job);
    EXPECT_EQ(store->track(keeper.databaseId)->playCount, 7);
    EXPECT_EQ(store->trackCount(), 1);

    auto jobs = store->jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].jobId, job);
    EXPECT_EQ(jobs[0].kind, QStringLiteral("duplicates"));
    EXPECT_EQ(jobs[0].tracks, 3);
    EXPECT_EQ(jobs[0].files, 2);
    EXPECT_TRUE(jobs[0].ended.isValid() && jobs[0].started.isValid());
    EXPECT_FALSE(jobs[0].restored);

    // Meanwhile a new file took a's place: it is never replaced.
    writeFile(a.location, "newcomer");
    const RestoreResult result = store->restoreJob(job);
    EXPECT_EQ(result.restored, 3);
    EXPECT_EQ(result.notRestored, QStringList{a.location});
    EXPECT_EQ(raw.rows("SELECT * FROM tracks ORDER BY database_id"), tracksBefore);
    EXPECT_EQ(raw.rows("SELECT * FROM playlist_items ORDER BY playlist_id, position"), itemsBefore);
    EXPECT_EQ(readAll(copy.location), "sound of d");
    EXPECT_FALSE(QFile::exists(trashedCopy.path) || QFile::exists(trashedCopy.info));
    EXPECT_EQ(readAll(a.location), "newcomer");
    EXPECT_TRUE(QFile::exists(trashedA.path) && QFile::exists(trashedA.info));
    EXPECT_TRUE(store->jobs()[0].restored);

    try {
        store->restoreJob(job);
        ADD_FAILURE() << "a job restored twice";
    } catch (const LibraryError &e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(QLatin1String("already been restored")), -1) << e.what();
    }
    EXPECT_THROW(store->deleteTrackInJob(job, b.databaseId, {}, {}), LibraryError);
    EXPECT_EQ(store->trackCount(), 4);
}

TEST_F(StoreOnDisk, FingerprintsHoldWhileTheLibraryAndTheFilesDo)
{
    QDir().mkpath(dir.filePath(QStringLiteral("music")));
    auto store = LibraryStore::open(libraryPath());
    std::mt19937 random(8);
    std::vector<std::uint32_t> song(300), other(300);
    for (size_t i = 0; i < song.size(); ++i) {
        song[i] = std::uint32_t(random());
        other[i] = std::uint32_t(random());
    }
    auto add = [&](const char *name) {
        TrackRecord t = makeTrack(QLatin1String(name));
        t.location = dir.filePath(QStringLiteral("music/%1.mp3").arg(QLatin1String(name)));
        writeFile(t.location, QByteArray("sound of ") + name);
        return store->addTrack(t);
    };
    const auto a = add("a"), b = add("b"), c = add("c");
    const auto tasks = store->fingerprintsToMake();
    ASSERT_EQ(tasks.size(), 3u);
    for (const auto &task : tasks)
        store->keepFingerprint(task, task.path == c.location ? other : song, {});
    RawDb raw(libraryPath());
    const auto matches = [&] {
        std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
        for (const auto &match : store->soundMatches())
            pairs.emplace_back(match.a, match.b);
        return pairs;
    };
    using Pairs = std::vector<std::pair<std::int32_t, std::int32_t>>;
    EXPECT_EQ(matches(), (Pairs{{a.databaseId, b.databaseId}}));
    EXPECT_TRUE(store->fingerprintsToMake().empty());
    // What was found last is kept only while nobody writes: here another
    // process.
    raw.exec("UPDATE fingerprints SET version = version + 1 WHERE path LIKE '%/b.mp3'");
    EXPECT_EQ(matches(), Pairs{});
    EXPECT_EQ(store->fingerprintsToMake().size(), 1u);
    store->keepFingerprint(*fileNow(b.location), song, {});
    EXPECT_EQ(matches(), (Pairs{{a.databaseId, b.databaseId}}));
    // ... and while every file is as it was.
    writeFile(a.location, "another sound of a");
    EXPECT_EQ(matches(), Pairs{});
    EXPECT_EQ(store->fingerprintsToMake().size(), 1u);

    // A track removed in a job keeps its fingerprint for the undo, which
    // brings the file back as it was; gone for good, it loses it.
    const auto count = [&] { return raw.text("SELECT count(*) FROM fingerprints").toInt(); };
    const auto job = store->beginJob(QStringLiteral("duplicates"));
    const Trashed trashed = trashFile(dir, c.location);
    store->deleteTrackInJob(job, c.databaseId, trashed.path, trashed.info);
    store->endJob(job);
    store->fingerprintsToMake();
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(store->restoreJob(job).restored, 1);
    EXPECT_EQ(store->fingerprintsToMake().size(), 1u); // a alone
    store->deleteTrack(c.databaseId);
    store->fingerprintsToMake();
    EXPECT_EQ(count(), 2);
}

TEST_F(StoreOnDisk, TheHistoryKeepsTheLastFiftyJobs)
{
    auto store = LibraryStore::open(libraryPath());
    const auto mix = store->addPlaylist(QStringLiteral("Mix")).playlistId;
    std::vector<std::int32_t> ids;
    QStringList trashed;
    // A file where the tracks' folder was.
    QFile(dir.filePath(QStringLiteral("music"))).open(QIODevice::WriteOnly);
    for (int i = 0; i < kJournalJobs + 2; ++i) {
        TrackRecord t = makeTrack(QStringLiteral("T%1").arg(i));
        t.location = dir.filePath(QStringLiteral("music/T%1.mp3").arg(i));
        const auto track = store->addTrack(t);
        store->appendToPlaylist(mix, {track.databaseId});
        ids.push_back(store->beginJob(QStringLiteral("dead tracks")));
        // The file cannot go back to its folder: the track still comes back.
        const Trashed place = trashPlace(t.location);
        writeFile(place.path, "sound");
        trashed << place.path;
        store->deleteTrackInJob(ids.back(), track.databaseId, place.path, place.info);
        store->endJob(ids.back());
    }
    auto jobs = store->jobs();
    ASSERT_EQ(jobs.size(), std::size_t(kJournalJobs));
    EXPECT_EQ(jobs.front().jobId, ids[2]);
    EXPECT_EQ(jobs.back().jobId, ids.back());
    EXPECT_THROW(store->restoreJob(ids[0]), LibraryError);

    const RestoreResult result = store->restoreJob(ids.back());
    EXPECT_EQ(result.restored, 1);
    EXPECT_EQ(result.notRestored, QStringList{dir.filePath(QStringLiteral("music/T%1.mp3").arg(kJournalJobs + 1))});
    EXPECT_EQ(names(store->playlistTracks(store->libraryPlaylistId())),
              (std::vector<QString>{QStringLiteral("T%1").arg(kJournalJobs + 1)}));
    EXPECT_EQ(names(store->playlistTracks(mix)), (std::vector<QString>{QStringLiteral("T%1").arg(kJournalJobs + 1)}));
    // A removed track's place waits for its job in the playlist, unseen, and
    // goes when the job is forgotten.
    RawDb raw(libraryPath());
    EXPECT_EQ(raw.text("SELECT count(*) FROM playlist_items").toInt(), kJournalJobs);

    // Jobs whose files have all left the trash are forgotten as the next
    // begins, their waiting places with them.
    for (const QString &file : trashed)
        QFile::remove(file);
    store->endJob(store->beginJob(QStringLiteral("duplicates")));
    ASSERT_EQ(store->jobs().size(), 1u);
    EXPECT_TRUE(store->jobs().front().restored);
    EXPECT_EQ(raw.text("SELECT count(*) FROM playlist_items").toInt(), 1);

    store->clearJobs();
    EXPECT_TRUE(store->jobs().empty());
    EXPECT_EQ(raw.text("SELECT count(*) FROM playlist_items").toInt(), 1);
}

TEST_F(StoreOnDisk, PlacesTakenOutOfAPlaylistInAJobGoBackToTheirPositions)
{
    auto store = LibraryStore::open(libraryPath());
    const auto a = store->addTrack(makeTrack(QStringLiteral("a"))), b = store->addTrack(makeTrack(QStringLiteral("b"))),
               c = store->addTrack(makeTrack(QStringLiteral("c"))), d = store->addTrack(makeTrack(QStringLiteral("d")));
    const auto mix = store->addPlaylist(QStringLiteral("Mix")).playlistId;
    const auto two = store->addPlaylist(QStringLiteral("Two")).playlistId;
    const auto folder = store->addPlaylist(QStringLiteral("Folder"), 0, {}, kFolderPlaylist).playlistId;
    store->appendToPlaylist(mix, {a.databaseId, b.databaseId, c.databaseId, a.databaseId, d.databaseId});
    store->appendToPlaylist(two, {b.databaseId});
    RawDb raw(libraryPath());
    const char *const items = "SELECT p.name, i.position, t.name FROM playlist_items i JOIN playlists p USING"
                              " (playlist_id) JOIN tracks t USING (database_id) ORDER BY p.name, i.position";
    const QStringList itemsBefore = raw.rows(items);

    const auto job = store->beginJob(QStringLiteral("playlist"));
    // Every place of a, and c's; then b leaves the library in the same job.
    store->removeFromPlaylistInJob(job, mix, {a.databaseId, c.databaseId, a.databaseId});
    store->deleteTrackInJob(job, b.databaseId, {}, {});
    EXPECT_EQ(names(store->playlistTracks(mix)), (std::vector<QString>{"d"}));
    EXPECT_EQ(store->trackCount(), 3);
    // Refused, and nothing written down: the library playlist, a folder, a
    // playlist that is not there, a track the playlist does not hold.
    EXPECT_THROW(store->removeFromPlaylistInJob(job, store->libraryPlaylistId(), {a.databaseId}), LibraryError);
    EXPECT_THROW(store->removeFromPlaylistInJob(job, folder, {a.databaseId}), LibraryError);
    EXPECT_THROW(store->removeFromPlaylistInJob(job, 999999, {a.databaseId}), ObjectDeletedError);
    EXPECT_THROW(store->removeFromPlaylistInJob(job, two, {d.databaseId, a.databaseId}), ObjectDeletedError);
    EXPECT_THROW(store->removeFromPlaylistInJob(job + 1, mix, {d.databaseId}), LibraryError);
    store->endJob(job);
    const auto jobs = store->jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].tracks, 4) << "three places and one track";
    EXPECT_EQ(jobs[0].files, 0);

    // A track appended meanwhile takes the first free position at the end.
    const auto e = store->addTrack(makeTrack(QStringLiteral("e")));
    store->appendToPlaylist(mix, {e.databaseId});
    const RestoreResult result = store->restoreJob(job);
    EXPECT_EQ(result.restored, 4);
    QStringList itemsAfter = itemsBefore;
    itemsAfter.insert(5, QStringLiteral("Mix|5|e"));
    EXPECT_EQ(raw.rows(items), itemsAfter);
    EXPECT_THROW(store->removeFromPlaylistInJob(job, mix, {d.databaseId}), LibraryError) << "a restored job";
}

TEST_F(StoreOnDisk, ADeletedPlaylistComesBackWithItsIdsNameAndOrder)
{
    auto store = LibraryStore::open(libraryPath());
    const auto a = store->addTrack(makeTrack(QStringLiteral("a"))), b = store->addTrack(makeTrack(QStringLiteral("b")));
    std::vector<std::int32_t> lists;
    for (const char *name : {"First", "Second", "Third"})
        lists.push_back(store->addPlaylist(QLatin1String(name)).playlistId);
    store->appendToPlaylist(lists[1], {b.databaseId, a.databaseId, b.databaseId});
    store->appendToPlaylist(lists[2], {a.databaseId});
    RawDb raw(libraryPath());
    const char *const playlists = "SELECT rowid, * FROM playlists ORDER BY rowid";
    const char *const items = "SELECT * FROM playlist_items ORDER BY playlist_id, position";
    const QStringList playlistsBefore = raw.rows(playlists), itemsBefore = raw.rows(items);

    // b goes first, with its places in Second; then Second itself.
    const auto job = store->beginJob(QStringLiteral("playlists"));
    store->deleteTrackInJob(job, b.databaseId, {}, {});
    store->deletePlaylistInJob(job, lists[1]);
    EXPECT_THROW(store->deletePlaylistInJob(job, lists[1]), ObjectDeletedError);
    EXPECT_THROW(store->deletePlaylistInJob(job, store->libraryPlaylistId()), LibraryError);
    store->endJob(job);
    EXPECT_EQ(store->playlists().size(), 3u);
    EXPECT_EQ(store->jobs().at(0).tracks, 2) << "b, and the one item Second still had";

    const RestoreResult result = store->restoreJob(job);
    EXPECT_EQ(result.restored, 2);
    EXPECT_EQ(raw.rows(playlists), playlistsBefore);
    EXPECT_EQ(raw.rows(items), itemsBefore);

    // A playlist brought in again meanwhile (an import with its persistent
    // ID) stops the job from coming back, and nothing changes.
    const auto again = store->beginJob(QStringLiteral("playlists"));
    const PlaylistRecord third = store->playlists().back();
    store->deletePlaylistInJob(again, third.playlistId);
    store->addPlaylist(QStringLiteral("Imported"), 0, third.persistentId);
    const QStringList playlistsNow = raw.rows(playlists);
    EXPECT_THROW(store->restoreJob(again), LibraryError);
    EXPECT_EQ(raw.rows(playlists), playlistsNow);
    EXPECT_FALSE(store->jobs().back().restored);
}

TEST_F(StoreOnDisk, AHistoryOfTheFourthSchemaStepIsKeptAndRestores)
{
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    {
        sql::Database db(libraryPath());
        db.exec("BEGIN");
        applySchemaSteps(db, 0, 4);
        db.exec(
            "INSERT INTO playlists(playlist_id, kind, name, persistent_id) VALUES(2, 2, 'Mix', '00000000000000BB');"
            "INSERT INTO journal_jobs(job_id, kind, started_utc, ended_utc) VALUES(3, 'duplicates', 1, 2);"
            "INSERT INTO tracks(database_id, track_id, library_order, kind, track_type, persistent_id, name, location)"
            " VALUES(41, 41, 1, 1, 'File', '00000000000000AA', 'Old track', '/music/old.mp3');"
            "INSERT INTO journal_tracks(job_id, places, database_id, track_id, library_order, kind, track_type,"
            " persistent_id, name, artist, album, composer, genre, kind_text, total_time, bit_rate, sample_rate,"
            " size, location, long_description) SELECT 3, '2:0', database_id, track_id, library_order, kind,"
            " track_type, persistent_id, name, artist, album, composer, genre, kind_text, total_time, bit_rate,"
            " sample_rate, size, location, long_description FROM tracks;"
            "DELETE FROM tracks");
        db.exec("COMMIT");
    }
    auto store = LibraryStore::open(libraryPath());
    EXPECT_EQ(store->schemaVersion(), latestSchemaVersion());
    ASSERT_EQ(store->jobs().size(), 1u);
    EXPECT_EQ(store->jobs()[0].tracks, 1);
    EXPECT_EQ(store->restoreJob(3).restored, 1);
    EXPECT_EQ(names(store->playlistTracks(2)), (std::vector<QString>{"Old track"}));
    // The new kinds of entry work on the brought-up file.
    const auto job = store->beginJob(QStringLiteral("playlists"));
    store->deletePlaylistInJob(job, 2);
    EXPECT_EQ(store->restoreJob(job).restored, 1);
    EXPECT_EQ(names(store->playlistTracks(2)), (std::vector<QString>{"Old track"}));
}
