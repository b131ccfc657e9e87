// SPDX-License-Identifier: GPL-3.0-or-later
// Playlists in the history of removals: places taken out of a playlist and
// whole playlists deleted, each written down in the same transaction so that
// a restore puts them back with their IDs and at their old positions.
#include "service/LibraryStore.h"
#include "service/Transaction.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tidyfox::library {

namespace {

using Places = std::vector<std::pair<std::int64_t, std::int32_t>>; // position, database id

QString placesText(const Places &places)
{
    QString text;
    for (const auto &[position, databaseId] : places) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QString::number(position) + QLatin1Char(':') + QString::number(databaseId);
    }
    return text;
}

Places parsePlaces(const QString &text)
{
    Places places;
    for (const QStringView place : QStringView(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype colon = place.indexOf(QLatin1Char(':'));
        places.emplace_back(place.left(colon).toLongLong(), place.mid(colon + 1).toInt());
    }
    return places;
}

} // namespace

void LibraryStore::checkUserPlaylist(std::int32_t playlistId)
{
    if (playlistId == m_libraryPlaylistId)
        throw LibraryError("The library playlist holds every track of the library: a track leaves it only by being "
                           "deleted, and the library playlist itself cannot be deleted.");
    auto q = m_db.query("SELECT kind FROM playlists WHERE playlist_id = ?1");
    if (!q.bind(1, playlistId).next())
        throw ObjectDeletedError(QStringLiteral("The playlist %1 has been deleted.").arg(playlistId).toStdString());
    const std::int64_t kind = q.int64(0);
    if (kind != kUserPlaylist && kind != kSmartPlaylist)
        throw LibraryError(QStringLiteral("The playlist %1 is a folder or one of the player's own lists, which "
                                          "Tidyfox leaves as they are.")
                               .arg(playlistId)
                               .toStdString());
}

// Everything is checked before the transaction begins, so that a refused call
// inside a larger change does not undo it.
void LibraryStore::removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                           const std::vector<std::int32_t> &databaseIds)
{
    checkOpenJob(jobId);
    checkUserPlaylist(playlistId);
    std::vector<std::int32_t> ids = databaseIds;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    // A track removed in a job keeps its items until the job is forgotten:
    // it is in no playlist meanwhile.
    checkTracks(ids);
    Places places;
    for (const std::int32_t databaseId : ids) {
        auto q = m_db.query("SELECT position FROM playlist_items WHERE database_id = ?1 AND playlist_id = ?2");
        q.bind(1, databaseId).bind(2, playlistId);
        const std::size_t before = places.size();
        while (q.next())
            places.emplace_back(q.int64(0), databaseId);
        if (places.size() == before)
            throw ObjectDeletedError(QStringLiteral("The track %1 is not in the playlist %2.")
                                         .arg(databaseId)
                                         .arg(playlistId)
                                         .toStdString());
    }
    if (places.empty())
        return;
    std::sort(places.begin(), places.end());

    Transaction transaction(*this);
    m_db.query("INSERT INTO journal_playlists(job_id, after_entry, playlist_id, places, place_count)"
               " VALUES(?1, (SELECT coalesce(max(entry_id), 0) FROM journal_tracks), ?2, ?3, ?4)")
        .bind(1, jobId)
        .bind(2, playlistId)
        .bind(3, placesText(places))
        .bind(4, std::int64_t(places.size()))
        .run();
    for (const std::int32_t databaseId : ids) {
        m_db.query("DELETE FROM playlist_items WHERE database_id = ?1 AND playlist_id = ?2")
            .bind(1, databaseId)
            .bind(2, playlistId)
            .run();
    }
    transaction.commit();
}

void LibraryStore::deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId)
{
    checkOpenJob(jobId);
    checkUserPlaylist(playlistId);
    Transaction transaction(*this);
    // Every item goes into the journal, also those of tracks a job removed
    // (they come back with the track); only the tracks here now count.
    Places places;
    std::int64_t count = 0;
    {
        auto q = m_db.query("SELECT i.position, i.database_id, t.database_id IS NOT NULL FROM playlist_items i"
                            " LEFT JOIN tracks t ON t.database_id = i.database_id WHERE i.playlist_id = ?1"
                            " ORDER BY i.position");
        q.bind(1, playlistId);
        while (q.next()) {
            places.emplace_back(q.int64(0), q.int32(1));
            count += q.int64(2);
        }
    }
    m_db.query("INSERT INTO journal_playlists(job_id, after_entry, playlist_id, places, place_count, deleted, row_id,"
               " kind, name, persistent_id, parent_persistent_id, entries)"
               " SELECT ?1, (SELECT coalesce(max(entry_id), 0) FROM journal_tracks), playlist_id, ?3, ?4, 1, rowid,"
               " kind, name, persistent_id, parent_persistent_id, entries FROM playlists WHERE playlist_id = ?2")
        .bind(1, jobId)
        .bind(2, playlistId)
        .bind(3, placesText(places))
        .bind(4, count)
        .run();
    m_db.query("DELETE FROM playlist_items WHERE playlist_id = ?1").bind(1, playlistId).run();
    m_db.query("DELETE FROM playlists WHERE playlist_id = ?1").bind(1, playlistId).run();
    transaction.commit();
}

// A deleted playlist comes back with its row as it was (in its old place
// among the playlists when no other has taken it), then each place, also of
// tracks a job removed: those show again once their job is put back.
void LibraryStore::putBackPlaylistEntry(std::int64_t entryId)
{
    auto q = m_db.query("SELECT playlist_id, places, deleted, row_id FROM journal_playlists WHERE entry_id = ?1");
    if (!q.bind(1, entryId).next())
        return;
    const std::int32_t playlistId = q.int32(0);
    const Places places = parsePlaces(q.text(1));
    if (q.int64(2) != 0) {
        const bool rowFree = !m_db.query("SELECT 1 FROM playlists WHERE rowid = ?1").bind(1, q.int64(3)).next();
        m_db.query("INSERT INTO playlists(rowid, playlist_id, kind, name, persistent_id, parent_persistent_id,"
                   " entries) SELECT CASE WHEN ?2 THEN row_id END, playlist_id, kind, name, persistent_id,"
                   " parent_persistent_id, entries FROM journal_playlists WHERE entry_id = ?1")
            .bind(1, entryId)
            .bind(2, std::int64_t(rowFree))
            .run();
    } else if (!isPlaylistIdInUse(playlistId)) {
        return;
    }
    for (const auto &[position, databaseId] : places)
        putBackPlace(playlistId, position, databaseId);
}

} // namespace tidyfox::library
