#include "system/TrashFileSystem.h"

#include "system/Trash.h"

#include <QFile>
#include <sys/stat.h>

namespace tidyfox::system {

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

std::optional<FileId> TrashFileSystem::identity(const QString &path)
{
    if (!isUsablePath(path))
        return std::nullopt;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace tidyfox::system
