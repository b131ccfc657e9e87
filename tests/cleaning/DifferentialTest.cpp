// SPDX-License-Identifier: GPL-3.0-or-later
// The fast jobs against the plain walks they replace, over thousands of small
// random libraries: the same tracks removed in the same order, the same files
// trashed in the same order, and the same calls on the window, yields included.

#include "FakeFileSystem.h"
#include "RandomLibrary.h"
#include "RecordingHost.h"
#include "ReferenceWalks.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DeadTrackDeletion.h"
#include "cleaning/DeadTrackReview.h"
#include "cleaning/DeadTrackRule.h"
#include "cleaning/DuplicateIndex.h"
#include "cleaning/DuplicateRemoval.h"
#include "cleaning/DuplicateReview.h"
#include "cleaning/RemovalBatch.h"
#include "cleaning/ReviewedRemoval.h"
#include "localclient/InProcessLibraryClient.h"
#include "service/LibraryCore.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace tidyfox::cleaning::test {
namespace {

struct Outcome
{
    std::vector<std::int32_t> removed;
    QStringList trashed;
    QStringList calls;
    std::vector<std::int32_t> present;
    QStringList restored;
};

void expectSame(const Outcome &ours, const Outcome &reference, const RandomLibrary &lib, unsigned seed)
{
    const std::string context = "seed " + std::to_string(seed) + "\n" + lib.describe().toStdString();
    EXPECT_EQ(ours.removed, reference.removed) << context;
    EXPECT_EQ(ours.trashed, reference.trashed) << context;
    EXPECT_EQ(ours.calls, reference.calls) << context;
    EXPECT_EQ(ours.present, reference.present) << context;
}

// The same with many removals a call: the walk goes on past a removal that
// will fail before it hears of the failure, so the files it sent ahead come
// back, and it yields more; everything else is the same.
void expectSameBatched(const Outcome &ours, const Outcome &reference, const RandomLibrary &lib, unsigned seed)
{
    const std::string context = "seed " + std::to_string(seed) + " (batched)\n" + lib.describe().toStdString();
    EXPECT_EQ(ours.removed, reference.removed) << context;
    EXPECT_EQ(ours.present, reference.present) << context;
    QStringList trashed;
    for (const QString &path : ours.trashed) {
        if (reference.trashed.contains(path))
            trashed << path;
        else
            EXPECT_TRUE(ours.restored.contains(path)) << "not back: " << path.toStdString() << "\n" << context;
    }
    EXPECT_EQ(trashed, reference.trashed) << context;
    const auto withoutYields = [](QStringList calls) {
        calls.removeAll(QStringLiteral("Yield"));
        return calls;
    };
    EXPECT_EQ(withoutYields(ours.calls), withoutYields(reference.calls)) << context;
}

enum class Job { Duplicates, DeadTracks };

// Thousands of runs end on purpose with a refused removal or a trash that
// cannot take a file; their warnings would drown the report.
const bool quiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.cleaning.warning=false"));
    return true;
}();

Outcome runOnFake(const RandomLibrary &lib, Job job, bool reference)
{
    auto library = lib.makeLibrary();
    FakeFileSystem fs;
    lib.fillFileSystem(fs);
    RecordingHost host;
    const auto app = library->app();
    if (job == Job::Duplicates) {
        if (reference)
            referenceRemoveDuplicates(host, app.get(), fs, lib.filter);
        else
            removeDuplicates(host, app.get(), fs, lib.filter);
    } else {
        const auto source = library->source();
        if (reference)
            referenceDeleteDeadTracks(host, source.get(), fs);
        else
            deleteDeadTracks(host, app.get(), source.get(), fs, nullptr);
    }
    return {library->deletions(), fs.trashed, host.calls, library->presentIds(), fs.restored};
}

