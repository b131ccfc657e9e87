// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServiceProcess.h"

#include "SampleLibrary.h"
#include "protocol/BusNames.h"
#include "service/ServiceBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace tidyfox::libraryclient::test {

QString servicePath()
{
    return QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library");
}

bool libraryServed()
{
    return QDBusConnection::sessionBus()
        .interface()
        ->isServiceRegistered(QString::fromLatin1(protocol::kServiceName))
        .value();
}

ServiceProcess::~ServiceProcess()
{
    if (running()) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            kill();
    }
}

bool ServiceProcess::start(const QString &libraryPath)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(servicePath(), {QStringLiteral("--library"), libraryPath, QStringLiteral("serve")});
    return m_process.waitForStarted() && waitFor([&] { return libraryServed() || !running(); }) && libraryServed();
}

int ServiceProcess::run(const QStringList &args, QString *errorOutput)
{
    QProcess process;
    process.start(servicePath(), args);
    if (!process.waitForFinished(10000))
        return -1;
    if (errorOutput)
        *errorOutput = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool ServiceProcess::waitForExit(int ms)
{
    return waitFor([&] { return !running(); }, ms);
}

void ServiceProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace tidyfox::libraryclient::test
