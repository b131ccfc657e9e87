// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: start-up, layout, the command gate and table, feedback
// through the face, and the window procedures.
#include "BusContract.h"
#include "WindowFixture.h"
#include "libraryclient/LibraryLookups.h"
#include "protocol/BusNames.h"
#include "widgets/TreeGrid.h"
#include "window/DuplicateReviewModel.h"
#include "window/FaceView.h"
#include "window/InputFilters.h"
#include "window/IntervalTimer.h"
#include "window/MainWindowBus.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QQmlContext>
#include <QQuickItem>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>
#include <QWheelEvent>
#include <tuple>

using namespace tidyfox;
using tidyfox::window::MainWindowProbe;
using tidyfox::window::WindowState;

class tst_Window : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startUpSetsAboutTextsAndArrangesTheWindow();
    void gridKeepsItsTwipsSizeOnOtherScreens();
    void secondCopyIsWarnedOnceAndEnds();
    void crashedCopyNeverBlocksTheNextStart();
    void gateDropsAllButHelpExitAndMinimise();
    void commandTableReactions();
    void okFilterArmsDuplicateRemovalInOrder();
    void deadTracksCommandArmsItsTimer();
    void deadTrackReviewSparesDisconnectedDrivesAndDeletesWhatIsTicked();
    void duplicateReviewKeepsTheChosenCopyWithTheGroupsHistory();
    void looseAndSoundFindingsGoAsTheReviewedSet();
    void deleteButtonJobsAndTheirUndo();
    void helpOpensTheHelpPageAndExitEnds();
    void alertsHideTheGridAndSetTheirTrigger();
    void trackButtonsFollowTheSelection();
    void faceSwallowsOnlyPressesOfTheMenuGestures();
    void wheelScrollsTheGridThreeRowsANotchOnlyWhenActive();
    void tabTakesTheKeyboardIntoTheListAndOut();
    void automationSurfaceMatchesItsDescription();
};

void tst_Window::startUpSetsAboutTextsAndArrangesTheWindow()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    QCOMPARE(f.valueOf(QStringLiteral("_root.aboutversion")), QStringLiteral("1.1.0.1"));
    QCOMPARE(f.valueOf(QStringLiteral("_root.aboutdescription")),
             QStringLiteral("Tidyfox is an easy-to-use tool to clean up your iTunes library contents. You can remove "
                            "duplicates using duplicate filter, and deleate dead tracks."));
    QCOMPARE(w.size(), QSize(450, 525));
    QCOMPARE(MainWindowProbe(w).face().geometry(), QRect(0, 0, 450, 525));
    QCOMPARE(MainWindowProbe(w).libraryList().geometry(), QRect(85, 196, 293, 229));
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.windowTitle(), QStringLiteral(" Tidyfox"));
    // Timers wait, disabled, with their design-time intervals.
    QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());
    QCOMPARE(MainWindowProbe(w).startTimer().interval(), 8000);
    QCOMPARE(MainWindowProbe(w).duplicatesTimer().interval(), 2000);
    QCOMPARE(MainWindowProbe(w).deadTracksTimer().interval(), 2000);
    QVERIFY(MainWindowProbe(w).face().hasMovie());
}

void tst_Window::gridKeepsItsTwipsSizeOnOtherScreens()
{
    test::WindowFixture f;
    window::WindowEnvironment env = f.environment();
    env.twipsPerPixelX = 12;
    env.twipsPerPixelY = 12;
    window::MainWindow &w = f.make(std::move(env));
    QVERIFY(w.start());
    QCOMPARE(w.size(), QSize(450, 525));
    QCOMPARE(MainWindowProbe(w).libraryList().geometry(), QRect(85, 196, 367, 286));
}

void tst_Window::secondCopyIsWarnedOnceAndEnds()
{
    test::WindowFixture first;
    QVERIFY(first.make().start());

    test::WindowFixture second;
    window::WindowEnvironment env = second.environment();
    env.lockFolder = first.lockDir.path();
    window::MainWindow &w = second.make(std::move(env));
    QVERIFY(!w.start());
    QCOMPARE(second.warnings.size(), size_t(1));
    QCOMPARE(second.warnings[0].first, QStringLiteral("Tidyfox"));
    QCOMPARE(second.warnings[0].second, QStringLiteral("Tidyfox is already running"));
    QCOMPARE(second.exits, std::vector<int>{0});
    // Nothing reached the second copy's face, and the first copy goes on.
    QVERIFY(second.valueOf(QStringLiteral("_root.aboutversion")).isEmpty());
    QVERIFY(first.exits.empty());
    QVERIFY(!MainWindowProbe(*first.window).state().isIn(WindowState::Phase::Closing));
}

void tst_Window::crashedCopyNeverBlocksTheNextStart()
{
    test::WindowFixture f;
    // Another process takes the lock and is killed, as a crash would end it.
    QProcess holder;
    // -o: only flock itself holds the lock, so killing it releases it.
    holder.start(QStringLiteral("flock"), {QStringLiteral("-o"), f.lockDir.filePath(QStringLiteral("Vantorotidyfox")),
                                           QStringLiteral("sleep"), QStringLiteral("5")});
    QVERIFY(holder.waitForStarted());
    QTest::qWait(300);
    {
        test::WindowFixture blocked;
        window::WindowEnvironment env = blocked.environment();
        env.lockFolder = f.lockDir.path();
        QVERIFY(!blocked.make(std::move(env)).start());
    }
    holder.kill();
    holder.waitForFinished();
    QVERIFY(f.make().start());
    QVERIFY(f.warnings.empty());
}

