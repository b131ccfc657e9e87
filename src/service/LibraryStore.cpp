// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryStore.h"

#include "service/LibrarySchema.h"
#include "service/PlayerLink.h"
#include "service/ServiceLog.h"
#include "service/TimeText.h"
#include "service/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <algorithm>
#include <limits>
#include <optional>
#include <thread>
#include <tuple>

namespace tidyfox::library {

namespace {

constexpr std::int64_t kMaxId = std::numeric_limits<std::int32_t>::max();

// The columns readTrack expects, in its order.
#define TRACK_COLUMNS                                                                                                  \
    "t.database_id, t.track_id, t.kind, t.persistent_id, t.name, t.artist, t.album, t.composer, t.genre, "             \
    "t.kind_text, t.total_time, t.bit_rate, t.sample_rate, t.size, t.date_added, t.location, t.long_description, "     \
    "t.track_type, t.play_count, t.skip_count, t.rating, t.play_date_utc"

// Their positions, for both readers of a track.
enum TrackColumn : int {
    DatabaseIdColumn,
    TrackIdColumn,
    KindColumn,
    PersistentIdColumn,
    NameColumn,
    ArtistColumn,
    AlbumColumn,
    ComposerColumn,
    GenreColumn,
    KindTextColumn,
    TotalTimeColumn,
    BitRateColumn,
    SampleRateColumn,
    SizeColumn,
    DateAddedColumn,
    LocationColumn,
    LongDescriptionColumn,
    TrackTypeColumn,
    PlayCountColumn,
    SkipCountColumn,
    RatingColumn,
    PlayDateColumn,
    // The first column after those of readTrack.
    AfterTrackColumns
};

// A track's numbers as both readers hand them on. NULL (the file gave none)
// reads as 0; the history is int32 on the bus.
struct TrackNumbers
{
    std::int32_t databaseId;
    std::int32_t trackId;
    TrackKind kind;
    std::int32_t totalTimeMs;
    std::int32_t bitRate;
    std::int32_t sampleRate;
    std::int64_t size;
    std::optional<std::int64_t> dateAddedSeconds;
    std::int32_t playCount;
    std::int32_t skipCount;
    std::int32_t rating;
    std::optional<std::int64_t> playDateSeconds;
};

std::optional<std::int64_t> secondsAt(const sql::Query &q, int column)
{
    if (q.isNull(column))
        return std::nullopt;
    return q.int64(column);
}

TrackNumbers readTrackNumbers(const sql::Query &q)
{
    const auto history = [&q](int column, std::int64_t top) {
        return std::int32_t(std::clamp<std::int64_t>(q.int64(column), 0, top));
    };
    return {q.int32(DatabaseIdColumn),
            q.int32(TrackIdColumn),
            q.int32(KindColumn) == int(TrackKind::Url) ? TrackKind::Url : TrackKind::File,
            q.int32(TotalTimeColumn),
            q.int32(BitRateColumn),
            q.int32(SampleRateColumn),
            q.int64(SizeColumn),
            secondsAt(q, DateAddedColumn),
            history(PlayCountColumn, kMaxId),
            history(SkipCountColumn, kMaxId),
            history(RatingColumn, 100),
            secondsAt(q, PlayDateColumn)};
}

// For lowestFreeId: whether ID 1 is held, and the first ID above a held one
// that is not.
#define FREE_ID_QUERIES(table, column)                                                                                 \
    "SELECT 1 FROM " table " WHERE " column " = 1",                                                                    \
        "SELECT a." column " + 1 FROM " table " a WHERE a." column " > 0 AND a." column " < ?1 AND NOT EXISTS("        \
        "SELECT 1 FROM " table " b WHERE b." column " = a." column " + 1) ORDER BY a." column " LIMIT 1"

// Columns whose values repeat from one track to the next.
struct RepeatedColumns
{
    struct Last
    {
        QByteArray bytes;
        QString text;
    };
    Last artist, album, composer, genre, kind;
    // Time texts by rounded second: a library has a few thousand lengths.
    QHash<std::int32_t, QString> times;

    QString time(std::int32_t milliseconds)
    {
        const auto key = milliseconds <= 0 ? -1 : std::int32_t((std::int64_t(milliseconds) + 500) / 1000);
        auto found = times.find(key);
        if (found == times.end())
            found = times.insert(key, timeText(milliseconds));
        return *found;
    }
};

TrackRecord readTrack(const sql::Query &q, RepeatedColumns *repeated = nullptr)
{
    const TrackNumbers n = readTrackNumbers(q);
    TrackRecord t;
    t.databaseId = n.databaseId;
    t.trackId = n.trackId;
    t.kind = n.kind;
    t.persistentId = q.text(PersistentIdColumn);
    t.name = q.text(NameColumn);
    if (repeated) {
        t.artist = q.text(ArtistColumn, repeated->artist.bytes, repeated->artist.text);
        t.album = q.text(AlbumColumn, repeated->album.bytes, repeated->album.text);
        t.composer = q.text(ComposerColumn, repeated->composer.bytes, repeated->composer.text);
        t.genre = q.text(GenreColumn, repeated->genre.bytes, repeated->genre.text);
        t.kindAsString = q.text(KindTextColumn, repeated->kind.bytes, repeated->kind.text);
    } else {
        t.artist = q.text(ArtistColumn);
        t.album = q.text(AlbumColumn);
        t.composer = q.text(ComposerColumn);
        t.genre = q.text(GenreColumn);
        t.kindAsString = q.text(KindTextColumn);
    }
    t.totalTimeMs = n.totalTimeMs;
    t.time = repeated ? repeated->time(t.totalTimeMs) : timeText(t.totalTimeMs);
    t.bitRate = n.bitRate;
    t.sampleRate = n.sampleRate;
    t.size = n.size;
    if (n.dateAddedSeconds)
        t.dateAdded = QDateTime::fromSecsSinceEpoch(*n.dateAddedSeconds, Qt::UTC);
    t.location = q.text(LocationColumn);
    t.longDescription = q.text(LongDescriptionColumn);
    t.playCount = n.playCount;
    t.skipCount = n.skipCount;
    t.rating = n.rating;
    if (n.playDateSeconds)
        t.playDate = QDateTime::fromSecsSinceEpoch(*n.playDateSeconds, Qt::UTC);
    return t;
}

// readTrack for the bus payload: the texts are handed on as SQLite's own
// UTF-8 bytes, and only a text QString would not keep as it is goes through
// QString, so the payload is the one readTrack's records would make.
class TrackBytesReader
{
public:
    const protocol::TrackBytes &read(const sql::Query &q)
    {
        const TrackNumbers n = readTrackNumbers(q);
        protocol::TrackBytes &t = m_track;
        t.databaseId = n.databaseId;
        t.trackId = n.trackId;
        t.kind = n.kind;
        t.totalTimeMs = n.totalTimeMs;
        t.bitRate = n.bitRate;
        t.sampleRate = n.sampleRate;
        t.size = n.size;
        t.dateAddedMs = msOf(n.dateAddedSeconds);
        t.playCount = n.playCount;
        t.skipCount = n.skipCount;
        t.rating = n.rating;
        t.playDateMs = msOf(n.playDateSeconds);
        using protocol::TrackText;
        text(q, TrackText::Name, NameColumn);
        text(q, TrackText::Artist, ArtistColumn);
        text(q, TrackText::Album, AlbumColumn);
        text(q, TrackText::Composer, ComposerColumn);
        text(q, TrackText::Genre, GenreColumn);
        text(q, TrackText::KindAsString, KindTextColumn);
        t.texts[std::size_t(TrackText::Time)] = time(t.totalTimeMs);
        text(q, TrackText::Location, LocationColumn);
        text(q, TrackText::LongDescription, LongDescriptionColumn);
        return t;
    }

private:
    static std::int64_t msOf(std::optional<std::int64_t> seconds)
    {
        if (!seconds)
            return protocol::kNoTrackDate;
        // Beyond what QDateTime holds the record had no date either.
        constexpr std::int64_t kPlainRange = std::int64_t(1) << 40;
        if (*seconds > -kPlainRange && *seconds < kPlainRange)
            return *seconds * 1000;
        const QDateTime date = QDateTime::fromSecsSinceEpoch(*seconds, Qt::UTC);
        return date.isValid() ? date.toMSecsSinceEpoch() : protocol::kNoTrackDate;
    }

