// SPDX-License-Identifier: GPL-3.0-or-later
// The face as the program sees it: the commands it sends for each thing the
// user does, and what each variable the program sets does to it.
#include "FaceScene.h"
#include "window/DeadTrackReviewModel.h"
#include "window/DeleteChoice.h"
#include "window/DuplicateReviewModel.h"
#include "window/JobHistoryModel.h"
#include "window/JobStatus.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>
#include <memory>

using tidyfox::test::FaceScene;

namespace {

// Commands as "command|args" texts, so that a failed comparison shows them.
using Commands = QStringList;

Commands one(const char *command, const QString &args = {})
{
    return {QString::fromLatin1(command) + '|' + args};
}

Commands sent(FaceScene &scene)
{
    Commands result;
    for (const auto &[command, args] : scene.takeCommands())
        result << command + '|' + args;
    return result;
}

// Every button the disable switch turns off; help, minimise and close stay,
// as the program obeys them while it works.
const char *const kSwitchedButtons[] = {"removeDuplicatesButton", "deleteDeadTracksButton", "viewTrackButton",
                                        "deleteButton",           "refreshButton",          "aboutButton"};

const char *const kFilterItems[] = {"filterName",    "filterSize",       "filterAlbum",    "filterArtist",
                                    "filterBitRate", "filterSampleRate", "filterFileName", "filterKeepFiles"};

} // namespace

class FaceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FaceScene> scene;

    // Opens the filter panel and sets its eight items as given.
    void setFilter(const QList<bool> &ticks)
    {
        scene->click("removeDuplicatesButton");
        QCOMPARE(sent(*scene), one("IDC_FS_removeDuplicate"));
        QVERIFY(scene->shown("filterPanel"));
        for (int i = 0; i < 8; ++i) {
            if (scene->item(kFilterItems[i])->property("checked").toBool() != ticks[i])
                scene->click(kFilterItems[i]);
            QCOMPARE(scene->item(kFilterItems[i])->property("checked").toBool(), ticks[i]);
        }
    }

