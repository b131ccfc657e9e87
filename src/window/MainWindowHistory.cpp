// SPDX-License-Identifier: GPL-3.0-or-later
// Undo: the history panel of the library's recent jobs, and putting a job
// back as a job of the window's own.
#include "cleaning/JobRestore.h"
#include "window/FaceArguments.h"
#include "window/JobHistoryModel.h"
#include "window/JobStatus.h"
#include "window/MainWindow.h"
#include "window/WindowCleaningHost.h"
#include "window/WindowLog.h"

namespace tidyfox::window {

void MainWindow::runLibraryJob(const QString &busyText, const std::function<void()> &job)
{
    m_jobStatus->setUndoJob(0);
    m_state.enter(WindowState::Phase::RunningJob);
    setVariable(QStringLiteral("_root.disablebtns"), QStringLiteral("1"));
    showBusy(busyText);
    yieldToEvents(3);
    job();
    // The job gave the gate back at its end; this is for one that could not.
    m_state.leave(WindowState::Phase::RunningJob);
}

void MainWindow::showHistory()
{
    if (!m_library) {
        showAlert(QStringLiteral("The history cannot be shown: Tidyfox is not connected to the library."),
                  AlertKind::Warning, QStringLiteral("Tidyfox"));
        return;
    }
    try {
        m_jobHistory->show(m_library->listJobs());
        hideList();
    } catch (const libraryclient::ClientError &error) {
        showAlert(QStringLiteral("The history cannot be shown."), AlertKind::Warning, QStringLiteral("Tidyfox"),
                  error.description());
    }
}

void MainWindow::restoreJob(const QString &args)
{
    const auto jobId = idIn(args);
    if (!jobId) {
        showAlert(QStringLiteral("The job to restore could not be read; nothing was restored."), AlertKind::Warning,
                  QStringLiteral("Tidyfox"));
        return;
    }
    const libraryclient::LibraryClientPtr library = m_library;
    m_restoredHere.insert(*jobId);
    runLibraryJob(QStringLiteral("Restoring..."),
                  [&] { cleaning::restoreJob(*m_cleaningHost, library.get(), *jobId); });
}

void MainWindow::undoLast()
{
    const libraryclient::LibraryClientPtr library = m_library;
    // The job this window's last alert offered; without one (a command from
    // the bus), the newest job not restored yet.
    std::int32_t jobId = m_jobStatus->undoJob();
    runLibraryJob(QStringLiteral("Restoring..."), [&] {
        try {
            if (jobId == 0 && library)
                jobId = cleaning::lastRestorableJob(*library);
        } catch (const libraryclient::ClientError &error) {
            qCDebug(lcWindow) << "The history could not be read:" << error.what();
        }
        m_restoredHere.insert(jobId);
        cleaning::restoreJob(*m_cleaningHost, library.get(), jobId);
    });
}

} // namespace tidyfox::window
