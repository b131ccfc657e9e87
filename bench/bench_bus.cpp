// SPDX-License-Identifier: GPL-3.0-or-later
// The library over the bus at full size: 100,000 tracks in 50 playlists,
// served by the real tidyfox-library on a private session bus. Measures how
// long the program waits for the library playlist's tracks and for one track
// found by its ID, and how much memory the service holds.
//
//   bench_bus [--tracks N] [--library FILE]
// With --library, an existing FILE is used as it is, or a new one is kept
// there for the next run.
#include "BenchSupport.h"
#include "GeneratedLibrary.h"
#include "libraryclient/BusLibraryClient.h"
#include "protocol/BusNames.h"
#include "service/LibraryCore.h"
#include "service/ServiceBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

using namespace tidyfox;

namespace {

using tidyfox::bench::median;
using tidyfox::bench::PrivateBus;

constexpr int kPlaylists = 50;

double ms(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The library file, built through the core as an import would.
void buildLibrary(const QString &path, int trackCount)
{
    bench::buildGeneratedLibrary(*library::LibraryCore::open(path), trackCount, kPlaylists);
}

QString statusField(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return QString::fromLatin1(line.mid(qstrlen(field) + 1).simplified());
    }
    return QStringLiteral("?");
}

// Playlists the service keeps ready live in memory files, outside its
// resident set: counted here so the memory figure is whole.
qint64 memoryFileBytes(qint64 pid)
{
    qint64 total = 0;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(fd.filePath().toStdString(), error);
        if (!error && target.string().starts_with("/memfd:"))
            total += QFileInfo(fd.filePath()).size();
    }
    return total;
}

void printMemory(const char *when, qint64 pid)
{
    std::printf("service %s: VmRSS %s, VmHWM %s, kept memory files %.1f MB\n", when,
                qPrintable(statusField(pid, "VmRSS:")), qPrintable(statusField(pid, "VmHWM:")),
                static_cast<double>(memoryFileBytes(pid)) / (1 << 20));
}

} // namespace

int main(int argc, char **argv)
{
    // The bus must be ours before anything opens the session bus.
    PrivateBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "bench_bus: cannot start a private dbus-daemon\n");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int trackCount = 100000;
    if (const auto at = args.indexOf(QStringLiteral("--tracks")); at > 0 && at + 1 < args.size())
        trackCount = args[at + 1].toInt();

    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/library.db");
    if (const auto at = args.indexOf(QStringLiteral("--library")); at > 0 && at + 1 < args.size())
        path = args[at + 1];
    QElapsedTimer timer;
    timer.start();
    if (!QFile::exists(path)) {
        buildLibrary(path, trackCount);
        std::printf("library of %d tracks in %d playlists built in %.0f ms\n", trackCount, kPlaylists, ms(timer));
    }

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start(QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library"),
                  {QStringLiteral("--library"), path, QStringLiteral("serve")});
    const QDeadlineTimer deadline(10000);
    auto *busIface = QDBusConnection::sessionBus().interface();
    while (!busIface->isServiceRegistered(QString::fromLatin1(protocol::kServiceName)).value()) {
        if (deadline.hasExpired() || service.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "bench_bus: the service did not start\n");
            return 1;
        }
        QThread::msleep(10);
    }
    const qint64 servicePid = service.processId();
    std::printf("service idle: VmRSS %s\n", qPrintable(statusField(servicePid, "VmRSS:")));

    timer.restart();
    libraryclient::BusLibraryClient client{QStringLiteral(TIDYFOX_APP_DIR)};
    const auto libraryPlaylist = client.libraryPlaylist();
    std::printf("connect and library playlist: %.2f ms\n", ms(timer));

    // Fetching the library playlist's tracks: the first time, then repeated.
    std::vector<double> fetches;
    std::vector<std::int32_t> trackIds;
    for (int round = 0; round < 6; ++round) {
        timer.restart();
        const auto tracks = libraryPlaylist->tracks();
        const int count = tracks->count();
        fetches.push_back(ms(timer));
        if (count != trackCount) {
            std::fprintf(stderr, "bench_bus: fetched %d tracks, expected %d\n", count, trackCount);
            return 1;
        }
        if (round == 0) {
            // Reading every property the grid shows, once fetched, is local.
            timer.restart();
            qsizetype chars = 0;
            tracks->forEach([&](const libraryclient::TrackPtr &t) {
                trackIds.push_back(t->trackId());
                chars += t->name().size() + t->artist().size() + t->album().size() + t->time().size();
                return true;
            });
            std::printf("walk reading TrackID, Name, Artist, Album, Time of every track: %.1f ms (%lld chars)\n",
                        ms(timer), static_cast<long long>(chars));
        }
    }
    std::printf("fetch library playlist tracks: first %.1f ms, median of the next five %.1f ms\n", fetches[0],
                median({fetches.begin() + 1, fetches.end()}));
    printMemory("after fetches", servicePid);

    // One track by its ID, as a selection in the grid looks it up: a fresh
    // collection each time, so the service answers.
    std::mt19937 random(7);
    std::vector<double> lookups;
    for (int i = 0; i < 200; ++i) {
        const std::int32_t id = trackIds[random() % trackIds.size()];
        timer.restart();
        const auto track = libraryPlaylist->tracks()->firstByTrackId(id);
        lookups.push_back(ms(timer));
        if (!track || track->trackId() != id) {
            std::fprintf(stderr, "bench_bus: track %d not found\n", id);
            return 1;
        }
    }
    // The last track of the library is the worst case for a walk.
    timer.restart();
    libraryPlaylist->tracks()->firstByTrackId(trackIds.back());
    const double last = ms(timer);
    std::printf("FirstByTrackID in the library playlist: median %.3f ms, max %.3f ms, last track %.3f ms "
                "(max track ID %d)\n",
                median(lookups), *std::max_element(lookups.begin(), lookups.end()), last,
                *std::max_element(trackIds.begin(), trackIds.end()));

    // What the program's fill asks for: every playlist's tracks.
    timer.restart();
    int items = 0;
    client.librarySource()->playlists()->forEach([&](const libraryclient::PlaylistPtr &p) {
        items += p->tracks()->count();
        return true;
    });
    std::printf("fetch the tracks of all %d playlists (%d items), first time: %.1f ms\n", kPlaylists + 1, items,
                ms(timer));
    timer.restart();
    client.librarySource()->playlists()->forEach([&](const libraryclient::PlaylistPtr &p) {
        p->tracks()->count();
        return true;
    });
    std::printf("fetch the tracks of all playlists again: %.1f ms\n", ms(timer));
    printMemory("after fetching every playlist", servicePid);

    // A change makes the service build the playlist anew on the next fetch.
    libraryPlaylist->tracks()->firstByTrackId(trackIds.front())->deleteFromLibrary();
    timer.restart();
    const int remaining = libraryPlaylist->tracks()->count();
    std::printf("fetch library playlist tracks after a delete (built anew): %.1f ms (%d tracks)\n", ms(timer),
                remaining);
    printMemory("at the end", servicePid);
    client.quit();
    service.waitForFinished(10000);
    return 0;
}
