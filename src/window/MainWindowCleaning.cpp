// SPDX-License-Identifier: GPL-3.0-or-later
// The cleaning jobs and the track view, as the window runs them.
#include "cleaning/CleaningRun.h"
#include "cleaning/DeadTrackDeletion.h"
#include "cleaning/DeadTrackReview.h"
#include "cleaning/DuplicateRemoval.h"
#include "cleaning/DuplicateReview.h"
#include "cleaning/ReviewedRemoval.h"
#include "cleaning/TrackInfo.h"
#include "system/FileSystem.h"
#include "system/Volumes.h"
#include "window/DeadTrackReviewModel.h"
#include "window/DuplicateReviewModel.h"
#include "window/FaceView.h"
#include "window/IntervalTimer.h"
#include "window/JobStatus.h"
#include "window/MainWindow.h"
#include "window/TrackDetails.h"
#include "window/WindowCleaningHost.h"
#include "window/WindowLog.h"

#include <QElapsedTimer>
#include <QLocale>
#include <optional>
#include <utility>

namespace tidyfox::window {

void WindowCleaningHost::showAlert(const QString &text, AlertKind kind, const QString &title)
{
    m_window.showAlert(text, kind, title, std::exchange(m_alertDetail, {}));
    m_window.m_jobStatus->setUndoJob(std::exchange(m_recordedJob, 0));
}

void WindowCleaningHost::jobRecorded(std::int32_t jobId)
{
    m_recordedJob = jobId;
}

void WindowCleaningHost::setAlertDetail(const QString &detail)
{
    m_alertDetail = detail;
}

void WindowCleaningHost::reportProgress(const QString &job, int done, int total)
{
    m_window.m_jobStatus->reportProgress(job, done, total);
}

void WindowCleaningHost::hideBusy()
{
    m_window.hideBusy();
}

void WindowCleaningHost::refreshLibraryList()
{
    m_window.refreshLibraryList();
}

void WindowCleaningHost::enableButtons()
{
    m_window.setVariable(QStringLiteral("_root.enablebtns"), QStringLiteral("1"));
}

void WindowCleaningHost::reopenCommandGate()
{
    m_window.m_state.leave(WindowState::Phase::RemovingDuplicates);
    m_window.m_state.leave(WindowState::Phase::RunningJob);
}

void WindowCleaningHost::yieldOnce()
{
    m_window.yieldToEvents(1);
}

void MainWindow::onDuplicatesTimer()
{
    m_duplicatesTimer->setEnabled(false);
    removeDuplicates(m_duplicateFilter);
}

void MainWindow::removeDuplicates(const QString &filterText)
{
    // Hold the library client for the whole run: a reconnect in a yield
    // replaces the window's reference, not this run's.
    const libraryclient::LibraryClientPtr library = m_library;
    // A review's confirmed copies, or the filter's own walk.
    if (const auto reviewed = std::exchange(m_reviewedRemoval, std::nullopt)) {
        cleaning::removeReviewed(*m_cleaningHost, library.get(), *m_env.fileSystem, *reviewed, m_pendingRemovals.get());
        return;
    }
    cleaning::removeDuplicates(*m_cleaningHost, library.get(), *m_env.fileSystem, filterText, m_pendingRemovals.get());
}

void MainWindow::onDeadTracksTimer()
{
    m_deadTracksTimer->setEnabled(false);
    deleteDeadTracks();
}

void MainWindow::deleteDeadTracks()
{
    const libraryclient::SourcePtr source = m_librarySource;
    const libraryclient::LibraryClientPtr library = m_library;
    // A review's confirmed tracks, or every dead track.
    const std::optional<std::vector<std::int32_t>> reviewed = std::exchange(m_reviewedDeadTracks, std::nullopt);
    m_state.enter(WindowState::Phase::DeletingDeadTracks);
    if (reviewed) {
        cleaning::deleteReviewedDeadTracks(*m_cleaningHost, library.get(), source.get(), *m_env.fileSystem, *reviewed);
    } else {
        // Spares what the review would start unticked.
        const system::Volumes volumes = system::Volumes::current();
        cleaning::deleteDeadTracks(*m_cleaningHost, library.get(), source.get(), *m_env.fileSystem, &volumes);
    }
    m_state.leave(WindowState::Phase::DeletingDeadTracks);
}

void MainWindow::findDuplicates(const QString &filterText)
{
    const libraryclient::LibraryClientPtr library = m_library;
    const cleaning::DuplicateFilter filter(filterText);
    if (!filter.hasAllProperties() || !filter.choosesSomething()) {
        showAlert(QStringLiteral("You must check one filter item at least, Operation aborted."), AlertKind::Warning,
                  QStringLiteral("Tidyfox"));
        return;
    }
    showBusy(QStringLiteral("Finding duplicates..."));
    // The last review goes before the next is found, not beside it.
    m_duplicateReview->clear();
    try {
        if (!library)
            throw libraryclient::ClientError::objectNotSet();
        if (filter.soundAlike() && !listenToTracks(*library)) {
            hideBusy();
            showList();
            return;
        }
        showBusy(QStringLiteral("Finding duplicates..."));
        cleaning::DuplicateReview review = cleaning::reviewDuplicates(
            *library, *m_env.fileSystem, filter, cleaning::KeepRule::LibraryOrder, [this](int done, int total) {
                m_jobStatus->reportProgress(QStringLiteral("Finding duplicates"), done, total);
                if (done % 256 == 0)
                    yieldToEvents(1);
            });
        hideBusy();
        hideList();
        m_shownCopies = cleaning::ShownCopies(review);
        m_duplicateReview->show(std::move(review), filterText, filter.keepFiles() == true);
    } catch (const std::exception &error) {
        hideBusy();
        showAlert(QStringLiteral("Can not find duplicates."), AlertKind::Information, QStringLiteral("Tidyfox"),
                  cleaning::failureReason(error));
    }
}

bool MainWindow::listenToTracks(libraryclient::LibraryClient &library)
{
    m_stopListening = false;
    m_state.enter(WindowState::Phase::Listening);
    m_jobStatus->setListening(true);
    QElapsedTimer sinceShown;
    const QLocale numbers(QLocale::English, QLocale::UnitedStates);
    libraryclient::LibraryClient::FingerprintHandlers handlers;
    handlers.progress = [&](int done, int total) {
        if (sinceShown.isValid() && sinceShown.elapsed() < 100 && done < total)
            return;
        sinceShown.start();
        showBusy(
            QStringLiteral("Listening to %1 of %2 tracks...").arg(numbers.toString(done), numbers.toString(total)));
    };
    handlers.cancelled = [this] { return m_stopListening; };
    try {
        library.makeFingerprints(handlers);
    } catch (...) {
        m_jobStatus->setListening(false);
        m_state.leave(WindowState::Phase::Listening);
        throw;
    }
    m_jobStatus->setListening(false);
    m_state.leave(WindowState::Phase::Listening);
    return !m_stopListening;
}

void MainWindow::findDeadTracks()
{
    const libraryclient::SourcePtr source = m_librarySource;
    const libraryclient::LibraryClientPtr library = m_library;
    showBusy(QStringLiteral("Finding dead tracks..."));
    try {
        if (!source)
            throw libraryclient::ClientError::objectNotSet();
        auto findings = cleaning::findDeadTracks(
            *source, *m_env.fileSystem, system::Volumes::current(), [this](int done, int total) {
                m_jobStatus->reportProgress(QStringLiteral("Finding dead tracks"), done, total);
                // Keep the face alive on a large library.
                if (done % 512 == 0)
                    yieldToEvents(1);
            });
        if (m_pendingRemovals)
            cleaning::leaveOutMovesUnderWay(findings, *m_pendingRemovals);
        hideBusy();
        hideList();
        m_deadTrackReview->show(findings);
    } catch (const libraryclient::ClientError &error) {
        hideBusy();
        showAlert(QStringLiteral("Can not find dead tracks."), AlertKind::Information, QStringLiteral("Tidyfox"),
                  error.description());
    }
}

bool MainWindow::viewSelectedTrack()
{
    const QString text = cleaning::buildTrackInfo(m_selectedTrack.get(), QLocale());
    if (text.isEmpty())
        return false;
    std::optional<qint64> size;
    try {
        size = m_selectedTrack->size();
    } catch (const libraryclient::ClientError &error) {
        // The details show no size rather than none at all.
        qCDebug(lcWindow) << "The track's size is unknown:" << error.what();
    }
    m_trackDetails->setSize(size);
    setVariable(QStringLiteral("_root.trackinfo"), text);
    setVariable(QStringLiteral("_root.showtracinfowin"), QStringLiteral("true"));
    return true;
}

} // namespace tidyfox::window
