// tidyfox-clean: the cleaning of the music library from a terminal.
#include "cleancli/CleanOptions.h"
#include "cleancli/CleanRun.h"
#include "cleancli/LibraryHistory.h"
#include "cleaning/CleaningRun.h"
#include "libraryclient/BusLibraryClient.h"
#include "localclient/InProcessLibraryClient.h"
#include "system/TrashFileSystem.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace tidyfox;
using namespace tidyfox::cleancli;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tidyfox-clean"));

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    switch (parsed.outcome) {
    case ParsedCommandLine::Outcome::Help:
        std::fputs(qPrintable(helpText()), stdout);
        return kExitOk;
    case ParsedCommandLine::Outcome::Version:
        std::printf("tidyfox-clean %d.%d.%d\n", TIDYFOX_VERSION_MAJOR, TIDYFOX_VERSION_MINOR, TIDYFOX_VERSION_PATCH);
        return kExitOk;
    case ParsedCommandLine::Outcome::Usage:
        std::fprintf(stderr, "tidyfox-clean: %s (see tidyfox-clean --help)\n", qPrintable(parsed.usageError));
        return kExitUsage;
    case ParsedCommandLine::Outcome::Run:
        break;
    }
    const CleanOptions &options = parsed.options;
    if (options.command == CleanCommand::LibraryHistory)
        return runLibraryHistory(options, QCoreApplication::applicationDirPath());

    CleanStreams streams;
    streams.progress = isatty(STDERR_FILENO) ? stderr : nullptr;
    system::TrashFileSystem fs;
    std::unique_ptr<libraryclient::LibraryClient> library;
    QString pendingRemovals;
    try {
        if (options.libraryFile.isEmpty()) {
            // The running service, started from this folder as the program
            // starts it; its removals share the program's note of file moves.
            library = std::make_unique<libraryclient::BusLibraryClient>(QCoreApplication::applicationDirPath());
            pendingRemovals = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                              QStringLiteral("/tidyfox/pending-removals");
        } else {
            // A mistyped path must not make an empty library.
            if (!QFileInfo(options.libraryFile).isFile())
                throw libraryclient::ClientError(libraryclient::kErrCallFailed,
                                                 QStringLiteral("no library file at ") + options.libraryFile);
            // Another library's moves are its own business: its note lies
            // beside it.
            library = std::make_unique<libraryclient::InProcessLibraryClient>(options.libraryFile);
            pendingRemovals = options.libraryFile + QStringLiteral(".pending-removals");
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tidyfox-clean: cannot open the library: %s\n",
                     qPrintable(cleaning::failureReason(error)));
        return kExitSomeFailed;
    }
    return runClean(options, *library, fs, pendingRemovals, streams);
}
