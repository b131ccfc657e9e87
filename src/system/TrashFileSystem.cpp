// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/TrashFileSystem.h"

#include "common/AudioFileLook.h"
#include "common/DataFolders.h"
#include "system/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace tidyfox::system {
namespace {

// path resolved as the disk has it (symlinked folders followed, the file's
// own name kept): a trash or a hidden folder reached through another spelling
// is still the same folder.
QString realLocation(const QString &path)
{
    const QFileInfo info(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    const QString parent = info.absoluteDir().canonicalPath();
    if (parent.isEmpty())
        return {};
    return parent == QLatin1String("/") ? QLatin1Char('/') + info.fileName()
                                        : parent + QLatin1Char('/') + info.fileName();
}

bool isWithin(const QString &path, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QString real = QDir(folder).canonicalPath();
    const QString base = real.isEmpty() ? QDir::cleanPath(folder) : real;
    return path.startsWith(base + QLatin1Char('/'));
}

bool hasHiddenFolder(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].startsWith(QLatin1Char('.')))
            return true;
    }
    return false;
}

} // namespace

bool TrashFileSystem::fileExists(const QString &path)
{
    if (!isUsablePath(path))
        return false;
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

TrashedFile TrashFileSystem::moveToTrash(const QString &path, const BeforeTrashMove &beforeMove)
{
    return system::moveToTrash(path, beforeMove);
}

void TrashFileSystem::restoreFromTrash(const TrashedFile &trashed, const QString &path)
{
    system::restoreFromTrash(trashed, path);
}

std::optional<FileStamp> TrashFileSystem::stamp(const QString &path)
{
    if (!isUsablePath(path))
        return std::nullopt;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp{{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
                     std::int64_t(st.st_size),
                     std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

QString TrashFileSystem::whyItStays(const QString &path)
{
    if (!isUsablePath(path))
        return QStringLiteral("its name is not usable");
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("it is not a regular file");
    const QString real = realLocation(path);
    if (real.isEmpty())
        return QStringLiteral("its folder cannot be resolved");
    if (isWithin(real, homeTrashPath()) || real.contains(QLatin1String("/.Trash")))
        return QStringLiteral("it is in the trash");
    if (isWithin(real, tidyfoxDataFolder()))
        return QStringLiteral("it is in the library's own folder");
    if (hasHiddenFolder(real))
        return QStringLiteral("it is in a hidden folder");
    QFile file(path);
    if (!hasAudioExtension(real) || !file.open(QIODevice::ReadOnly) || !startsLikeAudio(file.read(kAudioHeadBytes)))
        return QStringLiteral("it does not look like audio");
    return {};
}

} // namespace tidyfox::system
