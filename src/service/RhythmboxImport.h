// SPDX-License-Identifier: GPL-3.0-or-later
// Fills the library from Rhythmbox's own files and links it to them: songs
// become file tracks, radio stations streams, podcast episodes keep their
// kind; every other entry, and every element the library has no field for, is
// kept as it came and never shown. Static playlists become user playlists in
// their order, automatic ones keep their rules (shown as smart playlists) and
// the play queue is kept as the player's own list. The file is streamed and
// the import is one transaction; an entry already in the library (by its
// location) is left as it is.
#pragma once

#include <QString>

namespace tidyfox::library {

class LibraryStore;

struct RhythmboxImportSummary
{
    int tracksAdded = 0;
    int streamsAdded = 0; // of them
    int tracksAlreadyPresent = 0;
    int entriesKept = 0; // ignored files and other entries, not shown
    int playlistsAdded = 0;
    int playlistsAlreadyPresent = 0;
};

// Throws PlayerFileError (FILE:LINE:COLUMN) for a file that is not, or not
// wholly, a Rhythmbox library, and LibraryError when the library cannot take
// it; either way the library is unchanged. playlistsFile may be missing.
RhythmboxImportSummary importRhythmbox(LibraryStore &store, const QString &libraryFile, const QString &playlistsFile);

} // namespace tidyfox::library
