// SPDX-License-Identifier: GPL-3.0-or-later
// The history of removals: each removal in a job writes down, in the same
// transaction, everything needed to undo it, and a job can be put back whole.
#include "service/LibraryStore.h"
#include "service/PlayerLink.h"
#include "service/RestoreFiles.h"
#include "service/ServiceLog.h"
#include "service/Transaction.h"
#include "service/TrashPlace.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <optional>

namespace tidyfox::library {

namespace {

LibraryError noSuchJob(std::int32_t jobId)
{
    return LibraryError(QStringLiteral("There is no job %1 in the history.").arg(jobId).toStdString());
}

LibraryError alreadyRestored(std::int32_t jobId)
{
    return LibraryError(QStringLiteral("The job %1 has already been restored.").arg(jobId).toStdString());
}

std::optional<std::int64_t> optionalInt(const sql::Query &q, int column)
{
    return q.isNull(column) ? std::nullopt : std::optional<std::int64_t>(q.int64(column));
}

QDateTime utc(const sql::Query &q, int column)
{
    return q.isNull(column) ? QDateTime() : QDateTime::fromSecsSinceEpoch(q.int64(column), Qt::UTC);
}

} // namespace

void LibraryStore::prepareJournalStatements()
{
    if (!m_journalRowSql.isEmpty())
        return;
    QByteArray columns;
    auto q = m_db.query("SELECT name FROM pragma_table_info('tracks') ORDER BY cid");
    while (q.next())
        columns += (columns.isEmpty() ? "" : ", ") + q.text(0).toUtf8();
    // A file track's location is the path its file had. Only a job still
    // open takes entries: one statement both checks and writes.
    m_journalRowSql = "INSERT INTO journal_tracks(job_id, original_path, trashed_path, info_path, " + columns +
                      ") SELECT ?1, CASE WHEN kind = 1 THEN location ELSE '' END, ?3, ?4, " + columns +
                      " FROM tracks WHERE database_id = ?2 AND EXISTS(SELECT 1 FROM journal_jobs WHERE job_id = ?1"
                      " AND restored = 0)";
    m_restoreRowSql =
        "INSERT INTO tracks(" + columns + ") SELECT " + columns + " FROM journal_tracks WHERE entry_id = ?1";
}

// A job's name is shown in the history, one job a line.
void checkJobName(const QString &kind)
{
    constexpr qsizetype kLongest = 64;
    const bool plain = std::all_of(kind.begin(), kind.end(), [](QChar c) { return c.isPrint(); });
    if (kind.trimmed().isEmpty() || kind.size() > kLongest || !plain)
        throw LibraryError(
            QStringLiteral("A job's name must be plain text of 1 to %1 characters.").arg(kLongest).toStdString());
}

std::int32_t LibraryStore::beginJob(const QString &kind, const JobHolder &holder)
{
    checkJobName(kind);
    Transaction transaction(*this);
    if (const QString underWay = jobUnderWay(&holder); !underWay.isEmpty())
        throw LibraryError(underWay.toStdString());
    m_db.query("INSERT INTO journal_jobs(kind, started_utc) VALUES(?1, ?2)")
        .bind(1, kind)
        .bind(2, QDateTime::currentSecsSinceEpoch())
        .run();
    const auto jobId = std::int32_t(m_db.lastInsertRowId());
    forgetEmptiedJobs(jobId);
    std::vector<std::int64_t> beyondTheLast;
    {
        auto q = m_db.query("SELECT job_id FROM journal_jobs ORDER BY job_id DESC LIMIT -1 OFFSET ?1");
        q.bind(1, kJournalJobs);
        while (q.next())
            beyondTheLast.push_back(q.int64(0));
    }
    for (const std::int64_t oldJob : beyondTheLast)
        forgetJob(oldJob);
    takeJobLease(jobId, holder);
    transaction.commit();
    // The lease is this job's now: no other run has a move under way.
    putBackPendingMoves();
    return jobId;
}

// A job that sent files to the trash, all of which have left it since (the
// trash was emptied), is forgotten: what it would put back is entries without
// their files. A restore under way (its files' identities noted) is never
// forgotten, so that the next run can finish it.
void LibraryStore::forgetEmptiedJobs(std::int32_t newJobId)
{
    std::vector<std::int64_t> withFiles;
    {
        auto q = m_db.query("SELECT j.job_id FROM journal_jobs j WHERE j.restored = 0 AND j.job_id <> ?1 AND EXISTS("
                            "SELECT 1 FROM journal_tracks t WHERE t.job_id = j.job_id AND coalesce(t.trashed_path, '')"
                            " <> '') AND NOT EXISTS(SELECT 1 FROM journal_restoring r WHERE r.job_id = j.job_id)");
        q.bind(1, newJobId);
        while (q.next())
            withFiles.push_back(q.int64(0));
    }
    for (const std::int64_t jobId : withFiles) {
        bool fileLeft = false;
        auto files = m_db.query("SELECT trashed_path FROM journal_tracks WHERE job_id = ?1 AND"
                                " coalesce(trashed_path, '') <> ''");
        files.bind(1, jobId);
        while (!fileLeft && files.next())
            fileLeft = fileIdentity(files.text(0)).has_value();
        if (fileLeft)
            continue;
        qCDebug(lcService) << "forgetting job" << jobId << ": its files have left the trash";
        forgetJob(jobId);
    }
}

void LibraryStore::forgetJob(std::int64_t jobId)
{
    // What the player's files gave up for the restore of tracks whose last
    // removal is forgotten now, unless a change still waiting names them.
    m_db.query("DELETE FROM player_saved WHERE player_key IN (SELECT p.player_key FROM player_tracks p WHERE"
               " p.database_id IN (SELECT database_id FROM journal_tracks WHERE job_id = ?1 EXCEPT SELECT"
               " database_id FROM journal_tracks WHERE job_id <> ?1) AND NOT EXISTS(SELECT 1 FROM tracks t WHERE"
               " t.database_id = p.database_id)) AND player_key NOT IN (SELECT player_key FROM player_pending)")
        .bind(1, jobId)
        .run();
    // Places of tracks whose last removal is forgotten now.
    m_db.query("DELETE FROM playlist_items WHERE database_id IN (SELECT database_id FROM journal_tracks WHERE"
               " job_id = ?1 EXCEPT SELECT database_id FROM journal_tracks WHERE job_id <> ?1) AND NOT EXISTS("
               "SELECT 1 FROM tracks t WHERE t.database_id = playlist_items.database_id)")
        .bind(1, jobId)
        .run();
    for (const char *sql :
         {"DELETE FROM journal_tracks WHERE job_id = ?1", "DELETE FROM journal_playlists WHERE job_id = ?1",
          "DELETE FROM journal_restoring WHERE job_id = ?1", "DELETE FROM journal_jobs WHERE job_id = ?1"})
        m_db.query(sql).bind(1, jobId).run();
}

void LibraryStore::checkOpenJob(std::int32_t jobId)
{
    auto q = m_db.query("SELECT restored FROM journal_jobs WHERE job_id = ?1");
    if (!q.bind(1, jobId).next())
        throw noSuchJob(jobId);
    if (q.int64(0) != 0)
        throw LibraryError(
            QStringLiteral("The job %1 has been restored and takes no more removals.").arg(jobId).toStdString());
}

// The row, when the track is there; the removal that follows reports it when
// it is not, as it does outside a job.
std::int64_t LibraryStore::journalTrack(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                        const QString &infoPath)
{
    prepareJournalStatements();
    if (!trashedPath.isEmpty() || !infoPath.isEmpty()) {
        auto q = m_db.query("SELECT location FROM tracks WHERE database_id = ?1 AND kind = 1");
        if (q.bind(1, databaseId).next()) {
            if (const QString why = whyNotTrashPlace(trashedPath, infoPath, q.text(0)); !why.isEmpty())
                throw LibraryError(QStringLiteral("The history takes no such trash entry: %1.").arg(why).toStdString());
        }
    }
    m_db.query(m_journalRowSql.constData())
        .bind(1, jobId)
        .bind(2, databaseId)
        .bind(3, trashedPath)
        .bind(4, infoPath)
        .run();
    if (m_db.changes() == 0) {
        checkOpenJob(jobId);
        return 0;
    }
    return m_db.lastInsertRowId();
}

void LibraryStore::deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                    const QString &infoPath)
{
    Transaction transaction(*this);
    journalTrack(jobId, databaseId, trashedPath, infoPath);
    removeTrack(databaseId, true);
    transaction.commit();
}

