// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/FileSystem.h"

#include <QDir>

namespace tidyfox::system {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool isUsablePath(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

QString normalisedPath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

} // namespace tidyfox::system
