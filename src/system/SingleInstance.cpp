// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tidyfox::system {

SingleInstance::SingleInstance(const QString &folder, const QString &name)
{
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::anotherInstanceRuns()
{
    if (m_fd < 0 || m_held)
        return false;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_held = true;
        return false;
    }
    return errno == EWOULDBLOCK;
}

QString defaultLockFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    return QDir::temp().filePath(QStringLiteral("tidyfox-%1").arg(::getuid()));
}

} // namespace tidyfox::system
