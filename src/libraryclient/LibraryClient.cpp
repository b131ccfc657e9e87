// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryclient/LibraryClient.h"

namespace tidyfox::libraryclient {

namespace {

ClientError noHistory()
{
    return {kErrCallFailed, QStringLiteral("This library keeps no history of removals")};
}

ClientError noFingerprints()
{
    return {kErrCallFailed, QStringLiteral("This library keeps no fingerprints")};
}

} // namespace

protocol::FingerprintSummary LibraryClient::makeFingerprints(const FingerprintHandlers &)
{
    throw noFingerprints();
}

std::vector<protocol::SoundMatch> LibraryClient::soundMatches()
{
    throw noFingerprints();
}

std::int32_t LibraryClient::beginJob(const QString &)
{
    throw noHistory();
}

void LibraryClient::deleteTrackInJob(std::int32_t, std::int32_t, const QString &, const QString &)
{
    throw noHistory();
}

void LibraryClient::deleteTrackMergingIntoInJob(std::int32_t, std::int32_t, std::int32_t, const QString &,
                                                const QString &)
{
    throw noHistory();
}

void LibraryClient::deleteCopyInJob(std::int32_t, std::int32_t, std::int32_t, const QString &, const QString &)
{
    throw noHistory();
}

JobRemovals LibraryClient::removeTracksInJob(std::int32_t jobId, const std::vector<protocol::TrackRemoval> &removals,
                                             bool mergeHistory)
{
    JobRemovals result;
    for (const protocol::TrackRemoval &removal : removals) {
        try {
            if (removal.keeperId == 0)
                deleteTrackInJob(jobId, removal.databaseId, removal.trashedPath, removal.infoPath);
            else if (mergeHistory)
                deleteTrackMergingIntoInJob(jobId, removal.databaseId, removal.keeperId, removal.trashedPath,
                                            removal.infoPath);
            else
                deleteCopyInJob(jobId, removal.databaseId, removal.keeperId, removal.trashedPath, removal.infoPath);
            result.removed.push_back(true);
        } catch (const ClientError &error) {
            if (error.number() != kErrObjectDeleted) {
                result.failure = std::current_exception();
                break;
            }
            result.removed.push_back(false);
        } catch (...) {
            result.failure = std::current_exception();
            break;
        }
    }
    return result;
}

std::vector<std::vector<std::int32_t>> LibraryClient::fileTracksAtEach(const QStringList &paths)
{
    std::vector<std::vector<std::int32_t>> users;
    users.reserve(size_t(paths.size()));
    for (const QString &path : paths)
        users.push_back(fileTracksAt(path));
    return users;
}

void LibraryClient::removeFromPlaylistInJob(std::int32_t, std::int32_t, const std::vector<std::int32_t> &)
{
    throw noHistory();
}

void LibraryClient::deletePlaylistInJob(std::int32_t, std::int32_t)
{
    throw noHistory();
}

void LibraryClient::setRestoredHandler(std::function<void(std::int32_t)>) {}

void LibraryClient::endJob(std::int32_t)
{
    throw noHistory();
}

std::vector<protocol::JobRecord> LibraryClient::listJobs()
{
    throw noHistory();
}

protocol::RestoreResult LibraryClient::restoreJob(std::int32_t)
{
    throw noHistory();
}

} // namespace tidyfox::libraryclient
