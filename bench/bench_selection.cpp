// SPDX-License-Identifier: GPL-3.0-or-later
// Selecting a track in a large library: the main window in process over a
// library of 100,000 tracks, the library playlist open in the list, and one
// track row activated as a click or a key would (the grid's
// BeforeCellActivate). Measures the time from the activation until the face
// has been told the button states (the last "_root.enabledelete"), for tracks
// spread over the playlist and for tracks whose ID is above 32767.
//
//   bench_selection [--tracks N] [--rounds N]
#include "../tests/window/WindowFixture.h"
#include "widgets/TreeGrid.h"
#include "window/IntervalTimer.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tidyfox;
using tidyfox::window::MainWindowProbe;
using tidyfox::window::WindowState;

namespace {

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

struct Figures
{
    double median = 0;
    double worst = 0;
};

Figures figures(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

void fill(library::LibraryCore &core, int trackCount)
{
    core.begin();
    std::vector<std::int32_t> ids;
    ids.reserve(static_cast<std::size_t>(trackCount));
    const QDateTime added(QDate(2019, 3, 1), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < trackCount; ++i) {
        library::TrackRecord t;
        t.name = QStringLiteral("Track %1 of a generated library").arg(i, 6, 10, QLatin1Char('0'));
        t.artist = QStringLiteral("Artist %1").arg(i / 40);
        t.album = QStringLiteral("Album %1").arg(i / 12);
        t.genre = QStringLiteral("Genre %1").arg(i % 23);
        t.kindAsString = QStringLiteral("MPEG audio file");
        t.totalTimeMs = 120000 + (i % 240) * 1000;
        t.bitRate = 192;
        t.sampleRate = 44100;
        t.size = 3000000 + i;
        t.dateAdded = added.addSecs(i);
        t.location = QStringLiteral("/home/someone/Music/Artist %1/%2 Track.mp3").arg(i / 40).arg(i);
        ids.push_back(core.addTrack(std::move(t)).databaseId);
    }
    // A few playlists, so that the library playlist is one row among others.
    for (int p = 0; p < 5; ++p) {
        const auto playlist = core.addPlaylist(QStringLiteral("Playlist %1").arg(p + 1));
        core.appendToPlaylist(playlist.playlistId,
                              std::vector<std::int32_t>(ids.begin() + p * 100, ids.begin() + p * 100 + 100));
    }
    core.commit();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int trackCount = 100000;
    int rounds = 40;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--tracks"))
            trackCount = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
    }

    test::WindowFixture f;
    QElapsedTimer timer;
    timer.start();
    fill(*f.core, trackCount);
    std::printf("library of %d tracks made in %.0f ms\n", trackCount, ms(timer.nsecsElapsed()));

    window::MainWindow &w = f.make();
    if (!w.start())
        return 1;
    w.show();
    w.handleFaceCommand(QStringLiteral("start"), {});
    timer.restart();
    MainWindowProbe(w).tickStartTimer();
    std::printf("shown in the list in %.0f ms\n", ms(timer.nsecsElapsed()));

    // The library playlist's row, opened.
    QTreeView *view = MainWindowProbe(w).libraryList().view();
    QAbstractItemModel *rows = view->model();
    QModelIndex libraryRow;
    for (int r = 0; r < rows->rowCount(); ++r) {
        MainWindowProbe(w).libraryList().view()->selectionModel()->select(
            rows->index(r, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const widgets::GridRow row = MainWindowProbe(w).libraryList().selection().cells().item(0).row();
        if (row.cellCount() > 1 && row.cell(1).text() == QLatin1String("Library")) {
            libraryRow = rows->index(r, 0);
            break;
        }
    }
    if (!libraryRow.isValid()) {
        std::fprintf(stderr, "no library playlist in the list\n");
        return 1;
    }
    timer.restart();
    view->expand(libraryRow);
    QCoreApplication::processEvents();
    const int children = rows->rowCount(libraryRow);
    std::printf("library playlist opened (%d rows) in %.0f ms\n", children, ms(timer.nsecsElapsed()));

    // The time from the activation to the last button variable.
    qint64 lastSet = 0;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&w, &window::MainWindow::faceVariableSet, [&](const QString &name, const QString &) {
        if (name == QLatin1String("_root.enabledelete"))
            lastSet = clock.nsecsElapsed();
    });
    const auto activate = [&](int track, QString *trackId) -> double {
        // Child row 0 is the band's header row; the tracks follow.
        const QModelIndex index = rows->index(track + 1, 0, libraryRow);
        view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        widgets::GridCell cell = MainWindowProbe(w).libraryList().selection().cells().item(0);
        if (trackId)
            *trackId = cell.row().cell(2).text();
        f.variables.clear();
        lastSet = 0;
        const qint64 start = clock.nsecsElapsed();
        Q_EMIT MainWindowProbe(w).libraryList().cellActivating(cell);
        if (f.names() != QStringList{QStringLiteral("_root.enableview2"), QStringLiteral("_root.enabledelete")}) {
            std::fprintf(stderr, "track %d: the buttons were not set: %s\n", track,
                         qPrintable(f.names().join(QLatin1Char(' '))));
            std::exit(1);
        }
        return ms(lastSet - start);
    };

    const int tracks = children - 1;
    std::vector<double> spread;
    std::vector<double> high;
    QString lowestHigh;
    for (int i = 0; i < rounds; ++i) {
        spread.push_back(activate(static_cast<int>((static_cast<long long>(tracks) * i) / rounds), nullptr));
        // The last rows of the playlist carry the highest track IDs.
        QString id;
        high.push_back(activate(tracks - 1 - i, &id));
        if (id.toInt() <= 32767) {
            std::fprintf(stderr, "track ID %s is not above 32767\n", qPrintable(id));
            return 1;
        }
        lowestHigh = id;
    }
    const Figures a = figures(spread);
    const Figures b = figures(high);
    std::printf("select a track (%d tracks across the playlist): median %.2f ms, worst %.2f ms\n", rounds, a.median,
                a.worst);
    std::printf("select a track with an ID above 32767 (IDs %s and up): median %.2f ms, worst %.2f ms\n",
                qPrintable(lowestHigh), b.median, b.worst);
    return 0;
}
