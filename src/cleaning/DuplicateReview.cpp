// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateReview.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DuplicateIndex.h"
#include "cleaning/DuplicateRemovalSteps.h"
#include "cleaning/FileUsage.h"
#include "cleaning/FolderProbe.h"

#include <QSet>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace tidyfox::cleaning {
namespace {

// The removal's walk without the removals: each track still present keeps
// itself and loses its first copy. Returns the copies in the order the walk
// removes them.
std::vector<int> playTheWalk(DuplicateIndex &index)
{
    std::vector<int> removed;
    for (int kept = 0; kept < index.size(); ++kept) {
        if (index.removed(kept))
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
        const int group = index.group(i);
        if (group < 0)
            continue;
        if (static_cast<size_t>(group) >= sizes.size())
            sizes.resize(static_cast<size_t>(group) + 1, 0);
        ++sizes[static_cast<size_t>(group)];
    }
    std::vector<int> slot(sizes.size(), -1);
    std::vector<std::vector<int>> members;
    for (int i = 0; i < index.size(); ++i) {
        const int group = index.group(i);
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

// What the review learnt of the tracks' files beside their stamps, by index:
// asked with the stamp, in the same look at the disk.
struct FileLooks
{
    std::vector<bool> otherNames;                // see FileSystem::mayHaveOtherNames
    std::unordered_map<int, QString> whyItStays; // the copies' files, when known to be asked
};

// The track at index as shown; its file's stamp is read after (lookAtFiles).
ReviewedTrack reviewed(const TrackRows &rows, int index, system::FileSystem &fs)
{
    using protocol::TrackText;
    const protocol::TrackTable &table = rows.table();
    const int row = rows.row(index);
    ReviewedTrack t;
    t.databaseId = table.databaseId(row);
    t.name = table.text(row, TrackText::Name);
    t.artist = table.text(row, TrackText::Artist);
    t.album = table.text(row, TrackText::Album);
    t.time = table.text(row, TrackText::Time);
    t.kind = table.text(row, TrackText::KindAsString);
    t.bitRate = table.bitRate(row);
    t.sampleRate = table.sampleRate(row);
    t.size = table.size(row);
    t.dateAdded = table.dateAdded(row);
    t.playCount = table.playCount(row);
    t.skipCount = table.skipCount(row);
    t.rating = table.rating(row);
    t.playDate = table.playDate(row);
    t.location = rows.location(index);
    t.hasFile = rows.hasFile(index);
    t.fileThere = t.hasFile && !t.location.isEmpty() && fs.fileExists(t.location);
    return t;
}

// The looks at the files that are there (see FileSystem::look), handed on
// as the groups are read: on a large library these are hundreds of
// thousands of questions to the kernel, which a second thread (when the file
// system can be asked from two) answers while the first reads on, and both
// share once it is done. mayGo tells the copies whose file may go.
class FileLookQueue
{
public:
    // most: how many tracks at most are added.
    FileLookQueue(system::FileSystem &fs, const std::vector<ReviewedTrack *> &reviewedAt,
                  const std::vector<bool> &mayGo, size_t most)
        : m_reviewedAt(reviewedAt), m_mayGo(mayGo), m_there(most), m_seen(most)
    {
        m_second = most >= 2 ? fs.forAnotherThread() : nullptr;
        if (m_second)
            m_helper = std::thread([this] {
                try {
                    work(*m_second);
                } catch (...) {
                    m_failed = std::current_exception();
                }
            });
    }
    ~FileLookQueue() { stopHelper(); }
    FileLookQueue(const FileLookQueue &) = delete;
    FileLookQueue &operator=(const FileLookQueue &) = delete;

    // The track at index, read whole, whose file is there.
    void add(int index)
    {
        m_there[m_added++] = index;
        if (m_added % kChunk == 0)
            publish(false);
    }

    // Looks at what is left on this thread too; then every look is the
    // review's, in the order added.
    void finish(system::FileSystem &fs, FileLooks &looks)
    {
        publish(true);
        try {
            work(fs);
        } catch (...) {
            stopHelper();
            throw;
        }
        stopHelper();
        if (m_failed)
            std::rethrow_exception(m_failed);
        for (size_t k = 0; k < m_added; ++k) {
            const int index = m_there[k];
            m_reviewedAt[static_cast<size_t>(index)]->stamp = m_seen[k].stamp;
            looks.otherNames[static_cast<size_t>(index)] = m_seen[k].mayHaveOtherNames;
            if (withWhy(index))
                looks.whyItStays.emplace(index, std::move(m_seen[k].whyItStays));
        }
    }

private:
    static constexpr size_t kChunk = 256;

    bool withWhy(int index) const { return !m_mayGo.empty() && m_mayGo[static_cast<size_t>(index)]; }
    void publish(bool done)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_published = m_added;
            m_done = done;
        }
        m_wake.notify_one();
    }
    // Takes a run of looks at a time until every track added is taken.
    void work(system::FileSystem &on)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_next < m_published || m_done; });
            if (m_next >= m_published)
                return;
            const size_t from = m_next, to = std::min(m_published, from + kChunk);
            m_next = to;
            lock.unlock();
            for (size_t k = from; k < to; ++k)
                m_seen[k] = on.look(m_reviewedAt[static_cast<size_t>(m_there[k])]->location, withWhy(m_there[k]));
            lock.lock();
        }
    }
    void stopHelper()
    {
        if (!m_helper.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        m_helper.join();
    }

    const std::vector<ReviewedTrack *> &m_reviewedAt;
    const std::vector<bool> &m_mayGo;
    std::vector<int> m_there;             // the first m_added are the tracks added
    std::vector<system::FileLook> m_seen; // by place in m_there, each written by the thread that took it
    size_t m_added = 0;                   // by the reading thread alone
    std::mutex m_mutex;                   // guards the three below
    std::condition_variable m_wake;
    size_t m_published = 0; // how many of m_there may be taken
    size_t m_next = 0;      // the first not yet taken
    bool m_done = false;    // nothing more is added
    std::unique_ptr<system::FileSystem> m_second;
    std::exception_ptr m_failed;
    std::thread m_helper; // last: it starts once the rest is made
};

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
                                                      const std::vector<ReviewedTrack *> &reviewedAt,
                                                      const FileLooks &looks, ListedFolders &fs, FileUsage &usage)
{
    std::vector<std::optional<FileUsage::Use>> copyUses(removalOrder.size());
    std::vector<bool> isCopy(static_cast<size_t>(index.size()), false);
    // A million-track library has a hundred thousand copies: room made
    // once, not table by table as they grow.
    const auto copies = qsizetype(removalOrder.size());
    usage.reserve(copies);
    QSet<QString> copyPaths;
    copyPaths.reserve(copies);
    QSet<system::FileId> copyIds;
    copyIds.reserve(copies);
    EntryNames copyNames;
    copyNames.reserve(copies);
    bool copiesHaveOtherNames = false;
    for (size_t k = 0; k < removalOrder.size(); ++k) {
        const ReviewedTrack &copy = *reviewedAt[static_cast<size_t>(removalOrder[k])];
        isCopy[static_cast<size_t>(removalOrder[k])] = true;
        if (!copy.hasFile || copy.location.isEmpty())
            continue;
        // As the review saw the file: only a file that is there can go, and
        // only its own identity matters for that.
        copyUses[k] = FileUsage::Use{system::normalisedPath(copy.location), copy.stamp};
        usage.add(*copyUses[k]);
        copyPaths.insert(copyUses[k]->path);
        if (copyUses[k]->stamp) {
            copyIds.insert(copyUses[k]->stamp->id);
            copyNames.add(copy.location);
            copiesHaveOtherNames = copiesHaveOtherNames || looks.otherNames[static_cast<size_t>(removalOrder[k])];
        }
    }
    // The others are asked about only when they could reach a copy's file:
    // by its name (the same entry through another folder's spelling), as a
    // symlink, or when some copy's file has more names than its entry's.
    // Whether one could is told from the folders' listings, by two threads
    // each taking half the library; a track whose folder is not listed yet
    // is told after, here.
    enum class Reach : char { No, Maybe, NotListed };
    // regularOnly and entry answer as listedAmongRegularFilesOnly and
    // listedEntryOf do: nothing for a folder not listed.
    const auto reachOf = [&](QStringView location, const auto &regularOnly, const auto &entry) {
        // The same entry as a copy's has the same name, whatever the
        // folder's spelling; two spellings of one name are told apart only
        // as loosely as any file system tells them.
        if (location.isEmpty())
            return Reach::No;
        if (copyNames.mayName(location))
            return Reach::Maybe;
        // Among regular files only, a file no copy's name reaches in any
        // spelling is a copy's only by another name of it.
        if (!copiesHaveOtherNames) {
            const std::optional<bool> only = regularOnly(location);
            if (!only)
                return Reach::NotListed;
            if (*only)
                return Reach::No;
        }
        const std::optional<ListedFolders::Entry> seen = entry(location);
        if (!seen)
            return Reach::NotListed;
        return *seen == ListedFolders::Entry::Missing ||
                       (*seen == ListedFolders::Entry::RegularFile && !copiesHaveOtherNames)
                   ? Reach::No
                   : Reach::Maybe;
    };
    const auto listedRegularOnly = [&](QStringView l) { return fs.listedAmongRegularFilesOnly(l); };
    const auto listedEntry = [&](QStringView l) { return fs.listedEntryOf(l); };
    const TrackRows &rows = index.rows();
    std::vector<Reach> reach(static_cast<size_t>(index.size()), Reach::No);
    const auto tell = [&](int from, int to, TrackRows::ViewBuffer &buffer) {
        int forgotten = from;
        for (int i = from; i < to; ++i) {
            if (i - forgotten == 4096) {
                rows.forgetBetween(forgotten, i);
                forgotten = i;
            }
            if (!isCopy[static_cast<size_t>(i)] && rows.hasFile(i))
                reach[static_cast<size_t>(i)] = reachOf(rows.locationView(i, buffer), listedRegularOnly, listedEntry);
        }
        rows.forgetBetween(forgotten, to);
    };
    {
        const int half = index.size() / 2;
        std::exception_ptr failed;
        std::thread second([&] {
            try {
                TrackRows::ViewBuffer buffer;
                tell(half, index.size(), buffer);
            } catch (...) {
                failed = std::current_exception();
            }
        });
        TrackRows::ViewBuffer buffer;
        try {
            tell(0, half, buffer);
        } catch (...) {
            second.join();
            throw;
        }
        second.join();
        if (failed)
            std::rethrow_exception(failed);
    }
    for (int i = 0; i < index.size(); ++i) {
        if (i % 4096 == 0)
            rows.forgetBefore(i);
        if (reach[static_cast<size_t>(i)] == Reach::No)
            continue;
        const QStringView location = rows.locationView(i);
        // Its folder listed now, as the walk comes to it.
        if (reach[static_cast<size_t>(i)] == Reach::NotListed &&
            reachOf(
                location, [&](QStringView l) { return std::optional(fs.amongRegularFilesOnly(l)); },
                [&](QStringView l) { return std::optional(fs.entryOf(l)); }) == Reach::No)
            continue;
        const FileUsage::Use use = FileUsage::useOf(fs, location.toString());
        if (copyPaths.contains(use.path) || (use.stamp && copyIds.contains(use.stamp->id)))
            usage.add(use);
    }
    rows.forgetBefore(index.size());
    return copyUses;
}

