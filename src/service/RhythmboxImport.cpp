// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/RhythmboxImport.h"

#include "service/ImportPageCache.h"
#include "service/LibraryStore.h"
#include "service/PlayerLink.h"
#include "service/PlayerXmlSpans.h"
#include "service/RhythmboxStore.h"
#include "service/TrackLocation.h"
#include "service/Transaction.h"
#include "service/XmlScanner.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>
#include <cmath>

namespace tidyfox::library {

namespace {

// GLib counts days from 1 January of year 1.
constexpr qint64 kJulianDayOfYearOne = 1721425;

using Elements = std::vector<std::pair<QString, QString>>;

QString kindOfMediaType(const QString &mediaType)
{
    static const std::pair<const char *, const char *> kinds[] = {
        {"audio/mpeg", "MPEG audio file"},
        {"audio/x-flac", "FLAC audio file"},
        {"audio/flac", "FLAC audio file"},
        {"audio/x-vorbis+ogg", "Ogg Vorbis audio file"},
        {"audio/ogg", "Ogg Vorbis audio file"},
        {"application/ogg", "Ogg Vorbis audio file"},
        {"audio/x-opus+ogg", "Opus audio file"},
        {"audio/x-wav", "WAV audio file"},
        {"audio/wav", "WAV audio file"},
        {"audio/mp4", "AAC audio file"},
        {"audio/x-m4a", "AAC audio file"},
        {"audio/x-aac", "AAC audio file"},
        {"audio/x-ms-wma", "Windows Media audio file"},
    };
    for (const auto &[type, kind] : kinds) {
        if (mediaType == QLatin1String(type))
            return QString::fromLatin1(kind);
    }
    return mediaType;
}

// The elements of an entry the library has a field for; those from
// TrackNumber on hold numbers.
enum class Element {
    Other,
    Title,
    Artist,
    Album,
    Genre,
    Composer,
    AlbumArtist,
    Comment,
    Location,
    MediaType,
    TrackNumber,
    TrackTotal,
    DiscNumber,
    DiscTotal,
    Duration,
    FileSize,
    Bitrate,
    FirstSeen,
    LastPlayed,
    PlayCount,
    Rating,
    Bpm,
    Date,
};

Element elementOf(const QString &name)
{
    static const QHash<QString, Element> elements = {
        {QStringLiteral("title"), Element::Title},
        {QStringLiteral("artist"), Element::Artist},
        {QStringLiteral("album"), Element::Album},
        {QStringLiteral("genre"), Element::Genre},
        {QStringLiteral("composer"), Element::Composer},
        {QStringLiteral("album-artist"), Element::AlbumArtist},
        {QStringLiteral("comment"), Element::Comment},
        {QStringLiteral("location"), Element::Location},
        {QStringLiteral("media-type"), Element::MediaType},
        {QStringLiteral("track-number"), Element::TrackNumber},
        {QStringLiteral("track-total"), Element::TrackTotal},
        {QStringLiteral("disc-number"), Element::DiscNumber},
        {QStringLiteral("disc-total"), Element::DiscTotal},
        {QStringLiteral("duration"), Element::Duration},
        {QStringLiteral("file-size"), Element::FileSize},
        {QStringLiteral("bitrate"), Element::Bitrate},
        {QStringLiteral("first-seen"), Element::FirstSeen},
        {QStringLiteral("last-played"), Element::LastPlayed},
        {QStringLiteral("play-count"), Element::PlayCount},
        {QStringLiteral("rating"), Element::Rating},
        {QStringLiteral("beats-per-minute"), Element::Bpm},
        {QStringLiteral("date"), Element::Date},
    };
    return elements.value(name, Element::Other);
}

class Importer
{
public:
    Importer(LibraryStore &store, QString libraryFile, QString playlistsFile)
        : m_store(store), m_db(store.database()), m_libraryFile(std::move(libraryFile)),
          m_playlistsFile(std::move(playlistsFile))
    {}

    RhythmboxImportSummary run()
    {
        const ImportPageCache cache(m_db);
        Transaction transaction(m_store);
        link();
        readEntries();
        if (!m_playlistsFile.isEmpty() && QFileInfo::exists(m_playlistsFile))
            readPlaylists();
        transaction.commit();
        return m_summary;
    }

private:
    [[noreturn]] void fail(XmlScanner &reader, const QString &message)
    {
        throw PlayerFileError(reader.lineNumber(), reader.columnNumber(), message, m_currentFile);
    }

