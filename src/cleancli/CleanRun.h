// SPDX-License-Identifier: GPL-3.0-or-later
// One run of tidyfox-clean over a library: the findings of the cleaning
// engine, printed, and with --remove removed by the engine's own jobs.
#pragma once

#include "cleancli/CleanOptions.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <QString>
#include <cstddef>
#include <cstdio>

namespace tidyfox::cleancli {

// Writes text to stream as UTF-8, at once.
void write(std::FILE *stream, const QString &text);

struct CleanStreams
{
    std::FILE *out = stdout;
    std::FILE *err = stderr;
    std::FILE *progress = nullptr; // null: no progress shown
    // The terminal's columns the tables fit in; 0: every column whole (not a
    // terminal, or --wide).
    std::size_t width = 0;
};

// pendingRemovalsPath: the note of file moves a duplicate removal keeps (see
// cleaning::PendingRemovals). Returns the exit status; a failure is told on
// streams.err.
int runClean(const CleanOptions &options, libraryclient::LibraryClient &library, system::FileSystem &fs,
             const QString &pendingRemovalsPath, const CleanStreams &streams);

} // namespace tidyfox::cleancli
