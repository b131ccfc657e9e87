// SPDX-License-Identifier: GPL-3.0-or-later
// history and restore: the library's history of removals, shown and put back
// through the same client as the cleaning, so that a restore through the
// running service tells the window to read the library again.
#pragma once

#include "cleancli/CleanOptions.h"
#include "cleancli/CleanRun.h"
#include "libraryclient/LibraryClient.h"

namespace tidyfox::cleancli {

// The jobs under a header. Returns the exit status.
int runHistory(libraryclient::LibraryClient &library, const CleanStreams &streams);

// Puts options.jobId back (the newest job not restored yet when 0): its files
// from the trash, then its tracks. A file that cannot go back (something is
// at its place now) stays in the trash, is named on streams.err and makes the
// status 1.
int runRestore(const CleanOptions &options, libraryclient::LibraryClient &library, const CleanStreams &streams);

// Forgets every job of the library file at libraryPath; the trash keeps the
// files. The bus offers no way to forget, so this opens the file itself as
// tidyfox-library does.
int clearHistory(const QString &libraryPath, const CleanStreams &streams);

} // namespace tidyfox::cleancli
