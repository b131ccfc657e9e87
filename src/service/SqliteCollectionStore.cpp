// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SqliteCollectionStore.h"

#include "service/LibraryCore.h"
#include "service/OpenFileHolders.h"
#include "service/SqlitePlayer.h"

#include <QDataStream>
#include <QFile>
#include <QHash>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

namespace tidyfox::library {

namespace {

// The play history a merge moves, as the player's columns keep it.
struct SongHistory
{
    qint64 playCount = 0;
    qint64 skipCount = 0;
    qint64 lastPlayed = -1; // seconds since the epoch; -1 for never
    double rating = -1;     // 0 to 1; -1 for none

    QString text() const
    {
        return QStringLiteral("%1 %2 %3 %4").arg(playCount).arg(skipCount).arg(lastPlayed).arg(rating, 0, 'g', 17);
    }
    static SongHistory fromText(const QString &text)
    {
        const QStringList parts = text.split(QLatin1Char(' '));
        return {parts.value(0).toLongLong(), parts.value(1).toLongLong(),
                parts.value(2, QStringLiteral("-1")).toLongLong(), parts.value(3, QStringLiteral("-1")).toDouble()};
    }
    bool operator==(const SongHistory &) const = default;
};

// A taken-out song: its row and its rows of the full-text index.
QByteArray songBytes(const PlayerRow &song, const std::vector<PlayerRow> &index)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << song.toBytes() << quint32(index.size());
    for (const PlayerRow &row : index)
        out << row.toBytes();
    return bytes;
}

std::pair<PlayerRow, std::vector<PlayerRow>> songFromBytes(const QByteArray &bytes)
{
    QDataStream in(bytes);
    QByteArray song;
    quint32 count = 0;
    in >> song >> count;
    std::vector<PlayerRow> index;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray row;
        in >> row;
        index.push_back(PlayerRow::fromBytes(row));
    }
    return {PlayerRow::fromBytes(song), std::move(index)};
}

// Rows as one text, one row a line.
QString rowsText(const std::vector<PlayerRow> &rows)
{
    QStringList lines;
    for (const PlayerRow &row : rows)
        lines << QString::fromLatin1(row.toBytes().toBase64());
    return lines.join(QLatin1Char('\n'));
}

std::vector<PlayerRow> rowsFromText(const QString &text)
{
    std::vector<PlayerRow> rows;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows.push_back(PlayerRow::fromBytes(QByteArray::fromBase64(line.toLatin1())));
    return rows;
}

QVariant columnOf(const PlayerRow &row, const QString &name)
{
    for (const auto &[n, v] : row.columns) {
        if (n == name)
            return v;
    }
    return {};
}

void setColumn(PlayerRow &row, const QString &name, const QVariant &value)
{
    for (auto &[n, v] : row.columns) {
        if (n == name)
            v = value;
    }
}

QString placeKey(const QString &playlist, const QString &key)
{
    return QStringLiteral("place\t") + playlist + QLatin1Char('\t') + key;
}

QString playlistKey(const QString &playlist)
{
    return QStringLiteral("playlist\t") + playlist;
}

// The changes of one write over the open file, in its transaction.
class Writer
{
public:
    Writer(const SqlitePlayer &player, sql::Database &db, PlayerSavedMap &saved)
        : m_player(player), m_db(db), m_saved(saved), m_file(player.fileColumn),
          m_itemSong(QByteArray(player.itemSongColumn) + " = ?1 AND type = '" + player.itemSongType + "'")
    {}

