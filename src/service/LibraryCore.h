// SPDX-License-Identifier: GPL-3.0-or-later
// The music library kept by the library service: one library source, the
// library playlist with every track in the order added, user playlists, file
// tracks and URL tracks (streams). Stored in SQLite; every change is one
// transaction. Used by the service (over D-Bus) and by the in-process adapter.
#pragma once

#include "protocol/LibraryRecords.h"
#include "service/JobHolder.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tidyfox::library {

// Jobs the history keeps.
inline constexpr int kJournalJobs = 50;

// The records and errors are the bus's own; the library speaks them too.
using protocol::JobRecord;
using protocol::LibraryError;
using protocol::ObjectDeletedError;
using protocol::PlaylistRecord;
using protocol::RestoreResult;
using protocol::SourceRecord;
using protocol::TrackKind;
using protocol::TrackRecord;
using protocol::TrackRemoval;

class LibraryCore
{
public:
    // Opens (creating and migrating as needed) the library at path; ":memory:"
    // gives a private in-memory library. Throws LibraryError with a clear
    // message for a file that is locked, read-only, or not a library.
    static std::unique_ptr<LibraryCore> open(const QString &path);
    virtual ~LibraryCore() = default;

    virtual SourceRecord source() = 0;
    // In library order: the library playlist first.
    virtual std::vector<PlaylistRecord> playlists() = 0;
    virtual std::int32_t libraryPlaylistId() = 0;
    // The playlist's tracks in order; throws ObjectDeletedError for an unknown
    // playlist.
    virtual std::vector<TrackRecord> playlistTracks(std::int32_t playlistId) = 0;
    // The first track of the playlist whose TrackID is trackId.
    virtual std::optional<TrackRecord> firstTrackInPlaylist(std::int32_t playlistId, std::int32_t trackId) = 0;
    virtual std::optional<TrackRecord> track(std::int32_t databaseId) = 0;
    // Removes the track from the library and every playlist, in one
    // transaction; throws ObjectDeletedError when it is not there.
    virtual void deleteTrack(std::int32_t databaseId) = 0;
    // The database ids of the file tracks whose location is path, as the
    // library file holds them now: changes other processes committed count.
    virtual std::vector<std::int32_t> fileTracksAt(const QString &path) = 0;
    // The same for a copy of the track keeperId, whose history first takes in
    // the copy's: the sum of play and skip counts, the latest play date, the
    // highest rating and the earliest date added. One transaction; throws
    // ObjectDeletedError, changing nothing, when either track is not there.
    virtual void deleteTrackMergingInto(std::int32_t databaseId, std::int32_t keeperId) = 0;

    // The history of removals. A job groups the removals of one cleaning run;
    // the last kJournalJobs are kept, older ones dropped as a new one begins.
    // kind is short plain text. A job holds the library's job lease until it
    // ends: while another holder's job is under way, beginJob is refused
    // with a LibraryError that names that job ("another clean-up is running:
    // job 12, started 10:41 by tidyfox-clean"); a lease whose holder has died
    // is taken over. A new job first puts right what a killed run left (the
    // note of pending moves).
    virtual std::int32_t beginJob(const QString &kind, const JobHolder &holder) = 0;
    std::int32_t beginJob(const QString &kind) { return beginJob(kind, {}); }
    // The bus client has gone: a job it held the lease for ends its hold (the
    // job stays in the history, to be restored), and what the client's
    // interrupted removal left is put right.
    virtual void releaseJobLease(const QString &client) = 0;
    // deleteTrack and deleteTrackMergingInto, with the same rules and errors,
    // that first write down all the job needs to put the track back: the
    // whole row (its playlist places wait, unseen, where they were until the
    // job is forgotten), where its file went in the trash
    // (trashedPath and infoPath, the .trashinfo; both empty when the file
    // stayed) and, for a merge, the keeper's history before it. One
    // transaction each; an unknown or restored job is refused, and so is a
    // trashedPath that is not the place of the track's file in a trash (see
    // checkTrashPlace).
    virtual void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                  const QString &infoPath) = 0;
    virtual void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                             const QString &trashedPath, const QString &infoPath) = 0;
    // deleteTrackInJob of a copy of keeperId, in the same transaction as the
    // check that keeperId is still there: ObjectDeletedError, changing
    // nothing, when either is gone.
    virtual void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                 const QString &trashedPath, const QString &infoPath) = 0;
    // Many removals in one transaction, in order, each as deleteTrackInJob
    // (no keeper), deleteTrackMergingIntoInJob (a keeper and mergeHistory)
    // or deleteCopyInJob does it. removed gets one answer a removal: true
    // when done, false when refused with ObjectDeletedError (which changed
    // nothing). Any other error ends the batch and is thrown: the removals
    // answered stay done, the failed one and those after it are not, and an
    // error that undid the whole transaction leaves removed empty.
    virtual void removeTracksInJob(std::int32_t jobId, const std::vector<TrackRemoval> &removals, bool mergeHistory,
                                   std::vector<bool> &removed) = 0;
    // Takes every place the tracks have in the playlist out of it (the tracks
    // stay in the library) and writes down each place (playlist, position)
    // in the job. One transaction. The library playlist, folders and the
    // player's own lists are refused with LibraryError; a playlist that is not
    // there, or a track it does not hold, with ObjectDeletedError, changing
    // nothing.
    virtual void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                         const std::vector<std::int32_t> &databaseIds) = 0;
    // Deletes a playlist (its tracks stay in the library), its whole row and
    // every item written down in the job first. One transaction; refused as
    // removeFromPlaylistInJob refuses.
    virtual void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) = 0;
    virtual void endJob(std::int32_t jobId) = 0;
    // Oldest first.
    virtual std::vector<JobRecord> jobs() = 0;
    // Moves each file back from the trash to where it was, never over a file
    // there now (those stay in the trash and are listed), then puts every
    // track back as it was, in one transaction: its IDs, every field, its
    // playlist places, and the history a keeper took in given back; the
    // playlists and places a job took out come back too, at their old
    // positions and with their old IDs. A job restores once; again is an
    // error.
    virtual RestoreResult restoreJob(std::int32_t jobId) = 0;
    // Forgets every job; the trash keeps the files.
    virtual void clearJobs() = 0;

    // Acoustic fingerprints, kept by file and tied to its size and
    // modification time. fingerprintsToMake lists the files of file tracks
    // that are there and have none for what they are now (new, changed, or
    // kept by another fingerprint version); keepFingerprint stores one, or
    // why the file has none (items empty).
    struct FingerprintTask
    {
        QString path;
        std::int64_t size = 0;
        std::int64_t modified = 0; // ms since the epoch
    };
    virtual std::vector<FingerprintTask> fingerprintsToMake() = 0;
    virtual void keepFingerprint(const FingerprintTask &task, const std::vector<std::uint32_t> &items,
                                 const QString &why) = 0;
    // The pairs of file tracks that sound the same, among those whose file
    // has a current fingerprint; tracks of one file are a pair too.
    virtual std::vector<protocol::SoundMatch> soundMatches() = 0;

    // Building a library (import, scanner, tests). Ids of the record are
    // assigned when zero; the track is appended to the library playlist.
    virtual TrackRecord addTrack(TrackRecord track) = 0;
    virtual PlaylistRecord addPlaylist(const QString &name) = 0;
    virtual void appendToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds) = 0;
    // Groups many changes into one transaction (import, add). Nested calls join
    // the outer transaction.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

} // namespace tidyfox::library
