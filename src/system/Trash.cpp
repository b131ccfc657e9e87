// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Trash.h"

#include "common/DataFolders.h"
#include "system/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tidyfox::system {
namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

std::optional<struct stat> lstatOf(const QString &path)
{
    struct stat st
    {
    };
    if (::lstat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

std::optional<struct stat> statOf(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

QString errnoText(int error)
{
    if (error == ENOSPC)
        return QStringLiteral("the disk is full");
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void fail(const QString &path, const QString &why)
{
    throw TrashError(QStringLiteral("Cannot move \"%1\" to the trash: %2").arg(path, why));
}

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// The device of a folder that may not exist yet: that of its nearest
// existing ancestor, which is where it would be created.
std::optional<dev_t> deviceOfFolder(QString folder)
{
    for (;;) {
        if (auto st = statOf(folder))
            return st->st_dev;
        if (folder == QLatin1String("/"))
            return std::nullopt;
        folder = parentOf(folder);
    }
}

// The top folder of the mounted volume that holds the folder realParent (a
// path without symlinks) on device dev.
QString topDirOf(const QString &realParent, dev_t dev)
{
    QString top = realParent;
    while (top != QLatin1String("/")) {
        const QString up = parentOf(top);
        const auto st = statOf(up);
        if (!st || st->st_dev != dev)
            break;
        top = up;
    }
    return top;
}

bool isRealFolder(const QString &path)
{
    const auto st = lstatOf(path);
    return st && S_ISDIR(st->st_mode);
}

// Makes folder (mode 0700) unless it is there; true when it is a real folder
// (not a symlink) afterwards.
bool ensureFolder(const QString &path)
{
    if (::mkdir(native(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isRealFolder(path);
}

bool ensureTrashLayout(const QString &trash)
{
    return ensureFolder(trash) && ensureFolder(trash + QStringLiteral("/files")) &&
           ensureFolder(trash + QStringLiteral("/info"));
}

// The trash of a volume other than the home trash's, per the freedesktop
// rules: an administrator-made $topdir/.Trash (a real folder with the sticky
// bit) holds one folder per user; otherwise the user's own $topdir/.Trash-$uid.
std::optional<QString> volumeTrash(const QString &topDir)
{
    const QString base = topDir == QLatin1String("/") ? QString() : topDir;
    const QString uid = QString::number(::getuid());
    const QString shared = base + QStringLiteral("/.Trash");
    if (const auto st = lstatOf(shared); st && S_ISDIR(st->st_mode) && (st->st_mode & S_ISVTX)) {
        const QString mine = shared + QLatin1Char('/') + uid;
        if (ensureTrashLayout(mine))
            return mine;
    }
    const QString own = base + QStringLiteral("/.Trash-") + uid;
    if (ensureTrashLayout(own))
        return own;
    return std::nullopt;
}

// "song.mp3", "song.2.mp3", "song.3.mp3", ...
QString candidateName(const QString &name, int attempt)
{
    if (attempt == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(".%1").arg(attempt);
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

// The last line of every info file this program writes, so that it can tell
// its own orphans from those of other programs, which it leaves alone.
constexpr char kOurMark[] = "# Written by Tidyfox\n";

// How old an empty info file without its file must be to count as abandoned.
constexpr std::time_t kAbandonedAfterSeconds = 60;

QByteArray trashInfo(const QString &originalPath)
{
    QByteArray text("[Trash Info]\nPath=");
    text += native(originalPath).toPercentEncoding("/");
    text += "\nDeletionDate=";
    text += QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1();
    text += '\n';
    text += kOurMark;
    return text;
}

// Once per trash folder and process: an info file is written before its file
// moves, so a crash between the two leaves one behind.
void removeOrphansOnce(const QString &trash)
{
    static QMutex mutex;
    static QSet<QString> done;
    {
        const QMutexLocker lock(&mutex);
        if (done.contains(trash))
            return;
        done.insert(trash);
    }
    removeOrphanInfoFiles(trash);
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Renames from to to unless something is at to already.
bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray src = native(from);
    const QByteArray dst = native(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot refuse to replace; the info file reserved the
    // name, so checking first is as close as it gets.
    if (lstatOf(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(src.constData(), dst.constData()) == 0;
}

} // namespace

int removeOrphanInfoFiles(const QString &trash)
{
    int removed = 0;
    const QString infoFolder = trash + QStringLiteral("/info/");
    const QStringList names =
        QDir(infoFolder).entryList({QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &infoName : names) {
        const QString trashName = infoName.chopped(int(qstrlen(".trashinfo")));
        if (lstatOf(trash + QStringLiteral("/files/") + trashName))
            continue;
        QFile info(infoFolder + infoName);
        // An empty one is a name reserved by a trasher that died before it
        // wrote the info (ours or another's): it says nothing, and after a
        // minute nobody is still about to fill it.
        const auto st = lstatOf(info.fileName());
        const bool abandoned = st && S_ISREG(st->st_mode) && st->st_size == 0 &&
                               st->st_mtime < std::time(nullptr) - kAbandonedAfterSeconds;
        // Info files are a few hundred bytes; more is not one of ours.
        if (!abandoned && (!info.open(QIODevice::ReadOnly) || !info.read(64 * 1024).endsWith(kOurMark)))
            continue;
        info.close();
        if (::unlink(native(info.fileName()).constData()) == 0)
            ++removed;
    }
    return removed;
}

void restoreFromTrash(const TrashedFile &trashed, const QString &path)
{
    if (!isUsablePath(path) || !renameNoReplace(trashed.trashedPath, path)) {
        throw TrashError(QStringLiteral("Cannot put \"%1\" back from the trash: %2")
                             .arg(path, isUsablePath(path) ? errnoText(errno) : QStringLiteral("not a usable path")));
    }
    if (!trashed.infoPath.isEmpty())
        ::unlink(native(trashed.infoPath).constData());
}

QString homeTrashPath()
{
    return homeTrashFolder();
}

TrashedFile moveToTrash(const QString &path, const BeforeTrashMove &beforeMove)
{
    if (path.isEmpty())
        fail(path, QStringLiteral("no file named"));
    if (!isUsablePath(path))
        fail(path, QStringLiteral("the name holds a NUL character, which no file name can"));
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    const auto entry = lstatOf(absolute);
    if (!entry)
        fail(path, errnoText(errno));
    if (S_ISDIR(entry->st_mode))
        fail(path, QStringLiteral("it is a folder"));

    // Where the entry really lies, so that the info file names a path that
    // leads back to it even when path went through a symlinked folder.
    const QString name = fileNameOf(absolute);
    const QString realParent = QDir(parentOf(absolute)).canonicalPath();
    if (realParent.isEmpty())
        fail(path, QStringLiteral("its folder cannot be resolved"));
    const QString original =
        realParent == QLatin1String("/") ? QLatin1Char('/') + name : realParent + QLatin1Char('/') + name;

    QString trash = homeTrashPath();
    QString recordedPath = original;
    if (deviceOfFolder(trash) != entry->st_dev) {
        const QString topDir = topDirOf(realParent, entry->st_dev);
        const auto volume = volumeTrash(topDir);
        if (!volume)
            fail(path, QStringLiteral("its volume (%1) has no usable trash").arg(topDir));
        trash = *volume;
        // A volume trash records paths relative to the volume's top folder,
        // so that the volume can be mounted elsewhere.
        recordedPath = topDir == QLatin1String("/") ? original.mid(1) : original.mid(topDir.size() + 1);
    } else if (!QDir().mkpath(parentOf(trash)) || !ensureTrashLayout(trash)) {
        fail(path, QStringLiteral("the trash folder %1 cannot be made").arg(trash));
    }
    if (const auto st = statOf(trash); !st || st->st_dev != entry->st_dev)
        fail(path, QStringLiteral("the trash %1 is on another device").arg(trash));

    removeOrphansOnce(trash);

    const QByteArray info = trashInfo(recordedPath);
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QString trashName = candidateName(name, attempt);
        const QString infoPath = trash + QStringLiteral("/info/") + trashName + QStringLiteral(".trashinfo");
        const QString filesPath = trash + QStringLiteral("/files/") + trashName;
        // Creating the info file exclusively reserves the name against other
        // programs trashing at the same time.
        const int fd = ::open(native(infoPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            fail(path, QStringLiteral("cannot write %1: %2").arg(infoPath, errnoText(errno)));
        }
        const bool written = writeAll(fd, info);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(native(infoPath).constData());
            fail(path, QStringLiteral("cannot write %1: %2").arg(infoPath, errnoText(writeError)));
        }
        const TrashedFile reserved{filesPath, infoPath};
        if (beforeMove) {
            try {
                beforeMove(reserved);
            } catch (...) {
                ::unlink(native(infoPath).constData());
                throw;
            }
        }
        if (renameNoReplace(absolute, filesPath))
            return reserved;
        const int renameError = errno;
        ::unlink(native(infoPath).constData());
        if (renameError != EEXIST)
            fail(path, errnoText(renameError));
    }
    fail(path, QStringLiteral("no free name in the trash"));
}

} // namespace tidyfox::system
