// What tidyfox-clean prints on standard output: the findings as a plain table
// with their totals, or the same fields as one JSON document.
#pragma once

#include "cleancli/CleanOptions.h"
#include "cleancli/OutputBuffer.h"
#include "cleaning/DeadTrackReview.h"
#include "cleaning/DuplicateReview.h"

#include <QString>
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

void duplicatesText(OutputBuffer &out, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome);
void duplicatesJson(OutputBuffer &out, const CleanOptions &options, const cleaning::DuplicateReview &review,
                    const std::optional<RemovalOutcome> &outcome);

// Whether a dead track goes with --remove: not on a disconnected drive unless
// those are included.
bool deadTrackGoes(const cleaning::DeadTrackFolder &folder, const CleanOptions &options);

void deadTracksText(OutputBuffer &out, const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                    const std::optional<RemovalOutcome> &outcome);
void deadTracksJson(OutputBuffer &out, const CleanOptions &options, const cleaning::DeadTrackFindings &findings,
                    const std::optional<RemovalOutcome> &outcome);

} // namespace tidyfox::cleancli
