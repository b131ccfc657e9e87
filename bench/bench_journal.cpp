// The history of removals: what journaling adds to removing copies, and how
// long a job of many tracks with their files takes to put back. Builds two
// equal libraries of TRACKS copies and as many keepers (every copy in two of
// ten playlists) on disk, removes every copy with its history merged into its
// keeper, one transaction each as the service does for each bus call, once
// plainly and once in a job; then puts the job back with a file for every
// copy moved from a trash folder to where it was.
//
// bench_journal [TRACKS]
#include "service/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

using namespace tidyfox::library;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPlaylists = 10;

struct Library
{
    std::unique_ptr<LibraryStore> store;
    std::vector<std::int32_t> copies, keepers;
};

Library build(const QString &path, const QString &musicFolder, int tracks)
{
    Library library{LibraryStore::open(path), {}, {}};
    LibraryStore &store = *library.store;
    store.begin();
    for (int i = 0; i < 2 * tracks; ++i) {
        TrackRecord t;
        t.name = QStringLiteral("Song %1").arg(i / 2);
        t.artist = QStringLiteral("Artist %1").arg(i / 200);
        t.album = QStringLiteral("Album %1").arg(i / 20);
        t.kindAsString = QStringLiteral("MPEG audio file");
        t.totalTimeMs = 180000 + i;
        t.size = 4000000 + i;
        t.playCount = i % 7;
        t.rating = (i % 5) * 20;
        t.location = QStringLiteral("%1/%2/%3.mp3").arg(musicFolder).arg(i / 100).arg(i);
        (i % 2 ? library.copies : library.keepers).push_back(store.addTrack(t).databaseId);
    }
    for (int p = 0; p < kPlaylists; ++p) {
        std::vector<std::int32_t> items;
        for (std::size_t i = std::size_t(p); i < library.copies.size(); i += kPlaylists / 2)
            items.push_back(library.copies[i]);
        store.appendToPlaylist(store.addPlaylist(QStringLiteral("List %1").arg(p)).playlistId, items);
    }
    store.commit();
    return library;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process, user and system: steadier than the wall
// clock on a shared machine.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto s = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int tracks = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    const QString trash = dir.filePath(QStringLiteral("trash"));
    QDir().mkpath(trash + QStringLiteral("/files"));
    QDir().mkpath(trash + QStringLiteral("/info"));

    Library plain = build(dir.filePath(QStringLiteral("plain.db")), music, tracks);
    Library journaled = build(dir.filePath(QStringLiteral("journaled.db")), music, tracks);

    auto start = Clock::now();
    double cpu = processorSeconds();
    for (std::size_t i = 0; i < plain.copies.size(); ++i)
        plain.store->deleteTrackMergingInto(plain.copies[i], plain.keepers[i]);
    const double plainTime = seconds(Clock::now() - start);
    const double plainCpu = processorSeconds() - cpu;

    // Each copy's file, moved to the trash as the program does before it
    // removes the entry (not timed).
    std::vector<std::pair<QString, QString>> trashed;
    for (std::size_t i = 0; i < journaled.copies.size(); ++i) {
        const QString location = journaled.store->track(journaled.copies[i])->location;
        QDir().mkpath(QFileInfo(location).absolutePath());
        const QString inTrash = QStringLiteral("%1/files/%2").arg(trash, QFileInfo(location).fileName());
        const QString info = QStringLiteral("%1/info/%2.trashinfo").arg(trash, QFileInfo(location).fileName());
        QFile file(inTrash);
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1) {
            std::fprintf(stderr, "bench_journal: cannot write %s\n", qPrintable(inTrash));
            return 1;
        }
        QFile infoFile(info);
        if (!infoFile.open(QIODevice::WriteOnly) || infoFile.write("[Trash Info]\n") <= 0)
            return 1;
        trashed.emplace_back(inTrash, info);
    }

    start = Clock::now();
    cpu = processorSeconds();
    const std::int32_t job = journaled.store->beginJob(QStringLiteral("duplicates"));
    for (std::size_t i = 0; i < journaled.copies.size(); ++i)
        journaled.store->deleteTrackMergingIntoInJob(job, journaled.copies[i], journaled.keepers[i], trashed[i].first,
                                                     trashed[i].second);
    journaled.store->endJob(job);
    const double journaledTime = seconds(Clock::now() - start);
    const double journaledCpu = processorSeconds() - cpu;

    start = Clock::now();
    cpu = processorSeconds();
    const RestoreResult result = journaled.store->restoreJob(job);
    const double restoreTime = seconds(Clock::now() - start);
    const double restoreCpu = processorSeconds() - cpu;

    std::printf("removing %d copies, merged, one transaction each: wall %.3f s plain, %.3f s in a job (%+.1f %%);"
                " processor %.3f s plain, %.3f s in a job (%+.1f %%)\n",
                tracks, plainTime, journaledTime, 100.0 * (journaledTime - plainTime) / plainTime, plainCpu,
                journaledCpu, 100.0 * (journaledCpu - plainCpu) / plainCpu);
    std::printf("restoring the job: wall %.3f s, processor %.3f s for %d tracks, %lld files left in the trash\n",
                restoreTime, restoreCpu, result.restored, static_cast<long long>(result.notRestored.size()));
    return result.restored == tracks && result.notRestored.isEmpty() ? 0 : 1;
}
