// SPDX-License-Identifier: GPL-3.0-or-later
// tidyfox-clean: the cleaning of the music library from a terminal.
#include "cleancli/CleanOptions.h"
#include "cleancli/CleanRun.h"
#include "cleancli/HistoryRun.h"
#include "cleaning/CleaningRun.h"
#include "libraryclient/BusLibraryClient.h"
#include "localclient/InProcessLibraryClient.h"
#include "service/LibraryPaths.h"
#include "system/TrashFileSystem.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace tidyfox;
using namespace tidyfox::cleancli;

namespace {

// The columns of the terminal standard output is, or 0 when it is none: a
// file or a pipe gets every column whole.
std::size_t terminalWidth()
{
    if (!isatty(STDOUT_FILENO))
        return 0;
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? std::size_t(columns) : 80;
}

} // namespace

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
    CleanStreams streams;
    streams.progress = isatty(STDERR_FILENO) ? stderr : nullptr;
    streams.width = options.wide ? 0 : terminalWidth();
    if (options.command == CleanCommand::History && options.clearHistory)
        return clearHistory(options.libraryFile.isEmpty() ? library::defaultLibraryPath() : options.libraryFile,
                            streams);

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
        std::fprintf(stderr, "tidyfox-clean: cannot open the library: %s\n", qPrintable(cleaning::errorText(error)));
        return kExitSomeFailed;
    }
    return runClean(options, *library, fs, pendingRemovals, streams);
}
