// The main window: start-up, layout, the command gate and table, feedback
// through the movie, and the window procedures.
#include "WindowFixture.h"

#include "platform/UltraGrid.h"
#include "shell/MoviePlayer.h"
#include "shell/VbTimer.h"
#include "shell/modMain.h"
#include "shell/modhook.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QTreeView>
#include <QTest>
#include <QWheelEvent>

using namespace tidyfox;

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
    void helpOpensTheHelpPageAndExitEnds();
    void alertsHideTheGridAndSetTheirTrigger();
    void trackButtonsFollowTheSelection();
    void moviePlayerSwallowsOnlyPressesOfTheMenuGestures();
    void hiWordIsSigned();
    void wheelScrollsTheGridOneStepOnlyWhenActive();
};

void tst_Window::startUpSetsAboutTextsAndArrangesTheWindow()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    QCOMPARE(f.valueOf(QStringLiteral("_root.aboutversion")), QStringLiteral("1.1.0.1"));
    QCOMPARE(f.valueOf(QStringLiteral("_root.aboutdescription")),
             QStringLiteral("Tidyfox is an easy-to-use tool to clean up your iTunes library contents. You can remove "
                            "duplicates using duplicate filter, and deleate dead tracks."));
    QCOMPARE(w.size(), QSize(450, 525));
    QCOMPARE(w.Flash->geometry(), QRect(0, 0, 450, 525));
    QCOMPARE(w.LibraryGrid->geometry(), QRect(85, 196, 293, 229));
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.windowTitle(), QStringLiteral(" Tidyfox"));
    // Timers wait, disabled, with their design-time intervals.
    QVERIFY(!w.tmrStart->Enabled());
    QCOMPARE(w.tmrStart->Interval(), 8000);
    QCOMPARE(w.tmrDuplicates->Interval(), 2000);
    QCOMPARE(w.tmrDeadtracks->Interval(), 2000);
    QVERIFY(w.Flash->hasMovie());
}

void tst_Window::gridKeepsItsTwipsSizeOnOtherScreens()
{
    test::WindowFixture f;
    shell::WindowEnvironment env = f.environment();
    env.twipsPerPixelX = 12;
    env.twipsPerPixelY = 12;
    shell::frmMain &w = f.make(std::move(env));
    QVERIFY(w.Form_Load());
    QCOMPARE(w.size(), QSize(450, 525));
    QCOMPARE(w.LibraryGrid->geometry(), QRect(85, 196, 367, 286));
}

void tst_Window::secondCopyIsWarnedOnceAndEnds()
{
    test::WindowFixture first;
    QVERIFY(first.make().Form_Load());

    test::WindowFixture second;
    shell::WindowEnvironment env = second.environment();
    env.lockFolder = first.lockDir.path();
    shell::frmMain &w = second.make(std::move(env));
    QVERIFY(!w.Form_Load());
    QCOMPARE(second.warnings.size(), size_t(1));
    QCOMPARE(second.warnings[0].first, QStringLiteral("Tidyfox"));
    QCOMPARE(second.warnings[0].second, QStringLiteral("Tidyfox is already running"));
    QCOMPARE(second.exits, std::vector<int>{0});
    // Nothing reached the second copy's movie, and the first copy goes on.
    QVERIFY(second.valueOf(QStringLiteral("_root.aboutversion")).isEmpty());
    QVERIFY(first.exits.empty());
    QVERIFY(!first.window->bClosing);
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
        shell::WindowEnvironment env = blocked.environment();
        env.lockFolder = f.lockDir.path();
        QVERIFY(!blocked.make(std::move(env)).Form_Load());
    }
    holder.kill();
    holder.waitForFinished();
    QVERIFY(f.make().Form_Load());
    QVERIFY(f.warnings.empty());
}

void tst_Window::gateDropsAllButHelpExitAndMinimise()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.show();
    for (bool starting : {true, false}) {
        w.bStarting = starting;
        w.bRemovingDuplicates = !starting;
        f.variables.clear();
        w.FLashCommand(QStringLiteral("IDC_FS_about"), {});
        QVERIFY(w.LibraryGrid->isVisibleTo(&w));
        w.FLashCommand(QStringLiteral("start"), {});
        QVERIFY(!w.tmrStart->Enabled());
        w.FLashCommand(QStringLiteral("IDC_FS_okfilter"), QStringLiteral("true,false,false,false,false,false,false,true"));
        QVERIFY(!w.tmrDuplicates->Enabled());
        QVERIFY(f.variables.empty());

        w.FLashCommand(QStringLiteral("IDC_FS_help"), {});
        QCOMPARE(f.opened.size(), size_t(starting ? 1 : 2));
        w.FLashCommand(QStringLiteral("IDC_FS_mini"), {});
        QVERIFY(w.windowState() & Qt::WindowMinimized);
        w.setWindowState(Qt::WindowNoState);
    }
    w.bRemovingDuplicates = false;
    w.FLashCommand(QStringLiteral("IDC_FS_exit"), {});
    QCOMPARE(f.exits, std::vector<int>{0});
    QVERIFY(w.bClosing);
}

