// SPDX-License-Identifier: GPL-3.0-or-later
// A move from iTunes or Music to the player a library is linked to: the
// export's play counts, play dates and ratings go onto the player's entries of
// the same files (matched by location, after --map-prefix and
// --music-folder), and from there into the player's own files like any
// change. Nothing is added or removed; running it again changes nothing more.
#pragma once

#include "service/LibraryXmlImport.h"

namespace tidyfox::library {

struct MigrationSummary
{
    int matched = 0;   // file tracks of the export with an entry of the player
    int unmatched = 0; // file tracks of the export without one
    int updated = 0;   // entries whose history changed
};

// Throws XmlImportError for a file that is not a library export and
// LibraryError when the library cannot take the change; either way nothing
// changes.
MigrationSummary migrateHistory(LibraryStore &linked, const QString &fileName, const XmlImportOptions &options);

} // namespace tidyfox::library
