// SPDX-License-Identifier: GPL-3.0-or-later
// From the first start-up tick to the busy indicator hidden, with the real
// program (offscreen) and the real library service: 10,000 tracks in 20
// playlists (30,000 rows) and 100,000 tracks in 50 playlists (300,000 rows),
// and the program's resident memory with each library shown. Other sizes as
// arguments, TRACKS:PLAYLISTS each (1 playlist: the library playlist only).
//
// The times come from the face variables the program announces on the bus:
// "Connecting to iTunes..." (set at the start of the tick) to
// "_root.disableactivationmovie" (set once the grid shows the library).
//
// Run it in a world of its own (private bus, data folder and trash):
//   tests/support/isolated.sh build/bench/bench_e2e_startup [1000000:1 ...]
// TIDYFOX_BENCH_LIBRARIES=DIR keeps each library built there and copies it
// back for the next run of the same size (a million tracks take half a
// minute to build).
#include "../tests/e2e/E2eSession.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstdio>

using namespace tidyfox::e2e;

namespace {

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// tracks in the library playlist, and each track in two of the other
// playlists - 1 user playlists: 3 x tracks rows in all (with user playlists).
void buildLibrary(int tracks, int playlists)
{
    removeLibrary();
    LibraryBuilder builder;
    std::vector<std::int32_t> ids;
    ids.reserve(size_t(tracks));
    for (int i = 0; i < tracks; ++i) {
        ids.push_back(builder
                          .addFile(QStringLiteral("Track %1 of a generated library").arg(i, 6, 10, QLatin1Char('0')),
                                   QStringLiteral("Artist %1").arg(i / 40),
                                   QStringLiteral("/music/d%1/%2.mp3").arg(i % 200).arg(i))
                          .databaseId);
    }
    const int user = playlists - 1;
    if (user == 0)
        return;
    std::vector<std::vector<std::int32_t>> members(static_cast<size_t>(user));
    for (int i = 0; i < tracks; ++i) {
        members[size_t(i % user)].push_back(ids[size_t(i)]);
        members[size_t((i + 7) % user)].push_back(ids[size_t(i)]);
    }
    for (int p = 0; p < user; ++p) {
        const auto playlist = builder.core().addPlaylist(QStringLiteral("Playlist %1").arg(p + 1));
        builder.core().appendToPlaylist(playlist.playlistId, members[size_t(p)]);
    }
}

// A copy kept from an earlier run of the same size, or a library built now
// (and kept when asked to).
void prepareLibrary(int tracks, int playlists)
{
    const QString keep = qEnvironmentVariable("TIDYFOX_BENCH_LIBRARIES");
    const QString kept = keep + QStringLiteral("/%1-%2.db").arg(tracks).arg(playlists);
    if (!keep.isEmpty() && QFileInfo::exists(kept)) {
        removeLibrary();
        QDir().mkpath(QFileInfo(defaultLibraryPath()).absolutePath());
        if (QFile::copy(kept, defaultLibraryPath()))
            return;
    }
    buildLibrary(tracks, playlists);
    if (!keep.isEmpty()) {
        QDir().mkpath(keep);
        QFile::remove(kept);
        QFile::copy(defaultLibraryPath(), kept);
    }
}

bool measure(int tracks, int playlists)
{
    QElapsedTimer clock;
    clock.start();
    prepareLibrary(tracks, playlists);
    std::printf("%d tracks in %d playlists (%d rows): library ready in %.0f ms\n", tracks, playlists,
                playlists > 1 ? 3 * tracks : tracks, ms(clock.nsecsElapsed()));

    E2eSession session;
    if (!session.start()) {
        std::fprintf(stderr, "bench_e2e_startup: the program did not start\n");
        return false;
    }
    const int wait = 300000;
    const int connecting = session.waitForBusyText(QStringLiteral("Connecting to iTunes..."), 0, wait);
    const double cpuAtTick = cpuMs(session.pid());
    const int loading = session.waitForBusyText(QStringLiteral("Loading Library Contents..."), connecting, wait);
    const int shown = session.waitForLoaded(connecting, wait);
    const double cpuShown = cpuMs(session.pid());
    if (connecting < 0 || loading < 0 || shown < 0) {
        std::fprintf(stderr, "bench_e2e_startup: the library was not shown\n");
        return false;
    }
    std::printf("  tick to busy indicator hidden: %.0f ms (connect and start the service %.0f ms, load %.0f ms)\n",
                ms(session.nsAt(shown) - session.nsAt(connecting)),
                ms(session.nsAt(loading) - session.nsAt(connecting)), ms(session.nsAt(shown) - session.nsAt(loading)));
    // The session's clock started as the program was launched.
    std::printf("  from the program's launch to shown: %.0f ms\n", ms(session.nsAt(shown)));
    std::printf("  CPU time from the tick to shown: program %.0f ms, service %.0f ms (all its life)\n",
                cpuShown - cpuAtTick, cpuMs(servicePid()));
    std::printf("  program resident memory with the library shown: %.0f MB (peak %.0f MB); service %.0f MB\n",
                statusMb(session.pid(), "VmRSS:"), statusMb(session.pid(), "VmHWM:"), statusMb(servicePid(), "VmRSS:"));
    std::printf("  of the program's: %.0f MB its own, %.0f MB mapped files, %.0f MB shared memory\n",
                statusMb(session.pid(), "RssAnon:"), statusMb(session.pid(), "RssFile:"),
                statusMb(session.pid(), "RssShmem:"));
    // Where the memory is, mapping by mapping, for a closer look.
    if (const QString keep = qEnvironmentVariable("TIDYFOX_BENCH_SMAPS"); !keep.isEmpty()) {
        QFile smaps(QStringLiteral("/proc/%1/smaps").arg(session.pid()));
        QFile out(keep);
        if (smaps.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
            out.write(smaps.readAll());
    }
    session.stop();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TIDYFOX_TEST_ROOT")) {
        std::fprintf(stderr,
                     "usage: tests/support/isolated.sh %s\n"
                     "(it needs a private session bus and data folder of its own)\n",
                     argv[0]);
        return 2;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.*.debug=false"));
    std::vector<std::pair<int, int>> sizes;
    for (int i = 1; i < argc; ++i) {
        const QStringList parts = QString::fromLocal8Bit(argv[i]).split(QLatin1Char(':'));
        if (parts.size() != 2 || parts[0].toInt() <= 0 || parts[1].toInt() <= 0) {
            std::fprintf(stderr, "bench_e2e_startup: %s is not TRACKS:PLAYLISTS\n", argv[i]);
            return 2;
        }
        sizes.emplace_back(parts[0].toInt(), parts[1].toInt());
    }
    if (sizes.empty())
        sizes = {{10000, 20}, {100000, 50}};
    bool ok = true;
    for (const auto &[tracks, playlists] : sizes)
        ok = measure(tracks, playlists) && ok;
    return ok ? 0 : 1;
}
