// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/TrashFileSystem.h"

#include "common/AudioFileLook.h"
#include "common/DataFolders.h"
#include "system/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tidyfox::system {
namespace {

// Within path's folders: base is the folder as the disk resolves it, or
// as written when it cannot be resolved.
bool isWithinFolder(const QString &path, const QString &base)
{
    return !base.isEmpty() && path.startsWith(base + QLatin1Char('/'));
}

// A folder of path (any part but its last) whose name starts with a dot.
bool hasHiddenFolder(const QString &path)
{
    const qsizetype dot = path.indexOf(QLatin1String("/."));
    return dot >= 0 && dot < path.lastIndexOf(QLatin1Char('/'));
}

} // namespace

bool TrashFileSystem::fileExists(const QString &path)
{
    if (!isUsablePath(path))
        return false;
    struct stat st
    {
    };
    return statOf(path, st, false) && !S_ISDIR(st.st_mode);
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
    if (!statOf(path, st, false))
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
    return whyItStays(path, statOf(path, st, true) ? &st : nullptr);
}

QString TrashFileSystem::whyItStays(const QString &path, const struct stat *entry)
{
    if (!entry || !S_ISREG(entry->st_mode))
        return QStringLiteral("it is not a regular file");
    // path resolved as the disk has it (symlinked folders followed, the
    // file's own name kept): a trash or a hidden folder reached through
    // another spelling is still the same folder.
    const QFileInfo info(QDir::isAbsolutePath(path) ? QDir::cleanPath(path)
                                                    : QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    const QString parent = realFolder(info.path());
    if (parent.isEmpty())
        return QStringLiteral("its folder cannot be resolved");
    const QString real =
        parent == QLatin1String("/") ? QLatin1Char('/') + info.fileName() : parent + QLatin1Char('/') + info.fileName();
    resolveBases();
    if (isWithinFolder(real, m_trashBase) || real.contains(QLatin1String("/.Trash")))
        return QStringLiteral("it is in the trash");
    if (isWithinFolder(real, m_dataBase))
        return QStringLiteral("it is in the library's own folder");
    if (hasHiddenFolder(real))
        return QStringLiteral("it is in a hidden folder");
    if (!hasAudioExtension(real) || !startsLikeAudio(headOf(path, kAudioHeadBytes)))
        return QStringLiteral("it does not look like audio");
    return {};
}

FileLook TrashFileSystem::look(const QString &path, bool withWhy)
{
    if (!isUsablePath(path))
        return {std::nullopt, true, withWhy ? QStringLiteral("its name is not usable") : QString()};
    struct stat st
    {
    };
    const bool seen = statOf(path, st, true);
    FileLook look;
    if (withWhy)
        look.whyItStays = whyItStays(path, seen ? &st : nullptr);
    // Not a symlink: the entry is the file, and what lstat saw is what stat
    // would see.
    if (!seen || S_ISLNK(st.st_mode)) {
        look.stamp = stamp(path);
        return look;
    }
    look.stamp = FileStamp{{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
                           std::int64_t(st.st_size),
                           std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    look.mayHaveOtherNames = st.st_nlink > 1;
    return look;
}

void TrashFileSystem::resolveBases()
{
    forgetOldFolders();
    if (m_basesResolved)
        return;
    const auto base = [this](const QString &folder) {
        if (folder.isEmpty())
            return QString();
        const QString resolved = realFolder(folder);
        return resolved.isEmpty() ? QDir::cleanPath(folder) : resolved;
    };
    m_trashBase = base(homeTrashPath());
    m_dataBase = base(tidyfoxDataFolder());
    m_basesResolved = true;
}

QByteArray TrashFileSystem::headOf(const QString &path, qint64 bytes)
{
    const QByteArray native = QFile::encodeName(path);
    const qsizetype slash = native.lastIndexOf('/');
    const int folder = folderFd(native, slash);
    const int fd = folder >= 0 ? ::openat(folder, native.constData() + slash + 1, O_RDONLY | O_CLOEXEC)
                               : ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray head(bytes, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, size_t(head.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    head.truncate(got);
    return head;
}

TrashFileSystem::~TrashFileSystem()
{
    closeFolderFds();
}

void TrashFileSystem::closeFolderFds()
{
    for (const int fd : std::as_const(m_folderFds)) {
        if (fd >= 0)
            ::close(fd);
    }
    m_folderFds.clear();
}

void TrashFileSystem::forgetOldFolders()
{
    using namespace std::chrono_literals;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_realFoldersSince <= 1s)
        return;
    m_realFolders.clear();
    closeFolderFds();
    m_basesResolved = false;
    m_realFoldersSince = now;
}

int TrashFileSystem::folderFd(const QByteArray &native, qsizetype slash)
{
    const QByteArrayView name = QByteArrayView(native).sliced(slash + 1);
    // Only an absolute path names the same file from any folder; a path
    // that ends in a folder's own spelling is asked about as written.
    if (slash < 0 || !native.startsWith('/') || name.isEmpty() || name == "." || name == "..")
        return -1;
    forgetOldFolders();
    const QByteArray folder = slash == 0 ? QByteArray("/") : native.first(slash);
    auto found = m_folderFds.constFind(folder);
    // The process's descriptors are limited: past the first folders, the
    // others are asked about by their paths. Dropping kept ones instead
    // would open a folder for nearly every question when a library's
    // tracks take turns among more folders than are kept.
    if (found == m_folderFds.constEnd() && m_folderFds.size() >= kKeptFolderFds)
        return -1;
    if (found == m_folderFds.constEnd())
        found = m_folderFds.insert(folder, ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return found.value();
}

bool TrashFileSystem::statOf(const QString &path, struct stat &st, bool noFollow)
{
    const QByteArray native = QFile::encodeName(path);
    const qsizetype slash = native.lastIndexOf('/');
    const int folder = folderFd(native, slash);
    if (folder < 0)
        return (noFollow ? ::lstat(native.constData(), &st) : ::stat(native.constData(), &st)) == 0;
    return ::fstatat(folder, native.constData() + slash + 1, &st, noFollow ? AT_SYMLINK_NOFOLLOW : 0) == 0;
}

QString TrashFileSystem::realFolder(const QString &folder)
{
    forgetOldFolders();
    auto found = m_realFolders.constFind(folder);
    if (found == m_realFolders.constEnd())
        found = m_realFolders.insert(folder, QDir(folder).canonicalPath());
    return found.value();
}

FolderListing TrashFileSystem::listFolder(const QString &path)
{
    FolderListing listing;
    if (!isUsablePath(path))
        return listing;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // Only a folder that is not there at all tells about its files;
        // one that may not be read could still hold them.
        listing.missing = errno == ENOENT || errno == ENOTDIR;
        return listing;
    }
    // A folder that can be read but not searched lists files that cannot be
    // reached.
    if (::faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
        ::close(fd);
        return listing;
    }
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::fdopendir(fd), &::closedir);
    if (!dir) {
        ::close(fd);
        return listing;
    }
    bool everyName = true;
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        const bool regular = entry->d_type == DT_REG;
        if (!regular && (qstrcmp(entry->d_name, ".") == 0 || qstrcmp(entry->d_name, "..") == 0))
            continue;
        // Most names are ASCII, which reads the same in any encoding the
        // system names files in, and is turned into text faster as such.
        const char *bytes = entry->d_name;
        const size_t length = std::strlen(bytes);
        const bool ascii =
            std::all_of(bytes, bytes + length, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        const QString name = ascii ? QString::fromLatin1(bytes, qsizetype(length)) : QFile::decodeName(bytes);
        // A name that does not decode cleanly could stand for another.
        if (name.contains(QChar::ReplacementCharacter))
            everyName = false;
        else
            (regular ? listing.names : listing.otherNames).append(name);
    }
    listing.listed = errno == 0;
    listing.complete = listing.listed && everyName;
    if (!listing.listed) {
        listing.names.clear();
        listing.otherNames.clear();
    }
    return listing;
}

bool TrashFileSystem::mayHaveOtherNames(const QString &path)
{
    if (!isUsablePath(path))
        return true;
    struct stat st
    {
    };
    return !statOf(path, st, true) || S_ISLNK(st.st_mode) || st.st_nlink > 1;
}

} // namespace tidyfox::system
