// SPDX-License-Identifier: GPL-3.0-or-later
// The real library service, run as a child of the test on the test's
// private session bus.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tidyfox::libraryclient::test {

QString servicePath();
bool libraryServed();

class ServiceProcess
{
public:
    ServiceProcess() = default;
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    // Starts `tidyfox-library --library path serve` and waits for the name.
    bool start(const QString &libraryPath);
    // Runs `tidyfox-library args...` to its end; returns its exit code.
    static int run(const QStringList &args, QString *errorOutput = nullptr);

    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    bool waitForExit(int ms = 5000);
    int exitCode() const { return m_process.exitCode(); }
    void kill();

private:
    QProcess m_process;
};

} // namespace tidyfox::libraryclient::test
