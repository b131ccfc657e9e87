#include "platform/TrashFileSystem.h"

#include "platform/Trash.h"

#include <QFile>
#include <sys/stat.h>

namespace tidyfox::platform {

bool TrashFileSystem::FileExists(const QString &path)
{
    if (!IsUsablePath(path))
        return false;
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void TrashFileSystem::DeleteFile(const QString &path)
{
    MoveToTrash(path);
}

std::optional<FileId> TrashFileSystem::Identity(const QString &path)
{
    if (!IsUsablePath(path))
        return std::nullopt;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace tidyfox::platform
