// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/PathText.h"

#include <QDir>

namespace tidyfox::window {

QString shownPath(const QString &path)
{
    const QString home = QDir::homePath();
    if (home.isEmpty() || home == QLatin1String("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace tidyfox::window
