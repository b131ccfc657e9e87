// SPDX-License-Identifier: GPL-3.0-or-later
// Track locations as a library file writes them (file URLs) and as the library
// keeps them (absolute paths), and the prefix mapping that moves a library
// copied from another machine onto this one's folders.
#pragma once

#include <QString>
#include <vector>

namespace tidyfox::library {

bool isFileUrl(const QString &text);

// "file://localhost/home/me/a%20b.mp3" -> "/home/me/a b.mp3". A Windows drive
// path keeps its letter: "file://localhost/C:/Music/a.mp3" -> "C:/Music/a.mp3".
QString fileUrlToPath(const QString &url);

// The inverse, in the "file://localhost/..." form.
QString pathToFileUrl(const QString &path);

// A location as the library keeps it for a track's file, or why it cannot be
// kept. Made once, when a track enters the library (an import, `add`, a
// player's library), so that every later use of the location reaches the file
// the entry names and no other.
struct CleanLocation
{
    QString path;    // when accepted
    QString refusal; // why not, as a phrase: "the location names another machine (\"nas\")"
    bool accepted() const { return refusal.isEmpty(); }
};

// A file URL or a path: percent-escapes of a URL decoded first, then "." and
// ".." folded (never above the root) and doubled slashes dropped. Refused: a
// URL naming a machine other than "localhost", a NUL anywhere, and a path
// that is not absolute (it would be read from the service's working folder).
CleanLocation cleanFileLocation(const QString &location);

// --map-prefix OLD=NEW: each side a file URL or a path. Prefixes match whole
// folder names; a drive path matches regardless of case, as Windows does.
class LocationMapper
{
public:
    // "OLD=NEW"; false when the text has no '=' or an empty OLD.
    bool addMapping(const QString &oldEqualsNew);
    void addMapping(const QString &oldPrefix, const QString &newPrefix);
    // The clean path for a file URL or a path (see cleanFileLocation), with
    // the first matching prefix replaced; a share on another machine can be
    // mapped onto a folder here.
    CleanLocation toPath(const QString &location) const;

private:
    struct Mapping
    {
        QString from;
        QString to;
        Qt::CaseSensitivity cs;
    };
    std::vector<Mapping> m_mappings;
};

} // namespace tidyfox::library
