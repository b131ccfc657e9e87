// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/JobStatus.h"

namespace tidyfox::window {

namespace {
// About three frames: often enough for a smooth bar, rarely enough that a
// job of 100,000 steps announces a few hundred of them.
constexpr qint64 kAnnounceEveryMs = 50;
} // namespace

JobStatus::JobStatus(QObject *parent) : QObject(parent)
{
    m_sinceShown.start();
}

void JobStatus::setUndoJob(int jobId)
{
    if (jobId == m_undoJob)
        return;
    m_undoJob = jobId;
    Q_EMIT undoJobChanged();
}

void JobStatus::setListening(bool listening)
{
    if (listening == m_listening)
        return;
    m_listening = listening;
    Q_EMIT listeningChanged();
}

void JobStatus::setAlertDetail(const QString &detail)
{
    if (detail == m_alertDetail)
        return;
    m_alertDetail = detail;
    Q_EMIT alertDetailChanged();
}

void JobStatus::reportProgress(const QString &job, int done, int total)
{
    const bool due =
        job != m_shownJob || total != m_shownTotal || done >= total || m_sinceShown.elapsed() >= kAnnounceEveryMs;
    if (due && (done != m_shownDone || job != m_shownJob || total != m_shownTotal))
        announce(job, done, total);
}

void JobStatus::endProgress()
{
    if (m_shownTotal != 0 || !m_shownJob.isEmpty())
        announce({}, 0, 0);
}

void JobStatus::announce(const QString &job, int done, int total)
{
    m_shownJob = job;
    m_shownDone = done;
    m_shownTotal = total;
    m_sinceShown.restart();
    Q_EMIT progressChanged(job, done, total);
}

} // namespace tidyfox::window
