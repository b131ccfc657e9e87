// SPDX-License-Identifier: GPL-3.0-or-later
// A library linked to a music player's own store: the library was filled from
// the player's files and every change a job makes to it reaches them. The
// changes wait in the library (in order, in the job's own transaction) and are
// written when the player is not running; what a write takes out of the
// player's files is kept, so that a restore can put it back as it was.
//
// The player's side is PlayerStore: RhythmboxStore for its XML files,
// SqliteCollectionStore for the players that keep a SQLite collection.
#pragma once

#include "protocol/LibraryRecords.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tidyfox::library {

namespace sql {
class Database;
}
class LibraryStore;

struct PlayerLinkInfo
{
    QString player;      // "rhythmbox", "strawberry", "clementine"
    QString libraryFile; // the player's own library file
    QString playlistsFile;
};

// One change to the player's files, by the player's own key of the entry.
struct PlayerChange
{
    enum Kind {
        Remove,           // the entry and its places in playlists go
        MergeInto,        // the entry's play history goes to the entry otherKey first
        Ignore,           // the player is told never to bring the location back
        PutBack,          // all the above undone for the entry
        SetHistory,       // the entry takes the history in otherKey (historyText)
        LeavePlaylist,    // the entry's places leave the playlist named otherKey
        ReturnToPlaylist, // ... and come back
        DeletePlaylist,   // the playlist named otherKey goes
        RestorePlaylist,  // ... and comes back
    };
    std::int64_t changeId = 0;
    Kind kind = Remove;
    QString key;
    QString otherKey;
};

// What a write took out of the player's files for one entry.
struct PlayerSaved
{
    QByteArray entry;  // as the file had it
    QString places;    // the player's own note of where it was in playlists
    QString before;    // the key of the entry that followed it
    QString keeperKey; // the entry that took in its history, if any
    QString keeperBefore;
    QString keeperAfter;
    bool ignored = false;
};
using PlayerSavedMap = std::map<QString, PlayerSaved>;

// A history as the library keeps it, for SetHistory.
struct PlayerHistory
{
    std::int64_t playCount = 0;
    std::int64_t lastPlayed = 0; // seconds since the epoch; 0 for never
    std::int64_t rating = 0;     // 0 to 100
};
QString historyText(const PlayerHistory &history);
PlayerHistory historyFromText(const QString &text);

// The player's files cannot take the change now; nothing of them changed.
class PlayerWriteError : public Error
{
public:
    explicit PlayerWriteError(const QString &message) : Error(message) {}
    QString message() const { return description(); }
};

class PlayerStore
{
public:
    virtual ~PlayerStore() = default;
    // As a person names it: "Rhythmbox".
    virtual QString displayName() const = 0;
    // Owned on the session bus while the player runs.
    virtual QString busName() const = 0;
    // Whether the player's files are held open by a process running now
    // (for a player that keeps them open while it runs).
    virtual bool heldOpen() const { return false; }
    // Applies the changes, in order, to the player's files as they are now
    // and replaces them atomically; saved gives what PutBack needs and takes
    // what each change took out. Throws PlayerWriteError, leaving the files
    // as they were.
    virtual void apply(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved) = 0;
};

std::unique_ptr<PlayerStore> openPlayerStore(const PlayerLinkInfo &link);

// The link of the library, if it has one.
std::optional<PlayerLinkInfo> playerLink(sql::Database &db);
void setPlayerLink(sql::Database &db, const PlayerLinkInfo &link);
// The one line that says a change waits for the player to quit.
QString playerRunningLine(const QString &displayName);
// The source name the window shows: "Rhythmbox library".
QString linkedSourceName(const QString &player);

// Inside the transaction that ends a job, or restores one: the changes it
// made, waiting for the player's files. Nothing for a library not linked.
void queueJobChanges(sql::Database &db, std::int32_t jobId);
void queueRestoreChanges(sql::Database &db, std::int32_t jobId);
// Outside any job (a migration): the entry takes this history.
void queueHistoryChange(sql::Database &db, const QString &key, const PlayerHistory &history);

struct PlayerSyncResult
{
    enum Outcome { NotLinked, NothingWaiting, Written, PlayerRunning, Failed };
    Outcome outcome = NotLinked;
    int changes = 0;
    QString message; // for PlayerRunning and Failed
};

// Whether a name is owned on the session bus.
bool busNameOwned(const QString &name);

// Writes every waiting change into the player's files unless the player is
// running. A failure keeps the changes waiting, with its reason.
PlayerSyncResult writePendingChanges(LibraryStore &store,
                                     const std::function<bool(const QString &busName)> &running = busNameOwned);
// What waits, without writing: the line to show, empty when nothing waits.
QString pendingChangesLine(LibraryStore &store);
// Marks the jobs whose change waits with the line that says why.
void notePlayerWaits(LibraryStore &store, std::vector<protocol::JobRecord> &jobs);
// On standard error, when a change waits: the line that says why.
void reportPlayerWaits(LibraryStore &store);
// After a job's end or a restore: the changes written, or told to wait; never
// throws, as the library's own change has been made.
void writeBackAfterChange(LibraryStore &store);

} // namespace tidyfox::library