// Which copies' files go, as the removal decides when it reaches each copy:
// the file is there, has not gone with an earlier copy, and no track still in
// the library (those that stay and the copies not yet removed) uses it.
void markFilesThatGo(const DuplicateIndex &index, const std::vector<int> &removalOrder,
                     const std::vector<ReviewedTrack *> &reviewedAt, const FileLooks &looks, ListedFolders &fs)
{
    FileUsage usage;
    std::vector<std::optional<FileUsage::Use>> uses;
    bool gathered = false;
    QSet<QString> gone;
    gone.reserve(qsizetype(removalOrder.size()));
    for (size_t k = 0; k < removalOrder.size(); ++k) {
        ReviewedTrack &t = *reviewedAt[static_cast<size_t>(removalOrder[k])];
        if (t.fileThere && !gone.contains(system::normalisedPath(t.location))) {
            // The other tracks' files are looked at only once a file may go,
            // as the removal does.
            if (!gathered) {
                uses = gatherUses(index, removalOrder, reviewedAt, looks, fs, usage);
                for (size_t earlier = 0; earlier < k; ++earlier) {
                    if (auto &use = uses[earlier]) {
                        usage.release(*use);
                        use.reset();
                    }
                }
                gathered = true;
            }
            const auto &own = uses[k];
            const auto why = [&] {
                const auto known = looks.whyItStays.find(removalOrder[k]);
                return known != looks.whyItStays.end() ? known->second : fs.whyItStays(t.location);
            };
            if (!(own && usage.sharedBeyond(*own)) && t.stamp && why().isEmpty()) {
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
                                 const std::function<void(int done, int total)> &progress, StampsFor stamps)
{
    if (!filter.hasAllProperties())
        throw RunFailure("the filter names fewer than seven items");
    if (!filter.choosesSomething())
        throw RunFailure("the filter checks no property");
    const auto tracks = libraryTracksOf(library);

    const std::vector<protocol::SoundMatch> matches =
        filter.soundAlike() ? library.soundMatches() : std::vector<protocol::SoundMatch>();
    DuplicateIndex index(*tracks, filter, matches);
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
    std::vector<int> left(members.size()); // tracks of each group still to read
    for (size_t g = 0; g < members.size(); ++g) {
        DuplicateGroup &group = review.groups[g];
        group.tracks.resize(members[g].size());
        group.soundStrength = index.soundStrength(index.group(members[g].front()));
        for (size_t t = 0; t < group.tracks.size(); ++t)
            reviewedAt[static_cast<size_t>(members[g][t])] = &group.tracks[t];
        left[g] = static_cast<int>(members[g].size());
    }
    // Read in library order, so that the rows' pages are passed once; a
    // group counts as read with its last track.
    std::vector<int> groupAt(static_cast<size_t>(index.size()), -1);
    for (size_t g = 0; g < members.size(); ++g) {
        for (const int i : members[g])
            groupAt[static_cast<size_t>(i)] = static_cast<int>(g);
    }
    ListedFolders::FolderList folders;
    for (int i = 0; i < index.size(); ++i) {
        if (i % 4096 == 0)
            index.rows().forgetBefore(i);
        if (groupAt[static_cast<size_t>(i)] >= 0 && index.rows().hasFile(i))
            folders.add(index.rows().locationView(i));
    }
    listed.listAhead(std::move(folders));
    int groupsRead = 0;
    FileLooks looks{std::vector<bool>(static_cast<size_t>(index.size()), false), {}};
    // In library order the copies are known before the groups are read, and
    // their files are looked at as they are read; under another rule only
    // once every group has been read and its keeper chosen.
    std::vector<bool> mayGo;
    const auto copiesMayGo = [&] {
        if (filter.keepFiles() == false) {
            mayGo.assign(size_t(index.size()), false);
            for (const int copy : removalOrder)
                mayGo[static_cast<size_t>(copy)] = true;
        }
    };
    size_t inGroups = 0;
    for (const std::vector<int> &group : members)
        inGroups += group.size();
    std::optional<FileLookQueue> toLook;
    std::vector<bool> looked; // in library order: whose files are looked at when there
    if (rule == KeepRule::LibraryOrder) {
        copiesMayGo();
        toLook.emplace(fs, reviewedAt, mayGo, stamps == StampsFor::CopiesOnly ? removalOrder.size() : inGroups);
        looked.assign(size_t(index.size()), stamps == StampsFor::EveryTrack);
        for (const int copy : removalOrder)
            looked[static_cast<size_t>(copy)] = true;
    }
    std::vector<int> there; // otherwise: the tracks whose file is there
    for (int i = 0; i < index.size(); ++i) {
        if (i % 4096 == 0)
            index.rows().forgetBefore(i);
        const int g = groupAt[static_cast<size_t>(i)];
        if (g < 0)
            continue;
        ReviewedTrack &t = *reviewedAt[static_cast<size_t>(i)];
        t = reviewed(index.rows(), i, listed);
        if (t.fileThere && toLook && looked[static_cast<size_t>(i)])
            toLook->add(i);
        else if (t.fileThere && !toLook)
            there.push_back(i);
        if (--left[static_cast<size_t>(g)] == 0 && progress)
            progress(++groupsRead, static_cast<int>(members.size()));
    }
    index.rows().forgetBefore(index.size());
    // The keepers are chosen before the files are looked at: no rule asks
    // more of the disk than whether a file is there.
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
    if (!toLook) {
        copiesMayGo();
        if (stamps == StampsFor::CopiesOnly)
            std::erase_if(there, [&](int i) { return !reviewedAt[static_cast<size_t>(i)]->goes; });
        toLook.emplace(fs, reviewedAt, mayGo, there.size());
        for (const int i : there)
            toLook->add(i);
    }
    toLook->finish(fs, looks);
    review.copies = static_cast<int>(removalOrder.size());
    if (filter.keepFiles() == false) {
        markFilesThatGo(index, removalOrder, reviewedAt, looks, listed);
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
