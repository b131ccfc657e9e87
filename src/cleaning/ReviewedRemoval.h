// SPDX-License-Identifier: GPL-3.0-or-later
// The removal of the copies a person chose after a review: each named by its
// database ID with the track that stays in its place. Beside removeDuplicates
// and built of the same steps: a copy's file goes to the trash first (unless
// files are kept, and never while a track still in the library uses it), an
// entry that cannot go gets its file back, and a copy or keeper gone since the
// review is passed over.
#pragma once

#include "cleaning/CleaningHost.h"
#include "cleaning/DuplicateReview.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tidyfox::cleaning {

class PendingRemovals;

struct ChosenCopy
{
    std::int32_t databaseId = 0; // the copy that goes
    std::int32_t keeperId = 0;   // the track that stays in its place
    // The copy's file as the review showed it; only that file may go.
    std::optional<system::FileStamp> shown;
};

struct ReviewedRemoval
{
    std::vector<ChosenCopy> copies; // removed in this order
    bool keepFiles = false;
    // Each copy's play history goes to its keeper as the copy goes.
    bool mergeHistory = false;
    // Pairs asked for that the review never showed: nothing of them goes,
    // and the run's last alert names them.
    std::vector<ChosenCopy> refused;
};

// The copies a review showed, to hold a removal asked for by its id pairs (a
// face command anyone on the bus may send) to what the person saw.
class ShownCopies
{
public:
    ShownCopies() = default;
    explicit ShownCopies(const DuplicateReview &review);

    // Moves each pair of removal whose copy and keeper the review did not
    // show in one group into removal.refused, and gives each pair that stays
    // the stamp of its copy's file as the review read it.
    void admit(ReviewedRemoval &removal) const;

private:
    struct Shown
    {
        std::size_t group = 0;
        std::optional<system::FileStamp> stamp;
    };
    std::unordered_map<std::int32_t, Shown> m_tracks;
};

// Runs the removal over the library (null when not connected) and ends it on
// host as removeDuplicates does: the same alerts and counts, the library
// reloaded on success, the gate and the buttons back in every case. A copy
// whose keeper is gone, or that is itself some copy's keeper, stays. Never
// throws.
//
// With pending set, each file's move is noted and settled as removeDuplicates
// does, and what a killed run left is put right first.
void removeReviewed(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                    const ReviewedRemoval &removal, PendingRemovals *pending = nullptr);

} // namespace tidyfox::cleaning
