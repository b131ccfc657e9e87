// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SqliteCollectionImport.h"

#include "service/LibraryStore.h"
#include "service/PlayerLink.h"
#include "service/SqliteCollectionStore.h"
#include "service/SqlitePlayer.h"
#include "service/TrackLocation.h"
#include "service/Transaction.h"

#include <QFileInfo>
#include <cmath>

namespace tidyfox::library {

namespace {

// The players keep a type number of their own; the file's suffix says as much.
QString kindOfSuffix(const QString &path)
{
    static const std::pair<const char *, const char *> kinds[] = {
        {"mp3", "MPEG audio file"},       {"flac", "FLAC audio file"},         {"ogg", "Ogg Vorbis audio file"},
        {"oga", "Ogg Vorbis audio file"}, {"opus", "Opus audio file"},         {"m4a", "AAC audio file"},
        {"aac", "AAC audio file"},        {"wav", "WAV audio file"},           {"aif", "AIFF audio file"},
        {"aiff", "AIFF audio file"},      {"wma", "Windows Media audio file"}, {"ape", "Monkey's Audio file"},
        {"wv", "WavPack audio file"},     {"mpc", "Musepack audio file"},      {"spx", "Speex audio file"},
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const auto &[s, kind] : kinds) {
        if (suffix == QLatin1String(s))
            return QString::fromLatin1(kind);
    }
    return QStringLiteral("Audio file");
}

// The songs' columns read, by name; a column a schema lacks reads as null.
const char *const kColumns[] = {"title",     "artist",     "album",    "albumartist", "composer", "genre",
                                "comment",   "grouping",   "track",    "disc",        "year",     "length",
                                "bitrate",   "samplerate", "filesize", "mtime",       "ctime",    "playcount",
                                "skipcount", "lastplayed", "rating",   "bpm"};
enum Column {
    Title,
    Artist,
    Album,
    AlbumArtist,
    Composer,
    Genre,
    Comment,
    Grouping,
    Track,
    Disc,
    Year,
    Length,
    Bitrate,
    SampleRate,
    FileSize,
    Mtime,
    Ctime,
    PlayCount,
    SkipCount,
    LastPlayed,
    Rating,
    Bpm,
};

class Importer
{
public:
    Importer(LibraryStore &store, const SqlitePlayer &player, QString file)
        : m_store(store), m_db(store.database()), m_player(player), m_file(std::move(file)),
          m_collection(openCollection(player, m_file, true))
    {}

    CollectionImportSummary run()
    {
        Transaction transaction(m_store);
        link();
        readSongs();
        readPlaylists();
        transaction.commit();
        return m_summary;
    }

private:
    void link()
    {
        const PlayerLinkInfo wanted{QString::fromLatin1(m_player.id), QFileInfo(m_file).absoluteFilePath(), {}};
        const auto current = playerLink(m_db);
        if (current && (current->libraryFile != wanted.libraryFile || current->player != wanted.player))
            throw LibraryError(
                QStringLiteral("The library is linked to %1 already; import %2 into a library of its own.")
                    .arg(current->libraryFile, wanted.libraryFile)
                    .toStdString());
        if (!current && m_store.trackCount() > 0)
            throw LibraryError("The library already holds tracks of its own; import a player's library into a "
                               "library of its own (--library FILE).");
        setPlayerLink(m_db, wanted);
    }

    QByteArray selectColumns()
    {
        QStringList present;
        PlayerQuery info(*m_collection, "SELECT name FROM pragma_table_info('songs')");
        while (info.next())
            present << info.value(0).toString();
        QByteArray columns = QByteArray("rowid, ") + m_player.fileColumn;
        for (const char *name : kColumns)
            columns += present.contains(QLatin1String(name)) ? QByteArray(", ") + name : QByteArray(", NULL");
        return columns;
    }

    void readSongs()
    {
        PlayerQuery songs(*m_collection, "SELECT " + selectColumns() + " FROM songs ORDER BY rowid");
        while (songs.next())
            addSong(songs);
    }

    static qint64 number(const PlayerQuery &q, Column c, qint64 none = -1)
    {
        const QVariant v = q.value(c + 2);
        return v.isValid() && !v.toString().isEmpty() ? v.toLongLong() : none;
    }

    static QString text(const PlayerQuery &q, Column c) { return q.value(c + 2).toString(); }

