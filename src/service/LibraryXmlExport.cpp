#include "service/LibraryXmlExport.h"

#include "service/LibraryStore.h"
#include "service/TrackLocation.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QXmlStreamWriter>

namespace tidyfox::library {

namespace {

class PlistWriter
{
public:
    explicit PlistWriter(QIODevice *device) : m_xml(device)
    {
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(-1); // one tab a level
    }

    QXmlStreamWriter &xml() { return m_xml; }

    void key(const QString &name) { m_xml.writeTextElement(QStringLiteral("key"), name); }
    void string(const QString &name, const QString &value)
    {
        if (value.isEmpty())
            return;
        key(name);
        m_xml.writeTextElement(QStringLiteral("string"), value);
    }
    void integer(const QString &name, std::int64_t value, bool evenZero = false)
    {
        if (value == 0 && !evenZero)
            return;
        key(name);
        m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value));
    }
    void date(const QString &name, const QDateTime &value)
    {
        if (!value.isValid())
            return;
        key(name);
        m_xml.writeTextElement(QStringLiteral("date"), value.toUTC().toString(Qt::ISODate));
    }
    void boolean(const QString &name, bool value)
    {
        key(name);
        m_xml.writeEmptyElement(value ? QStringLiteral("true") : QStringLiteral("false"));
    }

private:
    QXmlStreamWriter m_xml;
};

void writeTrack(PlistWriter &w, const TrackRecord &t, const QString &trackType)
{
    auto &xml = w.xml();
    w.key(QString::number(t.trackId));
    xml.writeStartElement(QStringLiteral("dict"));
    w.integer(QStringLiteral("Track ID"), t.trackId, true);
    w.string(QStringLiteral("Name"), t.name);
    w.string(QStringLiteral("Artist"), t.artist);
    w.string(QStringLiteral("Composer"), t.composer);
    w.string(QStringLiteral("Album"), t.album);
    w.string(QStringLiteral("Genre"), t.genre);
    w.string(QStringLiteral("Kind"), t.kindAsString);
    w.integer(QStringLiteral("Size"), t.size);
    w.integer(QStringLiteral("Total Time"), t.totalTimeMs);
    w.date(QStringLiteral("Date Added"), t.dateAdded);
    w.integer(QStringLiteral("Bit Rate"), t.bitRate);
    w.integer(QStringLiteral("Sample Rate"), t.sampleRate);
    w.string(QStringLiteral("Persistent ID"), t.persistentId);
    w.string(QStringLiteral("Track Type"), trackType);
    if (t.kind == TrackKind::File)
        w.string(QStringLiteral("Location"), t.location.isEmpty() ? QString() : pathToFileUrl(t.location));
    else
        w.string(QStringLiteral("Location"), t.location);
    xml.writeEndElement();
}

void writePlaylist(PlistWriter &w, LibraryStore &store, const PlaylistRecord &playlist, bool master)
{
    auto &xml = w.xml();
    xml.writeStartElement(QStringLiteral("dict"));
    w.string(QStringLiteral("Name"), playlist.name);
    if (master)
        w.boolean(QStringLiteral("Master"), true);
    w.integer(QStringLiteral("Playlist ID"), playlist.playlistId, true);
    w.string(QStringLiteral("Playlist Persistent ID"), playlist.persistentId);
    w.key(QStringLiteral("Playlist Items"));
    xml.writeStartElement(QStringLiteral("array"));
    store.forEachTrackId(playlist.playlistId, [&](std::int32_t trackId) {
        xml.writeStartElement(QStringLiteral("dict"));
        w.integer(QStringLiteral("Track ID"), trackId, true);
        xml.writeEndElement();
    });
    xml.writeEndElement();
    xml.writeEndElement();
}

} // namespace

void exportLibraryXml(LibraryStore &store, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw LibraryError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()).toStdString());

    PlistWriter w(&file);
    auto &xml = w.xml();
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral(
        R"(<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">)"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    xml.writeStartElement(QStringLiteral("dict"));
    w.integer(QStringLiteral("Major Version"), 1);
    w.integer(QStringLiteral("Minor Version"), 1);
    w.date(QStringLiteral("Date"), QDateTime::currentDateTimeUtc());
    w.string(QStringLiteral("Application Version"),
             QStringLiteral("Tidyfox library %1").arg(QCoreApplication::applicationVersion()).trimmed());
    w.string(QStringLiteral("Library Persistent ID"), store.libraryPersistentId());

    w.key(QStringLiteral("Tracks"));
    xml.writeStartElement(QStringLiteral("dict"));
    const std::int32_t library = store.libraryPlaylistId();
    store.forEachTrack(library,
                       [&](const TrackRecord &track, const QString &trackType) { writeTrack(w, track, trackType); });
    xml.writeEndElement();

    w.key(QStringLiteral("Playlists"));
    xml.writeStartElement(QStringLiteral("array"));
    for (const PlaylistRecord &playlist : store.playlists())
        writePlaylist(w, store, playlist, playlist.playlistId == library);
    xml.writeEndElement();

    xml.writeEndElement(); // dict
    xml.writeEndElement(); // plist
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        throw LibraryError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()).toStdString());
}

} // namespace tidyfox::library