    void text(const sql::Query &q, protocol::TrackText which, int column)
    {
        const auto at = std::size_t(which);
        const QByteArrayView bytes = q.utf8(column);
        if (protocol::isPlainUtf8(bytes)) {
            m_track.texts[at] = bytes;
            return;
        }
        m_converted[at] = QString::fromUtf8(bytes).toUtf8();
        m_track.texts[at] = m_converted[at];
    }

    QByteArrayView time(std::int32_t milliseconds)
    {
        const auto key = milliseconds <= 0 ? -1 : std::int32_t((std::int64_t(milliseconds) + 500) / 1000);
        auto found = m_times.find(key);
        if (found == m_times.end())
            found = m_times.insert(key, timeText(milliseconds).toUtf8());
        return *found;
    }

    protocol::TrackBytes m_track;
    std::array<QByteArray, std::size_t(protocol::TrackText::Count)> m_converted;
    // As RepeatedColumns::times.
    QHash<std::int32_t, QByteArray> m_times;
};

QString defaultTrackType(TrackKind kind)
{
    return kind == TrackKind::Url ? QStringLiteral("URL") : QStringLiteral("File");
}

ObjectDeletedError deletedPlaylist(std::int32_t id)
{
    return ObjectDeletedError(QStringLiteral("The playlist %1 has been deleted.").arg(id).toStdString());
}

ObjectDeletedError deletedTrack(std::int32_t id)
{
    return ObjectDeletedError(QStringLiteral("The track %1 has been deleted.").arg(id).toStdString());
}

} // namespace

std::unique_ptr<LibraryCore> LibraryCore::open(const QString &path)
{
    return LibraryStore::open(path);
}

LibraryStore::LibraryStore(const QString &path, bool readOnly) : m_db(path, readOnly) {}

LibraryStore::~LibraryStore()
{
    if (m_depth > 0) {
        try {
            m_db.exec("ROLLBACK");
        } catch (const LibraryError &) {
            // Closing the connection undoes the transaction anyway.
        }
    }
}

std::unique_ptr<LibraryStore> LibraryStore::open(const QString &path, std::chrono::milliseconds busyTimeout)
{
    if (path != QLatin1String(":memory:"))
        QDir().mkpath(QFileInfo(path).absolutePath());
    std::unique_ptr<LibraryStore> store(new LibraryStore(path, false));
    store->prepare(busyTimeout);
    if (path != QLatin1String(":memory:")) {
        // Whoever opens the library first after a killed run puts it right,
        // the service, the command line and an in-process client alike.
        try {
            store->settlePendingMoves();
        } catch (const std::exception &error) {
            qCWarning(lcService) << "What an interrupted removal left stays for the next start:" << error.what();
        }
    }
    return store;
}

std::unique_ptr<LibraryStore> LibraryStore::openForReading(const QString &path, std::chrono::milliseconds busyTimeout)
{
    if (path == QLatin1String(":memory:") || QFileInfo(path).size() == 0)
        return open(QStringLiteral(":memory:"), busyTimeout);
    std::unique_ptr<LibraryStore> store(new LibraryStore(path, true));
    store->m_db.setBusyTimeout(int(busyTimeout.count()));
    const std::int64_t version = store->m_db.scalar("PRAGMA user_version");
    if (version == 0 && store->m_db.scalar("SELECT count(*) FROM sqlite_master") == 0)
        return open(QStringLiteral(":memory:"), busyTimeout);
    if (version > 0 && version < latestSchemaVersion())
        return open(path, busyTimeout);
    store->prepare(busyTimeout, true);
    return store;
}

// Everything is read before anything is written, so that a file that is not
// ours is refused untouched.
void LibraryStore::prepare(std::chrono::milliseconds busyTimeout, bool readOnly)
{
    m_db.setBusyTimeout(int(busyTimeout.count()));
    if (!readOnly && m_db.isReadOnly())
        throw LibraryError(QStringLiteral("The library %1 is read-only.").arg(path()).toStdString());

    const std::int64_t applicationId = m_db.scalar("PRAGMA application_id");
    const std::int64_t version = m_db.scalar("PRAGMA user_version");
    const bool empty = m_db.scalar("SELECT count(*) FROM sqlite_master") == 0;
    const bool ours = applicationId == kLibraryApplicationId;
    if ((applicationId != 0 && !ours) || (version > 0 && !ours) || (version == 0 && !empty))
        throw LibraryError(QStringLiteral("%1 is not a Tidyfox library.").arg(path()).toStdString());
    if (version > latestSchemaVersion())
        throw LibraryError(
            QStringLiteral("The library %1 was made by a newer version of Tidyfox.").arg(path()).toStdString());

    if (!readOnly) {
        const QString journal = m_db.scalarText("PRAGMA journal_mode = WAL");
        qCDebug(lcService) << "library" << path() << "journal mode" << journal;
    }
    m_db.exec("PRAGMA synchronous = NORMAL; PRAGMA temp_store = MEMORY");

    if (!readOnly && version < latestSchemaVersion()) {
        m_db.exec("BEGIN IMMEDIATE");
        try {
            // Another process may have brought the file up to date meanwhile.
            const int current = int(m_db.scalar("PRAGMA user_version"));
            if (current < latestSchemaVersion()) {
                qCDebug(lcService) << "schema of" << path() << "from" << current << "to" << latestSchemaVersion();
                applySchemaSteps(m_db, current, latestSchemaVersion());
            }
            m_db.exec("COMMIT");
        } catch (...) {
            if (m_db.inTransaction())
                m_db.exec("ROLLBACK");
            throw;
        }
    }
    m_sourceId = std::int32_t(meta("source_id"));
    m_libraryPlaylistId = std::int32_t(meta("library_playlist_id"));
}

std::int64_t LibraryStore::meta(const char *key)
{
    auto q = m_db.query("SELECT value FROM meta WHERE key = ?1");
    q.bind(1, QString::fromLatin1(key));
    return q.next() ? q.int64(0) : 0;
}

QString LibraryStore::libraryPersistentId()
{
    auto q = m_db.query("SELECT value FROM meta WHERE key = 'library_persistent_id'");
    return q.next() ? q.text(0) : QString();
}

int LibraryStore::schemaVersion()
{
    return int(m_db.scalar("PRAGMA user_version"));
}

// --- transactions ---------------------------------------------------------

// A nested transaction joins the outer one. Savepoints would let an inner
// failure be undone alone, but each one copies every page it touches to a
// journal of its own, which made an import of many tracks several times slower.
// So a failed inner part instead undoes the whole change at the outer commit;
// the write calls check their arguments before they change anything, so that a
// refused call does not count as a failure.
void LibraryStore::begin()
{
    if (m_depth == 0) {
        m_db.query("BEGIN IMMEDIATE").run();
        m_countersLoaded = false;
        m_innerFailed = false;
    }
    ++m_depth;
}

void LibraryStore::commit()
{
    if (m_depth == 0)
        throw LibraryError("commit without a transaction");
    if (m_depth > 1) {
        --m_depth;
        return;
    }
    if (m_innerFailed) {
        rollback();
        throw LibraryError("The change was undone because a part of it failed.");
    }
    saveCounters();
    m_db.query("COMMIT").run();
    m_countersLoaded = false;
    m_depth = 0;
}

void LibraryStore::rollback()
{
    if (m_depth == 0)
        return;
    if (--m_depth > 0) {
        m_innerFailed = true;
        return;
    }
    m_countersLoaded = false;
    // SQLite has already undone the transaction after some errors.
    if (m_db.inTransaction())
        m_db.query("ROLLBACK").run();
}

void LibraryStore::loadCounters()
{
    if (m_countersLoaded)
        return;
    m_topTrackId = meta("top_track_id");
    m_topPlaylistId = meta("top_playlist_id");
    m_nextOrder = m_db.scalar("SELECT coalesce(max(library_order), 0) + 1 FROM tracks");
    m_topTrackIdLoaded = m_topTrackId;
    m_givenIds.clear();
    m_givenIdCount = 0;
    m_givenIdsKnown = true;
    m_countersLoaded = true;
}

void LibraryStore::saveCounters()
{
    if (!m_countersLoaded)
        return;
    for (const auto &[key, value] :
         {std::pair{"top_track_id", m_topTrackId}, std::pair{"top_playlist_id", m_topPlaylistId}}) {
        auto q = m_db.query("UPDATE meta SET value = ?2 WHERE key = ?1");
        q.bind(1, QString::fromLatin1(key)).bind(2, value).run();
    }
}

// Callers have checked that a wanted ID is free.
std::int32_t LibraryStore::takeTrackId(std::int32_t wanted)
{
    loadCounters();
    if (wanted > 0) {
        m_topTrackId = std::max<std::int64_t>(m_topTrackId, wanted);
        return wanted;
    }
    if (m_topTrackId < kMaxId)
        return std::int32_t(++m_topTrackId);
    // Past the top: an ID a deleted track had is better than none.
    if (const auto id = lowestFreeId(FREE_ID_QUERIES("tracks", "track_id")))
        return *id;
    throw LibraryError("The library has run out of track IDs.");
}

std::int32_t LibraryStore::takePlaylistId(std::int32_t wanted)
{
    loadCounters();
    if (wanted > 0) {
        m_topPlaylistId = std::max<std::int64_t>(m_topPlaylistId, wanted);
        return wanted;
    }
    if (m_topPlaylistId < kMaxId)
        return std::int32_t(++m_topPlaylistId);
    if (const auto id = lowestFreeId(FREE_ID_QUERIES("playlists", "playlist_id")))
        return *id;
    throw LibraryError("The library has run out of playlist IDs.");
}

// The lowest positive ID that no row holds: 1, or the first one above a held
// ID. The ID columns are unique, so both look-ups use their index.
std::optional<std::int32_t> LibraryStore::lowestFreeId(const char *holdsOne, const char *firstGap)
{
    if (!m_db.query(holdsOne).next())
        return 1;
    auto q = m_db.query(firstGap);
    if (q.bind(1, kMaxId).next())
        return q.int32(0);
    return std::nullopt;
}

QString LibraryStore::newPersistentId()
{
    // The IDs a store gives follow on from a random start: a million tracks
    // imported then go into the persistent ID index at its end instead of
    // at a random page each (a third of a large import's storing time). Two
    // stores, or two runs, still start a world apart.
    if (!m_persistentIdDrawn) {
        m_nextPersistentId = QRandomGenerator::global()->generate64();
        m_persistentIdDrawn = true;
    }
    QString id(16, Qt::Uninitialized);
    std::uint64_t n = m_nextPersistentId++;
    for (qsizetype i = 15; i >= 0; --i, n >>= 4)
        id[i] = QLatin1Char("0123456789ABCDEF"[n & 0xF]);
    return id;
}

std::int64_t LibraryStore::takeLibraryOrder()
{
    loadCounters();
    return m_nextOrder++;
}

std::int64_t LibraryStore::topTrackId()
{
    if (m_depth > 0) {
        loadCounters();
        return m_topTrackId;
    }
    return meta("top_track_id");
}

std::int64_t LibraryStore::topPlaylistId()
{
    if (m_depth > 0) {
        loadCounters();
        return m_topPlaylistId;
    }
    return meta("top_playlist_id");
}

bool LibraryStore::isTrackIdInUse(std::int32_t id)
{
    if (m_countersLoaded && m_givenIdsKnown && id > m_topTrackIdLoaded) {
        const auto index = std::uint64_t(id - m_topTrackIdLoaded - 1);
        if (index < m_givenIds.size())
            return m_givenIds[index];
        if (id > m_topTrackId)
            return false;
    }
    return m_db.query("SELECT 1 FROM tracks WHERE track_id = ?1").bind(1, id).next();
}

void LibraryStore::noteGivenTrackId(std::int32_t id)
{
    // An ID up to the top was given before the transaction: the table knows.
    if (!m_givenIdsKnown || id <= m_topTrackIdLoaded)
        return;
    const auto index = std::uint64_t(std::int64_t(id) - m_topTrackIdLoaded - 1);
    // A bit an ID: files number their tracks from near 1 but in the order
    // of their keys as text (1, 10, 100, ...), so the table may reach 16
    // million IDs at once (2 MB), and 64 per ID given beyond. An ID far
    // above those (a file that numbers from two billion) would make it
    // large: the table then answers no more.
    if (index >= 64 * m_givenIdCount + (std::uint64_t(1) << 24)) {
        m_givenIdsKnown = false;
        m_givenIds = {};
        return;
    }
    if (index >= m_givenIds.size())
        m_givenIds.resize(std::max<std::size_t>(index + 1, m_givenIds.size() * 2), false);
    m_givenIds[index] = true;
    ++m_givenIdCount;
}

bool LibraryStore::isPlaylistIdInUse(std::int32_t id)
{
    return m_db.query("SELECT 1 FROM playlists WHERE playlist_id = ?1").bind(1, id).next();
}

// --- reading --------------------------------------------------------------

SourceRecord LibraryStore::source()
{
    const auto link = playerLink(m_db);
    return {m_sourceId, 1, link ? linkedSourceName(link->player) : QStringLiteral("Library")};
}

std::vector<PlaylistRecord> LibraryStore::playlists()
{
    std::vector<PlaylistRecord> result;
    // Folders have no tracks of their own and a player's own lists are not
    // the user's to clean: the program is offered neither. A smart playlist
    // is listed like any other.
    auto q = m_db.query("SELECT playlist_id, kind, name, persistent_id FROM playlists WHERE kind IN (1, 2, 3)"
                        " ORDER BY kind <> 1, rowid");
    while (q.next())
        result.push_back(
            {q.int32(0), q.int32(1) == kLibraryPlaylist ? kLibraryPlaylist : kUserPlaylist, q.text(2), q.text(3)});
    return result;
}

std::vector<StoredPlaylist> LibraryStore::allPlaylists()
{
    std::vector<StoredPlaylist> result;
    auto q = m_db.query("SELECT playlist_id, kind, name, persistent_id, parent_persistent_id, entries FROM playlists"
                        " ORDER BY kind <> 1, rowid");
    while (q.next())
        result.push_back({{q.int32(0), q.int32(1), q.text(2), q.text(3)}, q.text(4), q.blob(5)});
    return result;
}

void LibraryStore::adoptMasterPlaylist(const QString &name, const QString &persistentId, const QByteArray &entries)
{
    Transaction transaction(*this);
    auto q = m_db.query("UPDATE playlists SET name = ?2, persistent_id = ?3, entries = ?4 WHERE playlist_id = ?1");
    q.bind(1, m_libraryPlaylistId).bind(2, name).bind(3, persistentId.isEmpty() ? newPersistentId() : persistentId);
    q.bindBlob(4, entries).run();
    transaction.commit();
}

QByteArray LibraryStore::fileHeader()
{
    auto q = m_db.query("SELECT value FROM meta WHERE key = 'file_header'");
    return q.next() ? q.blob(0) : QByteArray();
}

void LibraryStore::setFileHeader(const QByteArray &entries)
{
    m_db.query("INSERT OR REPLACE INTO meta(key, value) VALUES('file_header', ?1)").bindBlob(1, entries).run();
}

void LibraryStore::setLibraryPersistentId(const QString &persistentId)
{
    m_db.query("UPDATE meta SET value = ?1 WHERE key = 'library_persistent_id'").bind(1, persistentId).run();
}

void LibraryStore::checkPlaylist(std::int32_t playlistId)
{
    if (playlistId == m_libraryPlaylistId)
        return;
    auto q = m_db.query("SELECT 1 FROM playlists WHERE playlist_id = ?1");
    if (!q.bind(1, playlistId).next())
        throw deletedPlaylist(playlistId);
}

void LibraryStore::forEachTrack(std::int32_t playlistId,
                                const std::function<void(const TrackRecord &, const QString &)> &visit)
{
    RepeatedColumns repeated;
    RepeatedColumns::Last trackType;
    walkTrackRows(playlistId, [&](const sql::Query &q) {
        visit(readTrack(q, &repeated), q.text(TrackTypeColumn, trackType.bytes, trackType.text));
    });
}

void LibraryStore::forEachTrackBytes(std::int32_t playlistId,
                                     const std::function<void(const protocol::TrackBytes &)> &visit)
{
    TrackBytesReader reader;
    walkTrackRows(playlistId, [&](const sql::Query &q) { visit(reader.read(q)); });
}

std::optional<LibraryStore::StoredIds> LibraryStore::libraryRowsInStoredOrder()
{
    // Following the order index looks every row up in the table on its own.
    // Rows stored in library order (as an import leaves them) read straight
    // through come in the same order for less; the index alone tells whether
    // they are.
    StoredIds ids;
    auto order = m_db.query("SELECT database_id FROM tracks ORDER BY library_order, database_id");
    for (std::int64_t last = std::numeric_limits<std::int64_t>::min(); order.next(); ++ids.count) {
        const std::int64_t id = order.int64(0);
        if (id <= last)
            return std::nullopt;
        if (ids.count == 0)
            ids.lowest = id;
        last = ids.highest = id;
    }
    return ids;
}

void LibraryStore::walkTrackRows(std::int32_t playlistId, const std::function<void(const sql::Query &)> &visit)
{
    checkPlaylist(playlistId);
    auto walk = [&](sql::Query &q) {
        while (q.next())
            visit(q);
    };
    if (playlistId == m_libraryPlaylistId) {
        auto q = m_db.query(libraryRowsInStoredOrder() ? "SELECT " TRACK_COLUMNS " FROM tracks t ORDER BY t.database_id"
                                                       : "SELECT " TRACK_COLUMNS
                                                         " FROM tracks t ORDER BY t.library_order, t.database_id");
        walk(q);
        return;
    }
    auto q = m_db.query("SELECT " TRACK_COLUMNS " FROM playlist_items i JOIN tracks t ON t.database_id = i.database_id"
                        " WHERE i.playlist_id = ?1 ORDER BY i.position");
    q.bind(1, playlistId);
    walk(q);
}

bool LibraryStore::forEachLibraryTrackBytesInHalves(const std::function<void(const protocol::TrackBytes &)> &first,
                                                    const std::function<void(const protocol::TrackBytes &)> &second)
{
    // A library worth the second walk: a thread and a connection cost about
    // a millisecond, a thousand tracks about as much.
    constexpr std::int64_t kHalvesFrom = 4096;
    if (path() == QLatin1String(":memory:") || m_db.inTransaction())
        return false;
    const auto ids = libraryRowsInStoredOrder();
    if (!ids || ids->count < kHalvesFrom)
        return false;
    // The ids an import gives lie close together: the middle one splits the
    // rows about evenly, and any split walks every row once.
    const std::int64_t middle = ids->lowest + (ids->highest - ids->lowest) / 2 + 1;
    std::exception_ptr secondFailed;
    std::thread other([&, path = path()] {
        try {
            sql::Database db(path, true);
            db.setBusyTimeout(5000);
            TrackBytesReader reader;
            auto q =
                db.query("SELECT " TRACK_COLUMNS " FROM tracks t WHERE t.database_id >= ?1 ORDER BY t.database_id");
            q.bind(1, middle);
            while (q.next())
                second(reader.read(q));
        } catch (...) {
            secondFailed = std::current_exception();
        }
    });
    std::exception_ptr firstFailed;
    try {
        TrackBytesReader reader;
        auto q = m_db.query("SELECT " TRACK_COLUMNS " FROM tracks t WHERE t.database_id < ?1 ORDER BY t.database_id");
        q.bind(1, middle);
        while (q.next())
            first(reader.read(q));
    } catch (...) {
        firstFailed = std::current_exception();
    }
    other.join();
    if (firstFailed)
        std::rethrow_exception(firstFailed);
    if (secondFailed)
        std::rethrow_exception(secondFailed);
    return true;
}

std::vector<TrackRecord> LibraryStore::playlistTracks(std::int32_t playlistId)
{
    checkPlaylist(playlistId);
    std::vector<TrackRecord> result;
    RepeatedColumns repeated;
    if (playlistId == m_libraryPlaylistId) {
        // Read in storage order and sort here: following the order index
        // would look every row up in the table separately, which costs more
        // than sorting the nearly sorted orders.
        const auto count = std::size_t(trackCount());
        result.reserve(count);
        std::vector<std::pair<std::int64_t, std::uint32_t>> order;
        order.reserve(count);
        auto q = m_db.query("SELECT " TRACK_COLUMNS ", t.library_order FROM tracks t");
        while (q.next()) {
            order.emplace_back(q.int64(AfterTrackColumns), std::uint32_t(result.size()));
            result.push_back(readTrack(q, &repeated));
        }
        if (std::is_sorted(order.begin(), order.end()))
            return result;
        std::sort(order.begin(), order.end());
        std::vector<TrackRecord> sorted;
        sorted.reserve(result.size());
        for (const auto &[libraryOrder, index] : order)
            sorted.push_back(std::move(result[index]));
        return sorted;
    }
    auto q = m_db.query("SELECT " TRACK_COLUMNS " FROM playlist_items i JOIN tracks t ON t.database_id = i.database_id"
                        " WHERE i.playlist_id = ?1 ORDER BY i.position");
    q.bind(1, playlistId);
    while (q.next())
        result.push_back(readTrack(q, &repeated));
    return result;
}

void LibraryStore::forEachTrackId(std::int32_t playlistId, const std::function<void(std::int32_t)> &visit)
{
    checkPlaylist(playlistId);
    if (playlistId == m_libraryPlaylistId) {
        auto q = m_db.query("SELECT track_id FROM tracks ORDER BY library_order, database_id");
        while (q.next())
            visit(q.int32(0));
        return;
    }
    auto q = m_db.query("SELECT t.track_id FROM playlist_items i JOIN tracks t ON t.database_id = i.database_id"
                        " WHERE i.playlist_id = ?1 ORDER BY i.position");
    q.bind(1, playlistId);
    while (q.next())
        visit(q.int32(0));
}

void LibraryStore::forEachItemDatabaseId(std::int32_t playlistId, const std::function<void(std::int32_t)> &visit)
{
    checkPlaylist(playlistId);
    if (playlistId == m_libraryPlaylistId)
        throw LibraryError("The library playlist has no items of its own");
    auto q = m_db.query("SELECT database_id FROM playlist_items WHERE playlist_id = ?1 ORDER BY position");
    q.bind(1, playlistId);
    while (q.next())
        visit(q.int32(0));
}

std::optional<TrackRecord> LibraryStore::firstTrackInPlaylist(std::int32_t playlistId, std::int32_t trackId)
{
    checkPlaylist(playlistId);
    // A TrackID names one track, so the first match in any playlist is that
    // track, provided the playlist holds it at all.
    if (playlistId == m_libraryPlaylistId) {
        auto q = m_db.query("SELECT " TRACK_COLUMNS " FROM tracks t WHERE t.track_id = ?1");
        if (q.bind(1, trackId).next())
            return readTrack(q);
        return std::nullopt;
    }
    auto q = m_db.query("SELECT " TRACK_COLUMNS " FROM tracks t WHERE t.track_id = ?1 AND EXISTS("
                        "SELECT 1 FROM playlist_items i WHERE i.database_id = t.database_id AND i.playlist_id = ?2)");
    if (q.bind(1, trackId).bind(2, playlistId).next())
        return readTrack(q);
    return std::nullopt;
}

std::optional<TrackRecord> LibraryStore::track(std::int32_t databaseId)
{
    auto q = m_db.query("SELECT " TRACK_COLUMNS " FROM tracks t WHERE t.database_id = ?1");
    if (q.bind(1, databaseId).next())
        return readTrack(q);
    return std::nullopt;
}

QString LibraryStore::trackType(std::int32_t databaseId)
{
    auto q = m_db.query("SELECT track_type FROM tracks WHERE database_id = ?1");
    if (!q.bind(1, databaseId).next())
        throw deletedTrack(databaseId);
    return q.text(0);
}

std::optional<std::int32_t> LibraryStore::trackByPersistentId(const QString &persistentId)
{
    auto q = m_db.query("SELECT database_id FROM tracks WHERE persistent_id = ?1");
    if (q.bind(1, persistentId.toUpper()).next())
        return q.int32(0);
    return std::nullopt;
}

std::optional<PlaylistRecord> LibraryStore::playlistByPersistentId(const QString &persistentId)
{
    auto q = m_db.query("SELECT playlist_id, kind, name, persistent_id FROM playlists WHERE persistent_id = ?1");
    if (q.bind(1, persistentId.toUpper()).next())
        return PlaylistRecord{q.int32(0), q.int32(1), q.text(2), q.text(3)};
    return std::nullopt;
}

std::optional<std::int32_t> LibraryStore::trackByLocationAndName(const QString &location, const QString &name,
                                                                 std::int64_t maxDatabaseId)
{
    auto q = m_db.query("SELECT database_id FROM tracks WHERE location = ?1 AND name = ?2 AND database_id <= ?3");
    if (q.bind(1, location).bind(2, name).bind(3, maxDatabaseId).next())
        return q.int32(0);
    return std::nullopt;
}

std::optional<std::int32_t> LibraryStore::playlistByName(const QString &name, std::int64_t maxRowId)
{
    auto q = m_db.query("SELECT playlist_id FROM playlists WHERE name = ?1 AND rowid <= ?2");
    if (q.bind(1, name).bind(2, maxRowId).next())
        return q.int32(0);
    return std::nullopt;
}

std::int64_t LibraryStore::topPlaylistRowId()
{
    return m_db.scalar("SELECT coalesce(max(rowid), 0) FROM playlists");
}

std::int64_t LibraryStore::topDatabaseId()
{
    return m_db.scalar("SELECT coalesce(max(database_id), 0) FROM tracks");
}

void LibraryStore::forEachFileTrack(
    const std::function<void(const TrackRecord &, const QString &, const TrackFields &, const QByteArray &)> &visit)
{
    static const QByteArray sql = [] {
        QByteArray text = "SELECT " TRACK_COLUMNS;
        for (int f = 0; f < kTrackFieldCount; ++f)
            text += QByteArray(", t.") + trackFieldInfo(f).column;
        return text + ", t.entries FROM tracks t ORDER BY t.library_order, t.database_id";
    }();
    constexpr int first = AfterTrackColumns;
    RepeatedColumns repeated;
    RepeatedColumns::Last trackType;
    RepeatedColumns::Last texts[kTrackFieldCount];
    TrackFields fields;
    auto q = m_db.query(sql.constData());
    while (q.next()) {
        for (int f = 0; f < kTrackFieldCount; ++f) {
            fields.present[f] = !q.isNull(first + f);
            if (!fields.present[f])
                continue;
            if (trackFieldInfo(f).type == ValueType::String)
                fields.texts[f] = q.text(first + f, texts[f].bytes, texts[f].text);
            else
                fields.numbers[f] = q.int64(first + f);
        }
        visit(readTrack(q, &repeated), q.text(TrackTypeColumn, trackType.bytes, trackType.text), fields,
              q.blob(first + kTrackFieldCount));
    }
}

bool LibraryStore::hasFileTrack(const QString &path)
{
    auto q = m_db.query("SELECT 1 FROM tracks WHERE location = ?1 AND kind = 1");
    return q.bind(1, path).next();
}

std::vector<std::int32_t> LibraryStore::fileTracksAt(const QString &path)
{
    std::vector<std::int32_t> ids;
    auto q = m_db.query("SELECT database_id FROM tracks WHERE location = ?1 AND kind = 1");
    q.bind(1, path);
    while (q.next())
        ids.push_back(q.int32(0));
    return ids;
}

std::int64_t LibraryStore::trackCount()
{
    return m_db.scalar("SELECT count(*) FROM tracks");
}

// --- changing -------------------------------------------------------------

void LibraryStore::deleteTrack(std::int32_t databaseId)
{
    removeTrack(databaseId, false);
}

void LibraryStore::removeTrack(std::int32_t databaseId, bool keepPlaces)
{
    Transaction transaction(*this);
    m_givenIdsKnown = false; // the table may no longer hold an ID given
    m_db.query("DELETE FROM tracks WHERE database_id = ?1").bind(1, databaseId).run();
    if (m_db.changes() == 0) {
        transaction.commit(); // nothing changed
        throw deletedTrack(databaseId);
    }
    if (!keepPlaces)
        m_db.query("DELETE FROM playlist_items WHERE database_id = ?1").bind(1, databaseId).run();
    transaction.commit();
}

namespace {

// The history of a track as stored: each value NULL when the track has none.
struct StoredHistory
{
    std::optional<std::int64_t> plays, skips, playDate, rating, dateAdded;
    QByteArray entries;
};

std::optional<std::int64_t> optionalInt(const sql::Query &q, int column)
{
    return q.isNull(column) ? std::nullopt : std::optional<std::int64_t>(q.int64(column));
}

std::optional<std::int64_t> sumOf(std::optional<std::int64_t> a, std::optional<std::int64_t> b)
{
    if (!a && !b)
        return std::nullopt;
    return std::min(a.value_or(0) + b.value_or(0), std::int64_t(kMaxId));
}

// The greater (or with lower, the smaller) of two values, a missing one
// counting for nothing.
std::optional<std::int64_t> pick(std::optional<std::int64_t> a, std::optional<std::int64_t> b, bool lower = false)
{
    if (!a || !b)
        return a ? a : b;
    return lower ? std::min(*a, *b) : std::max(*a, *b);
}

void bindOptional(sql::Query &q, int index, std::optional<std::int64_t> value)
{
    if (value)
        q.bind(index, *value);
    else
        q.bindNull(index);
}

} // namespace

void LibraryStore::deleteTrackMergingInto(std::int32_t databaseId, std::int32_t keeperId)
{
    mergeAndRemove(databaseId, keeperId, false);
}

void LibraryStore::mergeAndRemove(std::int32_t databaseId, std::int32_t keeperId, bool keepPlaces)
{
    if (databaseId == keeperId)
        throw LibraryError(QStringLiteral("The track %1 is no copy of itself.").arg(databaseId).toStdString());
    Transaction transaction(*this);
    auto read = [&](std::int32_t id) -> std::optional<StoredHistory> {
        auto q = m_db.query("SELECT play_count, skip_count, play_date_utc, rating, date_added, entries FROM tracks"
                            " WHERE database_id = ?1");
        if (!q.bind(1, id).next())
            return std::nullopt;
        return StoredHistory{optionalInt(q, 0), optionalInt(q, 1), optionalInt(q, 2),
                             optionalInt(q, 3), optionalInt(q, 4), q.blob(5)};
    };
    const auto copy = read(databaseId);
    const auto keeper = read(keeperId);
    if (!copy || !keeper) {
        transaction.commit(); // nothing changed
        throw deletedTrack(copy ? keeperId : databaseId);
    }
    StoredHistory merged;
    merged.plays = sumOf(keeper->plays, copy->plays);
    merged.skips = sumOf(keeper->skips, copy->skips);
    merged.playDate = pick(keeper->playDate, copy->playDate);
    merged.rating = pick(keeper->rating, copy->rating);
    merged.dateAdded = pick(keeper->dateAdded, copy->dateAdded, true);

    // A track from a library file is written back with the keys it came with:
    // a value it gains needs its key, and the player's local "Play Date"
    // moves with the UTC one it mirrors.
    merged.entries = keeper->entries;
    if (!keeper->entries.isEmpty()) {
        std::vector<int> gained;
        for (const auto &[before, after, code] :
             {std::tuple{keeper->plays, merged.plays, codeOf(TrackField::PlayCount)},
              std::tuple{keeper->skips, merged.skips, codeOf(TrackField::SkipCount)},
              std::tuple{keeper->playDate, merged.playDate, codeOf(TrackField::PlayDateUtc)},
              std::tuple{keeper->rating, merged.rating, codeOf(TrackField::Rating)},
              std::tuple{keeper->dateAdded, merged.dateAdded, codeOf(RecordKey::DateAdded)}}) {
            if (!before && after)
                gained.push_back(code);
        }
        const std::int64_t playDateMoved =
            keeper->playDate && merged.playDate ? *merged.playDate - *keeper->playDate : 0;
        merged.entries = rewriteTrackEntries(
            keeper->entries, gained,
            [playDateMoved](const QString &key, ValueType type, const QString &value) -> std::optional<QString> {
                if (playDateMoved == 0 || type != ValueType::Integer || key != QLatin1String("Play Date"))
                    return std::nullopt;
                return QString::number(value.toLongLong() + playDateMoved);
            });
    }

    auto q = m_db.query("UPDATE tracks SET play_count = ?2, skip_count = ?3, play_date_utc = ?4, rating = ?5,"
                        " date_added = ?6, entries = ?7 WHERE database_id = ?1");
    q.bind(1, keeperId);
    bindOptional(q, 2, merged.plays);
    bindOptional(q, 3, merged.skips);
    bindOptional(q, 4, merged.playDate);
    bindOptional(q, 5, merged.rating);
    bindOptional(q, 6, merged.dateAdded);
    if (merged.entries.isEmpty())
        q.bindNull(7);
    else
        q.bindBlob(7, merged.entries);
    q.run();
    m_givenIdsKnown = false;
    m_db.query("DELETE FROM tracks WHERE database_id = ?1").bind(1, databaseId).run();
    if (!keepPlaces)
        m_db.query("DELETE FROM playlist_items WHERE database_id = ?1").bind(1, databaseId).run();
    transaction.commit();
}

TrackRecord LibraryStore::addTrack(TrackRecord track)
{
    return addTrack(std::move(track), QString());
}

TrackRecord LibraryStore::addTrack(TrackRecord track, const QString &trackType)
{
    if (!track.dateAdded.isValid())
        track.dateAdded = QDateTime::currentDateTimeUtc();
    // A track never played keeps no history at all, as one from a file that
    // gave none.
    TrackFields fields;
    if (track.playCount != 0)
        fields.setNumber(TrackField::PlayCount, track.playCount);
    if (track.skipCount != 0)
        fields.setNumber(TrackField::SkipCount, track.skipCount);
    if (track.rating != 0)
        fields.setNumber(TrackField::Rating, track.rating);
    if (track.playDate.isValid())
        fields.setNumber(TrackField::PlayDateUtc, track.playDate.toSecsSinceEpoch());
    return addFileTrack(std::move(track), trackType, fields, QByteArray());
}

TrackRecord LibraryStore::addFileTrack(TrackRecord track, const QString &trackType, const TrackFields &fields,
                                       const QByteArray &entries, std::int64_t libraryOrder)
{
    if (track.databaseId < 0)
        throw LibraryError(QStringLiteral("%1 is not a valid database ID.").arg(track.databaseId).toStdString());
    if (track.trackId < 0)
        throw LibraryError(QStringLiteral("%1 is not a valid track ID.").arg(track.trackId).toStdString());
    if (track.trackId > 0 && !isFreshTrackId(track.trackId) && isTrackIdInUse(track.trackId))
        throw LibraryError(QStringLiteral("The track ID %1 is already in use.").arg(track.trackId).toStdString());
    Transaction transaction(*this);
    track.trackId = takeTrackId(track.trackId);
    track.persistentId = track.persistentId.isEmpty() ? newPersistentId() : track.persistentId.toUpper();
    if (track.dateAdded.isValid())
        track.dateAdded = QDateTime::fromSecsSinceEpoch(track.dateAdded.toSecsSinceEpoch(), Qt::UTC);
    track.time = timeText(track.totalTimeMs);

    static const QByteArray sql = [] {
        QByteArray columns = "INSERT INTO tracks(database_id, track_id, library_order, kind, track_type, persistent_id,"
                             " name, artist, album, composer, genre, kind_text, total_time, bit_rate, sample_rate,"
                             " size, date_added, location, long_description";
        QByteArray values = " VALUES(?1";
        for (int f = 0; f < kTrackFieldCount; ++f)
            columns += QByteArray(", ") + trackFieldInfo(f).column;
        columns += ", entries)";
        for (int i = 2; i <= 20 + kTrackFieldCount; ++i)
            values += ", ?" + QByteArray::number(i);
        return columns + values + ")";
    }();
    const std::int64_t nextOrder = takeLibraryOrder();
    auto q = m_db.query(sql.constData());
    if (track.databaseId > 0)
        q.bind(1, track.databaseId);
    else
        q.bindNull(1);
    q.bind(2, track.trackId)
        .bind(3, libraryOrder > 0 ? libraryOrder : nextOrder)
        .bind(4, std::int64_t(track.kind))
        .bind(5, trackType.isEmpty() ? defaultTrackType(track.kind) : trackType)
        .bind(6, track.persistentId)
        .bind(7, track.name)
        .bind(8, track.artist)
        .bind(9, track.album)
        .bind(10, track.composer)
        .bind(11, track.genre)
        .bind(12, track.kindAsString)
        .bind(13, track.totalTimeMs)
        .bind(14, track.bitRate)
        .bind(15, track.sampleRate)
        .bind(16, track.size)
        .bind(18, track.location)
        .bind(19, track.longDescription);
    if (track.dateAdded.isValid())
        q.bind(17, track.dateAdded.toSecsSinceEpoch());
    else
        q.bindNull(17);
    for (int f = 0; f < kTrackFieldCount; ++f) {
        if (!fields.present[f])
            q.bindNull(20 + f);
        else if (trackFieldInfo(f).type == ValueType::String)
            q.bind(20 + f, fields.texts[f]);
        else
            q.bind(20 + f, fields.numbers[f]);
    }
    if (entries.isEmpty())
        q.bindNull(20 + kTrackFieldCount);
    else
        q.bindBlob(20 + kTrackFieldCount, entries);
    q.run();
    const std::int64_t rowId = m_db.lastInsertRowId();
    if (rowId > kMaxId)
        throw LibraryError("The library has run out of database IDs.");
    track.databaseId = std::int32_t(rowId);
    noteGivenTrackId(track.trackId);
    transaction.commit();
    return track;
}

PlaylistRecord LibraryStore::addPlaylist(const QString &name)
{
    return addPlaylist(name, 0, QString());
}

PlaylistRecord LibraryStore::addPlaylist(const QString &name, std::int32_t playlistId, const QString &persistentId,
                                         std::int32_t kind, const QString &parentPersistentId,
                                         const QByteArray &entries)
{
    if (playlistId < 0)
        throw LibraryError(QStringLiteral("%1 is not a valid playlist ID.").arg(playlistId).toStdString());
    if (playlistId > 0 && isPlaylistIdInUse(playlistId))
        throw LibraryError(QStringLiteral("The playlist ID %1 is already in use.").arg(playlistId).toStdString());
    Transaction transaction(*this);
    PlaylistRecord playlist{takePlaylistId(playlistId), kind, name,
                            persistentId.isEmpty() ? newPersistentId() : persistentId.toUpper()};
    auto q = m_db.query("INSERT INTO playlists(playlist_id, kind, name, persistent_id, parent_persistent_id, entries)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    q.bind(1, playlist.playlistId).bind(2, std::int64_t(kind)).bind(3, playlist.name).bind(4, playlist.persistentId);
    if (parentPersistentId.isEmpty())
        q.bindNull(5);
    else
        q.bind(5, parentPersistentId);
    if (entries.isEmpty())
        q.bindNull(6);
    else
        q.bindBlob(6, entries);
    q.run();
    transaction.commit();
    return playlist;
}

void LibraryStore::checkTracks(const std::vector<std::int32_t> &databaseIds)
{
    for (const std::int32_t databaseId : databaseIds) {
        if (!m_db.query("SELECT 1 FROM tracks WHERE database_id = ?1").bind(1, databaseId).next())
            throw deletedTrack(databaseId);
    }
}

void LibraryStore::appendToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds)
{
    appendToPlaylist(playlistId, databaseIds, true);
}

void LibraryStore::appendImportedToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds)
{
    appendToPlaylist(playlistId, databaseIds, false);
}

