// The command line of tidyfox-clean, read into what to do. Reading never
// touches the library: a bad line is refused before anything is asked.
#pragma once

#include "cleaning/KeepRule.h"

#include <QString>
#include <QStringList>

namespace tidyfox::cleancli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// LibraryHistory: history and restore, which tidyfox-library carries out.
enum class CleanCommand { Duplicates, DeadTracks, LibraryHistory };

struct CleanOptions
{
    CleanCommand command = CleanCommand::Duplicates;
    // duplicates: the filter text of the seven properties, in the filter's
    // order, then the keep-files item.
    QString filterText;
    QStringList by; // the --by items as given, for the report
    cleaning::KeepRule keep = cleaning::KeepRule::LibraryOrder;
    bool mergeHistory = false;
    bool keepFiles = false;
    // dead
    bool includeDisconnected = false;
    // both
    bool remove = false;
    bool json = false;
    QString libraryFile; // empty: the running library service
    // history and restore: tidyfox-library's arguments.
    QStringList libraryArguments;
};

struct ParsedCommandLine
{
    enum class Outcome { Run, Help, Version, Usage };
    Outcome outcome = Outcome::Usage;
    CleanOptions options;
    QString usageError; // one line, for Outcome::Usage
};

// arguments without the program's name.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString helpText();

} // namespace tidyfox::cleancli
