// SPDX-License-Identifier: GPL-3.0-or-later
// Where the user's data lives, as the XDG base directory rules say: one
// answer for every layer that needs it.
#pragma once

#include <QDir>
#include <QString>

namespace tidyfox {

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
inline QString dataHome()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data);
}

// The home trash: $XDG_DATA_HOME/Trash.
inline QString homeTrashFolder()
{
    return dataHome() + QStringLiteral("/Trash");
}

// The folder of Tidyfox's own files: the library, its note of pending moves.
inline QString tidyfoxDataFolder()
{
    return dataHome() + QStringLiteral("/tidyfox");
}

} // namespace tidyfox
