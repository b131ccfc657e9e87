// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PlayerLink.h"

#include "service/LibraryStore.h"
#include "service/RhythmboxStore.h"
#include "service/ServiceLog.h"
#include "service/SqliteCollectionStore.h"
#include "service/SqlitePlayer.h"
#include "service/Transaction.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <cstdio>

namespace tidyfox::library {

namespace {

const char *changeName(PlayerChange::Kind kind)
{
    switch (kind) {
    case PlayerChange::Remove:
        return "remove";
    case PlayerChange::MergeInto:
        return "merge";
    case PlayerChange::Ignore:
        return "ignore";
    case PlayerChange::PutBack:
        return "put-back";
    case PlayerChange::SetHistory:
        return "history";
    case PlayerChange::LeavePlaylist:
        return "leave-playlist";
    case PlayerChange::ReturnToPlaylist:
        return "return-to-playlist";
    case PlayerChange::DeletePlaylist:
        return "delete-playlist";
    case PlayerChange::RestorePlaylist:
        return "restore-playlist";
    }
    return "remove";
}

std::optional<PlayerChange::Kind> changeKind(const QString &name)
{
    for (const auto kind : {PlayerChange::Remove, PlayerChange::MergeInto, PlayerChange::Ignore, PlayerChange::PutBack,
                            PlayerChange::SetHistory, PlayerChange::LeavePlaylist, PlayerChange::ReturnToPlaylist,
                            PlayerChange::DeletePlaylist, PlayerChange::RestorePlaylist})
        if (name == QLatin1String(changeName(kind)))
            return kind;
    return std::nullopt;
}

bool isLinked(sql::Database &db)
{
    return db.query("SELECT 1 FROM player_link").next();
}

void queue(sql::Database &db, std::int32_t jobId, PlayerChange::Kind kind, const QString &key,
           const QString &otherKey = {})
{
    db.query("INSERT INTO player_pending(job_id, change, player_key, other_key) VALUES(?1, ?2, ?3, ?4)")
        .bind(1, jobId)
        .bind(2, QString::fromLatin1(changeName(kind)))
        .bind(3, key)
        .bind(4, otherKey)
        .run();
}

std::vector<PlayerChange> pendingChanges(sql::Database &db)
{
    std::vector<PlayerChange> result;
    auto q = db.query("SELECT change_id, change, player_key, other_key FROM player_pending ORDER BY change_id");
    while (q.next()) {
        if (const auto kind = changeKind(q.text(1)))
            result.push_back({q.int64(0), *kind, q.text(2), q.text(3)});
    }
    return result;
}

// A job's changes to the player's own playlists (those it has a note of):
// places taken out, by the entries' keys, or the whole playlist deleted.
struct PlaylistChange
{
    QString name;
    bool deleted = false;
    QStringList keys;
};

std::vector<PlaylistChange> playlistChanges(sql::Database &db, std::int32_t jobId)
{
    std::vector<PlaylistChange> result;
    std::vector<QString> placeTexts;
    {
        auto q = db.query("SELECT coalesce(j.name, p.name), j.deleted, j.places FROM journal_playlists j"
                          " JOIN player_playlists pp ON pp.playlist_id = j.playlist_id"
                          " LEFT JOIN playlists p ON p.playlist_id = j.playlist_id"
                          " WHERE j.job_id = ?1 ORDER BY j.entry_id");
        q.bind(1, jobId);
        while (q.next()) {
            result.push_back({q.text(0), q.int64(1) != 0, {}});
            placeTexts.push_back(q.text(2));
        }
    }
    for (std::size_t i = 0; i < result.size(); ++i) {
        // A deleted playlist goes whole; its places need no change of their own.
        if (result[i].deleted)
            continue;
        for (const QStringView place : QStringView(placeTexts[i]).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            auto q = db.query("SELECT player_key FROM player_tracks WHERE database_id = ?1");
            if (q.bind(1, place.mid(place.indexOf(QLatin1Char(':')) + 1).toInt()).next() &&
                !result[i].keys.contains(q.text(0)))
                result[i].keys << q.text(0);
        }
    }
    return result;
}

void setLastError(sql::Database &db, const QString &error)
{
    db.query("UPDATE player_link SET last_error = ?1").bind(1, error).run();
}

} // namespace

std::unique_ptr<PlayerStore> openPlayerStore(const PlayerLinkInfo &link)
{
    if (link.player == QLatin1String(kRhythmboxPlayer))
        return std::make_unique<RhythmboxStore>(link.libraryFile, link.playlistsFile);
    if (const SqlitePlayer *player = sqlitePlayer(link.player))
        return std::make_unique<SqliteCollectionStore>(*player, link.libraryFile);
    throw PlayerWriteError(
        QStringLiteral("The library is linked to \"%1\", a player this Tidyfox does not know.").arg(link.player));
}

std::optional<PlayerLinkInfo> playerLink(sql::Database &db)
{
    auto q = db.query("SELECT player, library_file, playlists_file FROM player_link");
    if (!q.next())
        return std::nullopt;
    return PlayerLinkInfo{q.text(0), q.text(1), q.text(2)};
}

void setPlayerLink(sql::Database &db, const PlayerLinkInfo &link)
{
    db.query("INSERT INTO player_link(link_id, player, library_file, playlists_file) VALUES(1, ?1, ?2, ?3)"
             " ON CONFLICT(link_id) DO UPDATE SET player = ?1, library_file = ?2, playlists_file = ?3")
        .bind(1, link.player)
        .bind(2, link.libraryFile)
        .bind(3, link.playlistsFile)
        .run();
}

QString playerRunningLine(const QString &displayName)
{
    return QStringLiteral("%1 is running: its library is updated when it quits").arg(displayName);
}

QString linkedSourceName(const QString &player)
{
    if (player == QLatin1String(kRhythmboxPlayer))
        return QStringLiteral("Rhythmbox library");
    if (const SqlitePlayer *sqlite = sqlitePlayer(player))
        return QLatin1String(sqlite->displayName) + QStringLiteral(" library");
    return QStringLiteral("Library");
}

void queueJobChanges(sql::Database &db, std::int32_t jobId)
{
    if (!isLinked(db))
        return;
    auto q = db.query("SELECT p.player_key, k.player_key, t.trashed_path, t.original_path FROM journal_tracks t"
                      " JOIN player_tracks p ON p.database_id = t.database_id"
                      " LEFT JOIN player_tracks k ON k.database_id = t.keeper_id"
                      " WHERE t.job_id = ?1 ORDER BY t.entry_id");
    q.bind(1, jobId);
    struct Row
    {
        QString key, keeperKey, trashedPath, originalPath;
    };
    std::vector<Row> rows;
    while (q.next())
        rows.push_back({q.text(0), q.isNull(1) ? QString() : q.text(1), q.text(2), q.text(3)});
    for (const Row &row : rows) {
        if (!row.keeperKey.isEmpty())
            queue(db, jobId, PlayerChange::MergeInto, row.key, row.keeperKey);
        queue(db, jobId, PlayerChange::Remove, row.key);
        // A file that stays would come back with the player's next scan.
        if (row.trashedPath.isEmpty() && !row.originalPath.isEmpty() && QFileInfo::exists(row.originalPath))
            queue(db, jobId, PlayerChange::Ignore, row.key);
    }
    for (const PlaylistChange &change : playlistChanges(db, jobId)) {
        if (change.deleted)
            queue(db, jobId, PlayerChange::DeletePlaylist, {}, change.name);
        for (const QString &key : change.keys)
            queue(db, jobId, PlayerChange::LeavePlaylist, key, change.name);
    }
}

void queueRestoreChanges(sql::Database &db, std::int32_t jobId)
{
    if (!isLinked(db))
        return;
    auto q = db.query("SELECT p.player_key FROM journal_tracks t JOIN player_tracks p ON p.database_id ="
                      " t.database_id WHERE t.job_id = ?1 ORDER BY t.entry_id DESC");
    q.bind(1, jobId);
    QStringList keys;
    while (q.next())
        keys << q.text(0);
    std::vector<PlaylistChange> playlists = playlistChanges(db, jobId);
    for (auto change = playlists.rbegin(); change != playlists.rend(); ++change) {
        for (const QString &key : change->keys)
            queue(db, jobId, PlayerChange::ReturnToPlaylist, key, change->name);
        if (change->deleted)
            queue(db, jobId, PlayerChange::RestorePlaylist, {}, change->name);
    }
    for (const QString &key : keys)
        queue(db, jobId, PlayerChange::PutBack, key);
}

void queueHistoryChange(sql::Database &db, const QString &key, const PlayerHistory &history)
{
    queue(db, 0, PlayerChange::SetHistory, key, historyText(history));
}

QString historyText(const PlayerHistory &history)
{
    return QStringLiteral("%1 %2 %3").arg(history.playCount).arg(history.lastPlayed).arg(history.rating);
}

PlayerHistory historyFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    return {parts.value(0).toLongLong(), parts.value(1).toLongLong(), parts.value(2).toLongLong()};
}

