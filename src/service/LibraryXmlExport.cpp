// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryXmlExport.h"

#include "service/LibraryFileEntries.h"
#include "service/LibraryStore.h"
#include "service/TrackLocation.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cerrno>

namespace tidyfox::library {

namespace {

// Why a write to file just failed. Read at once: errno changes with the next
// call, and a save file's commit puts "Unknown error" in place of a full disk.
QString writeFailure(const QFileDevice &file)
{
    const int error = errno;
    return error == ENOSPC || error == EDQUOT ? QStringLiteral("the disk is full") : file.errorString();
}

// Writes the property list the way music players lay out their library files
// (a tab a level, a key and a simple value on one line, "&#38;" for "&"), so
// that tools reading those files line by line read ours too. Written by hand:
// QXmlStreamWriter puts a value on a line of its own.
class PlistWriter
{
public:
    explicit PlistWriter(QSaveFile &file) : m_file(file) { m_out.reserve(kFlushAt + 4096); }

    void raw(const char *text) { m_out.append(text); }
    void line(int depth, const char *text)
    {
        indent(depth);
        m_out.append(text);
        m_out.append('\n');
    }
    void key(int depth, const QString &name)
    {
        indent(depth);
        m_out.append("<key>");
        escaped(name);
        m_out.append("</key>");
    }
    // A key and its value, on one line; a <dict> or <array> value opens on
    // the next.
    void value(int depth, const QString &name, ValueType type, const QString &text)
    {
        key(depth, name);
        switch (type) {
        case ValueType::String:
            element("string", text);
            break;
        case ValueType::Integer:
            element("integer", text);
            break;
        case ValueType::Real:
            element("real", text);
            break;
        case ValueType::Date:
            element("date", text);
            break;
        case ValueType::True:
            m_out.append("<true/>");
            break;
        case ValueType::False:
            m_out.append("<false/>");
            break;
        case ValueType::Data:
            // The text keeps the file's own line breaks and indentation.
            m_out.append('\n');
            indent(depth);
            element("data", text);
            break;
        case ValueType::Xml:
            m_out.append('\n');
            indent(depth);
            m_out.append(text.toUtf8());
            break;
        }
        m_out.append('\n');
        flushIfFull();
    }
    void string(int depth, const QString &name, const QString &text) { value(depth, name, ValueType::String, text); }
    void integer(int depth, const QString &name, std::int64_t number)
    {
        value(depth, name, ValueType::Integer, QString::number(number));
    }
    void date(int depth, const QString &name, const QDateTime &when)
    {
        value(depth, name, ValueType::Date, when.toUTC().toString(Qt::ISODate));
    }
    void boolean(int depth, const QString &name, bool flag)
    {
        value(depth, name, flag ? ValueType::True : ValueType::False, {});
    }
    void keyLine(int depth, const QString &name)
    {
        key(depth, name);
        m_out.append('\n');
    }

    void flushIfFull()
    {
        if (m_out.size() >= kFlushAt)
            flush();
    }
    void flush()
    {
        if (m_failure.isEmpty() && m_file.write(m_out) != m_out.size())
            m_failure = writeFailure(m_file);
        m_out.resize(0);
    }
    // Why writing failed, or empty.
    QString failure() const { return m_failure; }

private:
    static constexpr qsizetype kFlushAt = 1 << 20;

    void indent(int depth) { m_out.append(depth, '\t'); }
    void element(const char *name, const QString &text)
    {
        m_out.append('<').append(name).append('>');
        escaped(text);
        m_out.append("</").append(name).append('>');
    }
    void escaped(const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        for (const char c : utf8) {
            switch (c) {
            case '&':
                m_out.append("&#38;");
                break;
            case '<':
                m_out.append("&#60;");
                break;
            case '>':
                m_out.append("&#62;");
                break;
            case '\t':
            case '\n':
            case '\r':
                m_out.append(c);
                break;
            default:
                // XML cannot hold the other control characters, not even
                // escaped; a tag read from a file may have them.
                if (static_cast<unsigned char>(c) < 0x20) {
                    m_out.append("\xEF\xBF\xBD"); // U+FFFD
                    break;
                }
                m_out.append(c);
            }
        }
    }