void tst_Window::gateDropsAllButHelpExitAndMinimise()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();
    for (bool starting : {true, false}) {
        WindowState &state = MainWindowProbe(w).state();
        state.leave(starting ? WindowState::Phase::RemovingDuplicates : WindowState::Phase::Connecting);
        state.enter(starting ? WindowState::Phase::Connecting : WindowState::Phase::RemovingDuplicates);
        f.variables.clear();
        w.handleFaceCommand(QStringLiteral("IDC_FS_about"), {});
        QVERIFY(MainWindowProbe(w).libraryList().isVisibleTo(&w));
        w.handleFaceCommand(QStringLiteral("start"), {});
        QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());
        w.handleFaceCommand(QStringLiteral("IDC_FS_okfilter"),
                            QStringLiteral("true,false,false,false,false,false,false,true"));
        QVERIFY(!MainWindowProbe(w).duplicatesTimer().isEnabled());
        QVERIFY(f.variables.empty());

        w.handleFaceCommand(QStringLiteral("IDC_FS_help"), {});
        QCOMPARE(f.opened.size(), size_t(starting ? 1 : 2));
        w.handleFaceCommand(QStringLiteral("IDC_FS_mini"), {});
        QVERIFY(w.windowState() & Qt::WindowMinimized);
        w.setWindowState(Qt::WindowNoState);
    }
    MainWindowProbe(w).state().leave(WindowState::Phase::RemovingDuplicates);
    w.handleFaceCommand(QStringLiteral("IDC_FS_exit"), {});
    QCOMPARE(f.exits, std::vector<int>{0});
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::Closing));
}

void tst_Window::commandTableReactions()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();

    w.handleFaceCommand(QStringLiteral("start"), {});
    QVERIFY(MainWindowProbe(w).startTimer().isEnabled());
    QCOMPARE(MainWindowProbe(w).startTimer().interval(), 1000);
    MainWindowProbe(w).startTimer().setEnabled(false);

    const QStringList hiding{QStringLiteral("IDC_FS_about"), QStringLiteral("IDC_FS_removeDuplicate")};
    const QStringList showing{QStringLiteral("IDC_FS_transfer"),
                              QStringLiteral("IDC_FS_cancel"),
                              QStringLiteral("IDC_FS_exitTrackInfoWindow"),
                              QStringLiteral("IDC_FS_listNameCanceld"),
                              QStringLiteral("IDC_FS_don'tDeleteFromLibrary"),
                              QStringLiteral("IDC_FS_don'tDeleteFromhard"),
                              QStringLiteral("IDC_FS_don'tRemoveDuplicateFromlibrary"),
                              QStringLiteral("IDC_FS_don'tRemoveDuplicateFromhard"),
                              QStringLiteral("IDC_FS_okalert")};
    for (const QString &hide : hiding) {
        for (const QString &show : showing) {
            w.handleFaceCommand(hide, {});
            QVERIFY2(!MainWindowProbe(w).libraryList().isVisibleTo(&w), qPrintable(hide));
            w.handleFaceCommand(show, {});
            QVERIFY2(MainWindowProbe(w).libraryList().isVisibleTo(&w), qPrintable(show));
        }
    }
    // Commands match exactly: another spelling is not a command.
    w.handleFaceCommand(QStringLiteral("IDC_FS_about"), {});
    w.handleFaceCommand(QStringLiteral("IDC_FS_Cancel"), {});
    QVERIFY(!MainWindowProbe(w).libraryList().isVisibleTo(&w));
    w.handleFaceCommand(QStringLiteral("IDC_FS_Exit"), {});
    QVERIFY(f.exits.empty());
    // With no track selected the view command shows nothing.
    w.handleFaceCommand(QStringLiteral("IDC_FS_cancel"), {});
    f.variables.clear();
    w.handleFaceCommand(QStringLiteral("IDC_FS_viewTrack2"), {});
    QVERIFY(MainWindowProbe(w).libraryList().isVisibleTo(&w));
    QVERIFY(f.variables.empty());
}

void tst_Window::okFilterArmsDuplicateRemovalInOrder()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();
    MainWindowProbe(w).hideList();
    f.variables.clear();
    w.handleFaceCommand(QStringLiteral("IDC_FS_okfilter"), {});
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::RemovingDuplicates));
    QCOMPARE(f.names(), (QStringList{QStringLiteral("_root.disablebtns"), QStringLiteral("_root.activationtxt"),
                                     QStringLiteral("_root.enableactivationmovie")}));
    QCOMPARE(f.variables[0].second, QStringLiteral("1"));
    QCOMPARE(f.variables[1].second, QStringLiteral("Removing Duplicates..."));
    QCOMPARE(MainWindowProbe(w).duplicateFilter(), QString());
    QVERIFY(MainWindowProbe(w).duplicatesTimer().isEnabled());
    QCOMPARE(MainWindowProbe(w).duplicatesTimer().interval(), 2000);
    QVERIFY(MainWindowProbe(w).libraryList().isVisibleTo(&w));

    // The empty filter ends through the failure end, with the gate reopened.
    MainWindowProbe(w).tickDuplicatesTimer();
    QVERIFY(!MainWindowProbe(w).duplicatesTimer().isEnabled());
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::RemovingDuplicates));
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")),
             QStringLiteral("Can not delete all duplicates.\r0 Duplicate track(s) have been deleted"));
    QCOMPARE(f.names().last(), QStringLiteral("_root.enablebtns"));
}

