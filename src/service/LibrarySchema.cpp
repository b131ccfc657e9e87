// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibrarySchema.h"

#include "service/SqliteDatabase.h"

#include <QByteArray>
#include <iterator>

namespace tidyfox::library {

namespace {

// Never edit a step once released: add a new one.
constexpr const char *kSteps[] = {
    // 1: the library source and library playlist, tracks, user playlists.
    R"sql(
    CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
    CREATE TABLE tracks(
        database_id INTEGER PRIMARY KEY AUTOINCREMENT,
        track_id INTEGER NOT NULL UNIQUE,
        library_order INTEGER NOT NULL,
        kind INTEGER NOT NULL,
        track_type TEXT NOT NULL,
        persistent_id TEXT NOT NULL UNIQUE,
        name TEXT NOT NULL DEFAULT '',
        artist TEXT NOT NULL DEFAULT '',
        album TEXT NOT NULL DEFAULT '',
        composer TEXT NOT NULL DEFAULT '',
        genre TEXT NOT NULL DEFAULT '',
        kind_text TEXT NOT NULL DEFAULT '',
        total_time INTEGER NOT NULL DEFAULT 0,
        bit_rate INTEGER NOT NULL DEFAULT 0,
        sample_rate INTEGER NOT NULL DEFAULT 0,
        size INTEGER NOT NULL DEFAULT 0,
        date_added INTEGER,
        location TEXT NOT NULL DEFAULT '',
        long_description TEXT NOT NULL DEFAULT '');
    CREATE INDEX tracks_by_order ON tracks(library_order);
    CREATE TABLE playlists(
        playlist_id INTEGER NOT NULL UNIQUE,
        kind INTEGER NOT NULL,
        name TEXT NOT NULL,
        persistent_id TEXT NOT NULL UNIQUE);
    CREATE TABLE playlist_items(
        playlist_id INTEGER NOT NULL,
        position INTEGER NOT NULL,
        database_id INTEGER NOT NULL,
        PRIMARY KEY(playlist_id, position)) WITHOUT ROWID;
    CREATE INDEX items_by_track ON playlist_items(database_id, playlist_id);
    INSERT INTO playlists(playlist_id, kind, name, persistent_id)
        VALUES(1, 1, 'Library', upper(hex(randomblob(8))));
    INSERT INTO meta(key, value) VALUES
        ('source_id', 1),
        ('library_playlist_id', 1),
        ('top_track_id', 0),
        ('top_playlist_id', 1),
        ('library_persistent_id', upper(hex(randomblob(8))));
    )sql",
    // 2: `add` finds a file already in the library by its path.
    R"sql(
    CREATE INDEX tracks_by_location ON tracks(location);
    )sql",
    // 3: everything a library file says, for a lossless export. The fields a
    // file may leave out are NULL when it did; entries hold the keys in the
    // file's order and the values of those without a column. Playlist kinds
    // grow: 3 smart, 4 folder, 5 a player's own (built-in or hidden).
    R"sql(
    ALTER TABLE tracks ADD COLUMN album_artist TEXT;
    ALTER TABLE tracks ADD COLUMN grouping TEXT;
    ALTER TABLE tracks ADD COLUMN comments TEXT;
    ALTER TABLE tracks ADD COLUMN disc_number INTEGER;
    ALTER TABLE tracks ADD COLUMN disc_count INTEGER;
    ALTER TABLE tracks ADD COLUMN track_number INTEGER;
    ALTER TABLE tracks ADD COLUMN track_count INTEGER;
    ALTER TABLE tracks ADD COLUMN year INTEGER;
    ALTER TABLE tracks ADD COLUMN bpm INTEGER;
    ALTER TABLE tracks ADD COLUMN date_modified INTEGER;
    ALTER TABLE tracks ADD COLUMN play_count INTEGER;
    ALTER TABLE tracks ADD COLUMN play_date_utc INTEGER;
    ALTER TABLE tracks ADD COLUMN skip_count INTEGER;
    ALTER TABLE tracks ADD COLUMN rating INTEGER;
    ALTER TABLE tracks ADD COLUMN album_rating INTEGER;
    ALTER TABLE tracks ADD COLUMN entries BLOB;
    ALTER TABLE playlists ADD COLUMN parent_persistent_id TEXT;
    ALTER TABLE playlists ADD COLUMN entries BLOB;
    )sql",
    // 4: the history of removals. A removed track's row is kept column for
    // column (a step that adds a column to tracks adds it here too) with its
    // playlist places ("playlist:position" pairs, in the row: a table of their
    // own cost a third more per removal), where its file went in the trash,
    // and for a merge the keeper's history before and after it. Entries keep
    // the order of removal; without AUTOINCREMENT, as its counter row would be
    // one more page written by every removal.
    R"sql(
    CREATE TABLE journal_jobs(
        job_id INTEGER PRIMARY KEY AUTOINCREMENT,
        kind TEXT NOT NULL,
        started_utc INTEGER NOT NULL,
        ended_utc INTEGER,
        restored INTEGER NOT NULL DEFAULT 0);
    CREATE TABLE journal_tracks(
        entry_id INTEGER PRIMARY KEY,
        job_id INTEGER NOT NULL,
        original_path TEXT NOT NULL DEFAULT '',
        trashed_path TEXT NOT NULL DEFAULT '',
        info_path TEXT NOT NULL DEFAULT '',
        places TEXT,
        keeper_id INTEGER,
        keeper_before_play_count INTEGER,
        keeper_before_skip_count INTEGER,
        keeper_before_play_date_utc INTEGER,
        keeper_before_rating INTEGER,
        keeper_before_date_added INTEGER,
        keeper_before_entries BLOB,
        keeper_after_play_count INTEGER,
        keeper_after_skip_count INTEGER,
        keeper_after_play_date_utc INTEGER,
        keeper_after_rating INTEGER,
        keeper_after_date_added INTEGER,
        keeper_after_entries BLOB,
        database_id INTEGER,
        track_id INTEGER,
        library_order INTEGER,
        kind INTEGER,
        track_type TEXT,
        persistent_id TEXT,
        name TEXT,
        artist TEXT,
        album TEXT,
        composer TEXT,
        genre TEXT,
        kind_text TEXT,
        total_time INTEGER,
        bit_rate INTEGER,
        sample_rate INTEGER,
        size INTEGER,
        date_added INTEGER,
        location TEXT,
        long_description TEXT,
        album_artist TEXT,
        grouping TEXT,
        comments TEXT,
        disc_number INTEGER,
        disc_count INTEGER,
        track_number INTEGER,
        track_count INTEGER,
        year INTEGER,
        bpm INTEGER,
        date_modified INTEGER,
        play_count INTEGER,
        play_date_utc INTEGER,
        skip_count INTEGER,
        rating INTEGER,
        album_rating INTEGER,
        entries BLOB);
    )sql",
    // 5: playlists in the history. A job may take places out of a playlist or
    // delete a whole one (its row kept column for column); places are
    // "position:database_id" pairs in position order, place_count their
    // number. after_entry is the last track entry written before it, so that
    // a restore undoes both kinds in the reverse of the order they were made.
    // While a restore moves files back, each file's identity (device, inode)
    // in the trash is kept, so that one run killed after a move knows the file
    // at the old place as its own when it runs again.
    // From this step on, a track removed in a job leaves its playlist items
    // where they are (journal_tracks.places stays NULL): no reader sees an
    // item without its track, the track's return shows them again, and
    // forgetting the job deletes them. Taking them out and writing them down
    // cost a quarter of a removal; two index pages fewer per removal pay for
    // the journal's row.
    R"sql(
    CREATE TABLE journal_playlists(
        entry_id INTEGER PRIMARY KEY,
        job_id INTEGER NOT NULL,
        after_entry INTEGER NOT NULL,
        playlist_id INTEGER NOT NULL,
        places TEXT NOT NULL DEFAULT '',
        place_count INTEGER NOT NULL DEFAULT 0,
        deleted INTEGER NOT NULL DEFAULT 0,
        row_id INTEGER,
        kind INTEGER,
        name TEXT,
        persistent_id TEXT,
        parent_persistent_id TEXT,
        entries BLOB);
    CREATE TABLE journal_restoring(
        entry_id INTEGER PRIMARY KEY,
        job_id INTEGER NOT NULL,
        device INTEGER NOT NULL,
        inode INTEGER NOT NULL);
    )sql",
    // 6: the job lease. One cleaning job at a time changes the library,
    // whichever program, client or service runs it: two at once, each with
    // its own keep rule, would each remove the copy the other keeps. The row
    // names the job and who holds it (the process, told apart from a later
    // one with the same number by its start, and the bus client it serves),
    // so that a lease whose holder has died is taken over.
    R"sql(
    CREATE TABLE job_lease(
        lease INTEGER PRIMARY KEY CHECK (lease = 1),
        job_id INTEGER NOT NULL,
        holder_pid INTEGER NOT NULL,
        holder_start TEXT NOT NULL,
        holder_client TEXT NOT NULL,
        program TEXT NOT NULL,
        started_utc INTEGER NOT NULL);
    )sql",
    // 7: a library linked to a music player's own store. The link names the
    // player and its files; each track keeps the player's key for it (for
    // Rhythmbox its location as the file writes it) and the player's values
    // the library has no column for; the player's entries of other kinds and
    // its playlists' own text are kept as they came and never shown. The
    // changes a job made wait in player_pending, in order, until the player's
    // files take them; player_saved holds what a write took out of them
    // (an entry's text, its playlist places, a keeper's values before a
    // merge) so that a restore can put it back.
    R"sql(
    CREATE TABLE player_link(
        link_id INTEGER PRIMARY KEY CHECK(link_id = 1),
        player TEXT NOT NULL,
        library_file TEXT NOT NULL,
        playlists_file TEXT NOT NULL DEFAULT '',
        last_error TEXT NOT NULL DEFAULT '');
    CREATE TABLE player_tracks(
        database_id INTEGER PRIMARY KEY,
        player_key TEXT NOT NULL UNIQUE,
        entry_type TEXT NOT NULL,
        elements BLOB);
    CREATE TABLE player_entries(
        entry_id INTEGER PRIMARY KEY,
        player_key TEXT NOT NULL UNIQUE,
        entry_type TEXT NOT NULL,
        elements BLOB);
    CREATE TABLE player_playlists(
        playlist_id INTEGER PRIMARY KEY,
        playlist_type TEXT NOT NULL,
        attributes TEXT NOT NULL DEFAULT '',
        body TEXT NOT NULL DEFAULT '');
    CREATE TABLE player_pending(
        change_id INTEGER PRIMARY KEY,
        job_id INTEGER NOT NULL,
        change TEXT NOT NULL,
        player_key TEXT NOT NULL,
        other_key TEXT NOT NULL DEFAULT '');
    CREATE TABLE player_saved(
        player_key TEXT PRIMARY KEY,
        entry BLOB,
        places TEXT NOT NULL DEFAULT '',
        before_key TEXT NOT NULL DEFAULT '',
        keeper_key TEXT NOT NULL DEFAULT '',
        keeper_before TEXT NOT NULL DEFAULT '',
        keeper_after TEXT NOT NULL DEFAULT '',
        ignored INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;
    )sql",
    // 8: acoustic fingerprints, by file, of the file as it was when heard
    // (size and modification time in ms); items NULL with why for a file that
    // has none. A row of another fingerprint version is made again.
    R"sql(
    CREATE TABLE fingerprints(
        path TEXT PRIMARY KEY,
        size INTEGER NOT NULL,
        modified INTEGER NOT NULL,
        version INTEGER NOT NULL,
        items BLOB,
        why TEXT NOT NULL DEFAULT '') WITHOUT ROWID;
    )sql",
};

} // namespace

int latestSchemaVersion()
{
    return int(std::size(kSteps));
}

void applySchemaSteps(sql::Database &db, int fromVersion, int toVersion)
{
    for (int step = fromVersion; step < toVersion; ++step)
        db.exec(kSteps[step]);
    // Pragmas take no parameters; the numbers are ours, not user input.
    db.exec(QByteArray("PRAGMA application_id = " + QByteArray::number(kLibraryApplicationId) +
                       "; PRAGMA user_version = " + QByteArray::number(toVersion))
                .constData());
}

} // namespace tidyfox::library
