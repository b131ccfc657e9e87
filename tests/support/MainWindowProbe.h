// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/TreeGrid.h"
#include "window/FaceView.h"
#include "window/IntervalTimer.h"
#include "window/MainWindow.h"
#include "window/WindowState.h"

#include <QPushButton>

namespace tidyfox::window {

// The narrow door tests use to see and drive what a user cannot reach directly:
// the list widget, the timers (to tick them without waiting), the state and
// the library connection. The program itself never uses it.
class MainWindowProbe
{
public:
    explicit MainWindowProbe(MainWindow &window) : m_window(window) {}

    widgets::TreeGrid &libraryList() const { return *m_window.m_libraryList; }
    FaceView &face() const { return *m_window.m_face; }
    IntervalTimer &startTimer() const { return *m_window.m_startTimer; }
    IntervalTimer &duplicatesTimer() const { return *m_window.m_duplicatesTimer; }
    IntervalTimer &deadTracksTimer() const { return *m_window.m_deadTracksTimer; }
    WindowState &state() const { return m_window.m_state; }
    const WindowEnvironment &environment() const { return m_window.m_env; }
    // The connection and the selection can be set directly, to start a test
    // from a given state.
    libraryclient::LibraryClientPtr &library() const { return m_window.m_library; }
    // Tests take the source away to see a fill without one.
    libraryclient::SourcePtr &librarySource() const { return m_window.m_librarySource; }
    libraryclient::PlaylistPtr &selectedPlaylist() const { return m_window.m_selectedPlaylist; }
    libraryclient::TrackPtr &selectedTrack() const { return m_window.m_selectedTrack; }
    const QString &duplicateFilter() const { return m_window.m_duplicateFilter; }
    QPushButton &connectButton() const { return *m_window.m_connectButton; }
    QPushButton &disconnectButton() const { return *m_window.m_disconnectButton; }
    QPushButton &loadLibraryButton() const { return *m_window.m_loadLibraryButton; }

    // The handlers as their timers and events call them.
    void tickStartTimer() const { m_window.onStartTimer(); }
    void tickDuplicatesTimer() const { m_window.onDuplicatesTimer(); }
    void tickDeadTracksTimer() const { m_window.onDeadTracksTimer(); }
    void raiseLibraryQuitting() const { m_window.onLibraryQuitting(); }
    void refreshLibraryList() const { m_window.refreshLibraryList(); }
    void exitApp() const { m_window.exitApp(); }
    void updateTrackButtons() const { m_window.updateTrackButtons(); }
    void showBusy(const QString &text) const { m_window.showBusy(text); }
    void hideBusy() const { m_window.hideBusy(); }
    void showList() const { m_window.showList(); }
    void hideList() const { m_window.hideList(); }
    void showAlert(const QString &text, AlertKind kind) const
    {
        m_window.showAlert(text, kind, QStringLiteral("Tidyfox"));
    }

private:
    MainWindow &m_window;
};

} // namespace tidyfox::window
