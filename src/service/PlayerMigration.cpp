// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PlayerMigration.h"

#include "service/LibraryStore.h"
#include "service/PlayerLink.h"
#include "service/Transaction.h"

#include <QHash>

namespace tidyfox::library {

namespace {

struct History
{
    std::int64_t playCount = 0;
    std::int64_t playDate = 0; // seconds since the epoch; 0 for never
    std::int64_t rating = 0;   // 0 to 100
};

} // namespace

MigrationSummary migrateHistory(LibraryStore &linked, const QString &fileName, const XmlImportOptions &options)
{
    // The export read as any import reads it, into a library of its own.
    const auto exported = LibraryStore::open(QStringLiteral(":memory:"));
    importLibraryXml(*exported, fileName, options);
    QHash<QString, History> byPath;
    exported->forEachTrack(exported->libraryPlaylistId(), [&](const TrackRecord &t, const QString &) {
        if (t.kind == TrackKind::File)
            byPath.insert(t.location,
                          {t.playCount, t.playDate.isValid() ? t.playDate.toSecsSinceEpoch() : 0, t.rating});
    });

    sql::Database &db = linked.database();
    MigrationSummary summary;
    Transaction transaction(linked);
    struct Entry
    {
        std::int32_t databaseId;
        QString key;
        QString location;
        History history;
    };
    std::vector<Entry> entries;
    {
        auto q = db.query("SELECT t.database_id, p.player_key, t.location, coalesce(t.play_count, 0),"
                          " coalesce(t.play_date_utc, 0), coalesce(t.rating, 0) FROM tracks t JOIN player_tracks p"
                          " ON p.database_id = t.database_id WHERE t.kind = 1");
        while (q.next())
            entries.push_back({q.int32(0), q.text(1), q.text(2), {q.int64(3), q.int64(4), q.int64(5)}});
    }
    for (const Entry &entry : entries) {
        const auto found = byPath.constFind(entry.location);
        if (found == byPath.cend())
            continue;
        ++summary.matched;
        // The larger count and the later date win, so that plays in either
        // player count and a second run changes nothing; a rating the entry
        // has is the user's newer word.
        const History now = entry.history;
        const History moved{std::max(now.playCount, found->playCount), std::max(now.playDate, found->playDate),
                            now.rating != 0 ? now.rating : found->rating};
        if (moved.playCount == now.playCount && moved.playDate == now.playDate && moved.rating == now.rating)
            continue;
        ++summary.updated;
        auto update = db.query("UPDATE tracks SET play_count = ?2, play_date_utc = ?3, rating = ?4"
                               " WHERE database_id = ?1");
        update.bind(1, entry.databaseId).bind(2, moved.playCount);
        if (moved.playDate > 0)
            update.bind(3, moved.playDate);
        else
            update.bindNull(3);
        update.bind(4, moved.rating).run();
        PlayerHistory values;
        values.playCount = moved.playCount;
        values.lastPlayed = moved.playDate;
        values.rating = moved.rating;
        queueHistoryChange(db, entry.key, values);
    }
    summary.unmatched = int(byPath.size()) - summary.matched;
    transaction.commit();
    writeBackAfterChange(linked);
    return summary;
}

} // namespace tidyfox::library