bool busNameOwned(const QString &name)
{
    // The bus needs an application object; a process without one has no
    // bus to ask, and no player on it either.
    if (!QCoreApplication::instance())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    return bus.interface()->isServiceRegistered(name).value();
}

PlayerSyncResult writePendingChanges(LibraryStore &store, const std::function<bool(const QString &)> &running)
{
    sql::Database &db = store.database();
    const auto link = playerLink(db);
    if (!link)
        return {};
    if (pendingChanges(db).empty())
        return {PlayerSyncResult::NothingWaiting, 0, {}};
    std::unique_ptr<PlayerStore> player;
    try {
        player = openPlayerStore(*link);
    } catch (const PlayerWriteError &e) {
        return {PlayerSyncResult::Failed, 0, e.message()};
    }
    if (running(player->busName()) || player->heldOpen())
        return {PlayerSyncResult::PlayerRunning, 0, playerRunningLine(player->displayName())};

    // Holding the library's write lock keeps a second writer (the service
    // and a sync from the command line) from writing the same changes.
    Transaction transaction(store);
    const std::vector<PlayerChange> changes = pendingChanges(db);
    if (changes.empty())
        return {PlayerSyncResult::NothingWaiting, 0, {}};
    PlayerSavedMap saved;
    {
        auto q = db.query("SELECT player_key, entry, places, before_key, keeper_key, keeper_before, keeper_after,"
                          " ignored FROM player_saved");
        while (q.next())
            saved[q.text(0)] = {q.blob(1), q.text(2), q.text(3), q.text(4), q.text(5), q.text(6), q.int64(7) != 0};
    }
    const PlayerSavedMap before = saved;
    try {
        player->apply(changes, saved);
    } catch (const PlayerWriteError &e) {
        setLastError(db, e.message());
        transaction.commit();
        qCInfo(lcService) << "player's files not written:" << e.message();
        return {PlayerSyncResult::Failed, 0, e.message()};
    }
    db.query("DELETE FROM player_pending WHERE change_id <= ?1").bind(1, changes.back().changeId).run();
    for (const auto &[key, entry] : before) {
        if (!saved.count(key))
            db.query("DELETE FROM player_saved WHERE player_key = ?1").bind(1, key).run();
    }
    for (const auto &[key, s] : saved) {
        db.query("INSERT OR REPLACE INTO player_saved(player_key, entry, places, before_key, keeper_key,"
                 " keeper_before, keeper_after, ignored) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
            .bind(1, key)
            .bindBlob(2, s.entry)
            .bind(3, s.places)
            .bind(4, s.before)
            .bind(5, s.keeperKey)
            .bind(6, s.keeperBefore)
            .bind(7, s.keeperAfter)
            .bind(8, s.ignored ? 1 : 0)
            .run();
    }
    setLastError(db, {});
    transaction.commit();
    return {PlayerSyncResult::Written, int(changes.size()), {}};
}

QString pendingChangesLine(LibraryStore &store)
{
    sql::Database &db = store.database();
    const auto link = playerLink(db);
    if (!link || pendingChanges(db).empty())
        return {};
    try {
        const auto player = openPlayerStore(*link);
        if (busNameOwned(player->busName()) || player->heldOpen())
            return playerRunningLine(player->displayName());
    } catch (const PlayerWriteError &e) {
        return e.message();
    }
    const QString error = db.scalarText("SELECT last_error FROM player_link");
    return error;
}

void notePlayerWaits(LibraryStore &store, std::vector<protocol::JobRecord> &jobs)
{
    sql::Database &db = store.database();
    std::vector<std::int32_t> waiting;
    {
        auto q = db.query("SELECT DISTINCT job_id FROM player_pending");
        while (q.next())
            waiting.push_back(q.int32(0));
    }
    if (waiting.empty())
        return;
    const QString line = pendingChangesLine(store);
    for (protocol::JobRecord &job : jobs) {
        if (std::find(waiting.begin(), waiting.end(), job.jobId) != waiting.end())
            job.playerWaiting = line;
    }
}

void reportPlayerWaits(LibraryStore &store)
{
    if (const QString line = pendingChangesLine(store); !line.isEmpty())
        std::fprintf(stderr, "tidyfox-library: %s\n", qPrintable(line));
}

void writeBackAfterChange(LibraryStore &store)
{
    try {
        const PlayerSyncResult result = writePendingChanges(store);
        if (result.outcome == PlayerSyncResult::Written)
            qCDebug(lcService) << "wrote" << result.changes << "changes into the player's files";
        else if (result.outcome == PlayerSyncResult::PlayerRunning || result.outcome == PlayerSyncResult::Failed)
            qCInfo(lcService) << "the player's files wait:" << result.message;
    } catch (const std::exception &e) {
        // The library's change stands; the player's waits for the next try.
        qCInfo(lcService) << "the player's files wait:" << e.what();
    }
}

} // namespace tidyfox::library
