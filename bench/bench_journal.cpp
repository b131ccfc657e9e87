// SPDX-License-Identifier: GPL-3.0-or-later
// The history of removals: what journaling adds to removing copies, and how
// long a job of many tracks with their files takes to put back. Builds two
// equal libraries of TRACKS copies and as many keepers (every copy in two of
// ten playlists) on disk, removes every copy with its history merged into its
// keeper, one transaction each as the service does for each bus call, once
// plainly and once in a job; then puts the job back with a file for every
// copy moved from a trash folder to where it was.
//
// bench_journal [TRACKS]
//
// With --bus, the same comparison through the real service: a library of
// LIBRARY tracks in 50 playlists, of which REMOVE are removed by DeleteTrack,
// one bus call each, and REMOVE others by DeleteTrackInJob, in blocks of 250
// in turn, so that both meet the same library and the same load; ROUNDS
// rounds on fresh copies. Run it under tests/support/isolated.sh, which gives
// it a bus of its own.
//
// bench_journal --bus [LIBRARY [REMOVE [ROUNDS]]]
//
// With --core, the same removals without the bus, in this process: two equal
// libraries, their removals interleaved in blocks of 250 so that a change in
// the machine's load meets both alike.
//
// bench_journal --core [LIBRARY [REMOVE]]
#include "BenchSupport.h"
#include "GeneratedLibrary.h"
#include "protocol/BusNames.h"
#include "service/LibraryStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

using namespace tidyfox::library;
using Clock = std::chrono::steady_clock;

namespace {

using tidyfox::bench::median;

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

// --- through the service ----------------------------------------------------

constexpr int kBusPlaylists = 50;

void buildBusLibrary(const QString &path, int tracks)
{
    tidyfox::bench::buildGeneratedLibrary(*LibraryStore::open(path), tracks, kBusPlaylists, true);
}

// User and system time of a process, from /proc.
double processSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are the 14th and 15th fields, 12th and 13th after the name.
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

QDBusMessage callService(const QString &method, const QVariantList &args = {})
{
    auto message = QDBusMessage::createMethodCall(QString::fromLatin1(tidyfox::protocol::kServiceName),
                                                  QString::fromLatin1(tidyfox::protocol::kObjectPath),
                                                  QString::fromLatin1(tidyfox::protocol::kInterface), method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 60000);
}

struct Removal
{
    double wall = 0, service = 0;
};

bool removeOne(std::int32_t id, std::int32_t job)
{
    const QString name = QStringLiteral("%1 Track.mp3").arg(id);
    const QDBusMessage reply =
        job ? callService(
                  QStringLiteral("DeleteTrackInJob"),
                  {job, id, QStringLiteral("/home/someone/.local/share/Trash/files/") + name,
                   QStringLiteral("/home/someone/.local/share/Trash/info/") + name + QStringLiteral(".trashinfo")})
            : callService(QStringLiteral("DeleteTrack"), {id});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "bench_journal: %s\n", qPrintable(reply.errorMessage()));
        return false;
    }
    return true;
}