    [[noreturn]] void failOnError(XmlScanner &reader)
    {
        if (reader.fault() == XmlScanner::Fault::PrematureEnd)
            fail(reader, QStringLiteral("the file ends too early: it is cut short"));
        fail(reader, reader.errorString());
    }

    void open(QFile &file, XmlScanner &reader, const char *rootName)
    {
        m_currentFile = file.fileName();
        if (!file.open(QIODevice::ReadOnly))
            throw PlayerFileError(0, 0, file.errorString(), m_currentFile);
        reader.setDevice(&file);
        if (!reader.readNextStartElement()) {
            if (reader.hasError())
                failOnError(reader);
            fail(reader, QStringLiteral("there is no element in the file"));
        }
        if (reader.name() != QLatin1String(rootName))
            fail(reader, QStringLiteral("not a Rhythmbox file: the root element is <%1>, not <%2>")
                             .arg(reader.name(), QLatin1String(rootName)));
    }

    void link()
    {
        const PlayerLinkInfo wanted{QString::fromLatin1(kRhythmboxPlayer), QFileInfo(m_libraryFile).absoluteFilePath(),
                                    m_playlistsFile.isEmpty() ? QString()
                                                              : QFileInfo(m_playlistsFile).absoluteFilePath()};
        if (const auto current = playerLink(m_db); current && current->libraryFile != wanted.libraryFile)
            throw LibraryError(
                QStringLiteral("The library is linked to %1 already; import %2 into a library of its own.")
                    .arg(current->libraryFile, wanted.libraryFile)
                    .toStdString());
        if (m_store.trackCount() > 0 && !playerLink(m_db))
            throw LibraryError("The library already holds tracks of its own; import a player's library into a "
                               "library of its own (--library FILE).");
        setPlayerLink(m_db, wanted);
    }

    // The children of an entry as name and text, in order; an element inside
    // one is kept as its XML.
    Elements readChildren(XmlScanner &reader)
    {
        Elements elements;
        while (reader.readNextStartElement()) {
            const QString name = reader.name().toString();
            elements.emplace_back(name, reader.readElementText(true));
        }
        if (reader.hasError())
            failOnError(reader);
        return elements;
    }

    void readEntries()
    {
        QFile file(m_libraryFile);
        XmlScanner reader;
        open(file, reader, "rhythmdb");
        const QString version = reader.attribute(u"version");
        bool ok = true;
        if (!version.isEmpty() && (version.toDouble(&ok) > kNewestRhythmdbVersion || !ok))
            fail(reader, QStringLiteral("rhythmdb version %1 is newer than this program reads (up to %2)")
                             .arg(version)
                             .arg(kNewestRhythmdbVersion, 0, 'f', 1));
        while (reader.readNextStartElement()) {
            const qint64 line = reader.lineNumber();
            const qint64 column = reader.columnNumber();
            const QString element = reader.name().toString();
            const QString type = reader.attribute(u"type");
            const Elements elements = readChildren(reader);
            addEntry(element == u"entry" ? type : QLatin1Char('<') + element + QLatin1Char('>'), elements, line,
                     column);
        }
        if (reader.hasError())
            failOnError(reader);
        reader.readNext();
        if (reader.hasError())
            failOnError(reader);
    }

    static QString valueOf(const Elements &elements, QLatin1String name)
    {
        for (const auto &[n, v] : elements) {
            if (n == name)
                return v;
        }
        return {};
    }

    void keepEntry(const QString &type, const QString &key, const Elements &elements)
    {
        EntryWriter writer;
        for (const auto &[name, value] : elements)
            writer.kept(name, ValueType::String, value);
        m_db.query("INSERT OR IGNORE INTO player_entries(player_key, entry_type, elements) VALUES(?1, ?2, ?3)")
            .bind(1, key)
            .bind(2, type)
            .bindBlob(3, writer.take())
            .run();
        if (m_db.changes() > 0)
            ++m_summary.entriesKept;
    }