void LibraryStore::deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                               const QString &trashedPath, const QString &infoPath)
{
    if (databaseId == keeperId) {
        // Refused as the plain merge refuses it, before anything is written.
        deleteTrackMergingInto(databaseId, keeperId);
    }
    Transaction transaction(*this);
    const std::int64_t entryId = journalTrack(jobId, databaseId, trashedPath, infoPath);
    static const char *const keeperBefore =
        "UPDATE journal_tracks SET keeper_id = ?2, (keeper_before_play_count, keeper_before_skip_count,"
        " keeper_before_play_date_utc, keeper_before_rating, keeper_before_date_added, keeper_before_entries) ="
        " (SELECT play_count, skip_count, play_date_utc, rating, date_added, entries FROM tracks"
        " WHERE database_id = ?2) WHERE entry_id = ?1";
    static const char *const keeperAfter =
        "UPDATE journal_tracks SET (keeper_after_play_count, keeper_after_skip_count, keeper_after_play_date_utc,"
        " keeper_after_rating, keeper_after_date_added, keeper_after_entries) ="
        " (SELECT play_count, skip_count, play_date_utc, rating, date_added, entries FROM tracks"
        " WHERE database_id = ?2) WHERE entry_id = ?1";
    m_db.query(keeperBefore).bind(1, entryId).bind(2, keeperId).run();
    mergeAndRemove(databaseId, keeperId, true);
    m_db.query(keeperAfter).bind(1, entryId).bind(2, keeperId).run();
    transaction.commit();
}

