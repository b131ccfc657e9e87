// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the two reviews, the Delete button's question, Undo, the
// history and the progress bar for the docs: the real
// window in process over a small made-up library, grabbed once each panel is
// shown.
//
//   QT_QPA_PLATFORM=offscreen review_shots OUTPUT_FOLDER
#include "../window/WindowFixture.h"
#include "libraryclient/LibraryLookups.h"
#include "widgets/TreeGrid.h"
#include "window/FaceView.h"
#include "window/JobStatus.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QQmlContext>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <cstdio>

using namespace tidyfox;
using tidyfox::window::MainWindowProbe;

namespace {

library::TrackRecord song(const QString &name, const QString &artist, const QString &location, int bitRate, int plays)
{
    library::TrackRecord t;
    t.name = name;
    t.artist = artist;
    t.album = QStringLiteral("Low Tide Letters");
    t.kindAsString = QStringLiteral("MPEG audio file");
    t.totalTimeMs = 187000;
    t.time = QStringLiteral("3:07");
    t.bitRate = bitRate;
    t.sampleRate = 44100;
    t.size = 4'480'000 * bitRate / 128;
    t.playCount = plays;
    t.dateAdded = QDateTime(QDate(2021, 3, 2 + plays), QTime(18, 21), Qt::UTC);
    t.location = location;
    return t;
}

bool save(QWidget &window, const QDir &out, const char *name)
{
    QTest::qWait(400); // the panel's opening animation
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!window.grab().save(path))
        return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: review_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    // The music lies in a home of its own, where the face writes it "~".
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir music(home.filePath(QStringLiteral("Music")));
    const auto file = [&music](const QString &name) {
        QDir().mkpath(QFileInfo(music.filePath(name)).path());
        QFile f(music.filePath(name));
        f.open(QIODevice::WriteOnly);
        return f.fileName();
    };

    test::WindowFixture f;
    // Three copies of one song: the backup comes first in the library, the
    // artist's own folder was added first.
    f.core->addTrack(song(QStringLiteral("Salt Road"), QStringLiteral("Mira Solberg"),
                          file(QStringLiteral("Backup 2019/Mira Solberg/Salt Road.mp3")), 160, 9));
    f.core->addTrack(song(QStringLiteral("Salt Road"), QStringLiteral("Mira Solberg"),
                          file(QStringLiteral("Downloads/Salt Road (1).mp3")), 160, 0));
    library::TrackRecord original = song(QStringLiteral("Salt Road"), QStringLiteral("Mira Solberg"),
                                         file(QStringLiteral("Mira Solberg/Low Tide Letters/Salt Road.mp3")), 160, 4);
    original.dateAdded = QDateTime(QDate(2018, 11, 8), QTime(20, 5), Qt::UTC);
    f.core->addTrack(original);
    f.core->addTrack(song(QStringLiteral("Harbour Lights"), QStringLiteral("Paper Boats"),
                          file(QStringLiteral("harbour.mp3")), 128, 14));
    f.core->addTrack(
        song(QStringLiteral("Cedar Smoke"), QStringLiteral("Mira Solberg"), file(QStringLiteral("cedar.mp3")), 192, 3));
    f.core->addTrack(song(QStringLiteral("Harbour Lights"), QStringLiteral("Paper Boats"),
                          file(QStringLiteral("harbour 320.mp3")), 320, 2));
    f.core->addTrack(song(QStringLiteral("Cedar Smoke"), QStringLiteral("Mira Solberg"),
                          music.filePath(QStringLiteral("gone/cedar.mp3")), 192, 1));
    f.core->addTrack(song(QStringLiteral("Northern Lights"), QStringLiteral("Eve Arden"),
                          QStringLiteral("/media/me/Archive/Eve Arden/northern.mp3"), 256, 5));
    f.core->addTrack(song(QStringLiteral("Glass Elevator"), QStringLiteral("Eve Arden"),
                          music.filePath(QStringLiteral("lost/glass.mp3")), 192, 0));

    window::MainWindow &w = f.make();
    if (!w.start())
        return 1;
    w.show();
    // The face asks for the start itself once it is shown; let the library
    // load before anything else.
    QTest::qWait(2500);

    w.handleFaceCommand(QStringLiteral("IDC_FS_findDuplicates"),
                        QStringLiteral("true,false,false,true,false,false,false,false"));
    if (!save(w, out, "duplicate-review.png"))
        return 1;
    const auto close = [&w](const char *panel) {
        MainWindowProbe(w)
            .face()
            .rootObject()
            ->findChild<QObject *>(QString::fromLatin1(panel))
            ->setProperty("open", false);
    };
    close("duplicateReview");

    w.handleFaceCommand(QStringLiteral("IDC_FS_findDeadTracks"), {});
    if (!save(w, out, "dead-track-review.png"))
        return 1;
    close("deadTrackReview");
    w.handleFaceCommand(QStringLiteral("IDC_FS_don'tDeleteFromLibrary"), {});

    // The Delete button over a selected track, the alert that offers Undo
    // and the history (entries only: no file moves).
    MainWindowProbe probe(w);
    probe.selectedPlaylist() = libraryclient::findPlaylist(probe.librarySource(), f.core->libraryPlaylistId());
    probe.selectedTrack() = libraryclient::findTrack(probe.selectedPlaylist(), 6);
    QTreeView *list = probe.libraryList().view();
    const QModelIndex library = list->model()->index(0, 0);
    list->expand(library);
    list->selectionModel()->select(list->model()->index(6, 0, library),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.handleFaceCommand(QStringLiteral("IDC_FS_delete"), {});
    if (!save(w, out, "delete.png"))
        return 1;
    close("deletePanel");
    w.handleFaceCommand(QStringLiteral("IDC_FS_deleteFromLibrary"),
                        QString::number(probe.selectedTrack()->databaseId()));
    if (!save(w, out, "undo.png"))
        return 1;
    close("alertPanel");
    w.handleFaceCommand(QStringLiteral("IDC_FS_okalert"), {});
    w.handleFaceCommand(QStringLiteral("IDC_FS_showHistory"), {});
    if (!save(w, out, "history.png"))
        return 1;
    close("historyPanel");
    w.handleFaceCommand(QStringLiteral("IDC_FS_cancel"), {});

    // A removal two fifths of the way through.
    MainWindowProbe(w).face().setVariable(QStringLiteral("_root.activationtxt"),
                                          QStringLiteral("Removing Duplicates..."));
    MainWindowProbe(w).face().setVariable(QStringLiteral("_root.enableactivationmovie"), QStringLiteral("true"));
    w.jobStatus().reportProgress(QStringLiteral("Removing duplicates"), 4210, 10000);
    return save(w, out, "progress.png") ? 0 : 1;
}