void tst_Window::deadTracksCommandArmsItsTimer()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    f.variables.clear();
    w.handleFaceCommand(QStringLiteral("IDC_FS_deleteDeadTracks"), {});
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie")}));
    QCOMPARE(f.variables[0].second, QStringLiteral("Deleting dead tracks..."));
    QVERIFY(MainWindowProbe(w).deadTracksTimer().isEnabled());
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::RemovingDuplicates));
    // Without a library source nothing is deleted.
    MainWindowProbe(w).tickDeadTracksTimer();
    QVERIFY(!MainWindowProbe(w).deadTracksTimer().isEnabled());
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("0 Track have been deleted."));
    QCOMPARE(f.names().last(), QStringLiteral("_root.disableactivationmovie"));
}

void tst_Window::deadTrackReviewSparesDisconnectedDrivesAndDeletesWhatIsTicked()
{
    QTemporaryDir music;
    QFile alive(music.filePath(QStringLiteral("alive.mp3")));
    QVERIFY(alive.open(QIODevice::WriteOnly));
    test::WindowFixture f;
    const auto add = [&f](const QString &name, const QString &location, library::TrackKind kind) {
        library::TrackRecord t;
        t.name = name;
        t.kind = kind;
        t.location = location;
        return f.core->addTrack(t).databaseId;
    };
    add(QStringLiteral("Alive"), alive.fileName(), library::TrackKind::File);
    const std::int32_t gone =
        add(QStringLiteral("Gone"), music.filePath(QStringLiteral("gone.mp3")), library::TrackKind::File);
    const std::int32_t away =
        add(QStringLiteral("Away"), QStringLiteral("/media/tidyfox-unplugged/away.mp3"), library::TrackKind::File);
    add(QStringLiteral("Radio"), QStringLiteral("http://radio.example/live"), library::TrackKind::Url);
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("start"), {});
    MainWindowProbe(w).tickStartTimer();

    w.handleFaceCommand(QStringLiteral("IDC_FS_findDeadTracks"), {});
    auto *review = MainWindowProbe(w).face().rootContext()->contextProperty("deadTrackReview").value<QObject *>();
    auto *model = qobject_cast<QAbstractItemModel *>(review);
    QVERIFY(model);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(review->property("disconnectedCount").toInt(), 1);
    QCOMPARE(review->property("tickedCount").toInt(), 1);
    QVERIFY(!review->property("allTicked").toBool());
    QString ids;
    QMetaObject::invokeMethod(review, "tickedIds", Q_RETURN_ARG(QString, ids));
    QCOMPARE(ids, QString::number(gone));
    QTRY_VERIFY(MainWindowProbe(w)
                    .face()
                    .rootObject()
                    ->findChild<QQuickItem *>(QStringLiteral("deadTrackReview"))
                    ->isVisible());
    QVERIFY(!MainWindowProbe(w).libraryList().isVisible());

    // A list it cannot read whole deletes nothing, not even the part that
    // looks right.
    w.handleFaceCommand(QStringLiteral("IDC_FS_deleteReviewedDeadTracks"), ids + QStringLiteral(",junk"));
    QVERIFY(f.valueOf(QStringLiteral("_root.alerttxt")).endsWith(QStringLiteral("nothing was deleted.")));
    QVERIFY(!MainWindowProbe(w).deadTracksTimer().isEnabled());
    QVERIFY(f.core->track(gone));

    // What the face sends for the ticked subset: only that goes, with the
    // run's own texts.
    w.handleFaceCommand(QStringLiteral("IDC_FS_deleteReviewedDeadTracks"), ids);
    MainWindowProbe(w).tickDeadTracksTimer();
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("1 Dead track(s) have been deleted"));
    QVERIFY(!f.core->track(gone));
    QVERIFY(f.core->track(away));
    QCOMPARE(f.core->playlistTracks(f.core->libraryPlaylistId()).size(), 3u);

    // The alert offers to undo the run, which puts the entry back.
    QVERIFY(MainWindowProbe(w)
                .face()
                .rootContext()
                ->contextProperty("jobStatus")
                .value<QObject *>()
                ->property("undoJob")
                .toInt() > 0);
    w.handleFaceCommand(QStringLiteral("IDC_FS_undoLast"), {});
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("1 track(s) have been restored"));
    QVERIFY(f.core->track(gone));

    // The plain deletion spares the unplugged drive as the review does, and
    // says so under its alert.
    w.handleFaceCommand(QStringLiteral("IDC_FS_deleteDeadTracks"), {});
    MainWindowProbe(w).tickDeadTracksTimer();
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("1 Dead track(s) have been deleted"));
    QVERIFY(!f.core->track(gone));
    QVERIFY(f.core->track(away));
    QCOMPARE(
        MainWindowProbe(w)
            .face()
            .rootContext()
            ->contextProperty("jobStatus")
            .value<QObject *>()
            ->property("alertDetail"),
        QStringLiteral("Kept 1 track whose file is on a drive that is not connected now: connect it and delete again, "
                       "or pick them in Review."));
}

