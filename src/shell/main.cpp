// Tidyfox: cleans up a music library.
#include "itunes/DBusITunes.h"
#include "shell/MainWindowAdaptor.h"
#include "shell/frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TIDYFOX_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral("org.tidyfox.Tidyfox"));

    tidyfox::shell::WindowEnvironment env = tidyfox::shell::makeDefaultEnvironment();
    const QString appFolder = env.applicationFolder;
    env.createITunes = tidyfox::itunes::DBusITunes::factory(appFolder);

    tidyfox::shell::frmMain window(std::move(env));
    if (!window.Form_Load())
        return 0;
    tidyfox::shell::MainWindowAdaptor::publish(&window);
    window.show();
    return app.exec();
}