TEST(DifferentialTest, DuplicateRemovalMatchesThePlainWalk)
{
    int withCopies = 0;
    int withTrashedFiles = 0;
    int failures = 0;
    for (unsigned seed = 1; seed <= 6000; ++seed) {
        std::mt19937 rng(seed);
        const RandomLibrary lib = makeRandomLibrary(rng);
        const Outcome reference = runOnFake(lib, Job::Duplicates, true);
        // Every other library's keys grouped a few at a time on the second
        // thread.
        DuplicateIndex::setKeysPerRun(seed % 2 ? 3 : DuplicateIndex::kKeysPerRun);
        // One removal a call, as the walk removes them; then a few a call.
        RemovalBatch::setSize(1);
        const Outcome ours = runOnFake(lib, Job::Duplicates, false);
        RemovalBatch::setSize(3);
        const Outcome batched = runOnFake(lib, Job::Duplicates, false);
        RemovalBatch::setSize(RemovalBatch::kSize);
        DuplicateIndex::setKeysPerRun(DuplicateIndex::kKeysPerRun);
        expectSame(ours, reference, lib, seed);
        expectSameBatched(batched, reference, lib, seed);
        if (::testing::Test::HasFailure())
            return;
        withCopies += reference.removed.size() >= 2 ? 1 : 0;
        withTrashedFiles += reference.trashed.isEmpty() ? 0 : 1;
        failures += reference.calls.filter(QStringLiteral("Can not delete all duplicates.")).isEmpty() ? 0 : 1;
    }
    // The generator must keep producing the interesting cases.
    EXPECT_GT(withCopies, 1000);
    EXPECT_GT(withTrashedFiles, 1000);
    EXPECT_GT(failures, 300);
}

TEST(DifferentialTest, DeadTrackDeletionMatchesTheRestartingWalk)
{
    int withDead = 0;
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        std::mt19937 rng(seed);
        const RandomLibrary lib = makeRandomLibrary(rng);
        const Outcome reference = runOnFake(lib, Job::DeadTracks, true);
        RemovalBatch::setSize(1);
        const Outcome ours = runOnFake(lib, Job::DeadTracks, false);
        RemovalBatch::setSize(3);
        const Outcome batched = runOnFake(lib, Job::DeadTracks, false);
        RemovalBatch::setSize(RemovalBatch::kSize);
        expectSame(ours, reference, lib, seed);
        expectSameBatched(batched, reference, lib, seed);
        if (::testing::Test::HasFailure())
            return;
        withDead += reference.removed.size() >= 2 ? 1 : 0;
        EXPECT_TRUE(ours.trashed.isEmpty());

        // The review, asking folder by folder, finds what asking about each
        // track's file finds.
        auto reviewed = lib.makeLibrary();
        FakeFileSystem reviewFs;
        lib.fillFileSystem(reviewFs);
        const DeadTrackFindings findings =
            findDeadTracks(*reviewed->source(), reviewFs, system::Volumes({QStringLiteral("/")}), {});
        std::vector<std::int32_t> found;
        for (const DeadTrackFolder &folder : findings.folders) {
            for (const DeadTrack &t : folder.tracks)
                found.push_back(t.databaseId);
        }
        std::vector<std::int32_t> dead;
        for (const auto &playlist : libraryPlaylistsOf(*reviewed->source())) {
            playlist->tracks()->forEach([&](const libraryclient::TrackPtr &track) {
                if (deadLocation(*track, reviewFs))
                    dead.push_back(track->databaseId());
                return true;
            });
        }
        std::sort(found.begin(), found.end());
        std::sort(dead.begin(), dead.end());
        withDead += dead.size() >= 2 ? 1 : 0;
        EXPECT_EQ(found, dead) << "seed " << seed << "\n" << lib.describe().toStdString();
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_GT(withDead, 500);
}

// The files that paths name, by inode.
std::set<std::uint64_t> filesOf(const RandomLibrary &lib, const QStringList &paths)
{
    std::set<std::uint64_t> files;
    for (const QString &path : paths) {
        for (const auto &file : lib.files) {
            if (system::normalisedPath(file.path) == system::normalisedPath(path))
                files.insert(file.inode);
        }
    }
    return files;
}

