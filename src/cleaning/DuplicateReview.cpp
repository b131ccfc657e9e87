// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateReview.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateIndex.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/FileUsage.h"
#include "cleaning/FolderProbe.h"

#include <QSet>
#include <algorithm>
#include <optional>

namespace tidyfox::cleaning {
namespace {

// The removal's walk without the removals: each track still present keeps
// itself and loses its first copy. Returns the copies in the order the walk
// removes them.
std::vector<int> playTheWalk(DuplicateIndex &index)
{
    std::vector<int> removed;
    for (int kept = 0; kept < index.size(); ++kept) {
        if (index.at(kept).removed)
            continue;
        const int copy = index.findCopy(kept);
        if (copy < 0)
            continue;
        removed.push_back(copy);
        index.remove(copy);
    }
    return removed;
}

// The members of each group of two or more, in library order.
std::vector<std::vector<int>> groupsOf(const DuplicateIndex &index)
{
    // Most groups hold one track: counted first, so that only the others get
    // a list.
    std::vector<int> sizes;
    for (int i = 0; i < index.size(); ++i) {
        const int group = index.at(i).group;
        if (group < 0)
            continue;
        if (static_cast<size_t>(group) >= sizes.size())
            sizes.resize(static_cast<size_t>(group) + 1, 0);
        ++sizes[static_cast<size_t>(group)];
    }
    std::vector<int> slot(sizes.size(), -1);
    std::vector<std::vector<int>> members;
    for (int i = 0; i < index.size(); ++i) {
        const int group = index.at(i).group;
        if (group < 0 || sizes[static_cast<size_t>(group)] < 2)
            continue;
        int &at = slot[static_cast<size_t>(group)];
        if (at < 0) {
            at = static_cast<int>(members.size());
            members.emplace_back();
            members.back().reserve(static_cast<size_t>(sizes[static_cast<size_t>(group)]));
        }
        members[static_cast<size_t>(at)].push_back(i);
    }
    return members;
}

ReviewedTrack reviewed(const IndexedTrack &entry, system::FileSystem &fs)
{
    libraryclient::LibraryTrack &track = *entry.track;
    ReviewedTrack t;
    t.databaseId = entry.databaseId;
    t.name = track.name();
    t.artist = track.artist();
    t.album = track.album();
    t.time = track.time();
    t.kind = track.kindText();
    t.bitRate = track.bitRate();
    t.sampleRate = track.sampleRate();
    t.size = track.size();
    t.dateAdded = track.dateAdded();
    t.playCount = track.playCount();
    t.skipCount = track.skipCount();
    t.rating = track.rating();
    t.playDate = track.playDate();
    t.location = entry.location;
    t.hasFile = entry.hasFile;
    t.fileThere = entry.hasFile && !entry.location.isEmpty() && fs.fileExists(entry.location);
    if (t.fileThere)
        t.stamp = fs.stamp(entry.location);
    return t;
}

KeepCandidate candidateOf(const ReviewedTrack &t)
{
    KeepCandidate c;
    c.bitRate = t.bitRate;
    c.size = t.size;
    c.lossless = isLossless(t.kind, t.location);
    c.playCount = t.playCount;
    c.rating = t.rating;
    c.dateAdded = t.dateAdded;
    c.playDate = t.playDate;
    c.fileThere = t.fileThere;
    return c;
}

void chooseByRule(DuplicateGroup &group, KeepRule rule)
{
    std::vector<KeepCandidate> candidates;
    candidates.reserve(group.tracks.size());
    for (const ReviewedTrack &t : group.tracks)
        candidates.push_back(candidateOf(t));
    group.keeper = chooseKeeper(rule, candidates);
    const std::int32_t keeperId = group.tracks[static_cast<size_t>(group.keeper)].databaseId;
    // A track listed twice is one track: it never goes in place of itself.
    for (ReviewedTrack &t : group.tracks)
        t.goes = t.databaseId != keeperId;
}

// The uses of the copies' files by every track of the library, the copies
// included. Only a copy's own file is ever asked about, so another track
// counts only where it names one: by its path or, as the disk tells, by
// another path to the same file. Returns the copies' uses by their place in
// removalOrder.
std::vector<std::optional<FileUsage::Use>> gatherUses(const DuplicateIndex &index, const std::vector<int> &removalOrder,
                                                      const std::vector<ReviewedTrack *> &reviewedAt, ListedFolders &fs,
                                                      FileUsage &usage)
{
    const auto hasFile = [](const IndexedTrack &entry) { return entry.hasFile && !entry.location.isEmpty(); };
    std::vector<std::optional<FileUsage::Use>> copyUses(removalOrder.size());
    std::vector<bool> isCopy(static_cast<size_t>(index.size()), false);
    FilesThatMayGo going(fs);
    for (size_t k = 0; k < removalOrder.size(); ++k) {
        const IndexedTrack &entry = index.at(removalOrder[k]);
        isCopy[static_cast<size_t>(removalOrder[k])] = true;
        if (!hasFile(entry))
            continue;
        // As the review saw the file: only a file that is there can go, and
        // only its own identity matters for that.
        copyUses[k] = FileUsage::Use{system::normalisedPath(entry.location),
                                     reviewedAt[static_cast<size_t>(removalOrder[k])]->stamp};
        usage.add(*copyUses[k]);
        going.add(entry.location, *copyUses[k]);
    }
    for (int i = 0; i < index.size(); ++i) {
        const IndexedTrack &entry = index.at(i);
        if (isCopy[static_cast<size_t>(i)] || !hasFile(entry))
            continue;
        if (const auto use = going.useReaching(entry.location))
            usage.add(*use);
    }
    return copyUses;
}

// Which copies' files go, as the removal decides when it reaches each copy:
// the file is there, has not gone with an earlier copy, and no track still in
// the library (those that stay and the copies not yet removed) uses it.
void markFilesThatGo(const DuplicateIndex &index, const std::vector<int> &removalOrder,
                     std::vector<ReviewedTrack *> &reviewedAt, ListedFolders &fs)
{
    FileUsage usage;
    std::vector<std::optional<FileUsage::Use>> uses;
    bool gathered = false;
    QSet<QString> gone;
    for (size_t k = 0; k < removalOrder.size(); ++k) {
        ReviewedTrack &t = *reviewedAt[static_cast<size_t>(removalOrder[k])];
        if (t.fileThere && !gone.contains(system::normalisedPath(t.location))) {
            // The other tracks' files are looked at only once a file may go,
            // as the removal does.
            if (!gathered) {
                uses = gatherUses(index, removalOrder, reviewedAt, fs, usage);
                for (size_t earlier = 0; earlier < k; ++earlier) {
                    if (auto &use = uses[earlier]) {
                        usage.release(*use);
                        use.reset();
                    }
                }
                gathered = true;
            }
            const auto &own = uses[k];
            if (!(own && usage.sharedBeyond(*own)) && t.stamp && fs.whyItStays(t.location).isEmpty()) {
                t.fileGoes = true;
                gone.insert(system::normalisedPath(t.location));
            }
        }
        if (gathered && uses[k]) {
            usage.release(*uses[k]);
            uses[k].reset();
        }
    }
}

} // namespace

DuplicateReview reviewDuplicates(libraryclient::LibraryClient &library, system::FileSystem &fs,
                                 const DuplicateFilter &filter, KeepRule rule,
                                 const std::function<void(int done, int total)> &progress)
{
    if (!filter.hasAllProperties())
        throw RunFailure("the filter names fewer than seven items");
    if (!filter.choosesSomething())
        throw RunFailure("the filter checks no property");
    const auto tracks = libraryTracksOf(library);

    const std::vector<protocol::SoundMatch> matches =
        filter.soundAlike() ? library.soundMatches() : std::vector<protocol::SoundMatch>();
    DuplicateIndex index(*tracks, filter, true, matches);
    // Grouped before the walk: the walk unlinks what it removes.
    const std::vector<std::vector<int>> members = groupsOf(index);
    std::vector<int> removalOrder;
    if (rule == KeepRule::LibraryOrder)
        removalOrder = playTheWalk(index);

    // One picture of the folders for the whole review.
    ListedFolders listed(fs);
    DuplicateReview review;
    review.groups.resize(members.size());
    std::vector<ReviewedTrack *> reviewedAt(static_cast<size_t>(index.size()), nullptr);
    for (size_t g = 0; g < members.size(); ++g) {
        DuplicateGroup &group = review.groups[g];
        group.tracks.reserve(members[g].size());
        for (const int i : members[g])
            group.tracks.push_back(reviewed(index.at(i), listed));
        group.soundStrength = index.soundStrength(index.at(members[g].front()).group);
        if (progress)
            progress(static_cast<int>(g) + 1, static_cast<int>(members.size()));
        for (size_t t = 0; t < group.tracks.size(); ++t)
            reviewedAt[static_cast<size_t>(members[g][t])] = &group.tracks[t];
    }
    if (rule == KeepRule::LibraryOrder) {
        for (const int copy : removalOrder)
            reviewedAt[static_cast<size_t>(copy)]->goes = true;
        for (DuplicateGroup &group : review.groups) {
            const auto stays =
                std::find_if(group.tracks.begin(), group.tracks.end(), [](const ReviewedTrack &t) { return !t.goes; });
            group.keeper = static_cast<int>(stays - group.tracks.begin());
        }
    } else {
        // The copies go in library order.
        for (DuplicateGroup &group : review.groups)
            chooseByRule(group, rule);
        for (int i = 0; i < index.size(); ++i) {
            if (const ReviewedTrack *t = reviewedAt[static_cast<size_t>(i)]; t && t->goes)
                removalOrder.push_back(i);
        }
    }
    review.copies = static_cast<int>(removalOrder.size());
    if (filter.keepFiles() == false) {
        markFilesThatGo(index, removalOrder, reviewedAt, listed);
        for (const int copy : removalOrder) {
            if (const ReviewedTrack &t = *reviewedAt[static_cast<size_t>(copy)]; t.fileGoes)
                review.trashBytes += t.size;
        }
    }
    // A track listed twice is no copy of itself: a group with nothing to go
    // holds no duplicates.
    std::erase_if(review.groups, [](const DuplicateGroup &group) {
        return std::none_of(group.tracks.begin(), group.tracks.end(), [](const ReviewedTrack &t) { return t.goes; });
    });
    if (const libraryclient::SourcePtr source = library.librarySource())
        review.rescanNote = playerRescanNote(source->name());
    return review;
}

QString playerRescanNote(const QString &sourceName)
{
    // Rhythmbox is told to pass the file over; these two have no such list.
    for (const char *player : {"Strawberry", "Clementine"}) {
        if (sourceName == QLatin1String(player) + QStringLiteral(" library"))
            return QStringLiteral("%1 rescans its collection folders: a copy removed with its file kept comes back "
                                  "at its next scan; let the copies' files go to the trash to keep them gone")
                .arg(QLatin1String(player));
    }
    return {};
}

} // namespace tidyfox::cleaning