// Serves path and removes the tracks one call each, in blocks of 250 that go
// in turn plainly and in a job, so that both meet the same library and the
// same load; [0] plain, [1] in a job.
bool removeOverTheBus(const QString &path, const std::vector<std::int32_t> &ids, Removal (&removal)[2])
{
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start(QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library"),
                  {QStringLiteral("--library"), path, QStringLiteral("serve")});
    const QDeadlineTimer deadline(20000);
    auto *bus = QDBusConnection::sessionBus().interface();
    while (!bus->isServiceRegistered(QString::fromLatin1(tidyfox::protocol::kServiceName)).value()) {
        if (deadline.hasExpired() || service.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(10);
    }
    // Answered once the service has made its first payload ready.
    callService(QStringLiteral("Source"));
    const qint64 pid = service.processId();
    const std::int32_t job =
        callService(QStringLiteral("BeginJob"), {QStringLiteral("duplicates")}).arguments().value(0).toInt();
    constexpr std::size_t kBlock = 250;
    for (std::size_t from = 0; from < ids.size(); from += 2 * kBlock) {
        for (int inJob = 0; inJob < 2; ++inJob) {
            const double cpu = processSeconds(pid);
            const auto start = Clock::now();
            for (std::size_t i = from + std::size_t(inJob); i < std::min(from + 2 * kBlock, ids.size()); i += 2) {
                if (!removeOne(ids[i], inJob ? job : 0))
                    return false;
            }
            removal[inJob].wall += seconds(Clock::now() - start);
            removal[inJob].service += processSeconds(pid) - cpu;
        }
    }
    callService(QStringLiteral("EndJob"), {job});
    callService(QStringLiteral("Quit"));
    service.waitForFinished(20000);
    return true;
}

// REMOVE tracks each way: twice as many in all.
int runOverTheBus(int libraryTracks, int remove, int rounds)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("base.db"));
    const QString run = dir.filePath(QStringLiteral("run.db"));
    auto start = Clock::now();
    buildBusLibrary(base, libraryTracks);
    std::printf("library of %d tracks in %d playlists built in %.1f s\n", libraryTracks, kBusPlaylists,
                seconds(Clock::now() - start));
    std::vector<std::int32_t> ids;
    for (int i = 0; i < 2 * remove; ++i)
        ids.push_back(std::int32_t(1 + std::int64_t(i) * libraryTracks / (2 * remove)));

    std::vector<double> wall[2], service[2], wallIncrease, serviceIncrease;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(run);
        Removal removal[2];
        if (!QFile::copy(base, run) || !removeOverTheBus(run, ids, removal))
            return 1;
        for (int inJob = 0; inJob < 2; ++inJob) {
            wall[inJob].push_back(removal[inJob].wall);
            service[inJob].push_back(removal[inJob].service);
        }
        wallIncrease.push_back(100.0 * (removal[1].wall - removal[0].wall) / removal[0].wall);
        serviceIncrease.push_back(100.0 * (removal[1].service - removal[0].service) / removal[0].service);
        std::printf("round %d: removing %d and %d of %d tracks over the bus, in turn: wall %.2f s plain, %.2f s in a "
                    "job (%+.1f %%); service processor %.2f s plain, %.2f s in a job (%+.1f %%)\n",
                    round + 1, remove, remove, libraryTracks, removal[0].wall, removal[1].wall, wallIncrease.back(),
                    removal[0].service, removal[1].service, serviceIncrease.back());
        std::fflush(stdout);
    }
    std::printf("medians of %d rounds: wall %.2f s plain, %.2f s in a job, increase %+.1f %%; service processor "
                "%.2f s plain, %.2f s in a job, increase %+.1f %%\n",
                rounds, median(wall[0]), median(wall[1]), median(wallIncrease), median(service[0]), median(service[1]),
                median(serviceIncrease));
    return 0;
}

int runInProcess(int libraryTracks, int remove)
{
    QTemporaryDir dir;
    const QString plainPath = dir.filePath(QStringLiteral("plain.db"));
    const QString jobPath = dir.filePath(QStringLiteral("job.db"));
    buildBusLibrary(plainPath, libraryTracks);
    if (!QFile::copy(plainPath, jobPath))
        return 1;
    auto plain = LibraryStore::open(plainPath);
    auto journaled = LibraryStore::open(jobPath);
    const std::int32_t job = journaled->beginJob(QStringLiteral("duplicates"));
    constexpr int kBlock = 250;
    double cpu[2] = {0, 0}, wall[2] = {0, 0};
    for (int from = 0; from < remove; from += kBlock) {
        for (int inJob = 0; inJob < 2; ++inJob) {
            const auto start = Clock::now();
            const double before = processorSeconds();
            for (int i = from; i < std::min(from + kBlock, remove); ++i) {
                const auto id = std::int32_t(1 + std::int64_t(i) * libraryTracks / remove);
                const QString name = QStringLiteral("%1 Track.mp3").arg(id);
                if (inJob)
                    journaled->deleteTrackInJob(
                        job, id, QStringLiteral("/home/someone/.local/share/Trash/files/") + name,
                        QStringLiteral("/home/someone/.local/share/Trash/info/") + name + QStringLiteral(".trashinfo"));
                else
                    plain->deleteTrack(id);
            }
            cpu[inJob] += processorSeconds() - before;
            wall[inJob] += seconds(Clock::now() - start);
        }
    }
    journaled->endJob(job);
    std::printf("removing %d of %d tracks in this process, one transaction each: wall %.3f s plain, %.3f s in a job "
                "(%+.1f %%); processor %.3f s plain, %.3f s in a job (%+.1f %%)\n",
                remove, libraryTracks, wall[0], wall[1], 100.0 * (wall[1] - wall[0]) / wall[0], cpu[0], cpu[1],
                100.0 * (cpu[1] - cpu[0]) / cpu[0]);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--core"))
        return runInProcess(args.size() > 2 ? args[2].toInt() : 100000, args.size() > 3 ? args[3].toInt() : 10000);
    if (args.value(1) == QLatin1String("--bus"))
        return runOverTheBus(args.size() > 2 ? args[2].toInt() : 100000, args.size() > 3 ? args[3].toInt() : 10000,
                             args.size() > 4 ? args[4].toInt() : 3);
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
