// SPDX-License-Identifier: GPL-3.0-or-later
// The cleaning jobs at full size through the real program (offscreen) and
// the real library service, started with the face's commands and timed from
// the face variables the program announces on the bus:
//
// - duplicate removal over 100,000 tracks with 10% copies by name and artist,
//   each copy in a small file of its own that goes to the (private) trash;
// - dead-track deletion over 100,000 tracks with 5% dead.
//
// A job runs on its timer's tick, 2,000 ms after the command set its busy
// text; the tick is taken as that moment. The first removal is seen as the
// first file arriving in the trash; the removals end where the program hides
// its busy indicator; the reload is the refresh that follows.
//
// Run it in a world of its own (private bus, data folder and trash):
//   tests/support/isolated.sh build/bench/bench_e2e_cleaning [--tracks N]
#include "../tests/e2e/E2eSession.h"

#include <QCoreApplication>
#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <cstdio>

using namespace tidyfox::e2e;

namespace {

constexpr qint64 kTimerNs = 2000LL * 1000 * 1000;
constexpr int kWait = 600000;

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

QString musicFolder()
{
    return testRoot() + QStringLiteral("/music");
}

// Every tenth track copies the name and artist of the track five places
// before it (never itself a copy), so each copy pairs with one original and
// the later one, the copy, is removed. Copies live in files of their own;
// the originals' entries need no file.
bool buildDuplicates(int tracks)
{
    removeLibrary();
    for (int d = 0; d < 100; ++d)
        QDir().mkpath(QStringLiteral("%1/copies/%2").arg(musicFolder()).arg(d));
    LibraryBuilder builder;
    std::vector<QString> names;
    names.reserve(size_t(tracks));
    for (int i = 0; i < tracks; ++i) {
        const bool copy = i % 10 == 9;
        const int of = copy ? i - 5 : i;
        const QString name = QStringLiteral("Track %1 of a generated library").arg(of, 6, 10, QLatin1Char('0'));
        const QString artist = QStringLiteral("Artist %1").arg(of / 40);
        const QString location = copy ? QStringLiteral("%1/copies/%2/%3.mp3").arg(musicFolder()).arg(i % 100).arg(i)
                                      : QStringLiteral("%1/originals/%2.mp3").arg(musicFolder()).arg(i);
        builder.addFile(name, artist, location);
        if (copy && !writeSong(location, QByteArray("copy ") + QByteArray::number(i)))
            return false;
    }
    return true;
}

// Every twentieth track's file is missing; the others share a pool of real
// files.
bool buildDeadTracks(int tracks)
{
    removeLibrary();
    for (int f = 0; f < 1000; ++f) {
        if (!writeSong(QStringLiteral("%1/live/%2.mp3").arg(musicFolder()).arg(f), QByteArray::number(f)))
            return false;
    }
    LibraryBuilder builder;
    for (int i = 0; i < tracks; ++i) {
        const QString location = i % 20 == 0 ? QStringLiteral("%1/gone/%2.mp3").arg(musicFolder()).arg(i)
                                             : QStringLiteral("%1/live/%2.mp3").arg(musicFolder()).arg(i % 1000);
        builder.addFile(QStringLiteral("Track %1").arg(i), QStringLiteral("Artist %1").arg(i / 40), location);
    }
    return true;
}

bool startShown(E2eSession &session)
{
    if (!session.start())
        return false;
    const int connecting = session.waitForBusyText(QStringLiteral("Connecting to iTunes..."), 0, kWait);
    const int shown = session.waitForLoaded(connecting, kWait);
    if (connecting < 0 || shown < 0)
        return false;
    std::printf("  start-up to the library shown: %.0f ms\n", ms(session.nsAt(shown) - session.nsAt(connecting)));
    return true;
}

// The reload that ends a successful job: its busy text to its hidden busy
// indicator, found from index from on.
qint64 reloadNs(E2eSession &session, int from)
{
    const int refreshing = session.waitForBusyText(QStringLiteral("Refreshing Library List...."), from, kWait);
    const int hidden =
        session.waitFor(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), refreshing, kWait);
    return refreshing < 0 || hidden < 0 ? -1 : session.nsAt(hidden) - session.nsAt(refreshing);
}