// The review in library order marks to go exactly what the real removal then
// removes from the same library, and the files it says would go are the ones
// that do; removing the reviewed set gives the same library. The trash takes
// every file and the library every removal here, so that the runs go to their
// end.
TEST(DifferentialTest, ReviewInLibraryOrderMarksWhatTheRemovalRemoves)
{
    int withThreeOrMore = 0;
    int withoutFileInAGroup = 0;
    int withTrashedFiles = 0;
    int refused = 0;
    for (unsigned seed = 1; seed <= 6000; ++seed) {
        std::mt19937 rng(seed);
        RandomLibrary lib = makeRandomLibrary(rng, false);
        lib.refusedByTrash.clear();
        // A filter without its keep-files item fails at the first copy.
        if (lib.filter.count(QLatin1Char(',')) == 6)
            lib.filter += QStringLiteral(",false");
        const std::string context = "seed " + std::to_string(seed) + "\n" + lib.describe().toStdString();

        auto reviewed = lib.makeLibrary();
        FakeFileSystem reviewFs;
        lib.fillFileSystem(reviewFs);
        const DuplicateFilter filter(lib.filter);
        if (!filter.hasAllProperties() || !filter.isValid()) {
            EXPECT_THROW(reviewDuplicates(*reviewed->app(), reviewFs, filter, KeepRule::LibraryOrder), RunFailure)
                << context;
            ++refused;
            continue;
        }
        // Half the runs as tidyfox-clean asks, stamping the copies' files only.
        const DuplicateReview review = reviewDuplicates(*reviewed->app(), reviewFs, filter, KeepRule::LibraryOrder, {},
                                                        seed % 4 < 2 ? StampsFor::EveryTrack : StampsFor::CopiesOnly);
        EXPECT_TRUE(reviewed->deletions().empty()) << context;
        EXPECT_TRUE(reviewFs.trashed.isEmpty()) << context;

        auto removed = lib.makeLibrary();
        FakeFileSystem fs;
        lib.fillFileSystem(fs);
        RecordingHost host;
        removeDuplicates(host, removed->app().get(), fs, lib.filter);
        ASSERT_EQ(host.alerts.size(), 1) << context;
        ASSERT_TRUE(host.alerts.front().endsWith(QLatin1String("Duplicate(s) have been deleted"))) << context;

        std::vector<std::int32_t> goes;
        QStringList filesGo;
        ReviewedRemoval chosen{{}, filter.keepFiles() == true, seed % 2 == 0, {}};
        for (const DuplicateGroup &group : review.groups) {
            EXPECT_GE(group.tracks.size(), 2u) << context;
            ASSERT_FALSE(group.tracks[static_cast<size_t>(group.keeper)].goes) << context;
            EXPECT_EQ(
                std::count_if(group.tracks.begin(), group.tracks.end(), [](const ReviewedTrack &t) { return !t.goes; }),
                1)
                << context;
            withThreeOrMore += group.tracks.size() >= 3 ? 1 : 0;
            for (const ReviewedTrack &t : group.tracks) {
                withoutFileInAGroup += t.fileThere ? 0 : 1;
                if (t.goes) {
                    goes.push_back(t.databaseId);
                    chosen.copies.push_back(
                        {t.databaseId, group.tracks[static_cast<size_t>(group.keeper)].databaseId, t.stamp});
                }
                if (t.fileGoes)
                    filesGo << t.location;
            }
        }
        auto deletions = removed->deletions();
        std::sort(deletions.begin(), deletions.end());
        std::sort(goes.begin(), goes.end());
        EXPECT_EQ(goes, deletions) << context;
        EXPECT_EQ(review.copies, static_cast<int>(deletions.size())) << context;
        QStringList trashed = fs.trashed;
        trashed.sort();
        filesGo.sort();
        EXPECT_EQ(filesGo, trashed) << context;
        withTrashedFiles += trashed.isEmpty() ? 0 : 1;

        // The reviewed set removed as chosen (group by group, history merged
        // or not) leaves the same library and sends the same files away:
        // compared as files, since which spelling of a shared file goes last
        // depends on the order. (A path whose identity is hidden shares
        // nothing with another spelling, so the order decides there.)
        auto reviewedLibrary = lib.makeLibrary();
        FakeFileSystem reviewedFs;
        lib.fillFileSystem(reviewedFs);
        RecordingHost reviewedHost;
        removeReviewed(reviewedHost, reviewedLibrary->app().get(), reviewedFs, chosen);
        EXPECT_EQ(reviewedLibrary->presentIds(), removed->presentIds()) << context;
        EXPECT_EQ(reviewedHost.alerts, host.alerts) << context;
        if (lib.hiddenIdentity.isEmpty()) {
            EXPECT_EQ(filesOf(lib, reviewedFs.trashed), filesOf(lib, fs.trashed)) << context;
        }
        if (::testing::Test::HasFailure())
            return;
    }
    // The generator must keep producing the interesting cases.
    EXPECT_GT(withThreeOrMore, 1000);
    EXPECT_GT(withoutFileInAGroup, 1000);
    EXPECT_GT(withTrashedFiles, 1000);
    EXPECT_GT(refused, 100);
}

// The random library in a library core of its own.
std::shared_ptr<library::LibraryCore> coreOf(const RandomLibrary &lib, const QString &path)
{
    std::shared_ptr<library::LibraryCore> core = library::LibraryCore::open(path);
    core->begin();
    for (const auto &track : lib.tracks) {
        library::TrackRecord record;
        record.databaseId = track.databaseId;
        record.trackId = track.databaseId;
        record.kind = track.stream ? library::TrackKind::Url : library::TrackKind::File;
        record.name = track.name;
        record.album = track.album;
        record.artist = track.artist;
        record.size = track.size;
        record.bitRate = track.bitRate;
        record.sampleRate = track.sampleRate;
        record.location = track.stream ? QStringLiteral("http://radio.example/stream") : track.location;
        core->addTrack(record);
    }
    core->commit();
    return core;
}

