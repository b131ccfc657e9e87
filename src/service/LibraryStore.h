// SPDX-License-Identifier: GPL-3.0-or-later
// The library core on SQLite. Besides the LibraryCore calls it offers what the
// import, export and scanner need: walking a playlist without holding it in
// memory, look-ups by persistent ID and by file, and IDs kept from a file.
#pragma once

#include "protocol/LibraryBusFormat.h"
#include "service/FingerprintCache.h"
#include "service/LibraryCore.h"
#include "service/LibraryFileEntries.h"
#include "service/SqliteDatabase.h"

#include <chrono>
#include <functional>
#include <vector>

namespace tidyfox::library {

// How long a call waits for another process (the command line while the
// service runs) to finish its change before it gives up with "locked".
inline constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

using protocol::kBuiltInPlaylist;
using protocol::kFolderPlaylist;
using protocol::kLibraryPlaylist;
using protocol::kSmartPlaylist;
using protocol::kUserPlaylist;
using protocol::PlaylistKind;

// A playlist with what a library file said of it.
struct StoredPlaylist
{
    PlaylistRecord record; // record.kind is the stored PlaylistKind
    QString parentPersistentId;
    QByteArray entries;
};

class LibraryStore final : public LibraryCore
{
public:
    static std::unique_ptr<LibraryStore> open(const QString &path,
                                              std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    // For reading only (list, export-xml): works on a library file that
    // cannot be written and never creates one. A missing or empty file reads
    // as an empty library; one of an older schema is brought up to date
    // first, which needs write access.
    static std::unique_ptr<LibraryStore> openForReading(const QString &path,
                                                        std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    ~LibraryStore() override;

    SourceRecord source() override;
    std::vector<PlaylistRecord> playlists() override;
    std::int32_t libraryPlaylistId() override { return m_libraryPlaylistId; }
    std::vector<TrackRecord> playlistTracks(std::int32_t playlistId) override;
    std::optional<TrackRecord> firstTrackInPlaylist(std::int32_t playlistId, std::int32_t trackId) override;
    std::optional<TrackRecord> track(std::int32_t databaseId) override;
    void deleteTrack(std::int32_t databaseId) override;
    std::vector<std::int32_t> fileTracksAt(const QString &path) override;
    void deleteTrackMergingInto(std::int32_t databaseId, std::int32_t keeperId) override;

    // The history of removals (LibraryJournal.cpp).
    using LibraryCore::beginJob;
    std::int32_t beginJob(const QString &kind, const JobHolder &holder) override;
    void releaseJobLease(const QString &client) override;
    void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                          const QString &infoPath) override;
    void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                     const QString &trashedPath, const QString &infoPath) override;
    void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId, const QString &trashedPath,
                         const QString &infoPath) override;
    void removeTracksInJob(std::int32_t jobId, const std::vector<TrackRemoval> &removals, bool mergeHistory,
                           std::vector<bool> &removed) override;
    // Puts right what a run killed between moving a copy's file to the trash
    // and removing its entry left (the note of pending moves beside the
    // library): the file goes back where the entry still is. Only while no
    // job under way holds the lease. Returns how many files went back.
    int settlePendingMoves();
    void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                 const std::vector<std::int32_t> &databaseIds) override;
    void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) override;
    void endJob(std::int32_t jobId) override;
    std::vector<JobRecord> jobs() override;
    RestoreResult restoreJob(std::int32_t jobId) override;
    void clearJobs() override;
    std::vector<FingerprintTask> fingerprintsToMake() override;
    void keepFingerprint(const FingerprintTask &task, const std::vector<std::uint32_t> &items,
                         const QString &why) override;
    std::vector<protocol::SoundMatch> soundMatches() override;

    TrackRecord addTrack(TrackRecord track) override;
    PlaylistRecord addPlaylist(const QString &name) override;
    void appendToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds) override;
    void begin() override;
    void commit() override;
    void rollback() override;

    // trackType is the kind as a library file names it ("File", "URL",
    // "Remote"); empty takes it from the record's kind.
    TrackRecord addTrack(TrackRecord track, const QString &trackType);
    // As a library file gives it: a date it lacks stays missing. An import
    // may give the library order the track ends in (0: the next); the next
    // one is taken all the same.
    TrackRecord addFileTrack(TrackRecord track, const QString &trackType, const TrackFields &fields,
                             const QByteArray &entries, std::int64_t libraryOrder = 0);
    // A playlist with a given ID (0: assigned) and persistent ID (empty:
    // made up).
    PlaylistRecord addPlaylist(const QString &name, std::int32_t playlistId, const QString &persistentId,
                               std::int32_t kind = kUserPlaylist, const QString &parentPersistentId = {},
                               const QByteArray &entries = {});
    // Every playlist, of every kind, in library order.
    std::vector<StoredPlaylist> allPlaylists();
    // The library playlist takes the name, persistent ID and entries of a
    // file's master playlist.
    void adoptMasterPlaylist(const QString &name, const QString &persistentId, const QByteArray &entries);
    // The header entries of the file the library came from.
    QByteArray fileHeader();
    void setFileHeader(const QByteArray &entries);
    void setLibraryPersistentId(const QString &persistentId);

    // For the export: each track in library order with all it has.
    void forEachFileTrack(const std::function<void(const TrackRecord &, const QString &trackType, const TrackFields &,
                                                   const QByteArray &entries)> &visit);

    // Calls visit for each track of the playlist in order, one at a time, with
    // its track type ("File", "URL", "Remote"). visit must not walk the same
    // playlist again: the walk's statement is in use.
    void forEachTrack(std::int32_t playlistId,
                      const std::function<void(const TrackRecord &, const QString &trackType)> &visit);
    // The same walk with the tracks as the bus payload takes them (see
    // protocol::TrackBytes); the bytes are valid during the call only.
    void forEachTrackBytes(std::int32_t playlistId, const std::function<void(const protocol::TrackBytes &)> &visit);
    // The library playlist's walk of forEachTrackBytes in two halves at once:
    // first gets the tracks of the table's first half here, second those of
    // the other half, on a connection of its own in another thread (each in
    // order, the second half's after the first's). Only when the rows are
    // stored in library order, there are enough of them and no transaction
    // is open here; false, with nothing walked, otherwise. The two halves
    // may read two states of the library if another process changes it
    // meanwhile: the caller watches for that.
    bool forEachLibraryTrackBytesInHalves(const std::function<void(const protocol::TrackBytes &)> &first,
                                          const std::function<void(const protocol::TrackBytes &)> &second);
    // The playlist's items as TrackIDs, in order.
    void forEachTrackId(std::int32_t playlistId, const std::function<void(std::int32_t)> &visit);
    // A playlist's items as database ids, in order, read from its items alone
    // (an item whose track is gone included): not the library playlist.
    void forEachItemDatabaseId(std::int32_t playlistId, const std::function<void(std::int32_t)> &visit);
    // "File", "URL" or "Remote".
    QString trackType(std::int32_t databaseId);

    std::optional<std::int32_t> trackByPersistentId(const QString &persistentId);
    std::optional<PlaylistRecord> playlistByPersistentId(const QString &persistentId);
    // A file track already stored under this absolute path.
    bool hasFileTrack(const QString &path);
    // A track with this location and name among the first tracks, up to
    // maxDatabaseId: how a track without a persistent ID is known again.
    std::optional<std::int32_t> trackByLocationAndName(const QString &location, const QString &name,
                                                       std::int64_t maxDatabaseId);
    // A playlist of this name among the first ones, up to maxRowId.
    std::optional<std::int32_t> playlistByName(const QString &name, std::int64_t maxRowId);
    std::int64_t topPlaylistRowId();
    std::int64_t topDatabaseId();
    std::int64_t trackCount();

    // True when id was never given to a track (or playlist) of this library,
    // so a library file's own ID can be kept without meeting a former track.
    bool isFreshTrackId(std::int32_t id) { return id > topTrackId(); }
    bool isFreshPlaylistId(std::int32_t id) { return id > topPlaylistId(); }
    // The highest ID ever given to a track (playlist) of this library.
    std::int64_t topTrackId();
    std::int64_t topPlaylistId();
    bool isTrackIdInUse(std::int32_t id);
    bool isPlaylistIdInUse(std::int32_t id);

    // For an import: the tracks are ones it added or found in the same
    // transaction, so none is looked up again (a million look-ups at a
    // million tracks).
    void appendImportedToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds);
    // Moves tracks, in the order given, behind every other track of the
    // library playlist; for an import, as above: the tracks are not checked.
    void moveToLibraryEnd(const std::vector<std::int32_t> &databaseIds);
    // For an import that stored its tracks in their places at once: the
    // library orders moveToLibraryEnd would have taken for count tracks.
    void takeLibraryOrders(std::int64_t count);
    // The order the next track added takes.
    std::int64_t nextLibraryOrder();
    // The tracks from fromDatabaseId on (added one after another by an
    // import) get the orders firstOrder, firstOrder + 1, ... by database ID.
    void renumberLibraryOrder(std::int32_t fromDatabaseId, std::int64_t firstOrder);

    QString libraryPersistentId();
    int schemaVersion();
    const QString &path() const { return m_db.path(); }
    // For the link to a player's store (PlayerLink.cpp), whose tables are its own.
    sql::Database &database() { return m_db; }

