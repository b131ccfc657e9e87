// Locations as a player's own store writes them: file URIs, taken apart once
// as they come in. A location is untrusted input: only a local file URI
// becomes a path, with its ".." steps resolved; another host, a NUL or a
// relative path make no path at all.
#pragma once

#include <QString>
#include <optional>

namespace tidyfox::library {

// "file:///home/me/a%20b.mp3" (or file://localhost/...) -> "/home/me/a b.mp3";
// nullopt for any other URI.
std::optional<QString> localFileUriToPath(const QString &uri);

// The inverse, as the players write it: "file:///home/me/a%20b.mp3".
QString pathToLocalFileUri(const QString &path);

} // namespace tidyfox::library
