// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/RestoreFiles.h"

#include "service/ServiceLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tidyfox::library {

namespace {

// Moves from to to unless something is at to already: the check and the move
// are one step, so a file that turned up meanwhile is never replaced.
bool moveWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // Some file systems cannot rename that way; a hard link refuses an
    // existing name just as well. Killed between the two, the file has both
    // names for a moment, which the next run tells by the identity.
    if ((errno == EINVAL || errno == ENOSYS) && ::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    qCDebug(lcService) << "could not move" << from << "to" << to << ":" << std::strerror(errno);
    return false;
}

} // namespace

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{std::int64_t(info.st_dev), std::int64_t(info.st_ino)};
}

FileReturn RestoreFile::bringBack()
{
    // A path from another machine ("C:/Music/...") has no place here.
    if (!QFileInfo(m_originalPath).isAbsolute())
        return FileReturn::Stays;
    const auto inTrash = fileIdentity(m_trashedPath);
    const auto atPlace = fileIdentity(m_originalPath);
    if (!inTrash) {
        // Moved back by a run that was killed before the library changed, or
        // lost from the trash since.
        if (!m_movedBefore || atPlace != m_movedBefore)
            return FileReturn::Stays;
        dropInfo();
        return FileReturn::Back;
    }
    if (atPlace && atPlace == inTrash) {
        // Both names of one file: a move through a hard link was cut short.
        ::unlink(QFile::encodeName(m_trashedPath).constData());
        dropInfo();
        return FileReturn::Back;
    }
    if (!QDir().mkpath(QFileInfo(m_originalPath).absolutePath()) ||
        !moveWithoutReplacing(m_trashedPath, m_originalPath))
        return FileReturn::Stays;
    m_moved = true;
    dropInfo();
    return FileReturn::Back;
}

void RestoreFile::dropInfo()
{
    if (m_infoPath.isEmpty())
        return;
    QFile info(m_infoPath);
    if (info.open(QIODevice::ReadOnly))
        m_info = info.readAll();
    info.close();
    info.remove();
}

void RestoreFile::putBack()
{
    if (!m_moved || !moveWithoutReplacing(m_originalPath, m_trashedPath))
        return;
    m_moved = false;
    if (m_infoPath.isEmpty() || m_info.isEmpty())
        return;
    QFile info(m_infoPath);
    if (info.open(QIODevice::NewOnly | QIODevice::WriteOnly))
        info.write(m_info);
}

} // namespace tidyfox::library
