#include "shell/MainWindowAdaptor.h"

#include "shell/ShellLog.h"
#include "shell/frmMain.h"

#include <QDBusConnection>
#include <QDBusError>

namespace tidyfox::shell {

MainWindowAdaptor::MainWindowAdaptor(frmMain *window) : QDBusAbstractAdaptor(window), m_window(window)
{
    connect(window, &frmMain::MovieVariableSet, this, &MainWindowAdaptor::MovieVariableSet);
}

bool MainWindowAdaptor::publish(frmMain *window)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcShell) << "No session bus: Tidyfox runs without its automation interface.";
        return false;
    }
    new MainWindowAdaptor(window);
    if (!bus.registerObject(QStringLiteral("/MainWindow"), window)) {
        qCWarning(lcShell) << "Cannot offer /MainWindow on the session bus:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerService(QStringLiteral("org.tidyfox.Tidyfox")))
        qCWarning(lcShell) << "Cannot own org.tidyfox.Tidyfox on the session bus:" << bus.lastError().message();
    return true;
}

void MainWindowAdaptor::FLashCommand(const QString &command, const QString &args)
{
    m_window->FLashCommand(command, args);
}

} // namespace tidyfox::shell
