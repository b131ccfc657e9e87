#include "window/MainWindowAdaptor.h"

#include "protocol/BusNames.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"

#include <QDBusConnection>
#include <QDBusError>

namespace tidyfox::window {

MainWindowAdaptor::MainWindowAdaptor(MainWindow *window) : QDBusAbstractAdaptor(window), m_window(window)
{
    connect(window, &MainWindow::faceVariableSet, this, &MainWindowAdaptor::MovieVariableSet);
}

bool MainWindowAdaptor::publish(MainWindow *window)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcWindow) << "No session bus: Tidyfox runs without its automation interface.";
        return false;
    }
    new MainWindowAdaptor(window);
    if (!bus.registerObject(QString::fromLatin1(protocol::kWindowObjectPath), window)) {
        qCWarning(lcWindow) << "Cannot offer /MainWindow on the session bus:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(protocol::kWindowServiceName)))
        qCWarning(lcWindow) << "Cannot own org.tidyfox.Tidyfox on the session bus:" << bus.lastError().message();
    return true;
}

void MainWindowAdaptor::FLashCommand(const QString &command, const QString &args)
{
    m_window->handleFaceCommand(command, args);
}

} // namespace tidyfox::window