    void apply(const PlayerChange &change)
    {
        switch (change.kind) {
        case PlayerChange::MergeInto:
            merge(change.key, change.otherKey);
            break;
        case PlayerChange::Remove:
            remove(change.key);
            break;
        case PlayerChange::Ignore:
            // These players keep no list of files to pass over: a file that
            // stays comes back with their next scan (the review says so).
            break;
        case PlayerChange::PutBack:
            putBack(change.key);
            break;
        case PlayerChange::SetHistory:
            setHistory(change.key, historyFromText(change.otherKey));
            break;
        case PlayerChange::LeavePlaylist:
            leavePlaylist(change.key, change.otherKey);
            break;
        case PlayerChange::ReturnToPlaylist:
            returnToPlaylist(change.key, change.otherKey);
            break;
        case PlayerChange::DeletePlaylist:
            deletePlaylist(change.otherKey);
            break;
        case PlayerChange::RestorePlaylist:
            restorePlaylist(change.otherKey);
            break;
        }
    }

private:
    // The song's rowid now: the one it was imported with while it still
    // names the same file, else the one song of that file.
    std::optional<qint64> find(const QString &key)
    {
        const qsizetype tab = key.indexOf(QLatin1Char('\t'));
        const qint64 rowid = key.left(tab).toLongLong();
        const QString text = key.mid(tab + 1);
        const QVariant url = m_player.fileAsBlob ? QVariant(text.toUtf8()) : QVariant(text);
        if (PlayerQuery(m_db, "SELECT 1 FROM songs WHERE rowid = ?1 AND " + m_file + " = ?2")
                .bind(1, rowid)
                .bind(2, url)
                .next())
            return rowid;
        PlayerQuery byUrl(m_db, "SELECT rowid FROM songs WHERE " + m_file + " = ?1 LIMIT 2");
        byUrl.bind(1, url);
        if (!byUrl.next())
            return std::nullopt;
        const qint64 found = byUrl.value(0).toLongLong();
        return byUrl.next() ? std::nullopt : std::optional<qint64>(found);
    }

    static double numberOr(const QVariant &value, double none) { return value.isValid() ? value.toDouble() : none; }

    SongHistory history(qint64 rowid)
    {
        PlayerQuery q(m_db, "SELECT playcount, skipcount, lastplayed, rating FROM songs WHERE rowid = ?1");
        q.bind(1, rowid).next();
        return {qint64(numberOr(q.value(0), 0)), qint64(numberOr(q.value(1), 0)), qint64(numberOr(q.value(2), -1)),
                numberOr(q.value(3), -1)};
    }

    void setHistory(qint64 rowid, const SongHistory &h)
    {
        PlayerQuery(m_db, "UPDATE songs SET playcount = ?2, skipcount = ?3, lastplayed = ?4, rating = ?5"
                          " WHERE rowid = ?1")
            .bind(1, rowid)
            .bind(2, h.playCount)
            .bind(3, h.skipCount)
            .bind(4, h.lastPlayed)
            .bind(5, h.rating)
            .next();
    }

    void merge(const QString &copyKey, const QString &keeperKey)
    {
        m_mergedKey = copyKey;
        m_saved[copyKey] = {};
        const auto copy = find(copyKey);
        const auto keeper = find(keeperKey);
        if (!copy || !keeper)
            return; // written before, or the keeper has gone from the player
        const SongHistory before = history(*keeper);
        const SongHistory c = history(*copy);
        SongHistory after = before;
        after.playCount += std::max<qint64>(0, c.playCount);
        after.skipCount += std::max<qint64>(0, c.skipCount);
        after.lastPlayed = std::max(before.lastPlayed, c.lastPlayed);
        after.rating = std::max(before.rating, c.rating);
        setHistory(*keeper, after);
        m_saved[copyKey] = {{}, {}, {}, keeperKey, before.text(), after.text(), false};
    }

    QHash<qint64, QList<qint64>> &itemsBySong()
    {
        if (!m_items) {
            m_items.emplace();
            PlayerQuery q(m_db, "SELECT rowid, " + QByteArray(m_player.itemSongColumn) +
                                    " FROM playlist_items WHERE type = '" + m_player.itemSongType + "' ORDER BY rowid");
            while (q.next())
                (*m_items)[q.value(1).toLongLong()].append(q.value(0).toLongLong());
        }
        return *m_items;
    }

    // Takes the song's items (of one playlist only, when given) out of the
    // playlists; the rows, for a put-back.
    std::vector<PlayerRow> takeItems(qint64 song, std::optional<qint64> playlist = std::nullopt)
    {
        std::vector<PlayerRow> taken;
        QList<qint64> &items = itemsBySong()[song];
        for (auto it = items.begin(); it != items.end();) {
            std::vector<PlayerRow> row = selectRows(m_db, "playlist_items", "rowid = ?1", *it);
            if (playlist && !row.empty() &&
                columnOf(row.front(), QStringLiteral("playlist")).toLongLong() != *playlist) {
                ++it;
                continue;
            }
            if (!row.empty())
                taken.push_back(std::move(row.front()));
            PlayerQuery(m_db, "DELETE FROM playlist_items WHERE rowid = ?1").bind(1, *it).next();
            it = items.erase(it);
        }
        return taken;
    }

