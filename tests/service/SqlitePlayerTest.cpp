// SPDX-License-Identifier: GPL-3.0-or-later
// A library linked to the SQLite collection of Strawberry or Clementine, over
// a file made from the schema each player wrote (tests/service/data): the
// import, a job written back and restored with the old rowids, the
// full-text index kept in step, a change that waits while the file is busy,
// and a schema version not known refused without a change.
#include "service/SqlitePlayer.h"

#include "service/LibraryStore.h"
#include "service/OpenFileHolders.h"
#include "service/PlayerLink.h"
#include "service/SqliteCollectionImport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace tidyfox::library;

namespace {

struct Case
{
    const char *player;
    const char *schema;
    const char *directoryColumn;
    const char *fileItem; // a playlist item of a file outside the collection
};

const Case kCases[] = {
    {kStrawberryPlayer, "strawberry-15.sql", "directory_id", "1"},
    {kClementinePlayer, "clementine-51.sql", "directory", "'File'"},
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SqlitePlayerLink : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        QDir().mkpath(dir.filePath(QStringLiteral("Music")));
        for (const char *name : {"keeper.ogg", "copy.ogg"})
            QFile(music(name)).open(QIODevice::WriteOnly);
        sql::Database db(file);
        registerPlayerTokenizer(db, player);
        db.exec(readFile(QStringLiteral(TIDYFOX_PLAYER_SCHEMAS "/") + QLatin1String(GetParam().schema)).constData());
        // rowid, title, URL, length (ns), play count, skip count, last played, rating (0-1)
        addSong(1, "Keeper", url("keeper.ogg"), 185'000'000'000, 2, 1, 1'600'000'000, 0.6);
        addSong(2, "Other", "cdda://1/2", 60'000'000'000, 0, 0, -1, -1);
        addSong(3, "Copy", url("copy.ogg"), 185'000'000'000, 5, 3, 1'700'000'000, 0.8);
        exec(db, "INSERT INTO playlists(rowid, name) VALUES(4, 'Mine')");
        // The copy, a file of no collection song, the keeper, the copy again.
        const QByteArray song =
            QByteArray("INSERT INTO playlist_items(playlist, type, ") + itemColumn() + ", url) VALUES(4, %1, %2, '')";
        const QByteArray songType = GetParam().player == QLatin1String(kStrawberryPlayer) ? "2" : "'Library'";
        exec(db, QByteArray(song).replace("%1", songType).replace("%2", "3"));
        exec(db, QByteArray("INSERT INTO playlist_items(playlist, type, url) VALUES(4, ") + GetParam().fileItem +
                     ", 'file:///elsewhere/x.ogg')");
        exec(db, QByteArray(song).replace("%1", songType).replace("%2", "1"));
        exec(db, QByteArray(song).replace("%1", songType).replace("%2", "3"));
    }

    const char *itemColumn() const { return player.itemSongColumn; }
    QString music(const char *name) const { return dir.filePath(QStringLiteral("Music/") + QLatin1String(name)); }
    QString url(const char *name) const { return QStringLiteral("file://") + music(name); }

    static void exec(sql::Database &db, const QByteArray &text) { PlayerQuery(db, text).next(); }

    void addSong(int rowid, const char *title, const QString &url, qint64 length, int plays, int skips,
                 qint64 lastPlayed, double rating)
    {
        sql::Database db(file);
        registerPlayerTokenizer(db, player);
        PlayerQuery(db, QByteArray("INSERT INTO songs(rowid, title, artist, album, ") + player.fileColumn + ", " +
                            GetParam().directoryColumn +
                            ", length, bitrate, samplerate, filesize, mtime, ctime, playcount, skipcount,"
                            " lastplayed, rating) VALUES(?1, ?2, 'Artist', 'Album', ?3, 1, ?4, 320, 44100, 1000,"
                            " 1500000000, 1400000000, ?5, ?6, ?7, ?8)")
            .bind(1, rowid)
            .bind(2, QString::fromLatin1(title))
            .bind(3, player.fileAsBlob ? QVariant(url.toUtf8()) : QVariant(url))
            .bind(4, length)
            .bind(5, plays)
            .bind(6, skips)
            .bind(7, lastPlayed)
            .bind(8, rating)
            .next();
        PlayerQuery(db, "INSERT INTO songs_fts(rowid, ftstitle, ftsartist) VALUES(?1, ?2, 'Artist')")
            .bind(1, rowid)
            .bind(2, QString::fromLatin1(title))
            .next();
    }

    // rowid: "play count, skip count, last played, rating" of every song.
    std::map<qint64, QString> songs()
    {
        const auto db = openCollection(player, file, true);
        std::map<qint64, QString> rows;
        PlayerQuery q(*db, "SELECT rowid, playcount, skipcount, lastplayed, rating FROM songs");
        while (q.next())
            rows[q.value(0).toLongLong()] = QStringLiteral("%1 %2 %3 %4")
                                                .arg(q.value(1).toLongLong())
                                                .arg(q.value(2).toLongLong())
                                                .arg(q.value(3).toLongLong())
                                                .arg(q.value(4).toDouble());
        return rows;
    }

    // The songs the full-text index finds by a word of their title.
    std::vector<qint64> found(const char *word)
    {
        const auto db = openCollection(player, file, true);
        std::vector<qint64> rowids;
        PlayerQuery q(*db, "SELECT rowid FROM songs_fts WHERE songs_fts MATCH ?1");
        q.bind(1, QString::fromLatin1(word));
        while (q.next())
            rowids.push_back(q.value(0).toLongLong());
        return rowids;
    }

    // The playlist's items as "type:song" in order.
    QStringList items()
    {
        const auto db = openCollection(player, file, true);
        QStringList result;
        PlayerQuery q(*db, QByteArray("SELECT type, coalesce(") + itemColumn() +
                               ", 0) FROM playlist_items WHERE playlist = 4 ORDER BY rowid");
        while (q.next())
            result << q.value(0).toString() + QLatin1Char(':') + q.value(1).toString();
        return result;
    }

    QString integrity() { return openCollection(player, file, true)->scalarText("PRAGMA integrity_check"); }

    QTemporaryDir dir;
    const SqlitePlayer &player = *sqlitePlayer(QLatin1String(GetParam().player));
    QString file = dir.filePath(QStringLiteral("collection.db"));
    std::unique_ptr<LibraryStore> store = LibraryStore::open(dir.filePath(QStringLiteral("library.db")));
};

} // namespace