    QSaveFile &m_file;
    QByteArray m_out;
    QString m_failure;
};

QString locationText(const TrackRecord &t)
{
    if (t.kind == TrackKind::File)
        return t.location.isEmpty() ? QString() : pathToFileUrl(t.location);
    return t.location;
}

// A modelled key of a track, from its column; false when the track has no
// value for it.
void writeTrackKey(PlistWriter &w, int code, const TrackRecord &t, const QString &trackType, const TrackFields &f,
                   bool fromFile)
{
    constexpr int depth = 3;
    if (code < kRecordKeyBase) {
        const int i = code - 1;
        if (i < 0 || i >= kTrackFieldCount || !f.present[i])
            return;
        const TrackFieldInfo &info = trackFieldInfo(i);
        const QString key = QString::fromLatin1(info.key);
        if (info.type == ValueType::String)
            w.string(depth, key, f.texts[i]);
        else if (info.type == ValueType::Date)
            w.date(depth, key, QDateTime::fromSecsSinceEpoch(f.numbers[i], Qt::UTC));
        else
            w.integer(depth, key, f.numbers[i]);
        return;
    }
    const auto k = RecordKey(code - kRecordKeyBase);
    const QString key = QString::fromLatin1(recordKeyName(k));
    // A track that did not come from a file gets the keys it has a value
    // for; one from a file gets back every key it came with.
    auto text = [&](const QString &value) {
        if (fromFile || !value.isEmpty())
            w.string(depth, key, value);
    };
    auto number = [&](std::int64_t value) {
        if (fromFile || value != 0)
            w.integer(depth, key, value);
    };
    switch (k) {
    case RecordKey::TrackId:
        w.integer(depth, key, t.trackId);
        break;
    case RecordKey::Name:
        text(t.name);
        break;
    case RecordKey::Artist:
        text(t.artist);
        break;
    case RecordKey::Composer:
        text(t.composer);
        break;
    case RecordKey::Album:
        text(t.album);
        break;
    case RecordKey::Genre:
        text(t.genre);
        break;
    case RecordKey::Kind:
        text(t.kindAsString);
        break;
    case RecordKey::Size:
        number(t.size);
        break;
    case RecordKey::TotalTime:
        number(t.totalTimeMs);
        break;
    case RecordKey::DateAdded:
        if (t.dateAdded.isValid())
            w.date(depth, key, t.dateAdded);
        break;
    case RecordKey::BitRate:
        number(t.bitRate);
        break;
    case RecordKey::SampleRate:
        number(t.sampleRate);
        break;
    case RecordKey::PersistentId:
        text(t.persistentId);
        break;
    case RecordKey::TrackType:
        text(trackType);
        break;
    case RecordKey::Location:
        text(locationText(t));
        break;
    case RecordKey::Count:
        break;
    }
}

void writeTrack(PlistWriter &w, const TrackRecord &t, const QString &trackType, const TrackFields &fields,
                const QByteArray &entries)
{
    w.keyLine(2, QString::number(t.trackId));
    w.line(2, "<dict>");
    if (entries.isEmpty()) {
        for (const int code : canonicalTrackOrder())
            writeTrackKey(w, code, t, trackType, fields, false);
    } else {
        forEachEntry(
            entries, [&](int code) { writeTrackKey(w, code, t, trackType, fields, true); },
            [&](const QString &key, ValueType type, const QString &value) { w.value(3, key, type, value); });
    }
    w.line(2, "</dict>");
}

void writeItems(PlistWriter &w, LibraryStore &store, std::int32_t playlistId)
{
    w.keyLine(3, QStringLiteral("Playlist Items"));
    w.line(3, "<array>");
    store.forEachTrackId(playlistId, [&](std::int32_t trackId) {
        w.line(4, "<dict>");
        w.integer(5, QStringLiteral("Track ID"), trackId);
        w.line(4, "</dict>");
    });
    w.line(3, "</array>");
}

void writePlaylist(PlistWriter &w, LibraryStore &store, const StoredPlaylist &p)
{
    const PlaylistRecord &r = p.record;
    const bool master = r.kind == kLibraryPlaylist;
    w.line(2, "<dict>");
    if (p.entries.isEmpty()) {
        w.string(3, QStringLiteral("Name"), r.name);
        if (master)
            w.boolean(3, QStringLiteral("Master"), true);
        w.integer(3, QStringLiteral("Playlist ID"), r.playlistId);
        w.string(3, QStringLiteral("Playlist Persistent ID"), r.persistentId);
        if (!p.parentPersistentId.isEmpty())
            w.string(3, QStringLiteral("Parent Persistent ID"), p.parentPersistentId);
        writeItems(w, store, r.playlistId);
    } else {
        forEachEntry(
            p.entries,
            [&](int code) {
                switch (PlaylistKey(code)) {
                case PlaylistKey::Name:
                    w.string(3, QStringLiteral("Name"), r.name);
                    break;
                case PlaylistKey::Master:
                    w.boolean(3, QStringLiteral("Master"), master);
                    break;
                case PlaylistKey::PlaylistId:
                    w.integer(3, QStringLiteral("Playlist ID"), r.playlistId);
                    break;
                case PlaylistKey::PersistentId:
                    w.string(3, QStringLiteral("Playlist Persistent ID"), r.persistentId);
                    break;
                case PlaylistKey::ParentPersistentId:
                    w.string(3, QStringLiteral("Parent Persistent ID"), p.parentPersistentId);
                    break;
                case PlaylistKey::Items:
                    writeItems(w, store, r.playlistId);
                    break;
                }
            },
            [&](const QString &key, ValueType type, const QString &value) { w.value(3, key, type, value); });
    }
    w.line(2, "</dict>");
    w.flushIfFull();
}

} // namespace

void exportLibraryXml(LibraryStore &store, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw LibraryError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()).toStdString());

    PlistWriter w(file);
    w.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
          "<plist version=\"1.0\">\n"
          "<dict>\n");

    auto tracks = [&] {
        w.keyLine(1, QStringLiteral("Tracks"));
        w.line(1, "<dict>");
        store.forEachFileTrack([&](const TrackRecord &track, const QString &trackType, const TrackFields &fields,
                                   const QByteArray &entries) { writeTrack(w, track, trackType, fields, entries); });
        w.line(1, "</dict>");
    };
    auto playlists = [&] {
        w.keyLine(1, QStringLiteral("Playlists"));
        w.line(1, "<array>");
        for (const StoredPlaylist &playlist : store.allPlaylists())
            writePlaylist(w, store, playlist);
        w.line(1, "</array>");
    };
    auto modelled = [&](int code) {
        switch (HeaderKey(code)) {
        case HeaderKey::Date:
            w.date(1, QStringLiteral("Date"), QDateTime::currentDateTimeUtc());
            break;
        case HeaderKey::LibraryPersistentId:
            w.string(1, QStringLiteral("Library Persistent ID"), store.libraryPersistentId());
            break;
        case HeaderKey::Tracks:
            tracks();
            break;
        case HeaderKey::Playlists:
            playlists();
            break;
        }
    };

    const QByteArray header = store.fileHeader();
    if (header.isEmpty()) {
        w.integer(1, QStringLiteral("Major Version"), 1);
        w.integer(1, QStringLiteral("Minor Version"), 1);
        modelled(int(HeaderKey::Date));
        w.string(1, QStringLiteral("Application Version"),
                 QStringLiteral("Tidyfox library %1").arg(QCoreApplication::applicationVersion()).trimmed());
        modelled(int(HeaderKey::LibraryPersistentId));
        tracks();
        playlists();
    } else {
        forEachEntry(header, modelled,
                     [&](const QString &key, ValueType type, const QString &value) { w.value(1, key, type, value); });
    }
    w.raw("</dict>\n</plist>\n");
    w.flush();
    if (!w.failure().isEmpty())
        throw LibraryError(QStringLiteral("Cannot write %1: %2").arg(fileName, w.failure()).toStdString());
    if (!file.commit())
        throw LibraryError(QStringLiteral("Cannot write %1: %2").arg(fileName, writeFailure(file)).toStdString());
}

} // namespace tidyfox::library