void LibraryStore::deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                   const QString &trashedPath, const QString &infoPath)
{
    Transaction transaction(*this);
    if (keeperId == databaseId || !m_db.query("SELECT 1 FROM tracks WHERE database_id = ?1").bind(1, keeperId).next())
        throw ObjectDeletedError(
            QStringLiteral("The track %1 that was to stay is not in the library.").arg(keeperId).toStdString());
    journalTrack(jobId, databaseId, trashedPath, infoPath);
    removeTrack(databaseId, true);
    transaction.commit();
}

void LibraryStore::removeTracksInJob(std::int32_t jobId, const std::vector<TrackRemoval> &removals, bool mergeHistory,
                                     std::vector<bool> &removed)
{
    removed.clear();
    removed.reserve(removals.size());
    // One commit for the whole batch: a commit a track was most of what a
    // large removal cost the library. Each removal has its own savepoint, so
    // that one refused changes nothing and the others go on.
    Transaction transaction(*this);
    std::exception_ptr failure;
    for (const TrackRemoval &removal : removals) {
        m_db.exec("SAVEPOINT removal");
        try {
            if (removal.keeperId == 0)
                deleteTrackInJob(jobId, removal.databaseId, removal.trashedPath, removal.infoPath);
            else if (mergeHistory)
                deleteTrackMergingIntoInJob(jobId, removal.databaseId, removal.keeperId, removal.trashedPath,
                                            removal.infoPath);
            else
                deleteCopyInJob(jobId, removal.databaseId, removal.keeperId, removal.trashedPath, removal.infoPath);
            m_db.exec("RELEASE removal");
            removed.push_back(true);
        } catch (const ObjectDeletedError &) {
            undoToSavepoint("removal");
            removed.push_back(false);
        } catch (...) {
            failure = std::current_exception();
            break;
        }
    }
    if (failure) {
        // SQLite undoes the whole transaction after some errors: then none
        // of the batch was done.
        if (!m_db.inTransaction()) {
            removed.clear();
            std::rethrow_exception(failure);
        }
        undoToSavepoint("removal");
    }
    transaction.commit();
    if (failure)
        std::rethrow_exception(failure);
}

void LibraryStore::undoToSavepoint(const char *name)
{
    const QByteArray undo = QByteArray("ROLLBACK TO ") + name;
    const QByteArray release = QByteArray("RELEASE ") + name;
    m_db.exec(undo.constData());
    m_db.exec(release.constData());
    // The part's own transactions failed, not this one's.
    m_innerFailed = false;
    m_countersLoaded = false;
}

