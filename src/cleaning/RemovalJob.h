// SPDX-License-Identifier: GPL-3.0-or-later
// One cleaning run's entry in the library's history of removals: the library
// writes down each removal with all it needs to put the track back, so that
// the run can be undone whole.
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"
#include "system/Trash.h"

#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tidyfox::cleaning {

class RemovalJob
{
public:
    // kind names the run in the history ("duplicates", "dead tracks", ...).
    RemovalJob(CleaningHost &host, libraryclient::LibraryClient &library, QString kind);
    // Closes the job if it is still open.
    ~RemovalJob();
    RemovalJob(const RemovalJob &) = delete;
    RemovalJob &operator=(const RemovalJob &) = delete;

    // Opens the job the first time; called before a file leaves its place,
    // so that a history that cannot be written stops the run with every file
    // where it was. A run that removes nothing leaves no entry.
    void open();
    // Removes the track as deleteFromLibrary (or, with a keeper,
    // deleteFromLibraryMergingInto) does, with the same errors, and writes
    // down where its file went in the trash, when it went.
    void remove(std::int32_t databaseId, const std::optional<system::TrashedFile> &trashed);
    void removeMergingInto(std::int32_t databaseId, std::int32_t keeperId,
                           const std::optional<system::TrashedFile> &trashed);
    // remove, for a copy of keeperId: refused (kErrObjectDeleted), changing
    // nothing, once the keeper is gone.
    void removeKeeping(std::int32_t databaseId, std::int32_t keeperId,
                       const std::optional<system::TrashedFile> &trashed);
    // Many removals in one call, each as remove or (with a keeper)
    // removeKeeping or, with mergeHistory, removeMergingInto does it: see
    // LibraryClient::removeTracksInJob. Never throws for the removals
    // themselves; opening the job may.
    libraryclient::JobRemovals removeAll(const std::vector<protocol::TrackRemoval> &removals, bool mergeHistory);
    // Takes the tracks' places out of a user playlist; the tracks stay.
    void removeFromPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds);
    // Deletes a user playlist; its tracks stay in the library.
    void deletePlaylist(std::int32_t playlistId);
    // Ends the job and, when it changed anything, tells the host, which may
    // offer to undo it. Called
    // before the run's last alert; a job the library cannot close stays open
    // in its history and can still be restored.
    void close() noexcept;

    // A removed copy's file that was not sent to the trash, and why.
    void fileStayed(const QString &location, const QString &why);
    // The files that stayed, for the line under the run's last alert; empty
    // when none did.
    QString stayedFiles() const;

private:
    CleaningHost &m_host;
    libraryclient::LibraryClient &m_library;
    QString m_kind;
    std::int32_t m_jobId = 0;
    bool m_closed = false;
    bool m_changed = false; // something of the library went into the job
    QStringList m_stayed;
    qsizetype m_stayedCount = 0;
};

// The one envelope of every job that changes the library. In order: ready
// (checks of the job's own; false when it has ended the job itself), the
// connection, the job in the history, work, the job closed, succeeded. Any
// error on the way closes the job (when there is one) and ends in failed, with
// the error's words for a person; count is what work has done so far, for the
// log.
struct JobSteps
{
    std::function<bool()> ready;
    std::function<void(libraryclient::LibraryClient &library, RemovalJob &job)> work;
    std::function<void(RemovalJob &job)> succeeded;
    std::function<void(const QString &reason, RemovalJob *job)> failed;
};
void runRemovalJob(CleaningHost &host, libraryclient::LibraryClient *library, const QString &kind, const char *logName,
                   const std::int64_t &count, const JobSteps &steps);

// Tells the host when the job's change waits for the player's own library.
void tellPlayerWaits(CleaningHost &host, libraryclient::LibraryClient &library, std::int32_t jobId) noexcept;

} // namespace tidyfox::cleaning
