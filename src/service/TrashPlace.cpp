// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/TrashPlace.h"

#include "common/DataFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <optional>
#include <unistd.h>

namespace tidyfox::library {
namespace {

bool isCleanAbsolute(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0)) && QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path;
}

QString parentOf(const QString &path)
{
    return QFileInfo(path).path();
}

QString nameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// The folder paths recorded in trash are relative to: none for the home
// trash, the volume's top folder for a volume trash; nothing when trash is
// no trash.
std::optional<QString> topOf(const QString &trash)
{
    const QString uid = QString::number(::getuid());
    if (trash == homeTrashFolder())
        return QString();
    if (nameOf(trash) == QStringLiteral(".Trash-") + uid)
        return parentOf(trash);
    if (nameOf(trash) == uid && nameOf(parentOf(trash)) == QLatin1String(".Trash"))
        return parentOf(parentOf(trash));
    return std::nullopt;
}

// The Path the info file records, made absolute; empty when it has none.
QString recordedPath(const QString &infoPath, const QString &top)
{
    QFile info(infoPath);
    if (!QFileInfo(infoPath).isFile() || !info.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = info.read(64 * 1024).split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "[Trash Info]")
        return {};
    for (const QByteArray &line : lines) {
        if (!line.startsWith("Path="))
            continue;
        const QString path = QUrl::fromPercentEncoding(line.mid(5).trimmed());
        if (QDir::isAbsolutePath(path))
            return QDir::cleanPath(path);
        return top.isEmpty() ? QString() : QDir::cleanPath(top + QLatin1Char('/') + path);
    }
    return {};
}

// location as the disk spells it, its folder's symlinks followed: the trash
// records the real place.
QString realLocation(const QString &location)
{
    const QString folder = QDir(parentOf(location)).canonicalPath();
    if (folder.isEmpty())
        return QDir::cleanPath(location);
    return QDir::cleanPath(folder + QLatin1Char('/') + nameOf(location));
}

} // namespace

QString whyNotTrashPlace(const QString &trashedPath, const QString &infoPath, const QString &location, bool withInfo)
{
    if (!isCleanAbsolute(trashedPath) || !isCleanAbsolute(infoPath))
        return QStringLiteral("the trash paths must be absolute and plain");
    const QString files = parentOf(trashedPath);
    const QString trash = parentOf(files);
    const auto top = topOf(trash);
    if (nameOf(files) != QLatin1String("files") || !top)
        return QStringLiteral("%1 is not in a trash").arg(trashedPath);
    if (infoPath != trash + QStringLiteral("/info/") + nameOf(trashedPath) + QStringLiteral(".trashinfo"))
        return QStringLiteral("%1 is not the trash entry of %2").arg(infoPath, trashedPath);
    if (!withInfo)
        return {};
    const QString recorded = recordedPath(infoPath, *top);
    if (recorded.isEmpty())
        return QStringLiteral("%1 records no place").arg(infoPath);
    if (recorded != QDir::cleanPath(location) && recorded != realLocation(location))
        return QStringLiteral("%1 is not the file of the track at %2").arg(trashedPath, location);
    if (!QFileInfo::exists(trashedPath) && !QFileInfo(trashedPath).isSymLink())
        return QStringLiteral("%1 is not in the trash").arg(trashedPath);
    return {};
}

} // namespace tidyfox::library