    void putItem(const PlayerRow &item, qint64 song)
    {
        itemsBySong()[song].append(insertRow(m_db, "playlist_items", item));
    }

    void remove(const QString &key)
    {
        const auto rowid = find(key);
        if (!rowid)
            return;
        PlayerSaved &s = m_saved[key];
        if (m_mergedKey != key)
            s = {};
        const std::vector<PlayerRow> song = selectRows(m_db, "songs", "rowid = ?1", *rowid);
        s.entry = songBytes(song.front(), selectRows(m_db, "songs_fts", "rowid = ?1", *rowid));
        s.places = rowsText(takeItems(*rowid));
        PlayerQuery(m_db, "DELETE FROM songs_fts WHERE rowid = ?1").bind(1, *rowid).next();
        PlayerQuery(m_db, "DELETE FROM songs WHERE rowid = ?1").bind(1, *rowid).next();
    }

    // Items back in their playlists, naming the song under its rowid now.
    void putItemsBack(const std::vector<PlayerRow> &items, qint64 rowid)
    {
        for (PlayerRow item : items) {
            setColumn(item, QString::fromLatin1(m_player.itemSongColumn), rowid);
            putItem(item, rowid);
        }
    }

    void putBack(const QString &key)
    {
        const auto it = m_saved.find(key);
        if (it == m_saved.end())
            return;
        const PlayerSaved s = it->second;
        m_saved.erase(it);
        auto [song, index] = songFromBytes(s.entry);
        // A note that cannot be read back puts nothing back.
        if (!song.columns.empty()) {
            // The player may have found the file again since: its row stays.
            std::optional<qint64> rowid = find(key);
            if (!rowid) {
                rowid = insertRow(m_db, "songs", song);
                for (PlayerRow &row : index) {
                    setColumn(row, QStringLiteral("rowid"), *rowid);
                    insertRow(m_db, "songs_fts", row);
                }
            }
            putItemsBack(rowsFromText(s.places), *rowid);
        }
        if (const auto keeper = s.keeperKey.isEmpty() ? std::nullopt : find(s.keeperKey)) {
            // What the merge gave goes back where the keeper has it as the
            // merge left it; plays counted since stay.
            const SongHistory now = history(*keeper);
            const SongHistory before = SongHistory::fromText(s.keeperBefore);
            const SongHistory after = SongHistory::fromText(s.keeperAfter);
            SongHistory result = now;
            result.playCount = std::max<qint64>(0, now.playCount - (after.playCount - before.playCount));
            result.skipCount = std::max<qint64>(0, now.skipCount - (after.skipCount - before.skipCount));
            if (now.lastPlayed == after.lastPlayed)
                result.lastPlayed = before.lastPlayed;
            if (now.rating == after.rating)
                result.rating = before.rating;
            setHistory(*keeper, result);
        }
    }

    void setHistory(const QString &key, const PlayerHistory &history)
    {
        const auto rowid = find(key);
        if (!rowid)
            return;
        SongHistory h = this->history(*rowid);
        if (history.playCount > 0)
            h.playCount = history.playCount;
        if (history.lastPlayed > 0)
            h.lastPlayed = history.lastPlayed;
        if (history.rating > 0)
            h.rating = double(history.rating) / 100.0;
        setHistory(*rowid, h);
    }

    std::optional<qint64> playlistNamed(const QString &name)
    {
        PlayerQuery q(m_db, "SELECT rowid FROM playlists WHERE name = ?1 ORDER BY rowid LIMIT 1");
        if (!q.bind(1, name).next())
            return std::nullopt;
        return q.value(0).toLongLong();
    }

    void leavePlaylist(const QString &key, const QString &name)
    {
        const auto rowid = find(key);
        const auto playlist = playlistNamed(name);
        if (!rowid || !playlist)
            return;
        const std::vector<PlayerRow> items = takeItems(*rowid, *playlist);
        if (!items.empty())
            m_saved[placeKey(name, key)] = {{}, rowsText(items), {}, {}, {}, {}, false};
    }

    void returnToPlaylist(const QString &key, const QString &name)
    {
        const auto it = m_saved.find(placeKey(name, key));
        if (it == m_saved.end())
            return;
        const auto rowid = find(key);
        const auto playlist = playlistNamed(name);
        if (rowid && playlist) {
            for (PlayerRow item : rowsFromText(it->second.places)) {
                setColumn(item, QStringLiteral("playlist"), *playlist);
                setColumn(item, QString::fromLatin1(m_player.itemSongColumn), *rowid);
                putItem(item, *rowid);
            }
        }
        m_saved.erase(it);
    }