private slots:
    void init()
    {
        scene = std::make_unique<FaceScene>();
        QVERIFY2(scene->isLoaded(), qPrintable(scene->errors()));
    }
    void cleanup()
    {
        if (scene && scene->isLoaded())
            QVERIFY2(scene->errors().isEmpty(), qPrintable(scene->errors()));
        scene.reset();
    }

    void sendsStartOnceWhenReady()
    {
        QVERIFY(scene->waitForStart());
        QTest::qWait(200);
        QCOMPARE(sent(*scene), Commands());
    }

    // The reviews the program fills: ticks by mouse and by keyboard, and what
    // confirming and cancelling send.
    void reviewsAreAnsweredByMouseAndKeyboard()
    {
        tidyfox::window::DuplicateReviewModel duplicates;
        tidyfox::window::DeadTrackReviewModel dead;
        scene = std::make_unique<FaceScene>(
            QList<std::pair<QString, QObject *>>{{"duplicateReview", &duplicates}, {"deadTrackReview", &dead}});
        QVERIFY(scene->waitForStart());

        tidyfox::cleaning::DuplicateReview found;
        for (int group = 0; group < 2; ++group) {
            tidyfox::cleaning::DuplicateGroup g;
            for (int i = 0; i < 2; ++i) {
                tidyfox::cleaning::ReviewedTrack t;
                t.databaseId = 10 * group + i + 1;
                t.name = QStringLiteral("Song %1").arg(group);
                t.goes = i == 1;
                t.fileThere = true;
                g.tracks.push_back(t);
            }
            found.groups.push_back(g);
        }
        const QString filter = QStringLiteral("true,false,false,false,false,false,false,true");
        duplicates.show(found, filter, true);
        QTRY_VERIFY(scene->shown("duplicateTick1"));
        QVERIFY(scene->shown("duplicateKeeper0"));
        QVERIFY(!scene->shown("duplicateTick0"));
        // Spare the first copy with the mouse, the second from the keyboard,
        // then tick the first again: only the second is spared.
        scene->click("duplicateTick1");
        QCOMPARE(duplicates.copies(), 1);
        for (int down = 0; down < 5 && scene->item("duplicateList")->property("currentIndex").toInt() < 3; ++down)
            scene->key("duplicateList", Qt::Key_Down);
        QCOMPARE(scene->item("duplicateList")->property("currentIndex").toInt(), 3);
        scene->key("duplicateList", Qt::Key_Space);
        QCOMPARE(duplicates.copies(), 0);
        QVERIFY(!scene->enabled("duplicateRemoveButton"));
        scene->click("duplicateTick1");
        QCOMPARE(duplicates.copies(), 1);
        scene->click("duplicateRemoveButton");
        QCOMPARE(sent(*scene), one("IDC_FS_removeReviewed", "true;true;2:1"));
        QVERIFY(!scene->shown("duplicateReview"));
        // Reopened for a player that scans its folders again: the files kept
        // are said to bring the copies back, until they go too. Left with
        // Escape.
        found.rescanNote = tidyfox::cleaning::playerRescanNote(QStringLiteral("Strawberry library"));
        duplicates.show(found, filter, true);
        QTRY_VERIFY(scene->shown("duplicateRescanNote"));
        scene->click("duplicateKeepFiles");
        QTRY_VERIFY(!scene->shown("duplicateRescanNote"));
        QTest::keyClick(&scene->view(), Qt::Key_Escape);
        QCOMPARE(sent(*scene), one("IDC_FS_don'tRemoveDuplicateFromlibrary"));

        tidyfox::cleaning::DeadTrackFindings gone;
        gone.folders.push_back({QStringLiteral("/music/a"), false, {{5, QStringLiteral("One"), {}, {}, {}}}});
        gone.folders.push_back({QStringLiteral("/media/x"), true, {{6, QStringLiteral("Two"), {}, {}, {}}}});
        gone.trackCount = 2;
        dead.show(gone);
        QTRY_VERIFY(scene->shown("deadTrackTick1"));
        QVERIFY(scene->shown("deadTrackDisconnectedNote"));
        scene->click("deadTrackDeleteButton");
        QCOMPARE(sent(*scene), one("IDC_FS_deleteReviewedDeadTracks", "5"));
        // Everything ticked, the disconnected drive's track too: the plain
        // deletion would spare that one, so the ticks go as they are.
        dead.show(gone);
        QTRY_VERIFY(scene->shown("deadTrackTick1"));
        scene->click("deadTrackTick1");
        scene->click("deadTrackDeleteButton");
        QCOMPARE(sent(*scene), one("IDC_FS_deleteReviewedDeadTracks", "5,6"));
        // Untick all, then tick one folder by its own tick.
        dead.show(gone);
        QTRY_VERIFY(scene->shown("deadTrackTickAll"));
        scene->click("deadTrackTickAll");
        QCOMPARE(dead.tickedCount(), 2);
        scene->click("deadTrackTickAll");
        QCOMPARE(dead.tickedCount(), 0);
        QVERIFY(!scene->enabled("deadTrackDeleteButton"));
        scene->click("deadTrackFolderTick/media/x");
        QCOMPARE(dead.tickedIds(), QStringLiteral("6"));
        // Every track ticked and none on a disconnected drive is the plain
        // deletion.
        gone.folders.pop_back();
        gone.trackCount = 1;
        dead.show(gone);
        QTRY_VERIFY(scene->shown("deadTrackTick0"));
        QTest::keyClick(&scene->view(), Qt::Key_Return);
        QCOMPARE(sent(*scene), one("IDC_FS_deleteDeadTracks"));
    }

    void opensWithTheMainViewOnly()
    {
        for (const char *panel : {"filterPanel", "alertPanel", "aboutPanel", "trackPanel", "busyIndicator"})
            QVERIFY2(!scene->shown(panel), panel);
        QVERIFY(scene->shown("libraryWell"));
        QVERIFY(!scene->enabled("viewTrackButton"));
        QVERIFY(!scene->enabled("deleteButton"));
        QVERIFY(scene->enabled("refreshButton"));
    }

    void buttonSendsItsCommand_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("panel");
        QTest::newRow("remove duplicates") << "removeDuplicatesButton"
                                           << "IDC_FS_removeDuplicate"
                                           << "filterPanel";
        QTest::newRow("view track") << "viewTrackButton"
                                    << "IDC_FS_viewTrack2"
                                    << "";
        QTest::newRow("refresh") << "refreshButton"
                                 << "IDC_FS_refreshList2"
                                 << "";
        QTest::newRow("about") << "aboutButton"
                               << "IDC_FS_about"
                               << "aboutPanel";
        QTest::newRow("help") << "helpButton"
                              << "IDC_FS_help"
                              << "";
        QTest::newRow("minimise") << "miniButton"
                                  << "IDC_FS_mini"
                                  << "";
        QTest::newRow("exit") << "exitButton"
                              << "IDC_FS_exit"
                              << "";
    }
    void buttonSendsItsCommand()
    {
        QFETCH(QString, button);
        QFETCH(QString, command);
        QFETCH(QString, panel);
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.enableview2", "true");
        // By mouse, then by each key that presses a button.
        for (const Qt::Key key : {Qt::Key_unknown, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
            if (key == Qt::Key_unknown)
                scene->click(button);
            else
                scene->key(button, key);
            QCOMPARE(sent(*scene), one(qPrintable(command)));
            // A panel over the list opens only with the command that hides
            // the list.
            for (const char *name : {"filterPanel", "alertPanel", "aboutPanel", "trackPanel"})
                QCOMPARE(scene->shown(name), panel == name);
            if (!panel.isEmpty()) {
                QTest::keyClick(&scene->view(), Qt::Key_Escape);
                QCOMPARE(sent(*scene), one("IDC_FS_cancel"));
                QTRY_VERIFY(scene->enabled(button));
            }
        }
    }

    void deadTracksAreAskedFirst()
    {
        QVERIFY(scene->waitForStart());
        QVERIFY(!scene->shown("deadTracksConfirm"));
        scene->click("deleteDeadTracksButton");
        QCOMPARE(sent(*scene), Commands());
        QVERIFY(scene->shown("deadTracksConfirm"));
        // The question stays clear of the list: no panel over it.
        for (const char *name : {"filterPanel", "alertPanel", "aboutPanel", "trackPanel"})
            QVERIFY(!scene->shown(name));
        QQuickItem *strip = scene->item("deadTracksConfirm");
        const QRectF inWindow = strip->mapRectToScene(QRectF(0, 0, strip->width(), strip->height()));
        QVERIFY(inWindow.bottom() <= 196);
        QVERIFY(!scene->item("deadTracksConfirmMessage")->property("truncated").toBool());

        scene->click("deadTracksConfirmCancelButton");
        QCOMPARE(sent(*scene), one("IDC_FS_don'tDeleteFromLibrary"));
        QVERIFY(!scene->shown("deadTracksConfirm"));
        QVERIFY(scene->shown("deleteDeadTracksButton"));

        // By keyboard: Cancel has the focus first, so Escape and Space both
        // say no; the answer yes is one Tab away.
        scene->key("deleteDeadTracksButton", Qt::Key_Space);
        QVERIFY(scene->item("deadTracksConfirmCancelButton")->hasActiveFocus());
        QTest::keyClick(&scene->view(), Qt::Key_Escape);
        QCOMPARE(sent(*scene), one("IDC_FS_don'tDeleteFromLibrary"));
        QTRY_VERIFY(scene->item("deleteDeadTracksButton")->hasActiveFocus());

        QTest::keyClick(&scene->view(), Qt::Key_Return);
        QTest::keyClick(&scene->view(), Qt::Key_Tab);
        QVERIFY(scene->item("deadTracksConfirmOkButton")->hasActiveFocus());
        QTest::keyClick(&scene->view(), Qt::Key_Space);
        QCOMPARE(sent(*scene), one("IDC_FS_deleteDeadTracks"));
        QVERIFY(!scene->shown("deadTracksConfirm"));

        scene->click("deleteDeadTracksButton");
        scene->click("deadTracksConfirmOkButton");
        QCOMPARE(sent(*scene), one("IDC_FS_deleteDeadTracks"));
        // Or looked at first, in the review the program opens.
        scene->click("deleteDeadTracksButton");
        scene->click("deadTracksConfirmAlternativeButton");
        QCOMPARE(sent(*scene), one("IDC_FS_findDeadTracks"));
    }

    void tabReachesEveryEnabledButtonInReadingOrder()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.enableview2", "true");
        scene->setVariable("_root.enabledelete", "true");
        // The list's stand-in sits where the list is, after the search field.
        const QStringList order{
            "miniButton", "maxiButton",       "exitButton",      "removeDuplicatesButton", "deleteDeadTracksButton",
            "listSearch", "libraryListFocus", "viewTrackButton", "deleteButton",           "refreshButton",
            "helpButton", "historyButton",    "aboutButton"};
        scene->item(order.first())->forceActiveFocus(Qt::TabFocusReason);
        for (qsizetype i = 1; i <= order.size(); ++i) {
            QTest::keyClick(&scene->view(), Qt::Key_Tab);
            const QString expected = order[i % order.size()];
            QVERIFY2(scene->item(expected)->hasActiveFocus(), qPrintable("focus should be on " + expected));
        }
        // Disabled buttons are passed over.
        scene->setVariable("_root.disableview2", "true");
        scene->item("libraryListFocus")->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(&scene->view(), Qt::Key_Tab);
        QVERIFY(scene->item("deleteButton")->hasActiveFocus());
        QCOMPARE(sent(*scene), Commands());
    }

    void panelKeepsTheKeyboardInside()
    {
        QVERIFY(scene->waitForStart());
        scene->key("removeDuplicatesButton", Qt::Key_Space);
        QCOMPARE(sent(*scene), one("IDC_FS_removeDuplicate"));
        QVERIFY(scene->item("filterName")->hasActiveFocus());
        // Tab goes round the panel and the window's own buttons only.
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(&scene->view(), Qt::Key_Tab);
            QQuickItem *focused = scene->view().activeFocusItem();
            QVERIFY(focused);
            QVERIFY2(!scene->item("removeDuplicatesButton")->hasActiveFocus() &&
                         !scene->item("refreshButton")->hasActiveFocus() &&
                         !scene->item("helpButton")->hasActiveFocus(),
                     qPrintable(focused->objectName()));
        }
        // Escape closes it also from the window's own buttons, and the
        // keyboard goes back to the button that opened it.
        scene->key("exitButton", Qt::Key_Escape);
        QCOMPARE(sent(*scene), one("IDC_FS_cancel"));
        QTRY_VERIFY(scene->item("removeDuplicatesButton")->hasActiveFocus());
    }

    // The Delete button, the history and Undo: the program says what there
    // is, the face asks and sends the answer with its ids.
    void deletionAndHistoryAreAnswered()
    {
        tidyfox::window::DeleteChoice choice;
        tidyfox::window::JobHistoryModel history;
        tidyfox::window::JobStatus status;
        scene = std::make_unique<FaceScene>(QList<std::pair<QString, QObject *>>{
            {"deleteChoice", &choice}, {"jobHistory", &history}, {"jobStatus", &status}});
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.enabledelete", "true");
        scene->click("deleteButton");
        QCOMPARE(sent(*scene), one("IDC_FS_delete"));

        choice.showTracks(true, 1, QStringLiteral("Library"), {7, 9});
        QTRY_VERIFY(scene->shown("deleteFromhardButton"));
        QVERIFY(!scene->shown("removeFromPlaylistButton"));
        scene->click("deleteFromhardButton");
        QCOMPARE(sent(*scene), one("IDC_FS_deleteFromhard", "7,9"));
        choice.showTracks(true, 1, QStringLiteral("Library"), {7});
        QTRY_VERIFY(scene->shown("deleteFromLibraryButton"));
        scene->key("deleteFromLibraryButton", Qt::Key_Space);
        QCOMPARE(sent(*scene), one("IDC_FS_deleteFromLibrary", "7"));
        choice.showTracks(false, 4, QStringLiteral("Mix"), {7, 9});
        QTRY_VERIFY(scene->shown("removeFromPlaylistButton"));
        scene->click("removeFromPlaylistButton");
        QCOMPARE(sent(*scene), one("IDC_FS_removeFromPlaylist", "4;7,9"));
        choice.showPlaylist(4, QStringLiteral("Mix"));
        QTRY_VERIFY(scene->shown("deletePlaylistButton"));
        scene->click("deletePlaylistButton");
        QCOMPARE(sent(*scene), one("IDC_FS_deletePlaylist", "4"));
        choice.showPlaylist(4, QStringLiteral("Mix"));
        QTRY_VERIFY(scene->shown("deletePanel"));
        QTest::keyClick(&scene->view(), Qt::Key_Escape);
        QCOMPARE(sent(*scene), one("IDC_FS_don'tDeleteFromLibrary"));

        scene->click("historyButton");
        QCOMPARE(sent(*scene), one("IDC_FS_showHistory"));
        tidyfox::protocol::JobRecord done{3, QStringLiteral("duplicates"), {}, {}, 2, 2, true, {}};
        tidyfox::protocol::JobRecord open{5, QStringLiteral("dead tracks"), {}, {}, 4, 0, false, {}};
        history.show({done, open});
        QTRY_VERIFY(scene->shown("historyRestore1"));
        QVERIFY(!scene->enabled("historyRestore1")); // restored already
        scene->key("historyRestore0", Qt::Key_Space);
        QCOMPARE(sent(*scene), one("IDC_FS_restoreJob", "5"));

        // An alert that ends a job offers to undo it; others do not.
        status.setUndoJob(5);
        scene->setVariable("_root.alerttxt", "2 Duplicate(s) have been deleted");
        scene->setVariable("_root.showinfoalert", "true");
        QTRY_VERIFY(scene->shown("alertUndoButton"));
        scene->click("alertUndoButton");
        QCOMPARE(sent(*scene), one("IDC_FS_undoLast"));
        status.setUndoJob(0);
        scene->setVariable("_root.showinfoalert", "true");
        QTRY_VERIFY(scene->shown("alertPanel"));
        QVERIFY(!scene->shown("alertUndoButton"));
    }

    void dragAreaSendsDragOnEveryPress()
    {
        QVERIFY(scene->waitForStart());
        // The window system may keep the pointer after the press, so the
        // release never comes; the next press must still be seen.
        scene->press("dragArea");
        QCOMPARE(sent(*scene), one("IDC_FS_drag"));
        scene->press("dragArea");
        QCOMPARE(sent(*scene), one("IDC_FS_drag"));
    }

    void filterSendsItsEightItems_data()
    {
        QTest::addColumn<QList<bool>>("ticks");
        QTest::addColumn<QString>("filter");
        QTest::newRow("name and artist") << QList<bool>{true, false, false, true, false, false, false, false}
                                         << "true,false,false,true,false,false,false,false";
        QTest::newRow("everything, keeping files")
            << QList<bool>{true, true, true, true, true, true, true, true} << "true,true,true,true,true,true,true,true";
        QTest::newRow("nothing: the program judges")
            << QList<bool>{false, false, false, false, false, false, false, false}
            << "false,false,false,false,false,false,false,false";
        QTest::newRow("file name only, keeping files")
            << QList<bool>{false, false, false, false, false, false, true, true}
            << "false,false,false,false,false,false,true,true";
        QTest::newRow("size, bit rate and sample rate")
            << QList<bool>{false, true, false, false, true, true, false, false}
            << "false,true,false,false,true,true,false,false";
    }
    void filterSendsItsEightItems()
    {
        QFETCH(QList<bool>, ticks);
        QFETCH(QString, filter);
        QVERIFY(scene->waitForStart());
        setFilter(ticks);
        scene->click("filterOkButton");
        QCOMPARE(sent(*scene), one("IDC_FS_findDuplicates", filter));
        QVERIFY(!scene->shown("filterPanel"));

        // The panel opens again with the choice just made.
        scene->click("removeDuplicatesButton");
        sent(*scene);
        scene->key("filterOkButton", Qt::Key_Return);
        QCOMPARE(sent(*scene), one("IDC_FS_findDuplicates", filter));
    }

    void filterItemsToggleByKeyboard()
    {
        QVERIFY(scene->waitForStart());
        setFilter({false, false, false, false, false, false, false, false});
        scene->key("filterAlbum", Qt::Key_Space);
        scene->key("filterKeepFiles", Qt::Key_Space);
        scene->key("filterOkButton", Qt::Key_Space);
        QCOMPARE(sent(*scene), one("IDC_FS_findDuplicates", "false,false,true,false,false,false,false,true"));

        // The two ways beyond the properties add the ninth item, only when ticked.
        scene->click("removeDuplicatesButton");
        sent(*scene);
        scene->key("filterSoundAlike", Qt::Key_Space);
        scene->key("filterOkButton", Qt::Key_Space);
        QCOMPARE(sent(*scene), one("IDC_FS_findDuplicates", "false,false,true,false,false,false,false,true,sound"));
        scene->click("removeDuplicatesButton");
        sent(*scene);
        scene->key("filterLooseNames", Qt::Key_Space);
        scene->key("filterOkButton", Qt::Key_Space);
        QCOMPARE(sent(*scene),
                 one("IDC_FS_findDuplicates", "false,false,true,false,false,false,false,true,sound loose"));
    }

    void filterCancelPutsTheTicksBack()
    {
        QVERIFY(scene->waitForStart());
        setFilter({true, false, false, false, false, false, false, false});
        scene->click("filterOkButton");
        sent(*scene);

        setFilter({false, true, true, true, true, true, true, true});
        scene->click("filterCancelButton");
        QCOMPARE(sent(*scene), one("IDC_FS_cancel"));
        QVERIFY(!scene->shown("filterPanel"));

        // Escape cancels as well.
        scene->click("removeDuplicatesButton");
        sent(*scene);
        scene->click("filterSize");
        scene->key("filterSize", Qt::Key_Escape);
        QCOMPARE(sent(*scene), one("IDC_FS_cancel"));

        scene->click("removeDuplicatesButton");
        sent(*scene);
        scene->click("filterOkButton");
        QCOMPARE(sent(*scene), one("IDC_FS_findDuplicates", "true,false,false,false,false,false,false,false"));
    }

    void openPanelShieldsThePage()
    {
        QVERIFY(scene->waitForStart());
        scene->click("aboutButton");
        sent(*scene);
        // The refresh button lies under the dimmed page, outside the card.
        scene->click("refreshButton");
        scene->key("refreshButton", Qt::Key_Space);
        QCOMPARE(sent(*scene), Commands());
        // The window's own buttons stay usable.
        scene->click("miniButton");
        QCOMPARE(sent(*scene), one("IDC_FS_mini"));
    }

    void alertShowsEachKind_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("kind");
        QTest::newRow("information") << "_root.showinfoalert"
                                     << "info";
        QTest::newRow("warning") << "_root.showexclaminationalert"
                                 << "warning";
        QTest::newRow("error") << "_root.showcriticalalert"
                               << "error";
    }
    void alertShowsEachKind()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, kind);
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.alerttitle", "Tidyfox");
        scene->setVariable("_root.alerttxt", "Can not delete all duplicates.\r2 Duplicate track(s) have been deleted");
        QVERIFY(!scene->shown("alertPanel"));
        scene->setVariable(trigger, "true");
        QVERIFY(scene->shown("alertPanel"));
        QCOMPARE(scene->item("alertPanel")->property("kind").toString(), kind);
        QCOMPARE(scene->item("alertPanel")->property("title").toString(), QString("Tidyfox"));
        QCOMPARE(scene->item("alertText")->property("text").toString(),
                 QString("Can not delete all duplicates.\n2 Duplicate track(s) have been deleted"));
        scene->setVariable("_root.alerttxt", "One\rTwo");
        QCOMPARE(scene->item("alertText")->property("lineCount").toInt(), 2);

        scene->click("alertOkButton");
        QCOMPARE(sent(*scene), one("IDC_FS_okalert"));
        QVERIFY(!scene->shown("alertPanel"));

        // The same trigger again shows the alert again, with Enter to close.
        scene->setVariable(trigger, "true");
        QVERIFY(scene->shown("alertPanel"));
        QTest::keyClick(&scene->view(), Qt::Key_Return);
        QCOMPARE(sent(*scene), one("IDC_FS_okalert"));
        QVERIFY(!scene->shown("alertPanel"));
    }

    void laterAlertReplacesTheShownOne()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.alerttxt", "first");
        scene->setVariable("_root.showinfoalert", "true");
        scene->setVariable("_root.alerttxt", "second");
        scene->setVariable("_root.showcriticalalert", "true");
        QCOMPARE(scene->item("alertPanel")->property("kind").toString(), QString("error"));
        QCOMPARE(scene->item("alertText")->property("text").toString(), QString("second"));
        scene->click("alertOkButton");
        QCOMPARE(sent(*scene), one("IDC_FS_okalert"));
        QVERIFY(!scene->shown("alertPanel"));
    }

    void busyAnimationFollowsItsTriggers()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.activationtxt", "Connecting to iTunes...");
        QVERIFY(!scene->shown("busyIndicator"));
        scene->setVariable("_root.enableactivationmovie", "true");
        QVERIFY(scene->shown("busyIndicator"));
        QCOMPARE(scene->item("busyText")->property("text").toString(), QString("Connecting to iTunes..."));
        QVERIFY(scene->item("busyIndicator")->property("running").toBool());

        // The text changes while the animation runs.
        scene->setVariable("_root.activationtxt", "Loading Library Contents...");
        QCOMPARE(scene->item("busyText")->property("text").toString(), QString("Loading Library Contents..."));

        scene->setVariable("_root.disableactivationmovie", "true");
        QVERIFY(!scene->shown("busyIndicator"));
        scene->setVariable("_root.disableactivationmovie", "true");
        QVERIFY(!scene->shown("busyIndicator"));
        scene->setVariable("_root.enableactivationmovie", "true");
        QVERIFY(scene->shown("busyIndicator"));
        QCOMPARE(sent(*scene), Commands());
    }

    void disabledButtonsSendNothing()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.enableview2", "true");
        scene->setVariable("_root.enabledelete", "true");
        scene->setVariable("_root.disablebtns", "1");
        for (const char *button : kSwitchedButtons) {
            QVERIFY2(!scene->enabled(button), button);
            scene->click(button);
            scene->key(button, Qt::Key_Space);
            scene->key(button, Qt::Key_Return);
        }
        QCOMPARE(sent(*scene), Commands());
        for (const char *panel : {"filterPanel", "aboutPanel"})
            QVERIFY2(!scene->shown(panel), panel);

        // An alert that arrives meanwhile cannot be dismissed before the
        // buttons come back: the program would not hear the dismissal.
        scene->setVariable("_root.showinfoalert", "true");
        scene->click("alertOkButton");
        QCOMPARE(sent(*scene), Commands());
        QVERIFY(scene->shown("alertPanel"));

        scene->setVariable("_root.enablebtns", "1");
        scene->click("alertOkButton");
        QCOMPARE(sent(*scene), one("IDC_FS_okalert"));
        for (const char *button : kSwitchedButtons)
            QVERIFY2(scene->enabled(button), button);
        // Each track button keeps its own state through the switch.
        scene->setVariable("_root.disableview2", "true");
        scene->setVariable("_root.disablebtns", "1");
        scene->setVariable("_root.enablebtns", "1");
        QVERIFY(!scene->enabled("viewTrackButton"));
        QVERIFY(scene->enabled("deleteButton"));
    }

    void windowButtonsStayWhileDisabled()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.disablebtns", "1");
        scene->click("helpButton");
        scene->click("miniButton");
        scene->click("exitButton");
        QCOMPARE(sent(*scene), (Commands{"IDC_FS_help|", "IDC_FS_mini|", "IDC_FS_exit|"}));
    }

    void trackButtonsFollowTheirTriggers()
    {
        QVERIFY(scene->waitForStart());
        // The three sequences the program sends for a selection.
        for (const char *name : {"_root.enableview2", "_root.enabledelete"})
            scene->setVariable(name, "true");
        QVERIFY(scene->enabled("viewTrackButton"));
        QVERIFY(scene->enabled("deleteButton"));
        for (const char *name : {"_root.disableview2", "_root.enabledelete", "_root.enabledelete"})
            scene->setVariable(name, "true");
        QVERIFY(!scene->enabled("viewTrackButton"));
        QVERIFY(scene->enabled("deleteButton"));
        for (const char *name : {"_root.disableview2", "_root.enabledelete", "_root.disabledelete"})
            scene->setVariable(name, "true");
        QVERIFY(!scene->enabled("viewTrackButton"));
        QVERIFY(!scene->enabled("deleteButton"));
        scene->click("viewTrackButton");
        QCOMPARE(sent(*scene), Commands());
    }

    void aboutPanelShowsTheProgramsTexts()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.aboutversion", "1.1.0.1");
        scene->setVariable("_root.aboutdescription", "Tidyfox is an easy-to-use tool.");
        QVERIFY(!scene->shown("aboutPanel"));
        scene->click("aboutButton");
        QCOMPARE(sent(*scene), one("IDC_FS_about"));
        QVERIFY(scene->shown("aboutPanel"));
        QVERIFY(scene->item("aboutVersion")->property("text").toString().contains("1.1.0.1"));
        QCOMPARE(scene->item("aboutDescription")->property("text").toString(),
                 QString("Tidyfox is an easy-to-use tool."));
        scene->click("aboutCloseButton");
        QCOMPARE(sent(*scene), one("IDC_FS_cancel"));
        QVERIFY(!scene->shown("aboutPanel"));

        scene->click("aboutButton");
        sent(*scene);
        QTest::keyClick(&scene->view(), Qt::Key_Escape);
        QCOMPARE(sent(*scene), one("IDC_FS_cancel"));
        QVERIFY(!scene->shown("aboutPanel"));
    }

    void trackPanelShowsEveryLineReadably()
    {
        QVERIFY(scene->waitForStart());
        const QString path = "/media/music/" + QString("very_long_folder_name_").repeated(8) + "/track.mp3";
        scene->setVariable("_root.trackinfo", "Name:Song\rTime:3:07\rSample Rate:44.1 KHz\rLocation:" + path + "\r");
        QVERIFY(!scene->shown("trackPanel"));
        scene->setVariable("_root.showtracinfowin", "true");
        QVERIFY(scene->shown("trackPanel"));

        const QVariantList lines = scene->item("trackPanel")->property("lines").toList();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1].toMap().value("label").toString(), QString("Time"));
        QCOMPARE(lines[1].toMap().value("value").toString(), QString("3:07"));
        // Units as the rest of the face writes them.
        QCOMPARE(lines[2].toMap().value("value").toString(), QString("44.1 kHz"));
        QCOMPARE(lines[3].toMap().value("value").toString(), path);

        // The path wraps inside the card instead of running out of it.
        QQuickItem *value = scene->item("trackValue3");
        QQuickItem *list = scene->item("trackInfoList");
        QVERIFY(value && list);
        QCOMPARE(value->property("text").toString(), path);
        QVERIFY(value->property("lineCount").toInt() > 1);
        QVERIFY(!value->property("truncated").toBool());
        const QRectF inList = value->mapRectToItem(list, QRectF(0, 0, value->width(), value->height()));
        QVERIFY(inList.right() <= list->width());
        QVERIFY(value->implicitWidth() > value->width());

        scene->click("trackCloseButton");
        QCOMPARE(sent(*scene), one("IDC_FS_exitTrackInfoWindow"));
        QVERIFY(!scene->shown("trackPanel"));

        // Shown again for the next track.
        scene->setVariable("_root.trackinfo", "Name:Other\r");
        scene->setVariable("_root.showtracinfowin", "true");
        QVERIFY(scene->shown("trackPanel"));
        QCOMPARE(scene->item("trackPanel")->property("lines").toList().size(), 1);
    }

    void textsAreShownAsPlainText()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.alerttxt", "<b>x</b> & y");
        scene->setVariable("_root.showinfoalert", "true");
        QCOMPARE(scene->item("alertText")->property("textFormat").toInt(), 0); // Text.PlainText
        QCOMPARE(scene->item("alertText")->property("text").toString(), QString("<b>x</b> & y"));
    }

    void unknownVariablesChangeNothing()
    {
        QVERIFY(scene->waitForStart());
        scene->setVariable("_root.showalert", "true");
        scene->setVariable("_root.SHOWINFOALERT", "true");
        scene->setVariable("showinfoalert", "true");
        for (const char *panel : {"filterPanel", "alertPanel", "aboutPanel", "trackPanel", "busyIndicator"})
            QVERIFY2(!scene->shown(panel), panel);
        QCOMPARE(sent(*scene), Commands());
    }

    // The program sets the about texts right after loading, before the scene
    // may have completed: such assignments take effect once it has.
    void assignmentsBeforeCompletionTakeEffect()
    {
        scene.reset();
        QQmlEngine engine;
        QStringList warnings;
        connect(&engine, &QQmlEngine::warnings, this, [&](const QList<QQmlError> &list) {
            for (const QQmlError &warning : list)
                warnings << warning.toString();
        });
        QQmlComponent component(&engine, QUrl::fromLocalFile(QStringLiteral(TIDYFOX_APP_DIR "/Main.qml")));
        QVERIFY2(component.isReady(), qPrintable(component.errorString()));
        std::unique_ptr<QObject> root(component.beginCreate(engine.rootContext()));
        QVERIFY(root);
        QSignalSpy commands(root.get(), SIGNAL(fsCommand(QString, QString)));
        const auto set = [&](const char *name, const char *value) {
            QVERIFY(QMetaObject::invokeMethod(root.get(), "setVariable", Q_ARG(QVariant, QString(name)),
                                              Q_ARG(QVariant, QString(value))));
        };
        set("_root.aboutversion", "1.1.0.1");
        set("_root.aboutdescription", "About text");
        set("_root.activationtxt", "Connecting to iTunes...");
        set("_root.enableactivationmovie", "true");
        set("_root.disableactivationmovie", "true");
        set("_root.enableactivationmovie", "true");
        set("_root.alerttxt", "Early");
        set("_root.showcriticalalert", "true");
        component.completeCreate();

        QCOMPARE(root->property("aboutVersion").toString(), QString("1.1.0.1"));
        QCOMPARE(root->property("aboutDescription").toString(), QString("About text"));
        QCOMPARE(root->property("activationText").toString(), QString("Connecting to iTunes..."));
        QVERIFY(root->property("busy").toBool());
        QVERIFY(root->property("modal").toBool());
        QTRY_COMPARE(commands.count(), 1);
        QCOMPARE(commands.at(0).at(0).toString(), QString("start"));
        QCOMPARE(warnings, QStringList());
    }
};

QTEST_MAIN(FaceTest)
#include "FaceTest.moc"