void tst_Window::deleteButtonJobsAndTheirUndo()
{
    QTemporaryDir music(qEnvironmentVariable("TIDYFOX_TEST_ROOT") + QStringLiteral("/music-XXXXXX"));
    test::WindowFixture f;
    std::vector<std::int32_t> ids;
    for (const char *name : {"a", "b", "c"}) {
        QFile file(music.filePath(QLatin1String(name) + QStringLiteral(".mp3")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ID3") == 3);
        library::TrackRecord t;
        t.name = QLatin1String(name);
        t.location = file.fileName();
        ids.push_back(f.core->addTrack(t).databaseId);
    }
    const std::int32_t mix = f.core->addPlaylist(QStringLiteral("Mix")).playlistId;
    f.core->appendToPlaylist(mix, {ids[0], ids[1]});
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("start"), {});
    MainWindowProbe(w).tickStartTimer();
    QObject *context[2] = {MainWindowProbe(w).face().rootContext()->contextProperty("deleteChoice").value<QObject *>(),
                           MainWindowProbe(w).face().rootContext()->contextProperty("jobHistory").value<QObject *>()};
    const auto alert = [&f] { return f.valueOf(QStringLiteral("_root.alerttxt")); };
    const auto mixTracks = [&] { return f.core->playlistTracks(mix).size(); };

    // What the Delete button offers follows what the list shows selected
    // (rows: 0 the library, 1 the playlist; a playlist's tracks from 1, under
    // its header row), never what was selected before.
    MainWindowProbe probe(w);
    QTreeView *view = probe.libraryList().view();
    const auto select = [view](std::vector<std::pair<int, int>> rows) {
        view->clearSelection();
        for (const auto &[playlist, track] : rows) {
            const QModelIndex top = view->model()->index(playlist, 0);
            if (track > 0)
                view->expand(top);
            view->selectionModel()->select(track > 0 ? view->model()->index(track, 0, top) : top,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    };
    const auto offered = [&] {
        f.variables.clear();
        w.handleFaceCommand(QStringLiteral("IDC_FS_delete"), {});
        return alert().isEmpty() ? context[0]->property("mode").toString() : alert();
    };
    probe.selectedPlaylist() = libraryclient::findPlaylist(probe.librarySource(), mix);
    probe.selectedTrack() = libraryclient::findTrack(probe.selectedPlaylist(), 2);
    QCOMPARE(offered(), QStringLiteral("Select the tracks or the playlist to delete first."));
    select({{1, 0}});
    QCOMPARE(offered(), QStringLiteral("playlist"));
    select({{1, 2}});
    QCOMPARE(offered(), QStringLiteral("playlistTracks"));
    QCOMPARE(context[0]->property("playlistArgs").toString(), QStringLiteral("%1;%2").arg(mix).arg(ids[1]));
    select({{0, 1}, {1, 0}});
    QCOMPARE(offered(),
             QStringLiteral("Select either tracks or one playlist to delete, not both; nothing was deleted."));
    select({{0, 1}, {1, 1}});
    QCOMPARE(offered(), QStringLiteral("Select tracks of one playlist at a time to delete them; nothing was deleted."));
    select({{0, 0}});
    QVERIFY(offered().startsWith(QStringLiteral("The library itself cannot be deleted.")));

    // Ids that cannot be read whole delete nothing, whatever part of them
    // looks right.
    const QString a = QString::number(ids[0]);
    const QString list = QStringLiteral("%1;%2").arg(mix);
    const std::pair<const char *, QString> garbled[] = {
        {"IDC_FS_deleteFromhard", a + QStringLiteral(",x")},
        {"IDC_FS_deleteFromLibrary", a + QStringLiteral(",")},
        {"IDC_FS_deleteFromLibrary", QStringLiteral(",,") + a},
        {"IDC_FS_deleteFromLibrary", QStringLiteral("+") + a},
        {"IDC_FS_deleteFromLibrary", a + QStringLiteral(" 2")},
        {"IDC_FS_deleteFromLibrary", a + QStringLiteral(",4294967297")},
        {"IDC_FS_deleteFromLibrary", QString()},
        {"IDC_FS_deleteReviewedDeadTracks", a + QStringLiteral(";2")},
        {"IDC_FS_removeFromPlaylist", list.arg(a + QStringLiteral(",-2"))},
        {"IDC_FS_removeFromPlaylist", QStringLiteral("%1,%1;%2").arg(mix).arg(a)},
        {"IDC_FS_deletePlaylist", QStringLiteral("%1,%1").arg(mix)},
    };
    for (const auto &[command, args] : garbled) {
        f.variables.clear();
        w.handleFaceCommand(QLatin1String(command), args);
        QVERIFY2(alert().endsWith(QStringLiteral("nothing was deleted.")), command);
    }
    QVERIFY(f.core->track(ids[0]));
    QCOMPARE(mixTracks(), 2u);
    QCOMPARE(f.core->playlists().size(), 2u);

    // Entry and file go, and Undo brings both back, in the playlist too.
    w.handleFaceCommand(QStringLiteral("IDC_FS_deleteFromhard"), QString::number(ids[0]));
    QCOMPARE(alert(), QStringLiteral("1 track(s) have been deleted"));
    QVERIFY(!f.core->track(ids[0]));
    QVERIFY(!QFile::exists(music.filePath(QStringLiteral("a.mp3"))));
    QCOMPARE(mixTracks(), 1u);
    w.handleFaceCommand(QStringLiteral("IDC_FS_undoLast"), {});
    QCOMPARE(alert(), QStringLiteral("1 track(s) have been restored"));
    QVERIFY(QFile::exists(music.filePath(QStringLiteral("a.mp3"))));
    QCOMPARE(mixTracks(), 2u);

    w.handleFaceCommand(QStringLiteral("IDC_FS_removeFromPlaylist"), QStringLiteral("%1;%2").arg(mix).arg(ids[1]));
    QCOMPARE(alert(), QStringLiteral("1 track(s) have been removed from the playlist"));
    QCOMPARE(mixTracks(), 1u);
    QVERIFY(f.core->track(ids[1]));
    w.handleFaceCommand(QStringLiteral("IDC_FS_deletePlaylist"), QString::number(mix));
    QCOMPARE(alert(), QStringLiteral("The playlist has been deleted"));
    QCOMPARE(f.core->playlists().size(), 1u);
    // Asked again, as a stale selection once did: the reason names no id.
    w.handleFaceCommand(QStringLiteral("IDC_FS_deletePlaylist"), QString::number(mix));
    QCOMPARE(alert(), QStringLiteral("Can not delete the playlist."));
    QCOMPARE(MainWindowProbe(w)
                 .face()
                 .rootContext()
                 ->contextProperty("jobStatus")
                 .value<QObject *>()
                 ->property("alertDetail"),
             QStringLiteral("The playlist is no longer in the library."));
    // The library playlist itself is refused, and the gate opens again.
    w.handleFaceCommand(QStringLiteral("IDC_FS_deletePlaylist"), QString::number(f.core->libraryPlaylistId()));
    QCOMPARE(alert(), QStringLiteral("Can not delete the playlist."));
    QVERIFY(MainWindowProbe(w).state().admits(QStringLiteral("IDC_FS_refreshList2")));

    // The history lists the jobs, newest first; restoring the playlist's
    // deletion brings it back with what it held then.
    w.handleFaceCommand(QStringLiteral("IDC_FS_showHistory"), {});
    auto *history = qobject_cast<QAbstractItemModel *>(context[1]);
    QAbstractItemModelTester tester(history, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(history->rowCount(), 3);
    const int playlistJob = history->index(0, 0).data(Qt::UserRole + 1).toInt();
    w.handleFaceCommand(QStringLiteral("IDC_FS_restoreJob"), QString::number(playlistJob));
    QCOMPARE(f.core->playlists().size(), 2u);
    QCOMPARE(mixTracks(), 1u);
    w.handleFaceCommand(QStringLiteral("IDC_FS_restoreJob"), QString::number(playlistJob));
    QCOMPARE(alert(), QStringLiteral("The job could not be restored."));
}

void tst_Window::looseAndSoundFindingsGoAsTheReviewedSet()
{
    test::WindowFixture f;
    for (const char *name : {"Harbour Lights", "harbour lights (2011 Remaster)"}) {
        library::TrackRecord t;
        t.name = QString::fromUtf8(name);
        t.artist = QStringLiteral("Band");
        t.location = QStringLiteral("/music/%1.mp3").arg(QString::fromUtf8(name));
        f.core->addTrack(t);
    }
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("start"), {});
    MainWindowProbe(w).tickStartTimer();
    auto *review = MainWindowProbe(w).face().rootContext()->contextProperty("duplicateReview").value<QObject *>();
    auto *status = MainWindowProbe(w).face().rootContext()->contextProperty("jobStatus").value<QObject *>();

    // Only the ninth item chosen: the loose names find the pair, and even in
    // library order it goes as the reviewed set, never as IDC_FS_okfilter.
    w.handleFaceCommand(QStringLiteral("IDC_FS_findDuplicates"),
                        QStringLiteral("false,false,false,false,false,false,false,true,loose"));
    QCOMPARE(review->property("groupCount").toInt(), 1);
    review->setProperty("rule", QStringLiteral("first"));
    QString command;
    QMetaObject::invokeMethod(review, "confirmCommand", Q_RETURN_ARG(QString, command));
    QCOMPARE(command, QStringLiteral("IDC_FS_removeReviewed"));

    // By sound, the files not there: nothing to listen to, nothing found, and
    // the window is itself again.
    w.handleFaceCommand(QStringLiteral("IDC_FS_findDuplicates"),
                        QStringLiteral("false,false,false,false,false,false,false,true,sound"));
    QVERIFY(f.valueOf(QStringLiteral("_root.activationtxt")).startsWith(QStringLiteral("Finding duplicates")));
    QVERIFY(!status->property("listening").toBool());
    QVERIFY(MainWindowProbe(w).state().admits(QStringLiteral("IDC_FS_refreshList2")));
}

void tst_Window::duplicateReviewKeepsTheChosenCopyWithTheGroupsHistory()
{
    test::WindowFixture f;
    std::vector<std::int32_t> ids;
    for (const auto &[bitRate, plays] : {std::pair{128, 1}, {320, 2}, {192, 4}}) {
        library::TrackRecord t;
        t.name = QStringLiteral("Song");
        t.artist = QStringLiteral("Band");
        t.bitRate = bitRate;
        t.playCount = plays;
        t.location = QStringLiteral("/music/%1.mp3").arg(bitRate);
        ids.push_back(f.core->addTrack(t).databaseId);
    }
    library::TrackRecord other;
    other.name = QStringLiteral("Other");
    const std::int32_t otherId = f.core->addTrack(other).databaseId;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("start"), {});
    MainWindowProbe(w).tickStartTimer();

    // Name and artist, files kept: the walk's own outcome first.
    const QString filter = QStringLiteral("true,false,false,true,false,false,false,true");
    w.handleFaceCommand(QStringLiteral("IDC_FS_findDuplicates"), filter);
    auto *review = MainWindowProbe(w).face().rootContext()->contextProperty("duplicateReview").value<QObject *>();
    auto *model = qobject_cast<QAbstractItemModel *>(review);
    QVERIFY(model);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(review->property("groupCount").toInt(), 1);
    QTRY_VERIFY(MainWindowProbe(w)
                    .face()
                    .rootObject()
                    ->findChild<QQuickItem *>(QStringLiteral("duplicateReview"))
                    ->isVisible());
    const auto confirm = [review] {
        QString command;
        QString args;
        QMetaObject::invokeMethod(review, "confirmCommand", Q_RETURN_ARG(QString, command));
        QMetaObject::invokeMethod(review, "confirmArgs", Q_RETURN_ARG(QString, args));
        return std::pair{command, args};
    };
    // First shown: the best copy (no lossless one here: the highest bit
    // rate). Library order, nothing else changed, is the filter's own run.
    QCOMPARE(review->property("rule").toString(), QStringLiteral("best"));
    QVERIFY(model->index(1, 0).data(window::DuplicateReviewModel::StaysRole).toBool());
    QCOMPARE(model->index(1, 0).data(window::DuplicateReviewModel::FolderRole).toString(), QStringLiteral("/music"));
    review->setProperty("rule", QStringLiteral("first"));
    QCOMPARE(confirm(), std::pair(QStringLiteral("IDC_FS_okfilter"), filter));

    // The highest bit rate stays and takes the group's plays.
    review->setProperty("mergeHistory", true);
    review->setProperty("rule", QStringLiteral("bitrate"));
    QCOMPARE(review->property("copies").toInt(), 2);
    QCOMPARE(review->property("totalsText").toString(), QStringLiteral("2 copies, their files kept"));
    const auto [command, args] = confirm();
    QCOMPARE(command, QStringLiteral("IDC_FS_removeReviewed"));
    QCOMPARE(args, QStringLiteral("true;true;%1:%2,%3:%2").arg(ids[0]).arg(ids[1]).arg(ids[2]));
    w.handleFaceCommand(command, args);
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::RemovingDuplicates));
    MainWindowProbe(w).tickDuplicatesTimer();
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("2 Duplicate(s) have been deleted"));
    QVERIFY(!f.core->track(ids[0]) && !f.core->track(ids[2]));
    QCOMPARE(f.core->track(ids[1])->playCount, 7);

    // Arguments of another form remove nothing, not even a pair that reads.
    const QString pair = QStringLiteral("%1:%2").arg(otherId).arg(ids[1]);
    for (const QString &garbled : {QStringLiteral("yes;no;") + pair, QStringLiteral("false;false;") + pair + ',',
                                   QStringLiteral("false;false;,") + pair, QStringLiteral("false;false;") + pair + ":3",
                                   QStringLiteral("false;false;") + pair + QStringLiteral(",x:1")}) {
        w.handleFaceCommand(QStringLiteral("IDC_FS_removeReviewed"), garbled);
        QVERIFY2(!MainWindowProbe(w).state().isIn(WindowState::Phase::RemovingDuplicates), qPrintable(garbled));
    }
    QCOMPARE(f.core->playlistTracks(f.core->libraryPlaylistId()).size(), 2u);

    // A pair that reads but that the last review never showed: nothing of it
    // goes, and the line under the alert names it.
    w.handleFaceCommand(QStringLiteral("IDC_FS_removeReviewed"), QStringLiteral("false;false;") + pair);
    MainWindowProbe(w).tickDuplicatesTimer();
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("0 Duplicate(s) have been deleted"));
    auto *status = MainWindowProbe(w).face().rootContext()->contextProperty("jobStatus").value<QObject *>();
    QVERIFY(status->property("alertDetail").toString().contains(pair));
    QVERIFY(f.core->track(otherId) && f.core->track(ids[1]));

    // The bytes to the trash count each file once, and none that a track
    // staying in its group uses: the keeper's own file, a spared copy's.
    cleaning::DuplicateReview shared;
    cleaning::DuplicateGroup group;
    for (const auto &[location, size, there] : {std::tuple{"/m/a.mp3", 100, true},
                                                {"/m/a.mp3", 100, true},
                                                {"/m/b.mp3", 2000, true},
                                                {"/m/b.mp3", 2000, true},
                                                {"/m/c.mp3", 40000, false},
                                                {"/m/d.mp3", 5300, true}}) {
        cleaning::ReviewedTrack t;
        t.databaseId = int(group.tracks.size()) + 100;
        t.location = QString::fromLatin1(location);
        t.size = size;
        t.fileThere = there;
        t.goes = !group.tracks.empty();
        group.tracks.push_back(t);
    }
    shared.groups = {group, group};
    shared.groups[1].tracks.resize(2);
    auto *reviewModel = qobject_cast<window::DuplicateReviewModel *>(review);
    reviewModel->show(shared, QStringLiteral("true,false,false,false,false,false,false,false"), false);
    QCOMPARE(reviewModel->totalsText(), QStringLiteral("6 copies, 7.3 kB to the trash"));
    reviewModel->setSpared(2, true);
    QCOMPARE(reviewModel->totalsText(), QStringLiteral("5 copies, 5.3 kB to the trash"));
    reviewModel->setRule(QStringLiteral("first"));
    QCOMPARE(reviewModel->totalsText(), QStringLiteral("5 copies, 5.3 kB to the trash"));
    reviewModel->setSpared(2, false);
    reviewModel->setSpared(5, true);
    QCOMPARE(reviewModel->totalsText(), QStringLiteral("5 copies, 2.0 kB to the trash"));
}

