// SPDX-License-Identifier: GPL-3.0-or-later
// The face's commands: the gate, the command table and the yields.
#include "widgets/TreeGrid.h"
#include "window/FaceArguments.h"
#include "window/IntervalTimer.h"
#include "window/MainWindow.h"
#include "window/WindowDrag.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace tidyfox::window {

void MainWindow::handleFaceCommand(const QString &command, const QString &args)
{
    if (!m_state.admits(command))
        return;
    // Every handler yields, and a yield runs the commands already queued. Run
    // inside it, a flood of commands would put one handler per command on the
    // stack; so a command that arrives while a handler runs waits until that
    // handler has returned, and a refresh asked for while one waits is not
    // asked for twice. The commands that always pass act at once.
    if (m_commandDepth > 0 && !WindowState::isAlwaysAdmitted(command)) {
        const bool refreshWaits = command == QLatin1String("IDC_FS_refreshList2") &&
                                  std::any_of(m_waitingCommands.cbegin(), m_waitingCommands.cend(),
                                              [&command](const auto &waiting) { return waiting.first == command; });
        if (!refreshWaits)
            m_waitingCommands.emplace_back(command, args);
        return;
    }
    ++m_commandDepth;
    runFaceCommand(command, args);
    while (m_commandDepth == 1 && !m_waitingCommands.empty()) {
        const auto [next, nextArgs] = m_waitingCommands.front();
        m_waitingCommands.pop_front();
        if (m_state.admits(next))
            runFaceCommand(next, nextArgs);
    }
    --m_commandDepth;
}

void MainWindow::runFaceCommand(const QString &command, const QString &args)
{
    if (command == QLatin1String("start")) {
        m_startTimer->setInterval(1000);
        m_startTimer->setEnabled(true);
    } else if (command == QLatin1String("IDC_FS_transfer") || command == QLatin1String("IDC_FS_cancel") ||
               command == QLatin1String("IDC_FS_exitTrackInfoWindow") ||
               command == QLatin1String("IDC_FS_listNameCanceld") ||
               command == QLatin1String("IDC_FS_don'tDeleteFromLibrary") ||
               command == QLatin1String("IDC_FS_don'tDeleteFromhard") ||
               command == QLatin1String("IDC_FS_don'tRemoveDuplicateFromlibrary") ||
               command == QLatin1String("IDC_FS_don'tRemoveDuplicateFromhard") ||
               command == QLatin1String("IDC_FS_okalert")) {
        showList();
    } else if (command == QLatin1String("IDC_FS_about") || command == QLatin1String("IDC_FS_removeDuplicate")) {
        hideList();
    } else if (command == QLatin1String("IDC_FS_exit")) {
        exitApp();
        return;
    } else if (command == QLatin1String("IDC_FS_mini")) {
        setWindowState(windowState() | Qt::WindowMinimized);
    } else if (command == QLatin1String("IDC_FS_maxi")) {
        toggleMaximised();
    } else if (command == QLatin1String("IDC_FS_help")) {
        openHelp();
    } else if (command == QLatin1String("IDC_FS_drag")) {
        dragWindow(this);
    } else if (command == QLatin1String("IDC_FS_stopListening")) {
        m_stopListening = true;
    } else if (command == QLatin1String("IDC_FS_okfilter")) {
        m_state.enter(WindowState::Phase::RemovingDuplicates);
        setVariable(QStringLiteral("_root.disablebtns"), QStringLiteral("1"));
        showBusy(QStringLiteral("Removing Duplicates..."));
        m_duplicateFilter = args;
        m_duplicatesTimer->setEnabled(true);
        showList();
    } else if (command == QLatin1String("IDC_FS_deleteDeadTracks")) {
        showBusy(QStringLiteral("Deleting dead tracks..."));
        yieldToEvents(3);
        m_deadTracksTimer->setEnabled(true);
    } else if (command == QLatin1String("IDC_FS_findDuplicates")) {
        findDuplicates(args);
    } else if (command == QLatin1String("IDC_FS_removeReviewed")) {
        const std::optional<cleaning::ReviewedRemoval> removal = reviewedRemovalIn(args);
        if (!removal) {
            showAlert(QStringLiteral("The reviewed removal could not be read; nothing was removed."),
                      AlertKind::Warning, QStringLiteral("Tidyfox"));
        } else {
            m_state.enter(WindowState::Phase::RemovingDuplicates);
            setVariable(QStringLiteral("_root.disablebtns"), QStringLiteral("1"));
            showBusy(QStringLiteral("Removing Duplicates..."));
            m_reviewedRemoval = removal;
            // Only what the last review showed, as it showed it.
            m_shownCopies.admit(*m_reviewedRemoval);
            m_duplicatesTimer->setEnabled(true);
            showList();
        }
    } else if (command == QLatin1String("IDC_FS_findDeadTracks")) {
        findDeadTracks();
    } else if (command == QLatin1String("IDC_FS_deleteReviewedDeadTracks")) {
        const auto ids = idListIn(args);
        if (!ids) {
            showAlert(kUnreadableSelection, AlertKind::Warning, QStringLiteral("Tidyfox"));
        } else {
            showBusy(QStringLiteral("Deleting dead tracks..."));
            yieldToEvents(3);
            m_reviewedDeadTracks = ids;
            m_deadTracksTimer->setEnabled(true);
        }
    } else if (command == QLatin1String("IDC_FS_viewTrack2")) {
        if (viewSelectedTrack())
            hideList();
    } else if (command == QLatin1String("IDC_FS_refreshList2")) {
        refreshLibraryList();
    } else if (command == QLatin1String("IDC_FS_delete")) {
        offerDeletion();
    } else if (command == QLatin1String("IDC_FS_deleteFromLibrary")) {
        deleteSelectedTracks(args, false);
    } else if (command == QLatin1String("IDC_FS_deleteFromhard")) {
        deleteSelectedTracks(args, true);
    } else if (command == QLatin1String("IDC_FS_removeFromPlaylist")) {
        removeFromPlaylist(args);
    } else if (command == QLatin1String("IDC_FS_deletePlaylist")) {
        deletePlaylist(args);
    } else if (command == QLatin1String("IDC_FS_showHistory")) {
        showHistory();
    } else if (command == QLatin1String("IDC_FS_restoreJob")) {
        restoreJob(args);
    } else if (command == QLatin1String("IDC_FS_undoLast")) {
        undoLast();
    }

    yieldToEvents(4);
}

} // namespace tidyfox::window
