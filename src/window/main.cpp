// SPDX-License-Identifier: GPL-3.0-or-later
// Tidyfox: cleans up a music library.
#include "libraryclient/BusLibraryClient.h"
#include "window/MainWindow.h"
#include "window/MainWindowBus.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TIDYFOX_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral("org.tidyfox.Tidyfox"));

    tidyfox::window::WindowEnvironment env = tidyfox::window::makeDefaultEnvironment();
    const QString appFolder = env.applicationFolder;
    env.createLibraryClient = tidyfox::libraryclient::BusLibraryClient::factory(appFolder);
    env.startLibraryEarly = [appFolder] { tidyfox::libraryclient::BusLibraryClient::startServiceEarly(appFolder); };

    env.publish = [](tidyfox::window::MainWindow &window) { tidyfox::window::MainWindowBus::publish(&window); };

    tidyfox::window::MainWindow window(std::move(env));
    if (!window.start())
        return 0;
    window.show();
    return app.exec();
}
