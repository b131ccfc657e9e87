// SPDX-License-Identifier: GPL-3.0-or-later
// tidyfox-library [--library PATH] COMMAND: the music library service and the
// commands that fill, show and write out its library.
#include "service/LibraryCommands.h"
#include "service/LibraryPaths.h"
#include "service/ServiceBus.h"

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace tidyfox::library;

namespace {

constexpr const char *kCommands =
    "The music library service of Tidyfox and the commands that fill, show and write out "
    "its library.\n"
    "\n"
    "Commands:\n"
    "  serve                                    offer the library on the session bus\n"
    "  import-xml FILE [--map-prefix OLD=NEW] [--music-folder DIR]\n"
    "                                           import a library XML file\n"
    "  import-rhythmbox [RHYTHMDB] [--playlists FILE]\n"
    "                                           fill the library from Rhythmbox's and link it\n"
    "  import-strawberry [DB]                   fill the library from Strawberry's collection and link it\n"
    "  import-clementine [DB]                   fill the library from Clementine's collection and link it\n"
    "  sync                                     write the changes that wait into the player's library\n"
    "  add PATH...                              add audio files and folders\n"
    "  export-xml FILE                          write the library as a library XML file\n"
    "  list                                     list the tracks of the library\n"
    "  history [--clear]                        list (or forget) the jobs of removals kept\n"
    "  restore [JOB]                            put a job of removals back (the last one)\n"
    "  quit                                     ask the running service to quit\n"
    "\n"
    "The library is $XDG_DATA_HOME/tidyfox/library.db unless --library says otherwise.";

int usageError(const QString &message)
{
    reportError(message + QStringLiteral(" (see tidyfox-library --help)"));
    return kExitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tidyfox-library"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(TIDYFOX_VERSION_MAJOR).arg(TIDYFOX_VERSION_MINOR).arg(TIDYFOX_VERSION_PATCH));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kCommands));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption library(QStringLiteral("library"), QStringLiteral("The library file to use."),
                                     QStringLiteral("PATH"));
    parser.addOption(library);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands)."),
                                 QStringLiteral("COMMAND [ARGUMENTS...]"));
    // What follows the command is the command's own: add takes any path, even
    // one that starts with a dash.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(kExitOk);
    if (parser.isSet(version))
        parser.showVersion();

    QString libraryPath = defaultLibraryPath();
    if (parser.isSet(library)) {
        libraryPath = parser.value(library);
        if (libraryPath.isEmpty())
            return usageError(QStringLiteral("--library needs a PATH"));
    }
    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));

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
    if (command == QLatin1String("import-rhythmbox"))
        return runImportRhythmbox(libraryPath, args);
    if (command == QLatin1String("import-strawberry") || command == QLatin1String("import-clementine"))
        return runImportCollection(libraryPath, command.mid(7), args);
    if (command == QLatin1String("sync"))
        return runSync(libraryPath, args);
    if (command == QLatin1String("export-xml"))
        return runExportXml(libraryPath, args);
    if (command == QLatin1String("add"))
        return runAdd(libraryPath, args);
    if (command == QLatin1String("list"))
        return runList(libraryPath, args);
    if (command == QLatin1String("history"))
        return runHistory(libraryPath, args);
    if (command == QLatin1String("restore"))
        return runRestore(libraryPath, args);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
}