    void addSong(const PlayerQuery &q)
    {
        const qint64 rowid = q.value(0).toLongLong();
        const QString url = q.value(1).toString();
        const QString key = collectionKey(rowid, url);
        if (m_db.query("SELECT 1 FROM player_tracks WHERE player_key = ?1").bind(1, key).next()) {
            ++m_summary.tracksAlreadyPresent;
            return;
        }
        const CleanLocation clean = isFileUrl(url) ? cleanFileLocation(url) : CleanLocation{{}, {}};
        if (!isFileUrl(url) || !clean.accepted()) {
            // A song on another machine, or of no file: the player's own.
            m_db.query("INSERT OR IGNORE INTO player_entries(player_key, entry_type, elements) VALUES(?1, 'song', '')")
                .bind(1, key)
                .run();
            m_summary.songsKept += m_db.changes();
            return;
        }
        TrackRecord track;
        TrackFields fields;
        track.kind = TrackKind::File;
        track.location = clean.path;
        track.kindAsString = kindOfSuffix(clean.path);
        track.name = text(q, Title);
        track.artist = text(q, Artist);
        track.album = text(q, Album);
        track.composer = text(q, Composer);
        track.genre = text(q, Genre);
        const auto setText = [&](TrackField f, Column c) {
            if (const QString value = text(q, c); !value.isEmpty())
                fields.setText(f, value);
        };
        setText(TrackField::AlbumArtist, AlbumArtist);
        setText(TrackField::Comments, Comment);
        setText(TrackField::Grouping, Grouping);
        // The players write -1 (or nothing) for a number they do not have.
        const auto setNumber = [&](TrackField f, qint64 value) {
            if (value > 0)
                fields.setNumber(f, std::min<qint64>(value, INT32_MAX));
        };
        setNumber(TrackField::TrackNumber, number(q, Track));
        setNumber(TrackField::DiscNumber, number(q, Disc));
        setNumber(TrackField::Year, number(q, Year));
        setNumber(TrackField::Bpm, std::llround(q.value(Bpm + 2).toDouble()));
        setNumber(TrackField::PlayCount, number(q, PlayCount));
        setNumber(TrackField::SkipCount, number(q, SkipCount));
        setNumber(TrackField::PlayDateUtc, number(q, LastPlayed));
        setNumber(TrackField::DateModified, number(q, Mtime));
        const QVariant rating = q.value(Rating + 2);
        if (rating.isValid() && rating.toDouble() > 0)
            fields.setNumber(TrackField::Rating, std::clamp<qint64>(std::llround(rating.toDouble() * 100), 0, 100));
        // Nanoseconds.
        track.totalTimeMs = std::int32_t(std::clamp<qint64>(number(q, Length, 0) / 1'000'000, 0, INT32_MAX));
        track.bitRate = std::int32_t(std::clamp<qint64>(number(q, Bitrate, 0), 0, INT32_MAX));
        track.sampleRate = std::int32_t(std::clamp<qint64>(number(q, SampleRate, 0), 0, INT32_MAX));
        track.size = std::max<qint64>(0, number(q, FileSize, 0));
        if (const qint64 ctime = number(q, Ctime); ctime > 0)
            track.dateAdded = QDateTime::fromSecsSinceEpoch(ctime, Qt::UTC);
        const TrackRecord added = m_store.addFileTrack(track, QStringLiteral("File"), fields, QByteArray());
        m_db.query("INSERT INTO player_tracks(database_id, player_key, entry_type, elements) VALUES(?1, ?2, ?3, ?4)")
            .bind(1, added.databaseId)
            .bind(2, key)
            .bind(3, QStringLiteral("song"))
            .bindBlob(4, QByteArray())
            .run();
        m_songs.insert(rowid, added.databaseId);
        ++m_summary.tracksAdded;
    }

    void readPlaylists()
    {
        std::vector<std::pair<qint64, QString>> playlists;
        {
            PlayerQuery q(*m_collection, "SELECT rowid, name FROM playlists ORDER BY ui_order, rowid");
            while (q.next())
                playlists.emplace_back(q.value(0).toLongLong(), q.value(1).toString());
        }
        const QByteArray items = QByteArray("SELECT ") + m_player.itemSongColumn +
                                 " FROM playlist_items WHERE playlist = ?1 AND type = '" + m_player.itemSongType +
                                 "' ORDER BY rowid";
        for (const auto &[rowid, name] : playlists) {
            if (m_store.playlistByName(name, m_store.topPlaylistRowId())) {
                ++m_summary.playlistsAlreadyPresent;
                continue;
            }
            std::vector<std::int32_t> tracks;
            PlayerQuery q(*m_collection, items);
            q.bind(1, rowid);
            while (q.next()) {
                if (const auto it = m_songs.constFind(q.value(0).toLongLong()); it != m_songs.cend())
                    tracks.push_back(*it);
            }
            const PlaylistRecord playlist = m_store.addPlaylist(name, 0, QString(), kUserPlaylist);
            if (!tracks.empty())
                m_store.appendToPlaylist(playlist.playlistId, tracks);
            m_db.query("INSERT INTO player_playlists(playlist_id, playlist_type, attributes, body)"
                       " VALUES(?1, ?2, ?3, '')")
                .bind(1, playlist.playlistId)
                .bind(2, QString::fromLatin1(m_player.id))
                .bind(3, QString::number(rowid))
                .run();
            ++m_summary.playlistsAdded;
        }
    }

    LibraryStore &m_store;
    sql::Database &m_db;
    const SqlitePlayer &m_player;
    QString m_file;
    std::unique_ptr<sql::Database> m_collection;
    QHash<qint64, std::int32_t> m_songs; // the player's rowid: the track it became
    CollectionImportSummary m_summary;
};

} // namespace

CollectionImportSummary importCollection(LibraryStore &store, const SqlitePlayer &player, const QString &file)
{
    return Importer(store, player, file).run();
}

} // namespace tidyfox::library