void LibraryStore::appendToPlaylist(std::int32_t playlistId, const std::vector<std::int32_t> &databaseIds,
                                    bool checkEachTrack)
{
    if (playlistId == m_libraryPlaylistId)
        throw LibraryError("Every track is in the library playlist from the moment it is added.");
    checkPlaylist(playlistId);
    if (checkEachTrack)
        checkTracks(databaseIds);
    Transaction transaction(*this);
    std::int64_t position = 0;
    {
        auto q = m_db.query("SELECT coalesce(max(position) + 1, 0) FROM playlist_items WHERE playlist_id = ?1");
        if (q.bind(1, playlistId).next())
            position = q.int64(0);
    }
    for (const std::int32_t databaseId : databaseIds) {
        m_db.query("INSERT INTO playlist_items(playlist_id, position, database_id) VALUES(?1, ?2, ?3)")
            .bind(1, playlistId)
            .bind(2, position++)
            .bind(3, databaseId)
            .run();
    }
    transaction.commit();
}

void LibraryStore::takeLibraryOrders(std::int64_t count)
{
    loadCounters();
    m_nextOrder += count;
}

std::int64_t LibraryStore::nextLibraryOrder()
{
    loadCounters();
    return m_nextOrder;
}

void LibraryStore::renumberLibraryOrder(std::int32_t fromDatabaseId, std::int64_t firstOrder)
{
    m_db.query("UPDATE tracks SET library_order = ?2 + database_id - ?1 WHERE database_id >= ?1")
        .bind(1, fromDatabaseId)
        .bind(2, firstOrder)
        .run();
}