void tst_Window::helpOpensTheHelpPageAndExitEnds()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("IDC_FS_help"), {});
    QCOMPARE(f.opened.size(), size_t(1));
    QCOMPARE(f.opened[0], QUrl::fromLocalFile(QStringLiteral(TIDYFOX_APP_DIR "/Help.html")));
    // A desktop with no program for the page: Tidyfox shows it itself.
    f.desktopOpens = false;
    w.handleFaceCommand(QStringLiteral("IDC_FS_help"), {});
    auto *help = w.findChild<QWidget *>(QStringLiteral("helpWindow"));
    QVERIFY(help && help->isVisible());
    QVERIFY(help->findChild<QTextBrowser *>()->toPlainText().contains(QStringLiteral("Tidyfox")));
    MainWindowProbe(w).library() = MainWindowProbe(w).environment().createLibraryClient();
    w.handleFaceCommand(QStringLiteral("IDC_FS_exit"), {});
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::Closing));
    QVERIFY(!MainWindowProbe(w).library());
    QCOMPARE(f.exits, std::vector<int>{0});
    // Once closing, a library that quits no longer re-arms the connection
    // (the face's own "start" may have armed it during the yields above).
    MainWindowProbe(w).startTimer().setEnabled(false);
    MainWindowProbe(w).raiseLibraryQuitting();
    QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());
}