void LibraryStore::endJob(std::int32_t jobId)
{
    Transaction transaction(*this);
    m_db.query("DELETE FROM job_lease WHERE job_id = ?1").bind(1, jobId).run();
    m_db.query("UPDATE journal_jobs SET ended_utc = ?2 WHERE job_id = ?1")
        .bind(1, jobId)
        .bind(2, QDateTime::currentSecsSinceEpoch())
        .run();
    if (m_db.changes() == 0) {
        transaction.commit(); // nothing changed
        throw noSuchJob(jobId);
    }
    // A job that changed nothing (its first removal was refused) has
    // nothing to put back and no place in the history.
    m_db.query("DELETE FROM journal_jobs WHERE job_id = ?1"
               " AND NOT EXISTS (SELECT 1 FROM journal_tracks WHERE job_id = ?1)"
               " AND NOT EXISTS (SELECT 1 FROM journal_playlists WHERE job_id = ?1)")
        .bind(1, jobId)
        .run();
    queueJobChanges(m_db, jobId);
    transaction.commit();
    writeBackAfterChange(*this);
}

std::vector<JobRecord> LibraryStore::jobs()
{
    std::vector<JobRecord> result;
    // A playlist's places taken out count as tracks.
    auto q = m_db.query("SELECT j.job_id, j.kind, j.started_utc, j.ended_utc, j.restored, count(t.entry_id) +"
                        " coalesce((SELECT sum(p.place_count) FROM journal_playlists p WHERE p.job_id = j.job_id), 0),"
                        " count(nullif(t.trashed_path, '')) FROM journal_jobs j"
                        " LEFT JOIN journal_tracks t ON t.job_id = j.job_id GROUP BY j.job_id ORDER BY j.job_id");
    while (q.next())
        result.push_back({q.int32(0), q.text(1), utc(q, 2), utc(q, 3), q.int32(5), q.int32(6), q.int64(4) != 0, {}});
    notePlayerWaits(*this, result);
    return result;
}

void LibraryStore::clearJobs()
{
    Transaction transaction(*this);
    std::vector<std::int64_t> jobs;
    {
        auto q = m_db.query("SELECT job_id FROM journal_jobs");
        while (q.next())
            jobs.push_back(q.int64(0));
    }
    for (const std::int64_t jobId : jobs)
        forgetJob(jobId);
    transaction.commit();
}

