// SPDX-License-Identifier: GPL-3.0-or-later
// The window's one state: which long operations are under way, and the command
// gate over them.
//
// Several phases can hold at once: the library can go away during a duplicate
// removal, and the reconnect then runs inside the removal's yields; a removal
// reloads the list before it lets commands through again. So the state is a
// set of phases rather than one value, and the gate asks whether any phase
// that closes it holds.
#pragma once

#include <QFlags>
#include <QString>

namespace tidyfox::window {

class WindowState
{
public:
    enum class Phase {
        // From the first tick of the start timer until a library has been
        // loaded: every connection attempt and the load after it.
        Connecting = 0x1,
        // The library list is being filled (at start-up, on a refresh, after
        // a cleaning job). A fill asked for while one runs is dropped.
        LoadingList = 0x2,
        // From the filter panel's confirmation until the removal has ended.
        RemovingDuplicates = 0x4,
        DeletingDeadTracks = 0x8,
        // The program is going away: the library's quitting is no longer
        // answered with a reconnect.
        Closing = 0x10,
        // One of the window's own jobs: a restore, or what the Delete button
        // asked for.
        RunningJob = 0x20,
        // Waiting for the library to hear its tracks before sound-alikes are
        // found: only stopping the listening gets through the gate.
        Listening = 0x40,
    };
    Q_DECLARE_FLAGS(Phases, Phase)

    // Whether a command from the face is carried out now. While the library
    // connects or duplicates are removed, only help, exit, minimise and maximise get
    // through; everything else is dropped, not queued.
    bool admits(const QString &command) const;
    // Help, exit, minimise and maximise: they never start long work, and the
    // user must always be able to leave.
    static bool isAlwaysAdmitted(const QString &command);

    bool isIn(Phase phase) const { return m_phases.testFlag(phase); }
    void enter(Phase phase) { m_phases |= phase; }
    void leave(Phase phase) { m_phases &= ~Phases(phase); }

    // A connection attempt yields while it loads, so a timer tick or the
    // library's quitting can arrive in the middle of one.
    enum class Attempt {
        None,
        Running,
        // The library quit while the attempt ran: the timer is armed again
        // once the attempt has finished.
        RunningLibraryQuit,
    };
    Attempt attempt() const { return m_attempt; }
    void setAttempt(Attempt attempt) { m_attempt = attempt; }

private:
    Phases m_phases;
    Attempt m_attempt = Attempt::None;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(WindowState::Phases)

} // namespace tidyfox::window