void tst_Window::alertsHideTheGridAndSetTheirTrigger()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();
    const std::pair<int, QString> kinds[] = {{16, QStringLiteral("_root.showcriticalalert")},
                                             {48, QStringLiteral("_root.showexclaminationalert")},
                                             {64, QStringLiteral("_root.showinfoalert")}};
    for (const auto &[kind, trigger] : kinds) {
        MainWindowProbe(w).showList();
        f.variables.clear();
        MainWindowProbe(w).showAlert(QStringLiteral("x"), static_cast<AlertKind>(kind));
        QVERIFY(!MainWindowProbe(w).libraryList().isVisibleTo(&w));
        QCOMPARE(f.names(),
                 (QStringList{QStringLiteral("_root.alerttitle"), QStringLiteral("_root.alerttxt"), trigger}));
        QCOMPARE(f.variables[0].second, QStringLiteral("Tidyfox"));
        QCOMPARE(f.variables[1].second, QStringLiteral("x"));
        QCOMPARE(f.variables[2].second, QStringLiteral("true"));
    }
    // Changing the busy text alone does not start the animation again.
    f.variables.clear();
    MainWindowProbe(w).showBusy(QStringLiteral("a"));
    MainWindowProbe(w).hideBusy();
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie"),
                          QStringLiteral("_root.disableactivationmovie")}));
}

