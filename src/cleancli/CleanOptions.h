// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of tidyfox-clean, read into what to do. Reading never
// touches the library: a bad line is refused before anything is asked.
#pragma once

#include "cleaning/KeepRule.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace tidyfox::cleancli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

enum class CleanCommand { Duplicates, DeadTracks, History, Restore, Fingerprint };

struct CleanOptions
{
    CleanCommand command = CleanCommand::Duplicates;
    // duplicates: the filter text of the seven properties, in the filter's
    // order, then the keep-files item.
    QString filterText;
    QStringList by;     // the --by items as given, for the report
    bool sound = false; // --by sound: fingerprints are made first
    bool loose = false;
    cleaning::KeepRule keep = cleaning::KeepRule::LibraryOrder;
    bool mergeHistory = false;
    bool keepFiles = false;
    // dead
    bool includeDisconnected = false;
    // duplicates and dead
    bool remove = false;
    bool json = false;
    // duplicates: sizes in bytes, not "4.2 MB"
    bool bytes = false;
    // the tables: every column whole however wide the terminal is
    bool wide = false;
    // history
    bool clearHistory = false;
    // restore: the job to put back; 0 for the newest one not restored yet
    std::int32_t jobId = 0;
    // every command
    QString libraryFile; // empty: the running library service
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
