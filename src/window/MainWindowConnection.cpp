// SPDX-License-Identifier: GPL-3.0-or-later
// The connection with the music library: start-up attempts, retries,
// reconnecting when the library goes away, and the hidden buttons.
#include "cleaning/PendingRemovals.h"
#include "libraryclient/LibraryLookups.h"
#include "widgets/TreeGrid.h"
#include "window/IntervalTimer.h"
#include "window/LibrarySourceName.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"

#include <QPointer>

namespace tidyfox::window {

MainWindow::Connection MainWindow::connectToLibrary()
{
    try {
        yieldToEvents(1);
        libraryclient::LibraryClientPtr created = m_env.createLibraryClient ? m_env.createLibraryClient() : nullptr;
        if (!created)
            throw libraryclient::ClientError(libraryclient::kErrCallFailed,
                                             QStringLiteral("The music library cannot be reached"));
        // The previous object is released and no longer reports to us.
        if (m_library) {
            m_library->setQuittingHandler({});
            m_library->setRestoredHandler({});
        }
        m_library = std::move(created);
        watchLibraryQuitting();
        yieldToEvents(4);
        m_unusableLibrary.clear();
        return loadLibrarySource();
    } catch (const libraryclient::ClientError &error) {
        if (error.number() == libraryclient::kErrLibraryUnusable)
            m_unusableLibrary = error.description();
        return Connection::Failed;
    }
}

void MainWindow::watchLibraryQuitting()
{
    QPointer<MainWindow> self(this);
    m_library->setQuittingHandler([self] {
        if (self)
            self->onLibraryQuitting();
    });
    m_library->setRestoredHandler([self](std::int32_t jobId) {
        if (self)
            self->onLibraryRestored(jobId);
    });
}

void MainWindow::onLibraryRestored(std::int32_t jobId)
{
    // A restore of this window reloads at its own end.
    if (m_restoredHere.erase(jobId) > 0)
        return;
    // A job under way reloads at its end and sees the tracks then.
    using Phase = WindowState::Phase;
    for (const Phase busy : {Phase::Connecting, Phase::LoadingList, Phase::RemovingDuplicates,
                             Phase::DeletingDeadTracks, Phase::RunningJob, Phase::Listening}) {
        if (m_state.isIn(busy))
            return;
    }
    refreshLibraryList();
}

void MainWindow::disconnectFromLibrary()
{
    try {
        if (m_library)
            m_library->quit();
    } catch (const libraryclient::ClientError &error) {
        // The library is let go either way.
        qCDebug(lcWindow) << "The library did not take the quit:" << error.what();
    }
    if (m_library) {
        m_library->setQuittingHandler({});
        m_library->setRestoredHandler({});
    }
    m_library.reset();
}

void MainWindow::showSourceName()
{
    try {
        m_sourceName->setName(m_librarySource->name());
    } catch (const std::exception &) {
        // The heading keeps its name; the library's trouble shows elsewhere.
    }
}

MainWindow::Connection MainWindow::loadLibrarySource()
{
    if (!libraryclient::fetchLibrarySource(m_library.get(), m_librarySource))
        return Connection::NoLibrarySource;
    showSourceName();
    return Connection::Connected;
}

void MainWindow::onStartTimer()
{
    // A tick that falls due while an attempt still yields would start a second
    // attempt inside the first; the running attempt decides what comes next.
    if (m_state.attempt() != WindowState::Attempt::None)
        return;
    m_state.setAttempt(WindowState::Attempt::Running);
    m_state.enter(WindowState::Phase::Connecting);
    showBusy(QStringLiteral("Connecting to iTunes..."));
    const Connection result = connectToLibrary();
    if (result == Connection::Failed) {
        m_startTimer->setInterval(8000);
        m_state.setAttempt(WindowState::Attempt::None);
        tellUnusableLibraryOnce();
        return;
    }
    if (result == Connection::NoLibrarySource) {
        showAlert(QStringLiteral("No library found, Use Add File(s)/Folder(s) to make your own library"),
                  AlertKind::Information, QStringLiteral("Tidyfox"));
    }
    m_startTimer->setEnabled(false);
    m_startTimer->setInterval(2000);
    m_toldUnusableLibrary.clear();
    setVariable(QStringLiteral("_root.activationtxt"), QStringLiteral("Loading Library Contents..."));
    fillListFromSource(*m_libraryList, m_librarySource);
    m_libraryList->setStackOrder(widgets::TreeGrid::StackOrder::Front);
    hideBusy();
    updateTrackButtons();
    m_state.leave(WindowState::Phase::Connecting);
    const bool libraryQuit = m_state.attempt() == WindowState::Attempt::RunningLibraryQuit;
    m_state.setAttempt(WindowState::Attempt::None);
    // The library went away while this attempt ran: the attempt has turned
    // the timer off, so arm it again as the quitting event asked.
    if (libraryQuit)
        onLibraryQuitting();
}

// The retries go on as before; the user hears once why they keep failing,
// and again only when the reason changes.
void MainWindow::tellUnusableLibraryOnce()
{
    if (m_unusableLibrary.isEmpty() || m_unusableLibrary == m_toldUnusableLibrary)
        return;
    m_toldUnusableLibrary = m_unusableLibrary;
    showAlert(QStringLiteral("The music library cannot be opened."), AlertKind::Critical, QStringLiteral("Tidyfox"),
              m_unusableLibrary);
}

void MainWindow::onLibraryQuitting()
{
    if (m_state.isIn(WindowState::Phase::Closing))
        return;
    if (m_state.attempt() == WindowState::Attempt::Running)
        m_state.setAttempt(WindowState::Attempt::RunningLibraryQuit);
    m_startTimer->setInterval(2000);
    m_startTimer->setEnabled(true);
}

void MainWindow::onConnectButton()
{
    connectToLibrary();
}

void MainWindow::onDisconnectButton()
{
    disconnectFromLibrary();
}

void MainWindow::onLoadLibraryButton()
{
    fillListFromSource(*m_libraryList, m_librarySource);
}

} // namespace tidyfox::window