    void deletePlaylist(const QString &name)
    {
        const auto playlist = playlistNamed(name);
        if (!playlist)
            return;
        const std::vector<PlayerRow> row = selectRows(m_db, "playlists", "rowid = ?1", *playlist);
        m_saved[playlistKey(name)] = {row.front().toBytes(),
                                      rowsText(selectRows(m_db, "playlist_items", "playlist = ?1", *playlist)),
                                      {},
                                      {},
                                      {},
                                      {},
                                      false};
        PlayerQuery(m_db, "DELETE FROM playlist_items WHERE playlist = ?1").bind(1, *playlist).next();
        m_items.reset();
        PlayerQuery(m_db, "DELETE FROM playlists WHERE rowid = ?1").bind(1, *playlist).next();
    }

    void restorePlaylist(const QString &name)
    {
        const auto it = m_saved.find(playlistKey(name));
        if (it == m_saved.end())
            return;
        if (!playlistNamed(name)) {
            const qint64 playlist = insertRow(m_db, "playlists", PlayerRow::fromBytes(it->second.entry));
            for (PlayerRow item : rowsFromText(it->second.places)) {
                setColumn(item, QStringLiteral("playlist"), playlist);
                insertRow(m_db, "playlist_items", item);
            }
            m_items.reset();
        }
        m_saved.erase(it);
    }

    const SqlitePlayer &m_player;
    PlayerStatements m_db;
    PlayerSavedMap &m_saved;
    // The playlist items of each song (by its rowid), read once: the player
    // has no index of items by song.
    std::optional<QHash<qint64, QList<qint64>>> m_items;
    QByteArray m_file;
    QByteArray m_itemSong;
    QString m_mergedKey;
};

// A copy of the whole file beside it, taken through SQLite so that it is
// whole whatever the player's journal holds.
void keepBackup(sql::Database &db, const QString &fileName)
{
    const QString backup = fileName + QStringLiteral(".tidyfox-before");
    const QString temporary = backup + QStringLiteral(".new");
    QFile::remove(temporary);
    sqlite3 *target = nullptr;
    int rc = sqlite3_open(QFile::encodeName(temporary).constData(), &target);
    if (rc == SQLITE_OK) {
        sqlite3_backup *copy = sqlite3_backup_init(target, "main", db.handle(), "main");
        if (copy) {
            sqlite3_backup_step(copy, -1);
            sqlite3_backup_finish(copy);
        }
        rc = sqlite3_errcode(target);
    }
    sqlite3_close(target);
    if (rc != SQLITE_OK ||
        std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(backup).constData()) != 0) {
        QFile::remove(temporary);
        throw PlayerWriteError(QStringLiteral("cannot keep a copy of %1 beside it; the change waits").arg(fileName));
    }
}

} // namespace

QString collectionKey(std::int64_t rowid, const QString &url)
{
    return QString::number(rowid) + QLatin1Char('\t') + url;
}

SqliteCollectionStore::SqliteCollectionStore(const SqlitePlayer &player, QString collectionFile)
    : m_player(player), m_file(std::move(collectionFile))
{}

QString SqliteCollectionStore::displayName() const
{
    return QString::fromLatin1(m_player.displayName);
}

QString SqliteCollectionStore::busName() const
{
    return QString::fromLatin1(m_player.busName);
}

bool SqliteCollectionStore::heldOpen() const
{
    return openInAnotherProcess(m_file);
}

void SqliteCollectionStore::apply(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved)
{
    const auto db = openCollection(m_player, m_file, false);
    PlayerSavedMap next = saved;
    try {
        keepBackup(*db, m_file);
        db->exec("BEGIN IMMEDIATE");
        Writer writer(m_player, *db, next);
        for (const PlayerChange &change : changes)
            writer.apply(change);
        db->exec("COMMIT");
    } catch (const LibraryError &) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db->handle()));
        if (db->inTransaction())
            sqlite3_exec(db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw PlayerWriteError(QStringLiteral("cannot write %1 (%2); the change waits").arg(m_file, why));
    }
    saved = std::move(next);
}

} // namespace tidyfox::library
