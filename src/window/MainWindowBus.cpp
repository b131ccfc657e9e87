// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/MainWindowBus.h"

#include "MainWindowAdaptor.h"
#include "protocol/BusNames.h"
#include "window/JobStatus.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"

#include <QDBusConnection>
#include <QDBusError>

namespace tidyfox::window {

MainWindowBus::MainWindowBus(MainWindow *window) : QObject(window), m_window(window)
{
    connect(window, &MainWindow::faceVariableSet, this, &MainWindowBus::MovieVariableSet);
    connect(&window->jobStatus(), &JobStatus::progressChanged, this, &MainWindowBus::Progress);
    new MainWindowAdaptor(this);
}

bool MainWindowBus::publish(MainWindow *window)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcWindow) << "No session bus: Tidyfox runs without its automation interface.";
        return false;
    }
    auto *object = new MainWindowBus(window);
    if (!bus.registerObject(QString::fromLatin1(protocol::kWindowObjectPath), object)) {
        qCWarning(lcWindow) << "Cannot offer /MainWindow on the session bus:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(protocol::kWindowServiceName)))
        qCWarning(lcWindow) << "Cannot own org.tidyfox.Tidyfox on the session bus:" << bus.lastError().message();
    return true;
}

void MainWindowBus::FLashCommand(const QString &command, const QString &args)
{
    m_window->handleFaceCommand(command, args);
}

} // namespace tidyfox::window
