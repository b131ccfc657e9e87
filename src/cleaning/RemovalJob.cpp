// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/RemovalJob.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"

#include <algorithm>

namespace tidyfox::cleaning {

RemovalJob::RemovalJob(CleaningHost &host, libraryclient::LibraryClient &library, QString kind)
    : m_host(host), m_library(library), m_kind(std::move(kind))
{}

RemovalJob::~RemovalJob()
{
    close();
}

void RemovalJob::open()
{
    if (m_jobId == 0)
        m_jobId = m_library.beginJob(m_kind);
}

void RemovalJob::remove(std::int32_t databaseId, const std::optional<system::TrashedFile> &trashed)
{
    open();
    m_library.deleteTrackInJob(m_jobId, databaseId, trashed ? trashed->trashedPath : QString(),
                               trashed ? trashed->infoPath : QString());
    m_changed = true;
}

void RemovalJob::removeMergingInto(std::int32_t databaseId, std::int32_t keeperId,
                                   const std::optional<system::TrashedFile> &trashed)
{
    open();
    m_library.deleteTrackMergingIntoInJob(m_jobId, databaseId, keeperId, trashed ? trashed->trashedPath : QString(),
                                          trashed ? trashed->infoPath : QString());
    m_changed = true;
}

void RemovalJob::removeKeeping(std::int32_t databaseId, std::int32_t keeperId,
                               const std::optional<system::TrashedFile> &trashed)
{
    open();
    m_library.deleteCopyInJob(m_jobId, databaseId, keeperId, trashed ? trashed->trashedPath : QString(),
                              trashed ? trashed->infoPath : QString());
    m_changed = true;
}

libraryclient::JobRemovals RemovalJob::removeAll(const std::vector<protocol::TrackRemoval> &removals, bool mergeHistory)
{
    open();
    libraryclient::JobRemovals result = m_library.removeTracksInJob(m_jobId, removals, mergeHistory);
    if (std::find(result.removed.begin(), result.removed.end(), true) != result.removed.end())
        m_changed = true;
    return result;
}

void RemovalJob::removeFromPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds)
{
    open();
    m_library.removeFromPlaylistInJob(m_jobId, playlistId, databaseIds);
    m_changed = true;
}

void RemovalJob::deletePlaylist(std::int32_t playlistId)
{
    open();
    m_library.deletePlaylistInJob(m_jobId, playlistId);
    m_changed = true;
}

void RemovalJob::close() noexcept
{
    if (m_closed || m_jobId == 0)
        return;
    m_closed = true;
    try {
        m_library.endJob(m_jobId);
    } catch (const std::exception &error) {
        qCDebug(lcCleaning) << "The history could not close job" << m_jobId << ":" << error.what();
    }
    if (!m_changed)
        return;
    m_host.jobRecorded(m_jobId);
    tellPlayerWaits(m_host, m_library, m_jobId);
}

void tellPlayerWaits(CleaningHost &host, libraryclient::LibraryClient &library, std::int32_t jobId) noexcept
{
    try {
        for (const protocol::JobRecord &job : library.listJobs()) {
            if (job.jobId == jobId && !job.playerWaiting.isEmpty())
                host.playerChangeWaits(job.playerWaiting);
        }
    } catch (const std::exception &error) {
        qCDebug(lcCleaning) << "The history could not say whether job" << jobId << "waits:" << error.what();
    }
}

void RemovalJob::fileStayed(const QString &location, const QString &why)
{
    qCDebug(lcCleaning) << "The file" << location << "stays where it is:" << why;
    // The alert names the first few; a run over a whole folder of documents
    // would otherwise give a line longer than any screen.
    constexpr qsizetype kNamed = 8;
    if (m_stayedCount++ < kNamed)
        m_stayed << QStringLiteral("%1 (%2)").arg(location, why);
}

QString RemovalJob::stayedFiles() const
{
    if (m_stayedCount == 0)
        return {};
    QString text = (m_stayedCount == 1 ? QStringLiteral("1 file stayed where it was: ")
                                       : QStringLiteral("%1 files stayed where they were: ").arg(m_stayedCount)) +
                   m_stayed.join(QStringLiteral("; "));
    if (m_stayedCount > m_stayed.size())
        text += QStringLiteral("; and %1 more").arg(m_stayedCount - m_stayed.size());
    return text + QLatin1Char('.');
}

void runRemovalJob(CleaningHost &host, libraryclient::LibraryClient *library, const QString &kind, const char *logName,
                   const std::int64_t &count, const JobSteps &steps)
{
    QString reason;
    std::optional<RemovalJob> job;
    try {
        if (steps.ready && !steps.ready())
            return;
        if (!library)
            throw RunFailure("not connected to the library");
        job.emplace(host, *library, kind);
        steps.work(*library, *job);
        job->close();
        steps.succeeded(*job);
        return;
    } catch (const std::exception &error) {
        reason = failureReason(error);
        qCDebug(lcCleaning) << logName << "stopped after" << count << "changes:" << error.what();
    } catch (...) {
        qCDebug(lcCleaning) << logName << "stopped after" << count << "changes";
    }
    if (job)
        job->close();
    steps.failed(reason, job ? &*job : nullptr);
}

} // namespace tidyfox::cleaning
