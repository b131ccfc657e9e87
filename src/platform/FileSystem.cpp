#include "platform/FileSystem.h"

#include <QDir>

namespace tidyfox::platform {

QString GetFileName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool IsUsablePath(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

QString NormalisedPath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

} // namespace tidyfox::platform
