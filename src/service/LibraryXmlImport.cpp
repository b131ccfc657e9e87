#include "service/LibraryXmlImport.h"

#include "service/LibraryStore.h"
#include "service/Transaction.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <limits>

namespace tidyfox::library {

namespace {

constexpr std::int64_t kMaxFileId = std::numeric_limits<std::int32_t>::max();

class XmlImporter
{
public:
    XmlImporter(LibraryStore &store, const QString &fileName, const LocationMapper &locations)
        : m_store(store), m_fileName(fileName), m_locations(locations)
    {}

    XmlImportSummary run()
    {
        Transaction transaction(m_store);
        m_topTrackIdBefore = m_store.topTrackId();
        m_topPlaylistIdBefore = m_store.topPlaylistId();
        readFile(Pass::Everything);
        // A file may list its playlists before its tracks; their items can
        // only be resolved once every track is known.
        if (m_playlistsDeferred)
            readFile(Pass::PlaylistsOnly);
        transaction.commit();
        return m_summary;
    }

private:
    enum class Pass { Everything, PlaylistsOnly };

    struct ImportedTrack
    {
        std::int32_t databaseId = 0;
        std::int32_t sequence = -1; // order of adding in this import; -1: was there before
    };

    [[noreturn]] void fail(const QString &message) const
    {
        throw XmlImportError(m_xml.lineNumber(), m_xml.columnNumber(), message);
    }

    [[noreturn]] void failOnReader() const
    {
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            fail(QStringLiteral("the file ends too early"));
        // The reader may be fine and the token one that has no place here.
        if (!m_xml.hasError())
            fail(QStringLiteral("unexpected %1").arg(m_xml.tokenString()));
        fail(m_xml.errorString());
    }

