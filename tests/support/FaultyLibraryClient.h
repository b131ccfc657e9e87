// SPDX-License-Identifier: GPL-3.0-or-later
// A decorator over any application object for the failure cases: chosen calls
// fail (by operation name, after a number of calls, a number of times),
// creation is refused, and the quitting event is raised on demand. Every
// object reached through it is wrapped too, so a fault can be put anywhere.
#pragma once

#include "libraryclient/LibraryClient.h"

#include <QHash>
#include <QString>
#include <memory>

namespace tidyfox::libraryclient {

// Which calls fail. Operation names are the interface's member names
// ("Tracks", "Delete", "Location", "Count", "Item", "ForEach", ...).
class FaultPlan
{
public:
    static constexpr int kAlways = -1;

    // The calls of operation after the first `afterCalls` fail with number,
    // `times` times (kAlways: every one).
    void failCall(const QString &operation, int afterCalls = 0, std::int32_t number = kErrCallFailed,
                  int times = kAlways);
    // Every call after the first `calls` (of any operation) fails.
    void failEveryCallAfter(int calls, std::int32_t number = kErrCallFailed);
    // The next `times` creations through FaultyLibraryClient::factory throw.
    void refuseCreation(int times = kAlways);
    void clear();

    int calls(const QString &operation) const { return m_calls.value(operation); }
    int totalCalls() const { return m_totalCalls; }

    // Counts a call and throws when the plan says so.
    void check(const char *operation);
    bool takeCreationRefusal();

private:
    struct Rule
    {
        int afterCalls;
        std::int32_t number;
        int times;
    };
    QHash<QString, Rule> m_rules;
    QHash<QString, int> m_calls;
    int m_totalCalls = 0;
    int m_failAllAfter = -1;
    std::int32_t m_failAllNumber = kErrCallFailed;
    int m_refusals = 0;
};

using FaultPlanPtr = std::shared_ptr<FaultPlan>;

class FaultyLibraryClient : public LibraryClient
{
public:
    FaultyLibraryClient(LibraryClientPtr inner, FaultPlanPtr plan);

    SourcePtr librarySource() override;
    PlaylistPtr libraryPlaylist() override;
    void quit() override;
    std::vector<std::int32_t> fileTracksAt(const QString &path) override;
    void setQuittingHandler(std::function<void()> handler) override;
    std::int32_t beginJob(const QString &kind) override;
    void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                          const QString &infoPath) override;
    void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                     const QString &trashedPath, const QString &infoPath) override;
    void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId, const QString &trashedPath,
                         const QString &infoPath) override;
    void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                 const std::vector<std::int32_t> &databaseIds) override;
    void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) override;
    void endJob(std::int32_t jobId) override;
    std::vector<protocol::JobRecord> listJobs() override;
    protocol::RestoreResult restoreJob(std::int32_t jobId) override;
    void setRestoredHandler(std::function<void(std::int32_t)> handler) override;

    // Calls the quitting handler now, as if the library had gone.
    void raiseQuitting();
    const FaultPlanPtr &plan() const { return m_plan; }

    // Creations through inner, refused when the plan says so.
    static LibraryClientFactory factory(LibraryClientFactory inner, FaultPlanPtr plan);

private:
    LibraryClientPtr m_inner;
    FaultPlanPtr m_plan;
    std::shared_ptr<std::function<void()>> m_handler;
};

} // namespace tidyfox::libraryclient
