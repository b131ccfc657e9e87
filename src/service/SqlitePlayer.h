// SPDX-License-Identifier: GPL-3.0-or-later
// The players that keep their collection in SQLite (Strawberry, Clementine):
// what differs between their files, in one small table, and the file opened
// as the player wrote it. Their songs, playlists and full-text index have the
// same shape; a column name, an item type and the schema versions known differ.
#pragma once

#include "service/SqliteDatabase.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tidyfox::library {

struct SqlitePlayer
{
    const char *id;                  // the link's player: "strawberry"
    const char *displayName;         // "Strawberry"
    const char *busName;             // owned while the player runs
    const char *fileColumn;          // the songs column holding the file's URL
    bool fileAsBlob;                 // ... as UTF-8 bytes rather than text
    const char *itemSongColumn;      // the playlist_items column naming a song of the collection
    const char *itemSongType;        // ... in rows of this type
    std::vector<int> schemaVersions; // those this program has read; others are refused
    // The full-text index's tokenizer under a name of the player's own,
    // standing for SQLite's unicode61; null when the index uses SQLite's.
    const char *tokenizerAlias;
    // Below the user's data or config folder.
    bool fileInConfig;
    const char *defaultFile;
};

inline constexpr const char *kStrawberryPlayer = "strawberry";
inline constexpr const char *kClementinePlayer = "clementine";

// The player of that id, or null.
const SqlitePlayer *sqlitePlayer(const QString &id);
// The user's own collection file of the player.
QString defaultCollectionFile(const SqlitePlayer &player);

// Lets db read and keep the player's full-text index (its tokenizer under the
// player's own name); openCollection does it.
void registerPlayerTokenizer(sql::Database &db, const SqlitePlayer &player);

// The player's collection file, opened as it is: a missing file, one that is
// not SQLite, or a schema version not known is refused with one line
// (PlayerWriteError) and nothing is written.
std::unique_ptr<sql::Database> openCollection(const SqlitePlayer &player, const QString &fileName, bool readOnly);

// The statements of one write, prepared once each: a write of thousands of
// changes runs the same few again and again.
class PlayerStatements
{
public:
    explicit PlayerStatements(sql::Database &db) : m_db(db) {}
    PlayerStatements(const PlayerStatements &) = delete;
    PlayerStatements &operator=(const PlayerStatements &) = delete;
    ~PlayerStatements();

    sql::Database &database() const { return m_db; }
    sqlite3_stmt *get(const QByteArray &text);

private:
    sql::Database &m_db;
    std::unordered_map<std::string, sqlite3_stmt *> m_statements;
};

// A statement made here, over the player's own table and column names:
// prepared for one use, or one use of a kept one.
class PlayerQuery
{
public:
    PlayerQuery(sql::Database &db, const QByteArray &text);
    PlayerQuery(PlayerStatements &statements, const QByteArray &text);
    PlayerQuery(const PlayerQuery &) = delete;
    PlayerQuery &operator=(const PlayerQuery &) = delete;
    ~PlayerQuery();

    PlayerQuery &bind(int index, const QVariant &value); // null for an invalid one
    bool next();
    QVariant value(int column) const; // null as an invalid QVariant
    int columnCount() const;
    QString columnName(int column) const;

private:
    sql::Database &m_db;
    sqlite3_stmt *m_stmt = nullptr;
    bool m_kept = false;
};

// One row of a table of the player's file, every column as the file has it
// (rowid included), for taking out and putting back exactly.
struct PlayerRow
{
    std::vector<std::pair<QString, QVariant>> columns;
    QByteArray toBytes() const;
    static PlayerRow fromBytes(const QByteArray &bytes);
};

// The rows of table that where (an SQL condition over ?1) selects, by rowid.
std::vector<PlayerRow> selectRows(PlayerStatements &db, const char *table, const char *where, std::int64_t value);
// Puts a row back with its own rowid, or a new one when that is taken now;
// the rowid it has.
std::int64_t insertRow(PlayerStatements &db, const char *table, const PlayerRow &row);

} // namespace tidyfox::library