    void addEntry(const QString &type, const Elements &elements, qint64 line, qint64 column)
    {
        const QString key = valueOf(elements, QLatin1String("location"));
        if (key.contains(QChar(0)))
            throw PlayerFileError(line, column, QStringLiteral("a location with a NUL character in it"), m_currentFile);
        const bool song = type == u"song";
        const bool stream = type == u"iradio" || type == u"podcast-post";
        // Only a local file URL names a song's file; another machine's, a NUL
        // or a relative path name none.
        const CleanLocation clean = song && isFileUrl(key) ? cleanFileLocation(key) : CleanLocation{{}, {}};
        const std::optional<QString> path =
            song && isFileUrl(key) && clean.accepted() ? std::optional<QString>(clean.path) : std::nullopt;
        // What the library cannot clean (ignored files, feeds, a song on
        // another machine) stays with the link, never shown.
        if (key.isEmpty() || (!stream && !path)) {
            keepEntry(type, key.isEmpty() ? QStringLiteral("#%1:%2").arg(line).arg(column) : key, elements);
            return;
        }
        if (m_db.query("SELECT 1 FROM player_tracks WHERE player_key = ?1").bind(1, key).next()) {
            ++m_summary.tracksAlreadyPresent;
            return;
        }
        TrackRecord track;
        TrackFields fields;
        EntryWriter kept;
        track.kind = path ? TrackKind::File : TrackKind::Url;
        track.location = path ? *path : key;
        for (const auto &[name, value] : elements) {
            const Element element = elementOf(name);
            const qint64 number = element >= Element::TrackNumber ? value.toLongLong() : 0;
            switch (element) {
            case Element::Title:
                track.name = value;
                continue;
            case Element::Artist:
                track.artist = value;
                continue;
            case Element::Album:
                track.album = value;
                continue;
            case Element::Genre:
                track.genre = value;
                continue;
            case Element::Composer:
                track.composer = value;
                continue;
            case Element::AlbumArtist:
                fields.setText(TrackField::AlbumArtist, value);
                continue;
            case Element::Comment:
                fields.setText(TrackField::Comments, value);
                continue;
            case Element::Location:
                continue;
            case Element::MediaType:
                if (song)
                    track.kindAsString = kindOfMediaType(value);
                break;
            case Element::Other:
                break;
            case Element::TrackNumber:
                fields.setNumber(TrackField::TrackNumber, number);
                continue;
            case Element::TrackTotal:
                fields.setNumber(TrackField::TrackCount, number);
                continue;
            case Element::DiscNumber:
                fields.setNumber(TrackField::DiscNumber, number);
                continue;
            case Element::DiscTotal:
                fields.setNumber(TrackField::DiscCount, number);
                continue;
            case Element::Duration:
                track.totalTimeMs = std::int32_t(std::clamp<qint64>(number, 0, INT32_MAX / 1000) * 1000);
                continue;
            case Element::FileSize:
                track.size = std::max<qint64>(0, number);
                continue;
            case Element::Bitrate:
                track.bitRate = std::int32_t(std::clamp<qint64>(number, 0, INT32_MAX));
                continue;
            case Element::PlayCount:
                fields.setNumber(TrackField::PlayCount, std::clamp<qint64>(number, 0, INT32_MAX));
                continue;
            case Element::Rating:
                fields.setNumber(TrackField::Rating, std::clamp<qint64>(std::llround(value.toDouble() * 20), 0, 100));
                continue;
            case Element::Bpm:
                fields.setNumber(TrackField::Bpm, std::clamp<qint64>(std::llround(value.toDouble()), 0, INT32_MAX));
                continue;
            // A zero is no date: kept as it came.
            case Element::FirstSeen:
                if (number <= 0)
                    break;
                track.dateAdded = QDateTime::fromSecsSinceEpoch(number, Qt::UTC);
                continue;
            case Element::LastPlayed:
                if (number <= 0)
                    break;
                fields.setNumber(TrackField::PlayDateUtc, number);
                continue;
            case Element::Date:
                if (number <= 0)
                    break;
                fields.setNumber(TrackField::Year, QDate::fromJulianDay(number + kJulianDayOfYearOne).year());
                continue;
            }
            kept.kept(name, ValueType::String, value);
        }
        if (type == u"iradio")
            track.kindAsString = QStringLiteral("Internet audio stream");
        else if (type == u"podcast-post")
            track.kindAsString = QStringLiteral("Podcast");
        // first-seen is the player's date added; an entry without one keeps
        // having none.
        const TrackRecord added =
            m_store.addFileTrack(track, path ? QStringLiteral("File") : QStringLiteral("URL"), fields, QByteArray());
        m_db.query("INSERT INTO player_tracks(database_id, player_key, entry_type, elements) VALUES(?1, ?2, ?3, ?4)")
            .bind(1, added.databaseId)
            .bind(2, key)
            .bind(3, type)
            .bindBlob(4, kept.take())
            .run();
        ++m_summary.tracksAdded;
        if (!path)
            ++m_summary.streamsAdded;
    }

