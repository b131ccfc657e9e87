// SPDX-License-Identifier: GPL-3.0-or-later
// The library grid with a large library: 100,000 tracks, listed in the library
// playlist and in 49 more playlists that share them out twice (300,000 track
// rows in 50 playlists). Fills the library model the way the program's fill
// does, binds and formats it, opens the big playlist, selects a row, extends
// the selection to the end with Shift+End and reads the selected cells, then
// narrows the list with the search field's filter as a person types.
// Prints the time of each step and the resident memory.
//   bench_grid [TRACKS]   (100,000 by default)
#include "librarylist/LibraryListFormat.h"
#include "librarylist/LibraryListModel.h"
#include "widgets/TreeGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTreeView>
#include <cstdio>
#include <ctime>

using namespace tidyfox;

namespace {

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}

// Processor time as well as wall time: other work often shares the machine.
std::clock_t cpuStart = 0;

void report(const char *step, QElapsedTimer &timer)
{
    const std::clock_t cpu = std::clock();
    std::printf("%-44s %8.1f ms wall %8.1f ms cpu   RSS %4ld MB\n", step, timer.nsecsElapsed() / 1e6,
                1000.0 * double(cpu - cpuStart) / CLOCKS_PER_SEC, statusKb("VmRSS:") / 1024);
    cpuStart = std::clock();
    timer.restart();
}

void addTrack(librarylist::PlaylistTrackTable &tracks, const QString &playlistId, int t)
{
    tracks.addTrack({playlistId, QStringLiteral("Track number %1 of the benchmark library").arg(t),
                     QString::number(t + 1),
                     QStringLiteral("%1:%2").arg(1 + t % 9).arg(t % 60, 2, 10, QLatin1Char('0')),
                     QStringLiteral("Artist %1").arg(t % 2000), QStringLiteral("Album %1").arg(t % 8000)});
}

void pressKey(QWidget *widget, int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int kTracks = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    if (kTracks <= 0)
        return 2;
    constexpr int kPlaylists = 50;

    widgets::TreeGrid grid;
    grid.setTwipsPerPixel(15);
    grid.resize(293, 229);
    grid.show();
    QApplication::processEvents();
    std::printf("RSS before the fill: %ld MB\n", statusKb("VmRSS:") / 1024);

    QElapsedTimer timer;
    timer.start();
    cpuStart = std::clock();
    auto rs = std::make_shared<librarylist::LibraryListModel>();
    for (int p = 0; p < kPlaylists; ++p) {
        const QString id = QString::number(p + 1);
        librarylist::PlaylistTrackTable &tracks =
            rs->addPlaylist(id, p == 0 ? QStringLiteral("Library") : QStringLiteral("Playlist %1").arg(p));
        if (p == 0) {
            for (int t = 0; t < kTracks; ++t)
                addTrack(tracks, id, t);
        } else {
            // Every track twice over the other 49 playlists.
            for (int t = p - 1; t < 2 * kTracks; t += kPlaylists - 1)
                addTrack(tracks, id, t % kTracks);
        }
    }
    int rows = 0;
    for (int p = 0; p < kPlaylists; ++p)
        rows += rs->tracks(p).trackCount();
    std::printf("track rows: %d in %d playlists\n", rows, kPlaylists);
    report("fill the library model", timer);

    const bool formatted =
        librarylist::formatLibraryList(grid, rs, [](const QString &text, tidyfox::AlertKind, const QString &) {
            std::printf("alert: %s\n", qPrintable(text));
        });
    QApplication::processEvents();
    report(formatted ? "bind and format (formatLibraryList), painted" : "formatLibraryList FAILED", timer);

    QTreeView *view = grid.view();
    const QModelIndex big = view->model()->index(0, 0);
    view->expand(big);
    view->scrollTo(view->model()->index(1, 0, big));
    QApplication::processEvents();
    report("expand the 100,000-track playlist, painted", timer);

    view->setFocus();
    view->setCurrentIndex(big);
    pressKey(view, Qt::Key_Down, Qt::NoModifier);
    QApplication::processEvents();
    const QString picked = grid.selection().cells().item(0).row().cell(1).text();
    report("select a track with the keyboard", timer);

    pressKey(view, Qt::Key_End, Qt::ShiftModifier);
    QApplication::processEvents();
    report("Shift+End: select to the last row", timer);
    const int selected = grid.selection().cells().count();
    report("read the selected cells collection", timer);
    std::printf("picked \"%s\", %d cells selected\n", qPrintable(picked), selected);

    // Typed letter by letter over the open playlist, then emptied.
    view->clearSelection();
    QApplication::processEvents();
    timer.restart();
    cpuStart = std::clock();
    for (const char *typed : {"A", "Al", "Album 7", "Album 77", "Album 777", ""}) {
        librarylist::searchLibraryList(grid, QString::fromLatin1(typed));
        QApplication::processEvents();
        const QByteArray step = QByteArray("search \"") + typed + "\", painted";
        report(step.constData(), timer);
    }

    grid.band(0).collapse();
    QApplication::processEvents();
    report("collapse every playlist", timer);

    std::printf("peak RSS: %ld MB\n", statusKb("VmHWM:") / 1024);
    return formatted ? 0 : 1;
}
