// SPDX-License-Identifier: GPL-3.0-or-later
// The automation interface of the music library, as the program uses it.
//
// Two implementations live behind it: the D-Bus client of the library service
// (what the program uses) and an in-process adapter over the same library core
// (tests and benchmarks). Every call may throw ClientError.
#pragma once

#include "common/Error.h"
#include "protocol/LibraryRecords.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tidyfox::protocol {
class TrackTable;
}

namespace tidyfox::libraryclient {

// Error numbers the program tests for.
inline constexpr std::int32_t kErrObjectNotSet = 91;
inline constexpr std::int32_t kErrObjectDeleted = static_cast<std::int32_t>(0xA0040202u);
// Anything the service refuses or a broken connection.
inline constexpr std::int32_t kErrCallFailed = static_cast<std::int32_t>(0x80004005u);
// The library service stopped because it cannot open the library; the
// message is the service's own.
inline constexpr std::int32_t kErrLibraryUnusable = 33101;

// What every call of the library client throws.
class ClientError : public Error
{
public:
    using Error::Error;

    static ClientError objectNotSet() { return {kErrObjectNotSet, QStringLiteral("Object variable not set")}; }
    static ClientError objectDeleted() { return {kErrObjectDeleted, QStringLiteral("The object has been deleted")}; }
};

// A call the library received and never answered: it went away (or did not
// answer in time) during the call, so whether the call took effect is not
// known. Its number is that of any failed call.
class NoAnswerError : public ClientError
{
public:
    explicit NoAnswerError(const QString &description) : ClientError(kErrCallFailed, description) {}
};

class LibraryPlaylist;
class LibraryTrack;
class LibrarySource;

using PlaylistPtr = std::shared_ptr<LibraryPlaylist>;
using TrackPtr = std::shared_ptr<LibraryTrack>;
using SourcePtr = std::shared_ptr<LibrarySource>;

// A collection walked front to back. An enumeration yields every object still
// present that it has not yielded yet: objects deleted after the collection was
// fetched are skipped.
template<typename T> class LibraryCollection
{
public:
    virtual ~LibraryCollection() = default;
    // Number of objects when the collection was fetched (deleted ones included).
    virtual int count() = 0;
    // 0-based; throws for an index out of range.
    virtual std::shared_ptr<T> item(int index) = 0;
    // Calls visit for each object still present, in order, until it returns false.
    virtual void forEach(const std::function<bool(const std::shared_ptr<T> &)> &visit) = 0;
};

// What many removals sent in one call did: an answer a removal, in order
// (true: done; false: refused with kErrObjectDeleted, changing nothing), and
// the error, when one ended the call, of the first removal not answered: it
// and those after it were not done, unless the error is a NoAnswerError (the
// library went away during the call), after which no one knows.
struct JobRemovals
{
    std::vector<bool> removed;
    std::exception_ptr failure;
};

using LibraryPlaylistCollection = LibraryCollection<LibraryPlaylist>;
using LibraryTrackCollection = LibraryCollection<LibraryTrack>;

class LibraryObject
{
public:
    virtual ~LibraryObject() = default;
    virtual QString name() = 0;
};

class LibrarySource : public LibraryObject
{
public:
    virtual std::int32_t sourceId() = 0;
    virtual std::int32_t kind() = 0; // 1 = library source
    virtual std::shared_ptr<LibraryPlaylistCollection> playlists() = 0;
};

// Track collections offer a direct look-up that gives the same answer as a walk
// comparing TrackID front to back, without fetching the whole playlist.
class LibraryTrackList : public LibraryTrackCollection
{
public:
    // The first track of the collection whose TrackID is trackId, or null.
    virtual TrackPtr firstByTrackId(std::int32_t trackId) = 0;

    // The collection as the table it was fetched in, for a walk over a
    // large library that reads its rows in place instead of making an object
    // for every track: the table, and the rows forEach would visit now, in
    // order (item(row) is the object of a row). Nothing for a collection
    // that is not held as one table.
    struct FetchedRows
    {
        std::shared_ptr<const protocol::TrackTable> table;
        std::vector<int> rows;
    };
    virtual std::optional<FetchedRows> fetchedRows() { return std::nullopt; }
};

class LibraryPlaylist : public LibraryObject
{
public:
    virtual std::int32_t playlistId() = 0;
    virtual std::int32_t kind() = 0; // protocol::kLibraryPlaylist or kUserPlaylist
    virtual std::shared_ptr<LibraryTrackList> tracks() = 0;
};

class LibraryTrack : public LibraryObject
{
public:
    virtual std::int32_t trackId() = 0;
    virtual std::int32_t databaseId() = 0;
    virtual QString album() = 0;
    virtual QString artist() = 0;
    virtual QString time() = 0;
    virtual QString composer() = 0;
    virtual QString genre() = 0;
    virtual QString kindText() = 0;
    virtual std::int32_t bitRate() = 0;
    virtual std::int32_t sampleRate() = 0;
    virtual std::int64_t size() = 0;
    virtual QDateTime dateAdded() = 0;
    virtual std::int32_t playCount() = 0;
    virtual std::int32_t skipCount() = 0;
    virtual std::int32_t rating() = 0; // 0 to 100
    // Invalid for a track never played.
    virtual QDateTime playDate() = 0;
    // The playlist the track was reached through.
    virtual PlaylistPtr playlist() = 0;
    // The full path of the file; nothing for a track without a file (a
    // stream); empty when the library has lost the file.
    virtual std::optional<QString> location() = 0;
    virtual QString longDescription() = 0;
    // Removes the track from the library and every playlist.
    virtual void deleteFromLibrary() = 0;
    // The same for a copy of the track keeperId, which first takes in this
    // one's play history (play and skip counts summed, the latest play date,
    // the highest rating, the earliest date added), in one change. Throws
    // kErrObjectDeleted, changing nothing, when either track is gone.
    virtual void deleteFromLibraryMergingInto(std::int32_t keeperId) = 0;
};

class LibraryClient
{
public:
    virtual ~LibraryClient() = default;
    virtual SourcePtr librarySource() = 0;
    virtual PlaylistPtr libraryPlaylist() = 0;
    virtual void quit() = 0;
    // The database ids of the file tracks whose location is path at this
    // moment, whoever changed the library since it was read.
    virtual std::vector<std::int32_t> fileTracksAt(const QString &path) = 0;
    // fileTracksAt of each path, in one call where the library can.
    virtual std::vector<std::vector<std::int32_t>> fileTracksAtEach(const QStringList &paths);