private:
    LibraryStore(const QString &path, bool readOnly);
    void prepare(std::chrono::milliseconds busyTimeout, bool readOnly = false);
    void checkPlaylist(std::int32_t playlistId);
    // The rows of forEachTrack, TRACK_COLUMNS each, handed to visit in order.
    void walkTrackRows(std::int32_t playlistId, const std::function<void(const sql::Query &)> &visit);
    struct StoredIds
    {
        std::int64_t count = 0;
        std::int64_t lowest = 0;
        std::int64_t highest = 0;
    };
    // The library's database ids when the rows are stored in library order.
    std::optional<StoredIds> libraryRowsInStoredOrder();
    void checkTracks(const std::vector<std::int32_t> &databaseIds);
    void appendToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds, bool checkEachTrack);
    std::int32_t takeTrackId(std::int32_t wanted);
    std::int32_t takePlaylistId(std::int32_t wanted);
    std::optional<std::int32_t> lowestFreeId(const char *holdsOne, const char *firstGap);
    std::int64_t takeLibraryOrder();
    QString newPersistentId();
    void noteGivenTrackId(std::int32_t id);
    std::int64_t meta(const char *key);
    void loadCounters();
    void saveCounters();
    // The journal's statements that copy a whole track row, built from the
    // tracks table's own columns.
    void prepareJournalStatements();
    std::int64_t journalTrack(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                              const QString &infoPath);
    void checkOpenJob(std::int32_t jobId);
    // The job under way that holds the lease, as the refusal names it; empty
    // when the lease is free for asking (any live holder counts when null).
    QString jobUnderWay(const JobHolder *asking);
    // settlePendingMoves for the holder of the lease.
    int putBackPendingMoves();
    void takeJobLease(std::int32_t jobId, const JobHolder &holder);
    void forgetEmptiedJobs(std::int32_t newJobId);
    // Drops the job with its entries and the unseen places of its tracks.
    void forgetJob(std::int64_t jobId);
    // deleteTrack and deleteTrackMergingInto; keepPlaces leaves the track's
    // playlist items where they are, for a removal in a job.
    void removeTrack(std::int32_t databaseId, bool keepPlaces);
    // Undoes the part of a transaction since the savepoint of that name, and
    // ends the savepoint; the transaction goes on as if the part never ran.
    void undoToSavepoint(const char *name);
    void mergeAndRemove(std::int32_t databaseId, std::int32_t keeperId, bool keepPlaces);
    void putBackPlaces(std::int64_t entryId, std::int32_t databaseId);
    void putBackPlace(std::int32_t playlistId, std::int64_t position, std::int32_t databaseId);
    // A playlist the user made, or an error that says why not.
    void checkUserPlaylist(std::int32_t playlistId);
    void putBackPlaylistEntry(std::int64_t entryId);
    void takeBackMerge(std::int64_t entryId);

    sql::Database m_db;
    FingerprintCache m_fingerprintCache;
    std::int32_t m_sourceId = 0;
    std::int32_t m_libraryPlaylistId = 0;
    int m_depth = 0;
    bool m_innerFailed = false;
    // The ID and order counters, read once per transaction: while it holds the
    // write lock no other process can move them.
    bool m_countersLoaded = false;
    std::int64_t m_topTrackId = 0;
    std::int64_t m_topPlaylistId = 0;
    std::int64_t m_nextOrder = 0;
    // The track IDs above the top at the transaction's start that it gave,
    // a bit each by ID less the top: whether such an ID is in use is then known
    // without asking the table (a million questions in a large import).
    // Not known once a track was removed, or an ID was given far above.
    std::int64_t m_topTrackIdLoaded = 0;
    std::vector<bool> m_givenIds;
    std::uint64_t m_givenIdCount = 0;
    bool m_givenIdsKnown = false;
    bool m_persistentIdDrawn = false;
    std::uint64_t m_nextPersistentId = 0;
    QByteArray m_journalRowSql;
    QByteArray m_restoreRowSql;
};

} // namespace tidyfox::library