void tst_Window::trackButtonsFollowTheSelection()
{
    test::WindowFixture f;
    library::TrackRecord record;
    record.name = QStringLiteral("Song");
    record.location = QStringLiteral("/music/song.mp3");
    f.core->addTrack(record);
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    libraryclient::LibraryClientPtr app = MainWindowProbe(w).environment().createLibraryClient();
    libraryclient::PlaylistPtr playlist = app->libraryPlaylist();
    libraryclient::TrackPtr track = playlist->tracks()->item(0);

    const auto run = [&](libraryclient::PlaylistPtr p, libraryclient::TrackPtr t) {
        MainWindowProbe(w).selectedPlaylist() = std::move(p);
        MainWindowProbe(w).selectedTrack() = std::move(t);
        f.variables.clear();
        MainWindowProbe(w).updateTrackButtons();
        return f.names();
    };
    QCOMPARE(run(playlist, track),
             (QStringList{QStringLiteral("_root.enableview2"), QStringLiteral("_root.enabledelete")}));
    QCOMPARE(run(nullptr, track),
             (QStringList{QStringLiteral("_root.enableview2"), QStringLiteral("_root.enabledelete")}));
    QCOMPARE(run(playlist, nullptr),
             (QStringList{QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                          QStringLiteral("_root.enabledelete")}));
    QCOMPARE(run(nullptr, nullptr),
             (QStringList{QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                          QStringLiteral("_root.disabledelete")}));
}

