// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the library XML file that music players export: a property list with a
// "Tracks" dictionary and a "Playlists" array. The file is streamed, never held
// in memory, and the whole import is one transaction.
#pragma once

#include "common/Error.h"
#include "service/TrackLocation.h"

#include <QString>
#include <vector>

namespace tidyfox::library {

class LibraryStore;

// A malformed or foreign file, with the place where reading stopped.
class XmlImportError : public Error
{
public:
    XmlImportError(qint64 line, qint64 column, const QString &message) : Error(message), m_line(line), m_column(column)
    {}
    qint64 line() const { return m_line; }
    qint64 column() const { return m_column; }
    QString message() const { return description(); }

private:
    qint64 m_line;
    qint64 m_column;
};

// What the import did about one value or track of the file, at its place.
struct XmlImportNote
{
    qint64 line = 0;
    qint64 column = 0;
    QString message;
};

struct XmlImportSummary
{
    int tracksAdded = 0;
    int tracksAlreadyPresent = 0; // same persistent ID
    int playlistsAdded = 0;
    int playlistsAlreadyPresent = 0;
    int playlistsLeftOut = 0;     // folders and the player's own playlists: kept, not listed
    int tracksRefused = 0;        // whose location the library cannot keep
    int persistentIdsRenewed = 0; // of tracks
    int playlistIdsRenewed = 0;   // Playlist Persistent IDs
    // Each refused track, new Persistent ID, and value left out or kept only
    // as the file gives it.
    std::vector<XmlImportNote> notes;
};

struct XmlImportOptions
{
    LocationMapper locations;
    // Where the file's own "Music Folder" is on this machine; empty: as it is.
    QString musicFolder;
};

// Throws XmlImportError for a file that is not a library file, LibraryError
// when the library cannot take it; either way the library is unchanged.
XmlImportSummary importLibraryXml(LibraryStore &store, const QString &fileName, const XmlImportOptions &options);

} // namespace tidyfox::library