    void readFile(Pass pass)
    {
        QFile file(m_fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw XmlImportError(0, 0, file.errorString());
        if (file.size() == 0)
            throw XmlImportError(1, 1, QStringLiteral("not a library file: the file is empty"));
        m_xml.setDevice(&file);

        if (!m_xml.readNextStartElement()) {
            if (m_xml.hasError())
                failOnReader();
            fail(QStringLiteral("not a library file: there is no XML element"));
        }
        if (m_xml.name() != u"plist")
            fail(
                QStringLiteral("not a library file: <%1> where a property list (<plist>) should be").arg(m_xml.name()));
        if (!m_xml.readNextStartElement() || m_xml.name() != u"dict") {
            if (m_xml.hasError())
                failOnReader();
            fail(QStringLiteral("not a library file: the property list does not start with a <dict>"));
        }

        bool sawTracks = false;
        QString key;
        while (nextKey(key)) {
            if (key == u"Tracks") {
                expectElement(u"dict", key);
                sawTracks = true;
                if (pass == Pass::PlaylistsOnly)
                    m_xml.skipCurrentElement();
                else
                    readTracks();
            } else if (key == u"Playlists") {
                expectElement(u"array", key);
                if (pass == Pass::Everything && !sawTracks) {
                    m_playlistsDeferred = true;
                    m_xml.skipCurrentElement();
                } else {
                    readPlaylists();
                }
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (!sawTracks)
            fail(QStringLiteral("not a library file: the property list has no \"Tracks\""));
        while (!m_xml.atEnd())
            m_xml.readNext();
        if (m_xml.hasError())
            failOnReader();
        m_xml.setDevice(nullptr);
    }

    // Reads the next <key> of the current <dict> and moves to its value's
    // element; false at the end of the <dict>.
    bool nextKey(QString &key)
    {
        if (!m_xml.readNextStartElement()) {
            if (m_xml.hasError())
                failOnReader();
            return false;
        }
        if (m_xml.name() != u"key")
            fail(QStringLiteral("<%1> where a <key> should be").arg(m_xml.name()));
        readInto(key);
        if (!m_xml.readNextStartElement()) {
            if (m_xml.hasError())
                failOnReader();
            fail(QStringLiteral("the key \"%1\" has no value").arg(key));
        }
        return true;
    }

    void expectElement(QStringView name, const QString &key)
    {
        if (m_xml.name() != name)
            fail(QStringLiteral("\"%1\" should be <%2>, not <%3>").arg(key, name, m_xml.name()));
    }

    // Reads the text of the current element into out, reusing out's buffer:
    // a library file has millions of keys and numbers, and a fresh string for
    // each was a good part of the reading time.
    void readInto(QString &out)
    {
        out.resize(0);
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters:
            case QXmlStreamReader::EntityReference:
                out.append(m_xml.text());
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::EndElement:
                return;
            case QXmlStreamReader::StartElement:
                fail(QStringLiteral("<%1> inside a text").arg(m_xml.name()));
            default:
                failOnReader();
            }
        }
    }

    QString readText()
    {
        readInto(m_value);
        return QString(m_value.constData(), m_value.size()); // a copy, so m_value keeps its buffer
    }

    std::int64_t readInteger(const QString &key)
    {
        const bool real = m_xml.name() == u"real";
        if (!real && m_xml.name() != u"integer")
            fail(QStringLiteral("\"%1\" should be a number, not <%2>").arg(key, m_xml.name()));
        readInto(m_value);
        bool ok = false;
        const QStringView text = QStringView(m_value).trimmed();
        std::int64_t value = 0;
        if (real) {
            // A real beyond the 64-bit range (or not a number) has no defined
            // conversion: clamped, and NaN refused.
            const double d = text.toDouble(&ok);
            ok = ok && !std::isnan(d);
            value = ok ? std::int64_t(std::clamp(d, -9.2e18, 9.2e18)) : 0;
        } else {
            value = text.toLongLong(&ok);
        }
        if (!ok)
            fail(QStringLiteral("\"%1\" is not a number: \"%2\"").arg(key, m_value));
        return value;
    }

    std::int32_t readInt32(const QString &key)
    {
        const std::int64_t value = readInteger(key);
        return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
    }

    bool readBool(const QString &key)
    {
        const bool value = m_xml.name() == u"true";
        if (!value && m_xml.name() != u"false")
            fail(QStringLiteral("\"%1\" should be <true/> or <false/>, not <%2>").arg(key, m_xml.name()));
        m_xml.skipCurrentElement();
        return value;
    }

    void readTracks()
    {
        QString key;
        while (nextKey(key)) {
            expectElement(u"dict", QStringLiteral("Track %1").arg(key));
            readTrack();
        }
    }

    void readTrack()
    {
        TrackRecord track;
        std::int64_t fileTrackId = 0;
        QString trackType;
        QString location;
        QString key;
        while (nextKey(key)) {
            if (key == u"Track ID")
                fileTrackId = readInteger(key);
            else if (key == u"Persistent ID")
                track.persistentId = readText().trimmed().toUpper();
            else if (key == u"Name")
                track.name = readText();
            else if (key == u"Artist")
                track.artist = readText();
            else if (key == u"Album")
                track.album = readText();
            else if (key == u"Composer")
                track.composer = readText();
            else if (key == u"Genre")
                track.genre = readText();
            else if (key == u"Kind")
                track.kindAsString = readText();
            else if (key == u"Total Time")
                track.totalTimeMs = readInt32(key);
            else if (key == u"Bit Rate")
                track.bitRate = readInt32(key);
            else if (key == u"Sample Rate")
                track.sampleRate = readInt32(key);
            else if (key == u"Size")
                track.size = readInt32(key);
            else if (key == u"Date Added")
                track.dateAdded = QDateTime::fromString(readText().trimmed(), Qt::ISODate).toUTC();
            else if (key == u"Track Type")
                trackType = readText().trimmed();
            else if (key == u"Location")
                location = readText().trimmed();
            else
                m_xml.skipCurrentElement();
        }

        const bool stream = trackType == u"URL" || trackType == u"Remote" ||
                            (trackType.isEmpty() && !location.isEmpty() && !isFileUrl(location) &&
                             !location.startsWith(QLatin1Char('/')));
        track.kind = stream ? TrackKind::Url : TrackKind::File;
        if (trackType.isEmpty())
            trackType = stream ? QStringLiteral("URL") : QStringLiteral("File");
        if (stream) {
            track.location = location;
            if (track.kindAsString.isEmpty())
                track.kindAsString = QStringLiteral("Internet audio stream");
        } else if (!location.isEmpty()) {
            track.location = m_locations.toPath(location);
            // No file name holds a NUL: the system would cut the path there
            // and reach another file. The text stays; the track has no file.
            if (track.location.contains(QChar(0))) {
                track.kind = TrackKind::Url;
                track.location = location;
            }
        }

        if (!track.persistentId.isEmpty()) {
            if (const auto present = m_store.trackByPersistentId(track.persistentId)) {
                m_tracks.insert(fileTrackId, {*present, -1});
                ++m_summary.tracksAlreadyPresent;
                return;
            }
        }
        // The file's own TrackID is kept unless this library has ever given
        // it to a track, so a round trip through a file keeps the IDs.
        // An ID out of range gets a new one, as a clashing one does.
        const bool keepId = fileTrackId > m_topTrackIdBefore && fileTrackId <= kMaxFileId &&
                            !m_store.isTrackIdInUse(std::int32_t(fileTrackId));
        track.trackId = keepId ? std::int32_t(fileTrackId) : 0;
        const TrackRecord added = m_store.addTrack(std::move(track), trackType);
        m_tracks.insert(fileTrackId, {added.databaseId, m_sequence++});
        ++m_summary.tracksAdded;
    }

    void readPlaylists()
    {
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != u"dict")
                fail(QStringLiteral("<%1> where a playlist (<dict>) should be").arg(m_xml.name()));
            readPlaylist();
        }
        if (m_xml.hasError())
            failOnReader();
    }

