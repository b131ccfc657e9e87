// history and restore: the library keeps its history of removals and its
// command line shows and restores it, so tidyfox-clean hands those commands
// to tidyfox-library rather than offer a second way to the same thing.
#pragma once

#include "cleancli/CleanOptions.h"

#include <QString>

namespace tidyfox::cleancli {

// Replaces this process with programFolder/tidyfox-library and
// options.libraryArguments. Returns only when that fails: the exit status,
// the reason told on standard error.
int runLibraryHistory(const CleanOptions &options, const QString &programFolder);

} // namespace tidyfox::cleancli
