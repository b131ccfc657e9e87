// SPDX-License-Identifier: GPL-3.0-or-later
// What several benchmarks share: the median of their rounds, and a session
// bus of their own.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <csignal>
#include <vector>

namespace tidyfox::bench {

// The middle value (the upper one of an even count); values must not be empty.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A dbus-daemon of its own, ended with the object.
struct PrivateBus
{
    qint64 pid = 0;
    QByteArray address;
    bool start()
    {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--fork"), QStringLiteral("--print-address=1"),
                      QStringLiteral("--print-pid=1")});
        if (!daemon.waitForFinished(10000))
            return false;
        const auto lines = daemon.readAllStandardOutput().split('\n');
        if (lines.size() < 2)
            return false;
        address = lines[0].trimmed();
        pid = lines[1].trimmed().toLongLong();
        return !address.isEmpty() && pid > 0;
    }
    PrivateBus() = default;
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;
    ~PrivateBus()
    {
        if (pid > 0)
            ::kill(static_cast<pid_t>(pid), SIGTERM);
    }
};

} // namespace tidyfox::bench