// The same comparison with the library the program really talks to: the
// in-process library over the library core, whose tracks the index reads
// in place from the table they come in.
TEST(DifferentialTest, DuplicateRemovalOnTheLibraryCoreMatchesThePlainWalk)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (unsigned seed = 10001; seed <= 10150; ++seed) {
        std::mt19937 rng(seed);
        const RandomLibrary lib = makeRandomLibrary(rng, false);
        const Outcome reference = runOnFake(lib, Job::Duplicates, true);

        const auto core = coreOf(lib, folder.filePath(QStringLiteral("library-%1.db").arg(seed)));
        libraryclient::InProcessLibraryClient app(core);
        FakeFileSystem fs;
        lib.fillFileSystem(fs);
        RecordingHost host;
        // One removal a call, as the walk removes them (the batches are held
        // to the walk on the made-up library above).
        RemovalBatch::setSize(1);
        removeDuplicates(host, &app, fs, lib.filter);
        RemovalBatch::setSize(RemovalBatch::kSize);

        std::vector<std::int32_t> present;
        for (const auto &record : core->playlistTracks(core->libraryPlaylistId()))
            present.push_back(record.databaseId);
        std::vector<std::int32_t> removed;
        for (const auto &track : lib.tracks) {
            if (std::find(present.begin(), present.end(), track.databaseId) == present.end())
                removed.push_back(track.databaseId);
        }
        auto referenceRemoved = reference.removed;
        std::sort(referenceRemoved.begin(), referenceRemoved.end());
        std::sort(removed.begin(), removed.end());
        const std::string context = "seed " + std::to_string(seed) + "\n" + lib.describe().toStdString();
        EXPECT_EQ(removed, referenceRemoved) << context;
        EXPECT_EQ(present, reference.present) << context;
        EXPECT_EQ(fs.trashed, reference.trashed) << context;
        EXPECT_EQ(host.calls, reference.calls) << context;
        if (::testing::Test::HasFailure())
            return;
    }
}

// The review on the library core marks to go exactly what the plain walk
// removes, and the files it says would go are the ones the walk sends away.
TEST(DifferentialTest, ReviewOnTheLibraryCoreMarksWhatThePlainWalkRemoves)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    int withCopies = 0;
    for (unsigned seed = 20001; seed <= 20150; ++seed) {
        std::mt19937 rng(seed);
        RandomLibrary lib = makeRandomLibrary(rng, false);
        lib.refusedByTrash.clear();
        if (lib.filter.count(QLatin1Char(',')) == 6)
            lib.filter += QStringLiteral(",false");
        const DuplicateFilter filter(lib.filter);
        if (!filter.hasAllProperties() || !filter.isValid())
            continue;
        const Outcome reference = runOnFake(lib, Job::Duplicates, true);

        const auto core = coreOf(lib, folder.filePath(QStringLiteral("review-%1.db").arg(seed)));
        libraryclient::InProcessLibraryClient app(core);
        FakeFileSystem fs;
        lib.fillFileSystem(fs);
        const DuplicateReview review = reviewDuplicates(app, fs, filter, KeepRule::LibraryOrder);
        std::vector<std::int32_t> goes;
        QStringList filesGo;
        for (const DuplicateGroup &group : review.groups) {
            for (const ReviewedTrack &t : group.tracks) {
                if (t.goes)
                    goes.push_back(t.databaseId);
                if (t.fileGoes)
                    filesGo << t.location;
            }
        }
        auto removed = reference.removed;
        std::sort(removed.begin(), removed.end());
        std::sort(goes.begin(), goes.end());
        QStringList trashed = reference.trashed;
        trashed.sort();
        filesGo.sort();
        const std::string context = "seed " + std::to_string(seed) + "\n" + lib.describe().toStdString();
        EXPECT_EQ(goes, removed) << context;
        EXPECT_EQ(review.copies, static_cast<int>(removed.size())) << context;
        EXPECT_EQ(filesGo, trashed) << context;
        if (::testing::Test::HasFailure())
            return;
        withCopies += removed.empty() ? 0 : 1;
    }
    EXPECT_GT(withCopies, 25);
}

} // namespace
} // namespace tidyfox::cleaning::test
