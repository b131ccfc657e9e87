#include "cleaning/RemovalJob.h"

#include "cleaning/CleaningLog.h"

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

} // namespace tidyfox::cleaning
