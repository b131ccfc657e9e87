// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicate review in the real program (offscreen) over the real library
// service: from the face's command to the review shown, three times in one
// session, with the program's processor time and memory.
//
// The command's reply comes when its handler has returned: the copies found,
// the review's model filled and its panel told to open. The busy indicator
// hidden on the way splits the finding from the showing.
//
// The library is generated (every tenth track a copy of the track five
// before it by name and artist, in a file of its own; the others' files are
// not there), or, with --data DIR, the library already imported into the
// data folder DIR (a copy: the service may write to it).
//
// Run it in a world of its own (private bus, data folder and trash):
//   tests/support/isolated.sh build/bench/bench_e2e_review [--tracks N | --data DIR] [--rounds N]
#include "../tests/e2e/E2eSession.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QLoggingCategory>
#include <cstdio>

using namespace tidyfox::e2e;

namespace {

constexpr int kWait = 600000;
// Name and artist.
const QString kFilter = QStringLiteral("true,false,false,true,false,false,false,false");

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

bool buildLibrary(int tracks)
{
    removeLibrary();
    const QString music = testRoot() + QStringLiteral("/music");
    LibraryBuilder builder;
    for (int i = 0; i < tracks; ++i) {
        const bool copy = i % 10 == 9;
        const int of = copy ? i - 5 : i;
        const QString location = copy ? QStringLiteral("%1/copies/%2/%3.mp3").arg(music).arg(i % 100).arg(i)
                                      : QStringLiteral("%1/originals/%2/%3.mp3").arg(music).arg(i % 100).arg(i);
        builder.addFile(QStringLiteral("Track %1 of a generated library").arg(of, 7, 10, QLatin1Char('0')),
                        QStringLiteral("Artist %1").arg(of / 40), location);
        if (copy && !writeSong(location, QByteArray("copy ") + QByteArray::number(i)))
            return false;
    }
    return true;
}

// Sends the command and handles the program's variables as they arrive,
// until the reply; false when the call failed.
bool commandWatched(const QString &name, const QString &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kProgramService, kProgramPath, kProgramInterface,
                                                       QStringLiteral("FLashCommand"));
    call << name << args;
    const QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, kWait);
    if (!waitUntil([&] { return pending.isFinished(); }, kWait))
        return false;
    QCoreApplication::processEvents();
    return !pending.isError();
}

bool measure(int rounds)
{
    E2eSession session;
    if (!session.start())
        return false;
    const int connecting = session.waitForBusyText(QStringLiteral("Connecting to iTunes..."), 0, kWait);
    const int shown = session.waitForLoaded(connecting, kWait);
    if (connecting < 0 || shown < 0) {
        std::fprintf(stderr, "bench_e2e_review: the library was not shown\n");
        return false;
    }
    std::printf("  start-up to the library shown: %.0f ms, program %.0f MB\n",
                ms(session.nsAt(shown) - session.nsAt(connecting)), statusMb(session.pid(), "VmRSS:"));
    for (int round = 1; round <= rounds; ++round) {
        const double programCpu = cpuMs(session.pid());
        const double serviceCpu = cpuMs(servicePid());
        const int from = session.mark();
        const qint64 sent = session.nowNs();
        if (!commandWatched(QStringLiteral("IDC_FS_findDuplicates"), kFilter)) {
            std::fprintf(stderr, "bench_e2e_review: the review failed\n");
            return false;
        }
        const qint64 replied = session.nowNs();
        const int found = session.find(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), from);
        const qint64 foundNs = found < 0 ? replied : session.nsAt(found);
        std::printf("  review %d: %.0f ms from the command to shown (copies found %.0f ms, shown %.0f ms after); "
                    "processor program %.0f ms, service %.0f ms; program %.0f MB (peak %.0f MB)\n",
                    round, ms(replied - sent), ms(foundNs - sent), ms(replied - foundNs),
                    cpuMs(session.pid()) - programCpu, cpuMs(servicePid()) - serviceCpu,
                    statusMb(session.pid(), "VmRSS:"), statusMb(session.pid(), "VmHWM:"));
        session.command(QStringLiteral("IDC_FS_don'tRemoveDuplicateFromlibrary"));
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
                     "usage: tests/support/isolated.sh %s [--tracks N | --data DIR] [--rounds N]\n"
                     "(it needs a private session bus and data folder of its own)\n",
                     argv[0]);
        return 2;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.*.debug=false"));
    const QStringList args = QCoreApplication::arguments();
    const auto option = [&](const char *name) {
        const auto at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
    };
    const int rounds = std::max(1, option("--rounds").isEmpty() ? 3 : option("--rounds").toInt());
    if (const QString data = option("--data"); !data.isEmpty()) {
        if (!QFileInfo::exists(data + QStringLiteral("/tidyfox/library.db"))) {
            std::fprintf(stderr, "bench_e2e_review: no library in %s\n", qPrintable(data));
            return 2;
        }
        // The program and the service it starts read the library there.
        qputenv("XDG_DATA_HOME", QFile::encodeName(QFileInfo(data).absoluteFilePath()));
        std::printf("the library in %s\n", qPrintable(data));
    } else {
        const int tracks = option("--tracks").isEmpty() ? 100000 : option("--tracks").toInt();
        QElapsedTimer clock;
        clock.start();
        if (tracks <= 0 || !buildLibrary(tracks)) {
            std::fprintf(stderr, "bench_e2e_review: the library was not made\n");
            return 2;
        }
        std::printf("%d tracks, %d copies with their files: built in %.0f ms\n", tracks, tracks / 10,
                    ms(clock.nsecsElapsed()));
    }
    return measure(rounds) ? 0 : 1;
}