TEST_P(SqlitePlayerLink, ImportsWritesAJobBackAndRestoresItWithTheOldRowids)
{
    const CollectionImportSummary s = importCollection(*store, player, file);
    EXPECT_EQ(s.tracksAdded, 2);
    EXPECT_EQ(s.songsKept, 1);
    EXPECT_EQ(s.playlistsAdded, 1);
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    ASSERT_EQ(tracks.size(), 2u);
    const TrackRecord &copy = tracks[1];
    EXPECT_EQ(copy.location, music("copy.ogg"));
    EXPECT_EQ(copy.totalTimeMs, 185'000);
    EXPECT_EQ(copy.rating, 80);
    EXPECT_EQ(copy.playCount, 5);
    EXPECT_EQ(copy.skipCount, 3);
    EXPECT_EQ(copy.playDate.toSecsSinceEpoch(), 1'700'000'000);
    EXPECT_EQ(copy.dateAdded.toSecsSinceEpoch(), 1'400'000'000);
    EXPECT_EQ(copy.sampleRate, 44100);
    const auto mine = store->playlists().back();
    EXPECT_EQ(mine.name, QStringLiteral("Mine"));
    std::vector<std::int32_t> mineIds;
    for (const TrackRecord &t : store->playlistTracks(mine.playlistId))
        mineIds.push_back(t.databaseId);
    EXPECT_EQ(mineIds, (std::vector<std::int32_t>{copy.databaseId, tracks[0].databaseId, copy.databaseId}));

    const auto songsBefore = songs();
    const QStringList itemsBefore = items();
    // The player is writing its file: the change waits, the file stays as
    // it was, and a later sync writes it.
    const QByteArray untouched = readFile(file);
    {
        sql::Database player(file);
        player.exec("BEGIN IMMEDIATE");
        const std::int32_t job = store->beginJob(QStringLiteral("duplicates"));
        store->deleteTrackMergingIntoInJob(job, copy.databaseId, tracks[0].databaseId, QString(), QString());
        store->endJob(job);
        EXPECT_FALSE(pendingChangesLine(*store).isEmpty());
        player.exec("ROLLBACK");
    }
    EXPECT_EQ(readFile(file), untouched);
    // A player that keeps its file open is running, with or without a name
    // on the bus.
    {
        QProcess holder;
        holder.start(QStringLiteral("tail"), {QStringLiteral("-f"), file});
        ASSERT_TRUE(holder.waitForStarted());
        for (int i = 0; i < 100 && !openInAnotherProcess(file); ++i)
            QThread::msleep(50);
        EXPECT_EQ(writePendingChanges(*store).outcome, PlayerSyncResult::PlayerRunning);
        EXPECT_FALSE(pendingChangesLine(*store).isEmpty());
        holder.kill();
        holder.waitForFinished();
    }
    EXPECT_EQ(readFile(file), untouched);
    const std::int32_t job = store->jobs().front().jobId;
    ASSERT_EQ(writePendingChanges(*store).outcome, PlayerSyncResult::Written);
    const auto after = songs();
    EXPECT_FALSE(after.count(3));
    // Plays and skips summed, the later play and the higher rating.
    EXPECT_EQ(after.at(1), QStringLiteral("7 4 1700000000 0.8"));
    EXPECT_TRUE(found("copy").empty());
    EXPECT_EQ(found("keeper"), std::vector<qint64>{1});
    // The file outside the collection stays in the playlist.
    EXPECT_EQ(items(), (QStringList{itemsBefore[1], itemsBefore[2]}));
    EXPECT_EQ(integrity(), QStringLiteral("ok"));
    EXPECT_EQ(readFile(file + QStringLiteral(".tidyfox-before")).size(), untouched.size());

    store->restoreJob(job);
    EXPECT_EQ(songs(), songsBefore);
    EXPECT_EQ(found("copy"), std::vector<qint64>{3});
    EXPECT_EQ(items(), itemsBefore);
    EXPECT_EQ(integrity(), QStringLiteral("ok"));

    // A deleted playlist goes whole and comes back whole.
    const std::int32_t playlistJob = store->beginJob(QStringLiteral("delete"));
    store->deletePlaylistInJob(playlistJob, mine.playlistId);
    store->endJob(playlistJob);
    EXPECT_TRUE(items().isEmpty());
    store->restoreJob(playlistJob);
    EXPECT_EQ(items().size(), itemsBefore.size());
}

TEST_P(SqlitePlayerLink, ASchemaVersionNotKnownIsRefusedWithOneLineAndChangesNothing)
{
    importCollection(*store, player, file);
    {
        sql::Database db(file);
        db.exec("UPDATE schema_version SET version = 999");
    }
    const QByteArray before = readFile(file);
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    const std::int32_t job = store->beginJob(QStringLiteral("delete"));
    store->deleteTrackInJob(job, tracks.back().databaseId, QString(), QString());
    store->endJob(job);
    const PlayerSyncResult result = writePendingChanges(*store);
    EXPECT_EQ(result.outcome, PlayerSyncResult::Failed);
    EXPECT_TRUE(result.message.contains(QStringLiteral("schema version 999"))) << qPrintable(result.message);
    EXPECT_FALSE(result.message.contains(QLatin1Char('\n')));
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(QFile::exists(file + QStringLiteral(".tidyfox-before")));

    const auto fresh = LibraryStore::open(dir.filePath(QStringLiteral("fresh.db")));
    EXPECT_THROW(importCollection(*fresh, player, file), PlayerWriteError);
    EXPECT_EQ(fresh->trackCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Players, SqlitePlayerLink, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.player); });