RestoreResult LibraryStore::restoreJob(std::int32_t jobId)
{
    {
        auto q = m_db.query("SELECT restored FROM journal_jobs WHERE job_id = ?1");
        if (!q.bind(1, jobId).next())
            throw noSuchJob(jobId);
        if (q.int64(0) != 0)
            throw alreadyRestored(jobId);
    }
    struct Entry
    {
        std::int64_t entryId;
        std::int32_t databaseId;
        QString originalPath, trashedPath, infoPath;
    };
    std::vector<Entry> entries;
    {
        auto q = m_db.query("SELECT entry_id, database_id, track_id, persistent_id, original_path, trashed_path,"
                            " info_path FROM journal_tracks WHERE job_id = ?1 ORDER BY entry_id");
        q.bind(1, jobId);
        while (q.next()) {
            // Track IDs only grow, but an import may have brought the same
            // track in again: then nothing is moved at all.
            auto taken =
                m_db.query("SELECT 1 FROM tracks WHERE database_id = ?1 OR track_id = ?2 OR persistent_id = ?3");
            if (taken.bind(1, q.int64(1)).bind(2, q.int64(2)).bind(3, q.text(3)).next())
                throw LibraryError(QStringLiteral("The track %1 (%2) is in the library again, so the job %3 cannot be "
                                                  "restored.")
                                       .arg(q.int32(2))
                                       .arg(q.text(3))
                                       .arg(jobId)
                                       .toStdString());
            entries.push_back({q.int64(0), q.int32(1), q.text(4), q.text(5), q.text(6)});
        }
    }
    // Playlist entries, each undone where it fell among the track entries.
    struct PlaylistEntry
    {
        std::int64_t entryId, afterEntry, places;
    };
    std::vector<PlaylistEntry> playlistEntries;
    {
        auto q = m_db.query("SELECT entry_id, after_entry, place_count, deleted, playlist_id, persistent_id"
                            " FROM journal_playlists WHERE job_id = ?1 ORDER BY entry_id");
        q.bind(1, jobId);
        while (q.next()) {
            if (q.int64(3) != 0 && m_db.query("SELECT 1 FROM playlists WHERE playlist_id = ?1 OR persistent_id = ?2")
                                       .bind(1, q.int64(4))
                                       .bind(2, q.text(5))
                                       .next())
                throw LibraryError(QStringLiteral("The playlist %1 (%2) is in the library again, so the job %3 cannot "
                                                  "be restored.")
                                       .arg(q.int32(4))
                                       .arg(q.text(5))
                                       .arg(jobId)
                                       .toStdString());
            playlistEntries.push_back({q.int64(0), q.int64(1), q.int64(2)});
        }
    }

    // Each file's identity in the trash, in the library before any file
    // moves: a run killed after some moves then knows them when it runs
    // again. A file already back keeps the identity an earlier run wrote down.
    std::vector<RestoreFile> files;
    std::vector<const Entry *> withFiles;
    {
        Transaction transaction(*this);
        for (const Entry &entry : entries) {
            if (entry.trashedPath.isEmpty())
                continue;
            if (const auto identity = fileIdentity(entry.trashedPath)) {
                m_db.query("INSERT OR REPLACE INTO journal_restoring(entry_id, job_id, device, inode)"
                           " VALUES(?1, ?2, ?3, ?4)")
                    .bind(1, entry.entryId)
                    .bind(2, jobId)
                    .bind(3, identity->device)
                    .bind(4, identity->inode)
                    .run();
            }
        }
        transaction.commit();
        for (const Entry &entry : entries) {
            if (entry.trashedPath.isEmpty())
                continue;
            // Written before the history checked what it took in.
            if (const QString why = whyNotTrashPlace(entry.trashedPath, entry.infoPath, entry.originalPath, false);
                !why.isEmpty()) {
                qCWarning(lcService) << "A file of job" << jobId << "stays where it is:" << why;
                continue;
            }
            std::optional<FileIdentity> movedBefore;
            auto known = m_db.query("SELECT device, inode FROM journal_restoring WHERE entry_id = ?1");
            if (known.bind(1, entry.entryId).next())
                movedBefore = FileIdentity{known.int64(0), known.int64(1)};
            files.emplace_back(entry.originalPath, entry.trashedPath, entry.infoPath, movedBefore);
            withFiles.push_back(&entry);
        }
    }

    RestoreResult result;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].bringBack() == FileReturn::Stays) {
            const Entry &entry = *withFiles[i];
            result.notRestored << (entry.originalPath.isEmpty() ? entry.trashedPath : entry.originalPath);
        }
    }

    try {
        Transaction transaction(*this);
        prepareJournalStatements();
        // Last removed first, so that a keeper merged into twice gives back
        // each copy's share in turn, and a place goes back into a playlist
        // only once the playlist is there again.
        auto playlistEntry = playlistEntries.rbegin();
        auto putBackPlaylistsAfter = [&](std::int64_t trackEntryId) {
            for (; playlistEntry != playlistEntries.rend() && playlistEntry->afterEntry >= trackEntryId;
                 ++playlistEntry)
                putBackPlaylistEntry(playlistEntry->entryId);
        };
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            putBackPlaylistsAfter(entry->entryId);
            m_db.query(m_restoreRowSql.constData()).bind(1, entry->entryId).run();
            putBackPlaces(entry->entryId, entry->databaseId);
            takeBackMerge(entry->entryId);
        }
        putBackPlaylistsAfter(0);
        m_db.query("UPDATE journal_jobs SET restored = 1 WHERE job_id = ?1").bind(1, jobId).run();
        m_db.query("DELETE FROM journal_restoring WHERE job_id = ?1").bind(1, jobId).run();
        queueRestoreChanges(m_db, jobId);
        transaction.commit();
    } catch (...) {
        for (RestoreFile &file : files)
            file.putBack();
        throw;
    }
    // Places put back into playlists count as tracks, as in the job's record.
    result.restored = std::int32_t(entries.size());
    for (const PlaylistEntry &entry : playlistEntries)
        result.restored += std::int32_t(entry.places);
    writeBackAfterChange(*this);
    qCDebug(lcService) << "restored job" << jobId << ":" << result.restored << "tracks," << result.notRestored.size()
                       << "files left in the trash";
    return result;
}