void tst_Window::commandTableReactions()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.show();

    w.FLashCommand(QStringLiteral("start"), {});
    QVERIFY(w.tmrStart->Enabled());
    QCOMPARE(w.tmrStart->Interval(), 1000);
    w.tmrStart->setEnabled(false);

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
            w.FLashCommand(hide, {});
            QVERIFY2(!w.LibraryGrid->isVisibleTo(&w), qPrintable(hide));
            w.FLashCommand(show, {});
            QVERIFY2(w.LibraryGrid->isVisibleTo(&w), qPrintable(show));
        }
    }
    // Commands match exactly: another spelling is not a command.
    w.FLashCommand(QStringLiteral("IDC_FS_about"), {});
    w.FLashCommand(QStringLiteral("IDC_FS_Cancel"), {});
    QVERIFY(!w.LibraryGrid->isVisibleTo(&w));
    w.FLashCommand(QStringLiteral("IDC_FS_Exit"), {});
    QVERIFY(f.exits.empty());
    // With no track selected the view command shows nothing.
    w.FLashCommand(QStringLiteral("IDC_FS_cancel"), {});
    f.variables.clear();
    w.FLashCommand(QStringLiteral("IDC_FS_viewTrack2"), {});
    QVERIFY(w.LibraryGrid->isVisibleTo(&w));
    QVERIFY(f.variables.empty());
}

void tst_Window::okFilterArmsDuplicateRemovalInOrder()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.show();
    w.HideGrid();
    f.variables.clear();
    w.FLashCommand(QStringLiteral("IDC_FS_okfilter"), {});
    QVERIFY(w.bRemovingDuplicates);
    QCOMPARE(f.names(), (QStringList{QStringLiteral("_root.disablebtns"), QStringLiteral("_root.activationtxt"),
                                     QStringLiteral("_root.enableactivationmovie")}));
    QCOMPARE(f.variables[0].second, QStringLiteral("1"));
    QCOMPARE(f.variables[1].second, QStringLiteral("Removing Duplicates..."));
    QCOMPARE(w.sDuplicateFilter, QString());
    QVERIFY(w.tmrDuplicates->Enabled());
    QCOMPARE(w.tmrDuplicates->Interval(), 2000);
    QVERIFY(w.LibraryGrid->isVisibleTo(&w));

    // The empty filter ends through the failure end, with the gate reopened.
    w.tmrDuplicates_Timer();
    QVERIFY(!w.tmrDuplicates->Enabled());
    QVERIFY(!w.bRemovingDuplicates);
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")),
             QStringLiteral("Can not delete all duplicates.\r0 Duplicate track(s) have been deleted"));
    QCOMPARE(f.names().last(), QStringLiteral("_root.enablebtns"));
}

void tst_Window::deadTracksCommandArmsItsTimer()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    f.variables.clear();
    w.FLashCommand(QStringLiteral("IDC_FS_deleteDeadTracks"), {});
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie")}));
    QCOMPARE(f.variables[0].second, QStringLiteral("Deleting dead tracks..."));
    QVERIFY(w.tmrDeadtracks->Enabled());
    QVERIFY(!w.bRemovingDuplicates);
    // Without a library source nothing is deleted.
    w.tmrDeadtracks_Timer();
    QVERIFY(!w.tmrDeadtracks->Enabled());
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("0 Track have been deleted."));
    QCOMPARE(f.names().last(), QStringLiteral("_root.disableactivationmovie"));
}

void tst_Window::helpOpensTheHelpPageAndExitEnds()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.FLashCommand(QStringLiteral("IDC_FS_help"), {});
    QCOMPARE(f.opened.size(), size_t(1));
    QCOMPARE(f.opened[0], QUrl::fromLocalFile(QStringLiteral(TIDYFOX_APP_DIR "/Help.html")));
    w.iTunes = w.environment().createITunes();
    w.FLashCommand(QStringLiteral("IDC_FS_exit"), {});
    QVERIFY(w.bClosing);
    QVERIFY(!w.iTunes);
    QCOMPARE(f.exits, std::vector<int>{0});
    // Once closing, a library that quits no longer re-arms the connection.
    w.iTunes_OnQuittingEvent();
    QVERIFY(!w.tmrStart->Enabled());
}

