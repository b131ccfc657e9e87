// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/JobHolder.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

namespace tidyfox::library {
namespace {

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}

// The fields of /proc/PID/stat after the command name, which may hold spaces
// and parentheses: the state is the first, the start time the 20th.
QList<QByteArray> statFields(std::int64_t pid)
{
    const QByteArray stat = readSmallFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    return stat.mid(close + 2).split(' ');
}

// The boot and the process's start in clock ticks since it: together they
// name one process for the life of the machine.
QString startOf(std::int64_t pid)
{
    const QByteArray boot = readSmallFile(QStringLiteral("/proc/sys/kernel/random/boot_id")).trimmed();
    const QList<QByteArray> fields = statFields(pid);
    if (boot.isEmpty() || fields.size() < 20)
        return {};
    return QString::fromLatin1(boot + '/' + fields[19]);
}

} // namespace

ProcessMark thisProcess()
{
    const std::int64_t pid = ::getpid();
    return {pid, startOf(pid)};
}

bool isRunning(const ProcessMark &mark)
{
    if (mark.pid <= 0 || mark.pid > std::numeric_limits<pid_t>::max())
        return false;
    if (::kill(pid_t(mark.pid), 0) != 0 && errno != EPERM)
        return false;
    // A killed process nobody has reaped yet is still listed, as a zombie.
    const QList<QByteArray> fields = statFields(mark.pid);
    if (!fields.isEmpty() && (fields[0] == "Z" || fields[0] == "X"))
        return false;
    // A process of the same number that started at another time is another.
    return mark.start.isEmpty() || startOf(mark.pid) == mark.start;
}

QString programOf(std::int64_t pid)
{
    return QString::fromUtf8(readSmallFile(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed());
}

} // namespace tidyfox::library
