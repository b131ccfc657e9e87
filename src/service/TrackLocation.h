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

// --map-prefix OLD=NEW: each side a file URL or a path. Prefixes match whole
// folder names; a drive path matches regardless of case, as Windows does.
class LocationMapper
{
public:
    // "OLD=NEW"; false when the text has no '=' or an empty OLD.
    bool addMapping(const QString &oldEqualsNew);
    void addMapping(const QString &oldPrefix, const QString &newPrefix);
    // The path for a file URL or a path, with the first matching prefix
    // replaced.
    QString toPath(const QString &location) const;

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
