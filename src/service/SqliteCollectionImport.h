// SPDX-License-Identifier: GPL-3.0-or-later
// Fills the library from the collection of Strawberry or Clementine and links
// it to the file: the songs table's local files become file tracks with every
// field the library has (lengths from nanoseconds, ratings from 0-1 to
// 0-100); a song the player marks unavailable comes in all the same, a dead
// track once its file is gone. The player's playlists become user playlists
// in their order, of the songs of the collection; their other items (streams,
// files outside the collection) stay the player's own. One transaction; a
// song already in the library (by its key) is left as it is.
#pragma once

#include <QString>

namespace tidyfox::library {

class LibraryStore;
struct SqlitePlayer;

struct CollectionImportSummary
{
    int tracksAdded = 0;
    int tracksAlreadyPresent = 0;
    int songsKept = 0; // songs of no local file: kept by the player, not shown
    int playlistsAdded = 0;
    int playlistsAlreadyPresent = 0;
};

// Throws PlayerWriteError for a file that is not the player's collection or
// has a schema version not known, and LibraryError when the library cannot
// take it; either way the library is unchanged. The player's file is only read.
CollectionImportSummary importCollection(LibraryStore &store, const SqlitePlayer &player, const QString &file);

} // namespace tidyfox::library