// Each place the track had, in playlists that are still there. Positions left
// a gap behind, so the old one is normally free; if not, the later items move
// up one.
void LibraryStore::putBackPlaces(std::int64_t entryId, std::int32_t databaseId)
{
    std::vector<std::pair<std::int32_t, std::int64_t>> places;
    {
        auto q = m_db.query("SELECT places FROM journal_tracks WHERE entry_id = ?1");
        if (q.bind(1, entryId).next()) {
            const QString text = q.text(0);
            for (const QStringView place : QStringView(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const qsizetype colon = place.indexOf(QLatin1Char(':'));
                places.emplace_back(place.left(colon).toInt(), place.mid(colon + 1).toLongLong());
            }
        }
    }
    for (const auto &[playlistId, position] : places) {
        if (isPlaylistIdInUse(playlistId))
            putBackPlace(playlistId, position, databaseId);
    }
}

void LibraryStore::putBackPlace(std::int32_t playlistId, std::int64_t position, std::int32_t databaseId)
{
    if (m_db.query("SELECT 1 FROM playlist_items WHERE playlist_id = ?1 AND position = ?2")
            .bind(1, playlistId)
            .bind(2, position)
            .next()) {
        // Through negative positions, as the key allows no overlap meanwhile.
        m_db.query("UPDATE playlist_items SET position = -position - 1 WHERE playlist_id = ?1 AND position >= ?2")
            .bind(1, playlistId)
            .bind(2, position)
            .run();
        m_db.query("UPDATE playlist_items SET position = -position WHERE playlist_id = ?1 AND position < 0")
            .bind(1, playlistId)
            .run();
    }
    m_db.query("INSERT INTO playlist_items(playlist_id, position, database_id) VALUES(?1, ?2, ?3)")
        .bind(1, playlistId)
        .bind(2, position)
        .bind(3, databaseId)
        .run();
}

// A value the keeper still has as the merge left it goes back to what it was
// before; counts that moved on since lose only what the copy brought.
void LibraryStore::takeBackMerge(std::int64_t entryId)
{
    auto journal =
        m_db.query("SELECT keeper_id, keeper_before_play_count, keeper_before_skip_count, keeper_before_play_date_utc,"
                   " keeper_before_rating, keeper_before_date_added, keeper_before_entries, keeper_after_play_count,"
                   " keeper_after_skip_count, keeper_after_play_date_utc, keeper_after_rating, keeper_after_date_added,"
                   " keeper_after_entries FROM journal_tracks WHERE entry_id = ?1");
    if (!journal.bind(1, entryId).next() || journal.isNull(0))
        return;
    const std::int32_t keeperId = journal.int32(0);
    auto now = m_db.query("SELECT play_count, skip_count, play_date_utc, rating, date_added, entries FROM tracks"
                          " WHERE database_id = ?1");
    if (!now.bind(1, keeperId).next())
        return;
    constexpr int kValues = 5;
    std::optional<std::int64_t> values[kValues];
    for (int i = 0; i < kValues; ++i) {
        const auto before = optionalInt(journal, 1 + i);
        const auto after = optionalInt(journal, 7 + i);
        const auto current = optionalInt(now, i);
        if (current == after)
            values[i] = before;
        else if (i < 2 && current) // play and skip counts
            values[i] = std::max<std::int64_t>(0, *current - (after.value_or(0) - before.value_or(0)));
        else
            values[i] = current;
    }
    const QByteArray entries = now.blob(5) == journal.blob(12) ? journal.blob(6) : now.blob(5);

    auto q = m_db.query("UPDATE tracks SET play_count = ?2, skip_count = ?3, play_date_utc = ?4, rating = ?5,"
                        " date_added = ?6, entries = ?7 WHERE database_id = ?1");
    q.bind(1, keeperId);
    for (int i = 0; i < kValues; ++i) {
        if (values[i])
            q.bind(2 + i, *values[i]);
        else
            q.bindNull(2 + i);
    }
    if (entries.isEmpty())
        q.bindNull(7);
    else
        q.bindBlob(7, entries);
    q.run();
}

} // namespace tidyfox::library
