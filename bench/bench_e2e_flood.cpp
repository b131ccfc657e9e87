// SPDX-License-Identifier: GPL-3.0-or-later
// A flood of face commands sent to the real program over its bus surface
// without waiting for any: refreshes, filter runs (valid and not), dead-track
// runs, alerts answered, panels opened and closed, unknown commands and bad
// arguments, mixed at random. The program must survive it, answer a waiting
// call at the end, and have grown neither its stack nor its memory without
// bound.
//
//   tests/support/isolated.sh build/bench/bench_e2e_flood [commands]
#include "../tests/e2e/E2eSession.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <cstdio>

using namespace tidyfox::e2e;

namespace {

const std::pair<const char *, const char *> kCommands[] = {
    {"IDC_FS_refreshList2", ""},
    {"IDC_FS_okfilter", "true,false,false,true,false,false,false,true"},
    {"IDC_FS_okfilter", "false,false,false,false,false,false,false,false"},
    {"IDC_FS_okfilter", "nonsense"},
    {"IDC_FS_okalert", ""},
    {"IDC_FS_about", ""},
    {"IDC_FS_cancel", ""},
    {"IDC_FS_removeDuplicate", ""},
    {"IDC_FS_don'tRemoveDuplicateFromlibrary", ""},
    {"IDC_FS_viewTrack2", ""},
    {"IDC_FS_exitTrackInfoWindow", ""},
    {"IDC_FS_deleteDeadTracks", ""},
    {"IDC_FS_noSuchCommand", "\x01\x02 args"},
    {"", ""},
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TIDYFOX_TEST_ROOT")) {
        std::fprintf(stderr, "usage: tests/support/isolated.sh %s [commands]\n", argv[0]);
        return 2;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.*.debug=false"));
    const int commands = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    removeLibrary();
    {
        LibraryBuilder builder;
        for (int i = 0; i < 2000; ++i) {
            // Every fifth track a copy of the one before; files are missing,
            // so the dead-track runs find them too.
            const int song = i - (i % 5 == 4 ? 1 : 0);
            builder.addFile(QStringLiteral("Song %1").arg(song), QStringLiteral("Artist %1").arg(song % 50),
                            QStringLiteral("/nowhere/%1.mp3").arg(i));
        }
    }
    E2eSession session;
    if (!session.start() || session.waitForLoaded(0, 60000) < 0) {
        std::fprintf(stderr, "bench_e2e_flood: the program did not show the library\n");
        return 1;
    }
    const double rssBefore = statusMb(session.pid(), "VmRSS:");

    QElapsedTimer clock;
    clock.start();
    auto *random = QRandomGenerator::global();
    for (int i = 0; i < commands; ++i) {
        const auto &[name, args] = kCommands[random->bounded(int(std::size(kCommands)))];
        session.post(QString::fromLatin1(name), QString::fromLatin1(args));
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    }
    const double sentMs = double(clock.nsecsElapsed()) / 1e6;
    // A waiting call returns once everything sent before it has been handled.
    const bool answered = session.command(QStringLiteral("IDC_FS_okalert"));
    const double handledMs = double(clock.nsecsElapsed()) / 1e6;
    // The timers the flood armed (a removal, a dead-track run) fire after
    // it; the program must still answer once they have run.
    waitUntil([] { return false; }, 5000);
    const bool alive = session.running() && answered && session.command(QStringLiteral("IDC_FS_okalert"));
    std::printf("%d mixed commands: sent in %.0f ms, all handled after %.0f ms; program %s\n", commands, sentMs,
                handledMs, alive ? "alive and answering" : "GONE");
    std::printf("  program resident memory: %.0f MB before, %.0f MB after (peak %.0f MB)\n", rssBefore,
                statusMb(session.pid(), "VmRSS:"), statusMb(session.pid(), "VmHWM:"));
    session.stop();
    return alive ? 0 : 1;
}