void LibraryStore::moveToLibraryEnd(const std::vector<std::int32_t> &databaseIds)
{
    if (databaseIds.empty())
        return;
    Transaction transaction(*this);
    // Written in the order of the rows, not of the list: a million tracks
    // in the list's order reach the table's pages at random, and a page
    // cache of any sensible size then goes to the disk for nearly each one.
    // An import's tracks have IDs next to each other, so a place for each
    // ID between the lowest and the highest is small; the rare list that
    // is spread wider is written in its own order.
    const auto [low, high] = std::minmax_element(databaseIds.begin(), databaseIds.end());
    const std::int64_t span = std::int64_t(*high) - *low + 1;
    auto update = [&](std::int32_t databaseId, std::int64_t order) {
        m_db.query("UPDATE tracks SET library_order = ?2 WHERE database_id = ?1")
            .bind(1, databaseId)
            .bind(2, order)
            .run();
    };
    if (span > 2 * std::int64_t(databaseIds.size()) + 1024) {
        for (const std::int32_t databaseId : databaseIds)
            update(databaseId, takeLibraryOrder());
    } else {
        // A track listed twice ends where its last place puts it.
        // (Kept as the place in the list: the orders taken follow on.)
        std::vector<std::int32_t> places(std::size_t(span), -1);
        const std::int64_t first = takeLibraryOrder();
        for (std::size_t i = 1; i < databaseIds.size(); ++i)
            takeLibraryOrder();
        for (std::size_t i = 0; i < databaseIds.size(); ++i)
            places[std::size_t(databaseIds[i] - *low)] = std::int32_t(i);
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (places[i] >= 0)
                update(std::int32_t(*low + std::int64_t(i)), first + places[i]);
        }
    }
    transaction.commit();
}

} // namespace tidyfox::library