    void readPlaylists()
    {
        QFile file(m_playlistsFile);
        XmlScanner reader;
        open(file, reader, "rhythmdb-playlists");
        while (reader.readNextStartElement()) {
            if (reader.name() != u"playlist") {
                reader.skipCurrentElement();
                continue;
            }
            QString attributes;
            for (const XmlScanner::Attribute &a : reader.attributes())
                attributes += a.name + QLatin1Char('=') + a.value + QLatin1Char('\n');
            const QString name = reader.attribute(u"name");
            const QString type = reader.attribute(u"type");
            const bool listsLocations = type == u"static" || type == u"queue";
            std::vector<std::int32_t> items;
            QString body;
            if (listsLocations) {
                while (reader.readNextStartElement()) {
                    if (reader.name() != u"location") {
                        reader.skipCurrentElement();
                        continue;
                    }
                    auto q = m_db.query("SELECT p.database_id FROM player_tracks p JOIN tracks t ON t.database_id ="
                                        " p.database_id WHERE p.player_key = ?1");
                    if (q.bind(1, reader.readElementText()).next())
                        items.push_back(q.int32(0));
                }
            } else {
                body = innerXml(reader);
            }
            if (reader.hasError())
                failOnError(reader);
            const std::int32_t kind = type == u"static"      ? kUserPlaylist
                                      : type == u"automatic" ? kSmartPlaylist
                                                             : kBuiltInPlaylist;
            if (m_store.playlistByName(name, m_store.topPlaylistRowId())) {
                if (kind != kBuiltInPlaylist)
                    ++m_summary.playlistsAlreadyPresent;
                continue;
            }
            const PlaylistRecord playlist = m_store.addPlaylist(name, 0, QString(), kind);
            if (!items.empty())
                m_store.appendToPlaylist(playlist.playlistId, items);
            m_db.query("INSERT INTO player_playlists(playlist_id, playlist_type, attributes, body)"
                       " VALUES(?1, ?2, ?3, ?4)")
                .bind(1, playlist.playlistId)
                .bind(2, type)
                .bind(3, attributes)
                .bind(4, body)
                .run();
            if (kind != kBuiltInPlaylist)
                ++m_summary.playlistsAdded;
        }
        if (reader.hasError())
            failOnError(reader);
    }

    // An automatic playlist's rules, as XML text.
    QString innerXml(XmlScanner &reader)
    {
        QString text;
        QXmlStreamWriter writer(&text);
        int depth = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.tokenType() == XmlScanner::Token::StartElement) {
                ++depth;
                writer.writeStartElement(reader.name().toString());
                for (const XmlScanner::Attribute &a : reader.attributes())
                    writer.writeAttribute(a.name, a.value);
            } else if (reader.tokenType() == XmlScanner::Token::EndElement) {
                if (depth-- == 0)
                    break;
                writer.writeEndElement();
            } else if (reader.tokenType() == XmlScanner::Token::Characters && !reader.isWhitespace()) {
                writer.writeCharacters(reader.text().toString());
            }
        }
        return text;
    }

    LibraryStore &m_store;
    sql::Database &m_db;
    QString m_libraryFile;
    QString m_playlistsFile;
    QString m_currentFile;
    RhythmboxImportSummary m_summary;
};

} // namespace

RhythmboxImportSummary importRhythmbox(LibraryStore &store, const QString &libraryFile, const QString &playlistsFile)
{
    return Importer(store, libraryFile, playlistsFile).run();
}

} // namespace tidyfox::library