void tst_Window::faceSwallowsOnlyPressesOfTheMenuGestures()
{
    QObject target;
    const QPointF at(5, 5);
    QMouseEvent rightPress(QEvent::MouseButtonPress, at, at, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QMouseEvent rightRelease(QEvent::MouseButtonRelease, at, at, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent leftPress(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QKeyEvent menuPress(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
    QKeyEvent menuRelease(QEvent::KeyRelease, Qt::Key_Menu, Qt::NoModifier);
    QKeyEvent spacePress(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QVERIFY(window::input::isBlockedFaceEvent(&target, &rightPress));
    QVERIFY(window::input::isBlockedFaceEvent(&target, &menuPress));
    QVERIFY(window::input::isBlockedFaceEvent(&target, &menu));
    QVERIFY(!window::input::isBlockedFaceEvent(&target, &rightRelease));
    QVERIFY(!window::input::isBlockedFaceEvent(&target, &menuRelease));
    QVERIFY(!window::input::isBlockedFaceEvent(&target, &leftPress));
    QVERIFY(!window::input::isBlockedFaceEvent(&target, &spacePress));
}

void tst_Window::wheelScrollsTheGridThreeRowsANotchOnlyWhenActive()
{
    test::WindowFixture f;
    for (int i = 0; i < 200; ++i) {
        library::TrackRecord record;
        record.name = QStringLiteral("Track %1").arg(i);
        record.location = QStringLiteral("/music/%1.mp3").arg(i);
        f.core->addTrack(record);
    }
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    MainWindowProbe(w).librarySource() = MainWindowProbe(w).environment().createLibraryClient()->librarySource();
    MainWindowProbe(w).loadLibraryButton().click();
    MainWindowProbe(w).showList();
    MainWindowProbe(w).libraryList().raise();
    // Open the library playlist so there is something to scroll.
    QTreeView *view = MainWindowProbe(w).libraryList().view();
    view->expandAll();
    QScrollBar *bar = view->verticalScrollBar();
    QVERIFY(bar->maximum() > 5);
    bar->setValue(bar->maximum() / 2);
    const int start = bar->value();
    MainWindowProbe(w).libraryList().setFocus();
    MainWindowProbe(w).libraryList().scrollRegion(0).scroll(widgets::ScrollStep::LineDown);
    const int step = bar->value() - start;
    QVERIFY(step > 0);
    bar->setValue(start);

    const auto wheel = [&](int delta) {
        const QPointF pos = view->viewport()->rect().center();
        QWheelEvent event(pos, view->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &event);
    };
    MainWindowProbe(w).face().setFocus();
    wheel(-360);
    QCOMPARE(bar->value(), start);

    view->setFocus();
    QVERIFY(MainWindowProbe(w).libraryList().isAncestorOf(QApplication::focusWidget()) ||
            QApplication::focusWidget() == &MainWindowProbe(w).libraryList());
    wheel(-360); // three notches toward the user: three rows each down the list
    QCOMPARE(bar->value(), start + 9 * step);
    wheel(120);
    QCOMPARE(bar->value(), start + 6 * step);
}

void tst_Window::tabTakesTheKeyboardIntoTheListAndOut()
{
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.handleFaceCommand(QStringLiteral("start"), {});
    MainWindowProbe(w).tickStartTimer();
    QQuickItem *root = MainWindowProbe(w).face().rootObject();
    QObject *bridge = MainWindowProbe(w).face().rootContext()->contextProperty("libraryList").value<QObject *>();
    QTreeView *view = MainWindowProbe(w).libraryList().view();
    const auto item = [root](const char *name) { return root->findChild<QQuickItem *>(QLatin1String(name)); };

    // From the search field, Tab goes into the list, and the face rings it.
    MainWindowProbe(w).face().setFocus();
    item("listSearch")->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QTRY_VERIFY(bridge->property("focused").toBool());
    // Out again, to the first control after it that takes the keyboard.
    QTest::keyClick(view, Qt::Key_Tab);
    QTRY_VERIFY(item("refreshButton")->hasActiveFocus());
    QVERIFY(!bridge->property("focused").toBool());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QTest::keyClick(view, Qt::Key_Backtab);
    QTRY_VERIFY(item("listSearch")->hasActiveFocus());
}

void tst_Window::automationSurfaceMatchesItsDescription()
{
    // Scripts rely on the published description; the live object must offer
    // exactly that.
    test::WindowFixture f;
    window::MainWindow &w = f.make();
    QVERIFY(window::MainWindowBus::publish(&w));
    const QString iface = QString::fromLatin1(protocol::kWindowInterface);
    const QStringList described = test::busContract(test::publishedDescription(iface), iface);
    QCOMPARE(described.size(), 3);
    QCOMPARE(test::busContract(test::introspect(QString::fromLatin1(protocol::kWindowServiceName),
                                                QString::fromLatin1(protocol::kWindowObjectPath)),
                               iface),
             described);
    QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(protocol::kWindowServiceName));
}

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
