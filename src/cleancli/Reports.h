// SPDX-License-Identifier: GPL-3.0-or-later
// What tidyfox-clean prints on standard output: the findings as a plain table
// with their totals, or the same fields as one JSON document.
#pragma once

#include "cleancli/CleanOptions.h"
#include "cleancli/OutputBuffer.h"
#include "cleaning/DeadTrackReview.h"
#include "cleaning/DuplicateReview.h"
#include "protocol/LibraryRecords.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::cleancli {

// How a removal went, told after the findings it removed.
struct RemovalOutcome
{
    std::vector<std::int32_t> removed;    // database ids gone from the library
    std::vector<std::int32_t> notRemoved; // shown to go, still there
};

// width: the terminal's columns the table fits in; 0 for every column whole.
void duplicatesText(OutputBuffer &out, const CleanOptions &options, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome, std::size_t width);
void duplicatesJson(OutputBuffer &out, const CleanOptions &options, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome);

// Whether a dead track goes with --remove: not on a disconnected drive unless
// those are included.
bool deadTrackGoes(const cleaning::DeadTrackFolder &folder, const CleanOptions &options);

void deadTracksText(OutputBuffer &out, const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                    const std::optional<RemovalOutcome> &outcome, std::size_t width);
void deadTracksJson(OutputBuffer &out, const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                    const std::optional<RemovalOutcome> &outcome);

// The jobs of the library's history, oldest first, under a header.
void historyText(OutputBuffer &out, const std::vector<protocol::JobRecord> &jobs, std::size_t width);

// A size as a file manager shows it: "512 bytes", "38.6 kB", "4.2 MB"
// (kB = 1000 bytes).
QString readableSize(std::int64_t bytes);

} // namespace tidyfox::cleancli
