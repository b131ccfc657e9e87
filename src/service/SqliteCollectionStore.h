// SPDX-License-Identifier: GPL-3.0-or-later
// The collection of Strawberry or Clementine, written in place: each write is
// one SQLite transaction on the player's own file, over the schema the file
// has, after a copy of the file has been kept beside it
// (strawberry.db.tidyfox-before). A song is known by its rowid and its URL
// (the player's key); a song the player added again under a new rowid is
// found by its URL. What a change takes out (rows of songs, songs_fts,
// playlist_items and playlists) is kept whole, so that a put-back restores
// them with their old rowids.
#pragma once

#include "service/PlayerLink.h"

namespace tidyfox::library {

struct SqlitePlayer;

// The player's key of a song.
QString collectionKey(std::int64_t rowid, const QString &url);

class SqliteCollectionStore final : public PlayerStore
{
public:
    SqliteCollectionStore(const SqlitePlayer &player, QString collectionFile);

    QString displayName() const override;
    QString busName() const override;
    bool heldOpen() const override;
    void apply(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved) override;

private:
    const SqlitePlayer &m_player;
    QString m_file;
};

} // namespace tidyfox::library