void tst_Window::alertsHideTheGridAndSetTheirTrigger()
{
    test::WindowFixture f;
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.show();
    const std::pair<int, QString> kinds[] = {{16, QStringLiteral("_root.showcriticalalert")},
                                             {48, QStringLiteral("_root.showexclaminationalert")},
                                             {64, QStringLiteral("_root.showinfoalert")}};
    for (const auto &[kind, trigger] : kinds) {
        w.ShowGrid();
        f.variables.clear();
        shell::modMain::ShowAlert(QStringLiteral("x"), kind, QStringLiteral("Tidyfox"));
        QVERIFY(!w.LibraryGrid->isVisibleTo(&w));
        QCOMPARE(f.names(), (QStringList{QStringLiteral("_root.alerttitle"), QStringLiteral("_root.alerttxt"), trigger}));
        QCOMPARE(f.variables[0].second, QStringLiteral("Tidyfox"));
        QCOMPARE(f.variables[1].second, QStringLiteral("x"));
        QCOMPARE(f.variables[2].second, QStringLiteral("true"));
    }
    // Changing the busy text alone does not start the animation again.
    f.variables.clear();
    w.ShowBusy(QStringLiteral("a"));
    w.HideBusy();
    QCOMPARE(f.names(), (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie"),
                                     QStringLiteral("_root.disableactivationmovie")}));
}

void tst_Window::trackButtonsFollowTheSelection()
{
    test::WindowFixture f;
    library::TrackRecord record;
    record.name = QStringLiteral("Song");
    record.location = QStringLiteral("/music/song.mp3");
    f.core->addTrack(record);
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    itunes::ITunesPtr app = w.environment().createITunes();
    itunes::PlaylistPtr playlist = app->LibraryPlaylist();
    itunes::TrackPtr track = playlist->Tracks()->Item(0);

    const auto run = [&](itunes::PlaylistPtr p, itunes::TrackPtr t) {
        w.oSelectedPlayList = std::move(p);
        w.oSelectedTrack = std::move(t);
        f.variables.clear();
        w.UpdateTrackButtons();
        return f.names();
    };
    QCOMPARE(run(playlist, track), (QStringList{QStringLiteral("_root.enableview2"), QStringLiteral("_root.enabledelete")}));
    QCOMPARE(run(nullptr, track), (QStringList{QStringLiteral("_root.enableview2"), QStringLiteral("_root.enabledelete")}));
    QCOMPARE(run(playlist, nullptr), (QStringList{QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                                                  QStringLiteral("_root.enabledelete")}));
    QCOMPARE(run(nullptr, nullptr), (QStringList{QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                                                 QStringLiteral("_root.disabledelete")}));
}

void tst_Window::moviePlayerSwallowsOnlyPressesOfTheMenuGestures()
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
    QVERIFY(shell::modhook::MovieWindowProc(&target, &rightPress));
    QVERIFY(shell::modhook::MovieWindowProc(&target, &menuPress));
    QVERIFY(shell::modhook::MovieWindowProc(&target, &menu));
    QVERIFY(!shell::modhook::MovieWindowProc(&target, &rightRelease));
    QVERIFY(!shell::modhook::MovieWindowProc(&target, &menuRelease));
    QVERIFY(!shell::modhook::MovieWindowProc(&target, &leftPress));
    QVERIFY(!shell::modhook::MovieWindowProc(&target, &spacePress));
}

void tst_Window::hiWordIsSigned()
{
    QCOMPARE(shell::modhook::HiWord(static_cast<std::int32_t>(0xFF880000u)), std::int16_t(-120));
    QCOMPARE(shell::modhook::HiWord(0x00780000), std::int16_t(120));
    QCOMPARE(shell::modhook::HiWord(0x0000FFFF), std::int16_t(0));
}

void tst_Window::wheelScrollsTheGridOneStepOnlyWhenActive()
{
    test::WindowFixture f;
    for (int i = 0; i < 200; ++i) {
        library::TrackRecord record;
        record.name = QStringLiteral("Track %1").arg(i);
        record.location = QStringLiteral("/music/%1.mp3").arg(i);
        f.core->addTrack(record);
    }
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.oLibrarySource = w.environment().createITunes()->LibrarySource();
    w.cmdLoadLibrary_Click();
    w.ShowGrid();
    w.LibraryGrid->raise();
    // Open the library playlist so there is something to scroll.
    QTreeView *view = w.LibraryGrid->view();
    view->expandAll();
    QScrollBar *bar = view->verticalScrollBar();
    QVERIFY(bar->maximum() > 5);
    bar->setValue(bar->maximum() / 2);
    const int start = bar->value();
    w.LibraryGrid->setFocus();
    w.LibraryGrid->ScrollRegions(0).Scroll(1);
    const int step = bar->value() - start;
    QVERIFY(step > 0);
    bar->setValue(start);

    const auto wheel = [&](int delta) {
        const QPointF pos = view->viewport()->rect().center();
        QWheelEvent event(pos, view->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &event);
    };
    w.Flash->setFocus();
    wheel(-360);
    QCOMPARE(bar->value(), start);

    view->setFocus();
    QVERIFY(w.LibraryGrid->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == w.LibraryGrid);
    wheel(-360); // three notches toward the user: one step down the list
    QCOMPARE(bar->value(), start + step);
    wheel(120);
    QCOMPARE(bar->value(), start);
}

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
