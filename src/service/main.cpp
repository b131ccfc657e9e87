// tidyfox-library [--library PATH] COMMAND: the music library service and the
// commands that fill, show and write out its library.
#include "service/LibraryCommands.h"
#include "service/LibraryPaths.h"
#include "service/ServiceBus.h"

#include <QCoreApplication>
#include <cstdio>

using namespace tidyfox::library;

namespace {

constexpr const char *kUsage = "usage: tidyfox-library [--library PATH] COMMAND\n"
                               "commands:\n"
                               "  serve                                    offer the library on the session bus\n"
                               "  import-xml FILE [--map-prefix OLD=NEW] [--music-folder DIR]\n"
                               "                                           import a library XML file\n"
                               "  add PATH...                              add audio files and folders\n"
                               "  export-xml FILE                          write the library as a library XML file\n"
                               "  list                                     list the tracks of the library\n"
                               "  quit                                     ask the running service to quit\n"
                               "The library is $XDG_DATA_HOME/tidyfox/library.db unless --library says otherwise.\n";

int usageError(const QString &message)
{
    reportError(message);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tidyfox-library"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(TIDYFOX_VERSION_MAJOR).arg(TIDYFOX_VERSION_MINOR).arg(TIDYFOX_VERSION_PATCH));

    QStringList args = QCoreApplication::arguments().mid(1);
    QString libraryPath;
    bool libraryGiven = false;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("-"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (option == QLatin1String("--library")) {
            if (args.isEmpty())
                return usageError(QStringLiteral("--library needs a PATH"));
            libraryPath = args.takeFirst();
        } else if (option.startsWith(QLatin1String("--library="))) {
            libraryPath = option.mid(int(qstrlen("--library=")));
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(option));
        }
        if (libraryPath.isEmpty())
            return usageError(QStringLiteral("--library needs a PATH"));
        libraryGiven = true;
    }
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    if (!libraryGiven)
        libraryPath = defaultLibraryPath();

    const QString command = args.takeFirst();
    if (command == QLatin1String("serve")) {
        if (!args.isEmpty())
            return usageError(QStringLiteral("serve takes no arguments"));
        return serveLibrary(libraryPath);
    }
    if (command == QLatin1String("quit")) {
        if (!args.isEmpty())
            return usageError(QStringLiteral("quit takes no arguments"));
        return quitService();
    }
    if (command == QLatin1String("import-xml"))
        return runImportXml(libraryPath, args);
    if (command == QLatin1String("export-xml"))
        return runExportXml(libraryPath, args);
    if (command == QLatin1String("add"))
        return runAdd(libraryPath, args);
    if (command == QLatin1String("list"))
        return runList(libraryPath, args);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
}