    // The library's history of removals, so that a cleaning run can be put
    // back. A job groups the removals of one run (kind names it, as
    // "duplicates"); the service keeps the last 50.
    // A client without a history (a stand-in) refuses these with
    // kErrCallFailed.
    virtual std::int32_t beginJob(const QString &kind);
    // Removes the track as LibraryTrack::deleteFromLibrary (or, with a
    // keeper, deleteFromLibraryMergingInto) does, with the same errors, and
    // writes down in the job all needed to put it back. trashedPath is where
    // its file went in the trash, infoPath that entry's .trashinfo; both
    // empty when the file stayed.
    virtual void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                  const QString &infoPath);
    virtual void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                             const QString &trashedPath, const QString &infoPath);
    // deleteTrackInJob for a copy of keeperId: refused with kErrObjectDeleted,
    // changing nothing, when either track is gone, so that two runs never
    // each remove the track the other keeps.
    virtual void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                 const QString &trashedPath, const QString &infoPath);
    // Many removals in order, each as deleteTrackInJob (no keeper),
    // deleteTrackMergingIntoInJob (a keeper and mergeHistory) or
    // deleteCopyInJob does it, in one call where the library can; never
    // throws.
    virtual JobRemovals removeTracksInJob(std::int32_t jobId, const std::vector<protocol::TrackRemoval> &removals,
                                          bool mergeHistory);
    // Takes every place the tracks have in the playlist out of it (the tracks
    // stay in the library), each place written down in the job. The library
    // playlist, a folder or one of the player's own lists is refused with
    // kErrCallFailed; a playlist gone, or a track it does not hold, with
    // kErrObjectDeleted, and nothing changes.
    virtual void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                         const std::vector<std::int32_t> &databaseIds);
    // Deletes the playlist (its tracks stay in the library), its row and items
    // written down in the job; refused as removeFromPlaylistInJob.
    virtual void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId);
    virtual void endJob(std::int32_t jobId);
    // Oldest first. A job's tracks count the places it took out of playlists.
    virtual std::vector<protocol::JobRecord> listJobs();
    // Files back from the trash (never over a file there now: those are
    // listed and stay), then the tracks with their IDs, fields, playlist
    // places and any history a keeper took in; playlists and places with
    // their IDs and old positions. restored counts tracks and places. A
    // second time throws.
    virtual protocol::RestoreResult restoreJob(std::int32_t jobId);
    // Called on the GUI thread after any client has put a job back: what was
    // read of the library before is out of date. A client without a history
    // never calls it.
    virtual void setRestoredHandler(std::function<void(std::int32_t jobId)> handler);

    // Acoustic fingerprints. makeFingerprints computes those the library
    // lacks (new or changed files), telling progress(done, total) and each
    // file left without one (why: one line); cancelled() is asked between
    // files, and those made by then are kept. A client without fingerprints
    // refuses with kErrCallFailed.
    struct FingerprintHandlers
    {
        std::function<void(int done, int total)> progress;
        std::function<void(const QString &path, const QString &why)> without;
        std::function<bool()> cancelled;
    };
    virtual protocol::FingerprintSummary makeFingerprints(const FingerprintHandlers &handlers);
    // The pairs of file tracks that sound the same, among those whose files
    // have a fingerprint made from them as they are now.
    virtual std::vector<protocol::SoundMatch> soundMatches();
    // Called on the GUI thread when the library announces that it quits or
    // disappears. Replacing the handler disconnects the previous one.
    virtual void setQuittingHandler(std::function<void()> handler) = 0;
};

using LibraryClientPtr = std::shared_ptr<LibraryClient>;

// Creates the application object (the "create iTunesApp" of the program):
// throws ClientError when it cannot connect.
using LibraryClientFactory = std::function<LibraryClientPtr()>;

} // namespace tidyfox::libraryclient
