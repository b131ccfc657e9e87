// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/OpenFileHolders.h"

#include <QFile>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tidyfox::library {

namespace {

struct CloseFolder
{
    void operator()(DIR *folder) const { closedir(folder); }
};
using Folder = std::unique_ptr<DIR, CloseFolder>;

Folder openFolder(const char *path)
{
    return Folder(opendir(path));
}

bool isProcessNumber(const char *name, pid_t self)
{
    char *end = nullptr;
    const long pid = std::strtol(name, &end, 10);
    return end != name && *end == '\0' && pid > 0 && pid != self;
}

} // namespace

bool openInAnotherProcess(const QString &path)
{
    struct stat file
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return false;
    const Folder processes = openFolder("/proc");
    if (!processes)
        return false;
    const pid_t self = getpid();
    while (const dirent *process = readdir(processes.get())) {
        if (!isProcessNumber(process->d_name, self))
            continue;
        // Another user's processes cannot be looked into, and a process
        // that has ended since the listing has no descriptors left.
        const std::string descriptors = std::string("/proc/") + process->d_name + "/fd";
        const Folder fds = openFolder(descriptors.c_str());
        if (!fds)
            continue;
        while (const dirent *fd = readdir(fds.get())) {
            if (fd->d_name[0] == '.')
                continue;
            // The descriptor's link leads to the open file itself, even
            // one renamed or deleted since it was opened.
            struct stat open
            {
            };
            if (fstatat(dirfd(fds.get()), fd->d_name, &open, 0) == 0 && open.st_dev == file.st_dev &&
                open.st_ino == file.st_ino)
                return true;
        }
    }
    return false;
}

} // namespace tidyfox::library