bool duplicates(int tracks)
{
    QElapsedTimer clock;
    clock.start();
    if (!buildDuplicates(tracks)) {
        std::fprintf(stderr, "bench_e2e_cleaning: cannot write the copies' files\n");
        return false;
    }
    std::printf("duplicates: %d tracks, %d copies with their files, built in %.0f ms\n", tracks, tracks / 10,
                ms(clock.nsecsElapsed()));

    QDir().mkpath(trashFiles());
    QDir().mkpath(trashInfo());
    E2eSession session;
    if (!startShown(session))
        return false;

    // The review first: from the command to its handler's return, which is
    // when the face has the groups (the read over the bus included).
    const double rssBefore = statusMb(session.pid(), "VmRSS:");
    QElapsedTimer review;
    review.start();
    if (!session.command(QStringLiteral("IDC_FS_findDuplicates"),
                         QStringLiteral("true,false,false,true,false,false,false,false")))
        return false;
    std::printf("  review of the duplicates by name and artist: %.0f ms from the command; program memory %.0f MB "
                "before, %.0f MB with the review\n",
                ms(review.nsecsElapsed()), rssBefore, statusMb(session.pid(), "VmRSS:"));
    session.command(QStringLiteral("IDC_FS_don'tRemoveDuplicateFromlibrary"));

    qint64 firstTrashed = -1;
    QFileSystemWatcher watcher({trashFiles()});
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, [&] {
        if (firstTrashed < 0)
            firstTrashed = session.nowNs();
    });

    const double programCpu = cpuMs(session.pid());
    const double serviceCpu = cpuMs(servicePid());
    const int from = session.mark();
    session.post(QStringLiteral("IDC_FS_okfilter"), QStringLiteral("true,false,false,true,false,false,false,false"));
    const int busy = session.waitForBusyText(QStringLiteral("Removing Duplicates..."), from, kWait);
    const int end = session.waitFor(QStringLiteral("_root.enablebtns"), QStringLiteral("1"), from, kWait);
    if (busy < 0 || end < 0) {
        std::fprintf(stderr, "bench_e2e_cleaning: duplicate removal did not end\n");
        return false;
    }
    const int hidden = session.find(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), busy);
    const int alert = session.find(QStringLiteral("_root.showinfoalert"), QStringLiteral("true"), busy);
    QString text;
    for (int i = busy; i < end; ++i) {
        if (session.variables()[size_t(i)].name == QLatin1String("_root.alerttxt"))
            text = session.variables()[size_t(i)].value;
    }
    const int removals = text.section(QLatin1Char(' '), 0, 0).toInt();
    const int trashed = int(QDir(trashFiles()).entryList(QDir::Files).size());
    const qint64 tick = session.nsAt(busy) + kTimerNs;
    const qint64 reload = reloadNs(session, alert);

    std::printf("  %s; files in the trash: %d\n", qPrintable(text), trashed);
    std::printf("  tick to first removal (read the library over the bus, find the copies): %.0f ms\n",
                ms(firstTrashed - tick));
    std::printf("  removals: %.3f ms each on average (%.0f ms for all)\n",
                ms(session.nsAt(hidden) - firstTrashed) / std::max(1, removals),
                ms(session.nsAt(hidden) - firstTrashed));
    std::printf("  reload into the grid: %.0f ms; whole job, tick to buttons enabled: %.0f ms\n", ms(reload),
                ms(session.nsAt(end) - tick));
    std::printf("  CPU time for the whole job: program %.0f ms, service %.0f ms\n", cpuMs(session.pid()) - programCpu,
                cpuMs(servicePid()) - serviceCpu);
    session.stop();
    return removals == tracks / 10 && trashed == removals;
}

bool deadTracks(int tracks)
{
    QElapsedTimer clock;
    clock.start();
    if (!buildDeadTracks(tracks))
        return false;
    std::printf("dead tracks: %d tracks, %d dead, built in %.0f ms\n", tracks, tracks / 20, ms(clock.nsecsElapsed()));

    E2eSession session;
    if (!startShown(session))
        return false;
    // The review first, twice: the second finds the files' entries in the
    // page cache.
    for (int pass = 1; pass <= 2; ++pass) {
        QElapsedTimer review;
        review.start();
        if (!session.command(QStringLiteral("IDC_FS_findDeadTracks")))
            return false;
        std::printf("  dead tracks found (pass %d): %.0f ms from the command\n", pass, ms(review.nsecsElapsed()));
        session.command(QStringLiteral("IDC_FS_don'tDeleteFromLibrary"));
    }

    const double programCpu = cpuMs(session.pid());
    const double serviceCpu = cpuMs(servicePid());
    const int from = session.mark();
    session.post(QStringLiteral("IDC_FS_deleteDeadTracks"));
    const int busy = session.waitForBusyText(QStringLiteral("Deleting dead tracks..."), from, kWait);
    const int hidden =
        session.waitFor(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), busy, kWait);
    const int alert = session.waitFor(QStringLiteral("_root.showinfoalert"), QStringLiteral("true"), hidden, kWait);
    if (busy < 0 || hidden < 0 || alert < 0) {
        std::fprintf(stderr, "bench_e2e_cleaning: dead-track deletion did not end\n");
        return false;
    }
    const QString text = session.variables()[size_t(alert - 1)].value;
    const double programCpuRun = cpuMs(session.pid()) - programCpu;
    const double serviceCpuRun = cpuMs(servicePid()) - serviceCpu;
    const qint64 tick = session.nsAt(busy) + kTimerNs;
    const qint64 reload = reloadNs(session, alert);
    std::printf("  %s\n", qPrintable(text));
    std::printf("  CPU time up to the alert: program %.0f ms, service %.0f ms\n", programCpuRun, serviceCpuRun);
    std::printf("  tick to busy indicator hidden (the whole run, reload excluded): %.0f ms; reload %.0f ms\n",
                ms(session.nsAt(hidden) - tick), ms(reload));
    session.stop();
    return text.startsWith(QString::number(tracks / 20) + QLatin1Char(' '));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TIDYFOX_TEST_ROOT")) {
        std::fprintf(stderr,
                     "usage: tests/support/isolated.sh %s [--tracks N]\n"
                     "(it needs a private session bus, data folder and trash of its own)\n",
                     argv[0]);
        return 2;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.*.debug=false"));
    const QStringList args = QCoreApplication::arguments();
    int tracks = 100000;
    if (const auto at = args.indexOf(QStringLiteral("--tracks")); at >= 0 && at + 1 < args.size())
        tracks = args[at + 1].toInt();
    bool ok = duplicates(tracks);
    ok = deadTracks(tracks) && ok;
    return ok ? 0 : 1;
}