    void readItems(std::vector<std::int64_t> &items)
    {
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != u"dict")
                fail(QStringLiteral("<%1> where a playlist item (<dict>) should be").arg(m_xml.name()));
            QString key;
            while (nextKey(key)) {
                if (key == u"Track ID")
                    items.push_back(readInteger(key));
                else
                    m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError())
            failOnReader();
    }

    void readPlaylist()
    {
        QString name;
        QString persistentId;
        std::int64_t filePlaylistId = 0;
        bool master = false;
        bool leftOut = false;
        std::vector<std::int64_t> items;
        QString key;
        while (nextKey(key)) {
            if (key == u"Name") {
                name = readText();
            } else if (key == u"Playlist ID") {
                filePlaylistId = readInteger(key);
            } else if (key == u"Playlist Persistent ID") {
                persistentId = readText().trimmed().toUpper();
            } else if (key == u"Master") {
                master = readBool(key);
            } else if (key == u"Folder" || key == u"Visible") {
                // Folders only gather other playlists; hidden ones are the
                // player's own.
                const bool value = readBool(key);
                leftOut |= key == u"Folder" ? value : !value;
            } else if (key == u"Distinguished Kind" || key == u"Smart Info" || key == u"Smart Criteria") {
                // Built-in and rule-based playlists are the player's views
                // of the library, not lists a person made.
                leftOut = true;
                m_xml.skipCurrentElement();
            } else if (key == u"Playlist Items") {
                expectElement(u"array", key);
                readItems(items);
            } else {
                m_xml.skipCurrentElement();
            }
        }

        if (master) {
            orderLibrary(items);
            return;
        }
        if (leftOut) {
            ++m_summary.playlistsLeftOut;
            return;
        }
        if (!persistentId.isEmpty() && m_store.playlistByPersistentId(persistentId)) {
            ++m_summary.playlistsAlreadyPresent;
            return;
        }
        const bool keepId = filePlaylistId > m_topPlaylistIdBefore && filePlaylistId <= kMaxFileId &&
                            !m_store.isPlaylistIdInUse(std::int32_t(filePlaylistId));
        const std::int32_t id = keepId ? std::int32_t(filePlaylistId) : 0;
        const PlaylistRecord playlist = m_store.addPlaylist(name, id, persistentId);
        std::vector<std::int32_t> databaseIds;
        databaseIds.reserve(items.size());
        for (const std::int64_t item : items) {
            if (const auto found = m_tracks.constFind(item); found != m_tracks.cend())
                databaseIds.push_back(found->databaseId);
        }
        m_store.appendToPlaylist(playlist.playlistId, databaseIds);
        ++m_summary.playlistsAdded;
    }

    // The library playlist of the file gives the order of its tracks. Tracks
    // that were in this library before keep their places.
    void orderLibrary(const std::vector<std::int64_t> &items)
    {
        std::vector<std::int32_t> added;
        bool inOrder = true;
        std::int32_t last = -1;
        for (const std::int64_t item : items) {
            const auto found = m_tracks.constFind(item);
            if (found == m_tracks.cend() || found->sequence < 0)
                continue;
            inOrder = inOrder && found->sequence > last;
            last = found->sequence;
            added.push_back(found->databaseId);
        }
        if (!inOrder)
            m_store.moveToLibraryEnd(added);
    }

    LibraryStore &m_store;
    QString m_fileName;
    const LocationMapper &m_locations;
    QXmlStreamReader m_xml;
    QString m_value;
    // The file's TrackIDs and what became of them; a few bytes a track.
    QHash<std::int64_t, ImportedTrack> m_tracks;
    std::int32_t m_sequence = 0;
    std::int64_t m_topTrackIdBefore = 0;
    std::int64_t m_topPlaylistIdBefore = 0;
    bool m_playlistsDeferred = false;
    XmlImportSummary m_summary;
};

} // namespace

XmlImportSummary importLibraryXml(LibraryStore &store, const QString &fileName, const LocationMapper &locations)
{
    return XmlImporter(store, fileName, locations).run();
}

} // namespace tidyfox::library
