#include "system/FileSystem.h"

#include <QDir>

namespace tidyfox::system {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString normalisedPath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

} // namespace tidyfox::system
