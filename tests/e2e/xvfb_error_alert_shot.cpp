// SPDX-License-Identifier: GPL-3.0-or-later
// A picture of the error alert, which the demo library cannot bring about
// from outside: the real window in process, its library behind a fault plan
// that makes one read of the fill fail, shown on the X display.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" xvfb_error_alert_shot OUT.png
//
// The window is grabbed once the face has shown the alert.
#include "../window/WindowFixture.h"
#include "FaultyLibraryClient.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

using namespace tidyfox;
using tidyfox::window::MainWindowProbe;
using tidyfox::window::WindowState;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: xvfb_error_alert_shot OUT.png\n");
        return 2;
    }
    test::WindowFixture f;
    for (const char *name : {"Harbour Lights", "Cedar Smoke", "Salt Road"}) {
        library::TrackRecord t;
        t.name = QString::fromUtf8(name);
        t.artist = QStringLiteral("Mira Solberg");
        t.album = QStringLiteral("Low Tide Letters");
        t.totalTimeMs = 72000;
        t.location = QStringLiteral("/music/%1.mp3").arg(t.name);
        f.core->addTrack(t);
    }
    // The second artist read fails, as a library that stops answering would.
    auto plan = std::make_shared<libraryclient::FaultPlan>();
    plan->failCall(QStringLiteral("artist"), 1, libraryclient::kErrCallFailed, 1);
    window::WindowEnvironment env = f.environment();
    env.createLibraryClient = libraryclient::FaultyLibraryClient::factory(env.createLibraryClient, plan);
    window::MainWindow &w = f.make(std::move(env));
    if (!w.start())
        return 1;
    w.show();
    w.handleFaceCommand(QStringLiteral("start"), {});
    // The face starts the load itself ("start"); wait for its alert.
    QTimer::singleShot(6000, &app, [&] {
        if (!f.names().contains(QStringLiteral("_root.showcriticalalert"))) {
            std::fprintf(stderr, "no error alert was shown\n");
            app.exit(1);
            return;
        }
        app.exit(w.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1);
    });
    return app.exec();
}
