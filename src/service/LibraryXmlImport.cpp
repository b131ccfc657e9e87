// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryXmlImport.h"

#include "common/BatchPipeline.h"
#include "service/BinaryPlistExtent.h"
#include "service/DeferredIndex.h"
#include "service/ImportPageCache.h"
#include "service/ImportedOrder.h"
#include "service/ImportedTracks.h"
#include "service/LibraryStore.h"
#include "service/Transaction.h"
#include "service/XmlScanner.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamWriter>
#include <algorithm>
#include <bitset>
#include <cmath>
#include <limits>
#include <malloc.h>
#include <plist/plist.h>

namespace tidyfox::library {

namespace {

constexpr std::int64_t kMaxFileId = std::numeric_limits<std::int32_t>::max();

constexpr qsizetype kMaxText = 16 * 1024 * 1024;

// Keys of iTunes 5 that mark its own playlists, from before "Distinguished
// Kind".
bool isBuiltInMarker(const QString &key)
{
    static const QStringList keys = {
        QStringLiteral("Party Shuffle"), QStringLiteral("Podcasts"),     QStringLiteral("Purchased Music"),
        QStringLiteral("Audiobooks"),    QStringLiteral("Movies"),       QStringLiteral("TV Shows"),
        QStringLiteral("Music"),         QStringLiteral("Music Videos"), QStringLiteral("Videos"),
        QStringLiteral("iTunesU"),       QStringLiteral("Books"),        QStringLiteral("Genius"),
        QStringLiteral("Home Videos"),   QStringLiteral("Voice Memos"),
    };
    return keys.contains(key);
}

int trackCode(const QString &key)
{
    static const QHash<QString, int> codes = [] {
        QHash<QString, int> result;
        for (int f = 0; f < kTrackFieldCount; ++f)
            result.insert(QString::fromLatin1(trackFieldInfo(f).key), codeOf(TrackField(f)));
        for (int k = 0; k < int(RecordKey::Count); ++k)
            result.insert(QString::fromLatin1(recordKeyName(RecordKey(k))), codeOf(RecordKey(k)));
        return result;
    }();
    return codes.value(key, 0);
}

// The date of text in the form this library writes ("2019-05-06T07:08:09Z":
// UTC, to the second), read by hand: nearly every date of a file is in this
// form, and parsing it in general (and writing it again) was a good part of
// an import's time. Nothing for any other text.
std::optional<QDateTime> plainUtcDate(QStringView text)
{
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || text[19] != u'Z')
        return std::nullopt;
    auto number = [&](qsizetype at, qsizetype length) {
        int value = 0;
        for (qsizetype i = at; i < at + length; ++i) {
            if (text[i] < u'0' || text[i] > u'9')
                return -1;
            value = value * 10 + (text[i].unicode() - u'0');
        }
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (date.year() < 1 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

// A plist date as this library writes it (UTC, to the second), or nothing
// for text that is no date a property list reader takes.
std::optional<QString> canonicalDate(QStringView text)
{
    if (plainUtcDate(text))
        return text.toString();
    const QDateTime date = QDateTime::fromString(text.trimmed().toString(), Qt::ISODate);
    if (!date.isValid() || date.date().year() < 1 || date.date().year() > 9999)
        return std::nullopt;
    return date.toUTC().toString(Qt::ISODate);
}

// Up to 18 decimal digits, read by hand (Qt's reading of a number copies
// it first, and a file has about ten numbers a track); false for any other
// text, which is left to Qt.
bool plainDecimal(QStringView text, std::int64_t &value, bool &ok)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    std::int64_t result = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c.unicode() - u'0');
    }
    value = result;
    ok = true;
    return true;
}

// Decimal digits with a sign, or hexadecimal ones after "0x".
bool isInteger(QStringView text)
{
    text = text.trimmed();
    const bool hex = text.startsWith(u"0x", Qt::CaseInsensitive);
    if (hex)
        text = text.mid(2);
    else if (text.startsWith(u'-') || text.startsWith(u'+'))
        text = text.mid(1);
    if (text.isEmpty())
        return false;
    return std::all_of(text.begin(), text.end(), [&](QChar c) {
        return (c >= u'0' && c <= u'9') || (hex && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')));
    });
}

// Whether text is a value of its element that every property list reader
// takes; a date is made canonical. A value that fails would make an export no
// reader can load.
bool isReadableValue(QStringView element, QString &text)
{
    static const QRegularExpression real(
        QStringLiteral("^\\s*[+-]?(([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?|inf|infinity|nan)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (element == u"date") {
        const auto date = canonicalDate(text);
        if (date)
            text = *date;
        return bool(date);
    }
    if (element == u"integer")
        return isInteger(text);
    if (element == u"real")
        return real.match(text).hasMatch();
    if (element == u"data") {
        QByteArray base64 = text.toLatin1();
        base64.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
        return base64.size() % 4 == 0 &&
               bool(QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors));
    }
    return true;
}

class XmlImporter
{
public:
    XmlImporter(LibraryStore &store, const QString &fileName, const XmlImportOptions &options)
        : m_store(store), m_fileName(fileName), m_locations(options.locations), m_musicFolder(options.musicFolder)
    {}

    XmlImportSummary run()
    {
        const ImportPageCache cache(m_store.database());
        Transaction transaction(m_store);
        m_topTrackIdBefore = m_store.topTrackId();
        m_topPlaylistIdBefore = m_store.topPlaylistId();
        m_topDatabaseIdBefore = m_store.topDatabaseId();
        m_topPlaylistRowIdBefore = m_store.topPlaylistRowId();
        // The first file a library comes from gives it its header and its
        // master playlist; later ones only add to it.
        m_firstFile = m_topDatabaseIdBefore == 0 && m_store.allPlaylists().size() == 1;
        // Into an empty library nothing is looked up by its location.
        std::optional<DeferredIndex> byLocation;
        if (m_topDatabaseIdBefore == 0)
            byLocation.emplace(m_store.database(), "tracks_by_location");
        readFile(Pass::Everything);
        // A file may list its playlists before its tracks; their items can
        // only be resolved once every track is known.
        if (m_playlistsDeferred)
            readFile(Pass::PlaylistsOnly);
        // A file whose playlists said nothing of the library's order after
        // all: the tracks go in the file's order.
        if (m_orderMode == OrderMode::Placed && !m_libraryOrdered)
            m_store.renumberLibraryOrder(m_firstAdded, m_firstOrder);
        if (m_firstFile) {
            m_store.setFileHeader(m_header);
            if (!m_libraryPersistentId.isEmpty())
                m_store.setLibraryPersistentId(m_libraryPersistentId);
        }
        if (byLocation) {
            // The file's IDs are done with: their memory goes to the sort.
            m_tracks = {};
            m_order.reset();
            malloc_trim(0);
            byLocation->build();
        }
        transaction.commit();
        return m_summary;
    }

private:
    enum class Pass { Everything, PlaylistsOnly };

    // Where a value starts in the file, for a note about it.
    struct Place
    {
        qint64 line = 0;
        qint64 column = 0;
    };
    Place here() { return {m_xml.lineNumber(), m_xml.columnNumber()}; }
    // While the tracks are stored on the pipeline's thread, a track's notes
    // go with it, to keep their place among the notes of storing it.
    void note(const Place &place, const QString &message) { m_notes->push_back({place.line, place.column, message}); }

    [[noreturn]] void fail(const QString &message)
    {
        throw XmlImportError(m_xml.lineNumber(), m_xml.columnNumber(), message);
    }

    [[noreturn]] void failOnReader()
    {
        if (m_xml.fault() == XmlScanner::Fault::PrematureEnd)
            fail(QStringLiteral("the file ends too early"));
        // The reader may be fine and the token one that has no place here.
        if (!m_xml.hasError())
            fail(QStringLiteral("unexpected %1").arg(m_xml.tokenString()));
        fail(m_xml.errorString());
    }

    // What the file is, from its first bytes: a binary property list is read
    // through libplist as XML text; anything that is neither gets one line
    // saying so instead of a parser's complaint about its bytes.
    void checkForm(QFile &file)
    {
        const QByteArray head = file.peek(512);
        if (head.startsWith("bplist")) {
            m_converted = binaryPlistAsXml(file);
            return;
        }
        auto refuse = [](const QString &what) {
            throw XmlImportError(1, 1, QStringLiteral("not a library export: %1").arg(what));
        };
        if (head.startsWith("\x1f\x8b"))
            refuse(QStringLiteral("the file is compressed with gzip; unpack it first (gunzip)"));
        if (head.startsWith("PK\x03\x04"))
            refuse(QStringLiteral("the file is a zip archive; unpack it first"));
        if (head.startsWith("\xfe\xff") || head.startsWith("\xff\xfe"))
            return; // UTF-16 text, which the XML reader knows
        qsizetype i = head.startsWith("\xef\xbb\xbf") ? 3 : 0;
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
            ++i;
        if (i < head.size() && head[i] != '<')
            refuse(head.contains('\0') ? QStringLiteral("the file holds binary data, not a property list")
                                       : QStringLiteral("the file is text, but not XML"));
    }

    static QByteArray binaryPlistAsXml(QFile &file)
    {
        const QByteArray bytes = file.readAll();
        // Counted before libplist expands it: libplist copies a shared
        // object at each place it is referred to.
        if (const auto refusal = binaryPlistRefusal(bytes))
            throw XmlImportError(1, 1, *refusal);
        plist_t root = nullptr;
        if (bytes.size() < std::numeric_limits<std::uint32_t>::max())
            plist_from_bin(bytes.constData(), std::uint32_t(bytes.size()), &root);
        if (!root)
            throw XmlImportError(1, 1, QStringLiteral("not a library export: a damaged binary property list"));
        char *xml = nullptr;
        std::uint32_t length = 0;
        plist_to_xml(root, &xml, &length);
        plist_free(root);
        QByteArray result(xml, qsizetype(length));
        plist_to_xml_free(xml);
        return result;
    }

    void readFile(Pass pass)
    {
        QFile file(m_fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw XmlImportError(0, 0, file.errorString());
        if (file.size() == 0)
            throw XmlImportError(1, 1, QStringLiteral("not a library file: the file is empty"));
        if (pass == Pass::Everything)
            checkForm(file);
        QBuffer converted(&m_converted);
        if (!m_converted.isEmpty()) {
            converted.open(QIODevice::ReadOnly);
            m_xml.setDevice(&converted);
        } else {
            m_xml.setDevice(&file);
        }

        if (!m_xml.readNextStartElement()) {
            if (m_xml.hasError())
                failOnReader();
            fail(QStringLiteral("not a library file: there is no XML element"));
        }
        // Some tools write the root <dict> without the <plist> around it.
        if (m_xml.name() != u"dict") {
            if (m_xml.name() != u"plist")
                fail(QStringLiteral("not a library file: <%1> where a property list (<plist>) should be")
                         .arg(m_xml.name()));
            if (!m_xml.readNextStartElement() || m_xml.name() != u"dict") {
                if (m_xml.hasError())
                    failOnReader();
                fail(QStringLiteral("not a library file: the property list does not start with a <dict>"));
            }
        }

        bool sawTracks = false;
        std::size_t tracksSkipped = 0;
        QString key;
        EntryWriter header;
        std::bitset<8> seen;
        // A modelled key given again is kept as the file gives it, in its
        // place; the first is the one the library works with.
        auto first = [&](HeaderKey k) { return !seen.test(std::size_t(k)) && (seen.set(std::size_t(k)), true); };
        while (nextKey(key)) {
            if (key == u"Tracks") {
                header.modelled(int(HeaderKey::Tracks));
                expectElement(u"dict", key);
                sawTracks = true;
                if (pass == Pass::Everything) {
                    readTracks();
                    m_afterTracks.push_back(m_xml.mark());
                } else if (const std::size_t n = tracksSkipped++;
                           n >= m_afterTracks.size() || !m_xml.skipTo(m_afterTracks[n])) {
                    m_xml.skipCurrentElement();
                }
            } else if (key == u"Playlists") {
                header.modelled(int(HeaderKey::Playlists));
                expectElement(u"array", key);
                if (pass == Pass::Everything && !sawTracks) {
                    skipPlaylistsNotingTheOrder();
                    m_playlistsDeferred = true;
                } else {
                    readPlaylists();
                }
            } else if (key == u"Date" && first(HeaderKey::Date)) {
                header.modelled(int(HeaderKey::Date));
                m_xml.skipCurrentElement();
            } else if (key == u"Library Persistent ID" && first(HeaderKey::LibraryPersistentId)) {
                header.modelled(int(HeaderKey::LibraryPersistentId));
                m_libraryPersistentId = readText().trimmed().toUpper();
            } else if (key == u"Music Folder" && !m_musicFolder.isEmpty() && m_xml.name() == u"string") {
                // The music is now in m_musicFolder: the tracks' locations
                // move with it, and an export says where it is.
                m_locations.addMapping(readText().trimmed(), m_musicFolder);
                header.kept(key, ValueType::String, pathToFileUrl(m_musicFolder + QLatin1Char('/')));
            } else {
                keepValue(header, key);
            }
        }
        if (pass == Pass::Everything)
            m_header = header.take();
        if (!sawTracks)
            fail(QStringLiteral("not a library file: the property list has no \"Tracks\""));
        while (!m_xml.atEnd())
            m_xml.readNext();
        if (m_xml.hasError())
            failOnReader();
        m_xml.setDevice(nullptr);
    }

    // Skips the playlists that come before the tracks, as skipCurrentElement
    // does, noting the TrackIDs of the library playlist for ImportedOrder.
    // Anything out of the ordinary leaves the order to be written after the
    // tracks instead.
    void skipPlaylistsNotingTheOrder()
    {
        const bool first = !m_orderNoted;
        m_orderNoted = true;
        // The order is for the first library playlist that comes before
        // every track: a second list of playlists or of masters, or tracks
        // already stored, and the order is written after the tracks.
        bool usable = first && m_sequence == 0 && m_orderMode == OrderMode::AsRead;
        std::vector<std::int64_t> items;
        std::vector<std::int64_t> masterItems;
        int masters = 0;
        bool plain = true;
        bool isMaster = false;
        bool sawMaster = false;
        bool sawItems = false;
        bool inItems = false;
        enum class Text { None, Key, ItemKey, TrackId } text = Text::None;
        QString key;
        QString itemKey;
        QString number;
        // Depth 1: in the array; 2: in a playlist; 3: in one of its keys or
        // values; 4: in an item; 5: in its key or value.
        for (int depth = 1; depth > 0;) {
            const XmlScanner::Token token = m_xml.readNext();
            if (token == XmlScanner::Token::Invalid || token == XmlScanner::Token::EndDocument)
                return;
            if (token == XmlScanner::Token::Characters) {
                QString *into = text == Text::Key       ? &key
                                : text == Text::ItemKey ? &itemKey
                                : text == Text::TrackId ? &number
                                                        : nullptr;
                if (into && into->size() < 64)
                    into->append(m_xml.text());
                continue;
            }
            if (token == XmlScanner::Token::StartElement) {
                ++depth;
                const QStringView name = m_xml.name();
                if (depth == 2) {
                    isMaster = sawMaster = sawItems = false;
                    items.clear();
                } else if (depth == 3) {
                    if (name == u"key") {
                        key.resize(0);
                        text = Text::Key;
                    } else if (key == u"Master" && !sawMaster) {
                        sawMaster = true;
                        isMaster = name == u"true";
                    } else if (key == u"Playlist Items" && !sawItems) {
                        sawItems = true;
                        inItems = name == u"array";
                    }
                } else if (depth == 5 && inItems) {
                    if (name == u"key") {
                        itemKey.resize(0);
                        text = Text::ItemKey;
                    } else if (itemKey == u"Track ID") {
                        number.resize(0);
                        text = name == u"integer" ? Text::TrackId : Text::None;
                        plain = plain && text == Text::TrackId;
                    }
                }
                continue;
            }
            if (token != XmlScanner::Token::EndElement)
                continue;
            --depth;
            if (text == Text::TrackId) {
                std::int64_t id = 0;
                bool ok = false;
                plain = plain && plainDecimal(number, id, ok);
                items.push_back(id);
            }
            text = Text::None;
            if (depth == 2)
                inItems = false;
            else if (depth == 1 && isMaster && ++masters == 1)
                masterItems.swap(items);
        }
        usable = usable && plain && masters == 1;
        if (usable)
            m_order.emplace(masterItems);
        else
            m_order.reset();
        // The lists of a million items are freed, but the C library keeps
        // their memory for the process unless asked: given back before the
        // tracks, which take the most.
        items = {};
        masterItems = {};
        malloc_trim(0);
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
        readTextFrom(m_xml.readNext(), out);
    }

    // Appends the text of the current element to out, from the token just
    // read on.
    void readTextFrom(XmlScanner::Token token, QString &out)
    {
        for (;; token = m_xml.readNext()) {
            switch (token) {
            case XmlScanner::Token::Characters:
                out.append(m_xml.text());
                // No field of a library is anywhere near this; a larger one
                // is a broken or hostile file, and would only eat memory.
                if (out.size() > kMaxText)
                    fail(QStringLiteral("a text longer than 16 MB"));
                break;
            case XmlScanner::Token::Comment:
            case XmlScanner::Token::ProcessingInstruction:
                break;
            case XmlScanner::Token::EndElement:
                return;
            case XmlScanner::Token::StartElement:
                fail(QStringLiteral("<%1> inside a text").arg(m_xml.name()));
            default:
                failOnReader();
            }
        }
    }

    // Keeps the current value as the file has it, for the export.
    void keepValue(EntryWriter &entries, const QString &key)
    {
        const QStringView name = m_xml.name();
        ValueType type = ValueType::Xml;
        if (name == u"string")
            type = ValueType::String;
        else if (name == u"integer")
            type = ValueType::Integer;
        else if (name == u"date")
            type = ValueType::Date;
        else if (name == u"true")
            type = ValueType::True;
        else if (name == u"false")
            type = ValueType::False;
        else if (name == u"data")
            type = ValueType::Data;
        else if (name == u"real")
            type = ValueType::Real;
        // Counting lines up to every value was a part of the reading: the
        // place is taken only for a value that can get a note.
        const bool alwaysReadable = type == ValueType::String || type == ValueType::True || type == ValueType::False;
        const Place place = alwaysReadable ? Place{} : here();
        const QString element = name.toString();
        bool readable = true;
        if (type == ValueType::True || type == ValueType::False) {
            m_xml.skipCurrentElement();
            m_lastKept.clear();
        } else if (type == ValueType::Xml) {
            readable = captureXml(m_lastKept);
        } else {
            readInto(m_lastKept);
            readable = isReadableValue(element, m_lastKept);
        }
        if (!readable) {
            note(place,
                 type == ValueType::Xml
                     ? QStringLiteral("\"%1\" holds a value that is not what its <%2> says; left out").arg(key, element)
                     : QStringLiteral("\"%1\" is not a valid <%2> (\"%3\"); left out")
                           .arg(key, element, m_lastKept.trimmed().left(40)));
            return;
        }
        entries.kept(key, type, m_lastKept);
    }

    // The current element and everything in it, as XML text; false when a
    // value in it is not one its element can hold (see isReadableValue).
    bool captureXml(QString &out)
    {
        out.clear();
        QXmlStreamWriter writer(&out);
        writer.writeStartElement(m_xml.name().toString());
        writeAttributes(writer);
        // The text since the last tag: a value is checked at its end tag.
        QString text;
        QString element = m_xml.name().toString();
        bool readable = true;
        for (int depth = 1; depth > 0;) {
            switch (m_xml.readNext()) {
            case XmlScanner::Token::StartElement:
                writer.writeCharacters(text);
                text.clear();
                element = m_xml.name().toString();
                writer.writeStartElement(element);
                writeAttributes(writer);
                ++depth;
                break;
            case XmlScanner::Token::EndElement:
                readable = isReadableValue(element, text) && readable;
                element.clear();
                writer.writeCharacters(text);
                text.clear();
                writer.writeEndElement();
                --depth;
                break;
            case XmlScanner::Token::Characters:
                text += m_xml.text();
                if (out.size() + text.size() > kMaxText)
                    fail(QStringLiteral("a text longer than 16 MB"));
                break;
            case XmlScanner::Token::Comment:
            case XmlScanner::Token::ProcessingInstruction:
                break;
            default:
                failOnReader();
            }
        }
        return readable;
    }

    void writeAttributes(QXmlStreamWriter &writer) const
    {
        for (const XmlScanner::Attribute &a : m_xml.attributes())
            writer.writeAttribute(a.name, a.value);
    }

    // A date for a column; text that is no date is left out, with a note.
    std::optional<QDateTime> readDate(const QString &key, const Place &place)
    {
        if (m_xml.name() != u"date")
            fail(QStringLiteral("\"%1\" should be a <date>, not <%2>").arg(key, m_xml.name()));
        const QString text = readText().trimmed();
        if (const auto date = plainUtcDate(text))
            return date;
        if (!canonicalDate(text)) {
            note(place, QStringLiteral("\"%1\" is not a date (\"%2\"); left out").arg(key, text.left(40)));
            return std::nullopt;
        }
        return QDateTime::fromString(text, Qt::ISODate).toUTC();
    }

    QString readText()
    {
        QString text;
        readInto(text);
        return text;
    }

    std::int64_t readInteger(const QString &key)
    {
        const auto value = readNumber(key);
        if (!value)
            fail(QStringLiteral("\"%1\" is past the 64-bit range: \"%2\"").arg(key, m_value.trimmed()));
        return *value;
    }

    // A number for a column; an integer past 64 bits is kept as the file
    // gives it instead, with a note.
    std::optional<std::int64_t> readColumnNumber(EntryWriter &entries, const QString &key, const Place &place)
    {
        if (const auto value = readNumber(key))
            return value;
        const QString text = m_value.trimmed();
        entries.kept(key, ValueType::Integer, text);
        note(place,
             QStringLiteral("\"%1\" is %2, past the 64-bit range the library works in; kept as the file gives it")
                 .arg(key, text.left(40)));
        return std::nullopt;
    }

    // A number, or nothing for an integer past 64 bits (its text is in
    // m_value).
    std::optional<std::int64_t> readNumber(const QString &key)
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
            if (!plainDecimal(text, value, ok))
                value = text.toLongLong(&ok);
            if (!ok && isInteger(text) && !text.startsWith(u"0x", Qt::CaseInsensitive))
                return std::nullopt;
        }
        if (!ok)
            fail(QStringLiteral("\"%1\" is not a number: \"%2\"").arg(key, m_value));
        return value;
    }

    static std::int32_t clamped32(std::int64_t value)
    {
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

    // A track as read, for storeTrack.
    struct ReadTrack
    {
        TrackRecord track;
        TrackFields fields;
        QByteArray entries;
        QString trackType;
        std::int64_t fileTrackId = 0;
        bool refused = false;
        bool idTaken = false; // an earlier track of the file has its persistent ID
        QString label;
        Place persistentIdPlace;
        std::vector<XmlImportNote> notes; // made in reading it
    };

    void readTracks()
    {
        BatchPipeline<ReadTrack> pipeline([this](ReadTrack &read) { storeTrack(read); });
        try {
            QString key;
            while (nextKey(key)) {
                expectElement(u"dict", QStringLiteral("Track %1").arg(key));
                ReadTrack read;
                m_notes = &read.notes;
                readTrack(key, read);
                m_notes = &m_summary.notes;
                pipeline.push(std::move(read));
            }
        } catch (...) {
            m_notes = &m_summary.notes;
            // The tracks before the fault are stored, as they were when
            // each was stored on reading; a failure among them comes first.
            pipeline.finish();
            throw;
        }
        pipeline.finish();
        // The storing thread's heap is spent: given back before the
        // playlists are read.
        malloc_trim(0);
    }

    // As nextKey, for the index-th key of a track: its code, or -1 at the end
    // of the track, and in key its text. Tracks give their keys in much the
    // same order, so the key is compared where it stands with the one in the
    // same place of the track before, and copied only when it is another.
    int nextTrackKey(std::size_t index, const QString *&key)
    {
        if (!m_xml.readNextStartElement()) {
            if (m_xml.hasError())
                failOnReader();
            return -1;
        }
        if (m_xml.name() != u"key")
            fail(QStringLiteral("<%1> where a <key> should be").arg(m_xml.name()));
        if (index >= m_keyCodes.size())
            m_keyCodes.resize(index + 1);
        auto &[known, code] = m_keyCodes[index];
        XmlScanner::Token token = m_xml.readNext();
        bool same = false;
        if (token == XmlScanner::Token::Characters && sameText(m_xml.text(), known)) {
            token = m_xml.readNext();
            same = token == XmlScanner::Token::EndElement;
            if (!same) {
                m_key = QString(known.constData(), known.size()); // not shared: m_key keeps its buffer
                readTextFrom(token, m_key);
            }
        } else {
            m_key.resize(0);
            readTextFrom(token, m_key);
        }
        if (!same && !sameText(m_key, known)) {
            known = QString(m_key.constData(), m_key.size());
            code = trackCode(m_key);
        }
        key = &known;
        if (!m_xml.readNextStartElement()) {
            if (m_xml.hasError())
                failOnReader();
            fail(QStringLiteral("the key \"%1\" has no value").arg(known));
        }
        return code;
    }

    // Whether the value of a modelled track key can be left out or kept as
    // given, with a note at its place: a number, a date, the location and
    // the persistent ID.
    static bool mayGetNote(int code)
    {
        if (code < kRecordKeyBase)
            return trackFieldInfo(code - 1).type != ValueType::String;
        switch (RecordKey(code - kRecordKeyBase)) {
        case RecordKey::TotalTime:
        case RecordKey::BitRate:
        case RecordKey::SampleRate:
        case RecordKey::Size:
        case RecordKey::DateAdded:
        case RecordKey::PersistentId:
        case RecordKey::Location:
            return true;
        default:
            return false;
        }
    }

    // label: the track's key in "Tracks", for the notes. Touches nothing
    // that storeTrack does: the two run at the same time.
    void readTrack(const QString &label, ReadTrack &read)
    {
        TrackRecord &track = read.track;
        TrackFields &fields = read.fields;
        EntryWriter entries;
        std::int64_t &fileTrackId = read.fileTrackId;
        QString &trackType = read.trackType;
        QString location;
        Place locationPlace;
        Place &persistentIdPlace = read.persistentIdPlace;
        std::bitset<256> seen;
        for (std::size_t index = 0;; ++index) {
            const QString *keyText = nullptr;
            const int code = nextTrackKey(index, keyText);
            if (code < 0)
                break;
            const QString &key = *keyText;
            // A modelled key given again is kept as the file gives it, in its
            // place; the first is the one the library works with.
            if (code == 0 || seen.test(std::size_t(code))) {
                keepValue(entries, key);
                continue;
            }
            seen.set(std::size_t(code));
            // Only a value that can get a note needs its place (see keepValue).
            const Place place = mayGetNote(code) ? here() : Place{};
            bool modelled = true; // false: kept as given or left out, noted
            auto number = [&](auto &&store) {
                if (const auto value = readColumnNumber(entries, key, place))
                    store(*value);
                else
                    modelled = false;
            };
            auto date = [&](auto &&store) {
                if (const auto value = readDate(key, place))
                    store(*value);
                else
                    modelled = false;
            };
            if (code < kRecordKeyBase) {
                const auto f = TrackField(code - 1);
                switch (trackFieldInfo(code - 1).type) {
                case ValueType::String:
                    fields.setText(f, readText());
                    break;
                case ValueType::Date:
                    date([&](const QDateTime &d) { fields.setNumber(f, d.toSecsSinceEpoch()); });
                    break;
                default:
                    number([&](std::int64_t n) { fields.setNumber(f, n); });
                }
                if (modelled)
                    entries.modelled(code);
                continue;
            }
            switch (RecordKey(code - kRecordKeyBase)) {
            case RecordKey::TrackId:
                fileTrackId = readInteger(key);
                break;
            case RecordKey::PersistentId:
                persistentIdPlace = place;
                track.persistentId = readText().trimmed().toUpper();
                break;
            case RecordKey::Name:
                track.name = readText();
                break;
            case RecordKey::Artist:
                track.artist = readText();
                break;
            case RecordKey::Album:
                track.album = readText();
                break;
            case RecordKey::Composer:
                track.composer = readText();
                break;
            case RecordKey::Genre:
                track.genre = readText();
                break;
            case RecordKey::Kind:
                track.kindAsString = readText();
                break;
            case RecordKey::TotalTime:
                number([&](std::int64_t n) { track.totalTimeMs = clamped32(n); });
                break;
            case RecordKey::BitRate:
                number([&](std::int64_t n) { track.bitRate = clamped32(n); });
                break;
            case RecordKey::SampleRate:
                number([&](std::int64_t n) { track.sampleRate = clamped32(n); });
                break;
            case RecordKey::Size:
                number([&](std::int64_t n) { track.size = n; });
                break;
            case RecordKey::DateAdded:
                date([&](const QDateTime &d) { track.dateAdded = d; });
                break;
            case RecordKey::TrackType:
                trackType = readText().trimmed();
                break;
            case RecordKey::Location:
                locationPlace = place;
                location = readText().trimmed();
                break;
            case RecordKey::Count:
                break;
            }
            if (modelled)
                entries.modelled(code);
        }

        const auto shown = [&](const QString &name) {
            return QStringLiteral("track %1 (\"%2\")").arg(label.left(20), name.left(80));
        };
        read.entries = compactTrackEntries(entries.take());
        const bool stream = trackType == u"URL" || trackType == u"Remote" ||
                            (trackType.isEmpty() && !location.isEmpty() && !isFileUrl(location) &&
                             !location.startsWith(QLatin1Char('/')));
        track.kind = stream ? TrackKind::Url : TrackKind::File;
        if (trackType.isEmpty())
            trackType = stream ? QStringLiteral("URL") : QStringLiteral("File");
        // A location is cleaned here, once: every later use of it (a file's
        // look-up, its move to the trash) reaches the file it names.
        CleanLocation clean;
        if (stream)
            clean = {location,
                     location.contains(QChar(0)) ? QStringLiteral("the location holds a NUL character") : QString()};
        else if (!location.isEmpty())
            clean = m_locations.toPath(location);
        if (!clean.accepted()) {
            read.refused = true;
            note(locationPlace, QStringLiteral("%1 not imported: %2").arg(shown(track.name), clean.refusal));
            return;
        }
        track.location = clean.path;
        if (stream && track.kindAsString.isEmpty())
            track.kindAsString = QStringLiteral("Internet audio stream");
        read.idTaken = !track.persistentId.isEmpty() && !firstWithPersistentId(track.persistentId);
        read.label = label.left(20);
    }

    // The library's part of a track read: on the pipeline's thread, in the
    // order of the file.
    void storeTrack(ReadTrack &read)
    {
        m_summary.notes.insert(m_summary.notes.end(), std::make_move_iterator(read.notes.begin()),
                               std::make_move_iterator(read.notes.end()));
        if (read.refused) {
            ++m_summary.tracksRefused;
            return;
        }
        TrackRecord &track = read.track;
        const std::int64_t fileTrackId = read.fileTrackId;
        // Without a persistent ID a track is known again by where its file
        // is and its name, among the tracks from before this import. So is a
        // track whose persistent ID an earlier track of this file has: it is
        // another track, and gets an ID of its own.
        const bool idTaken = read.idTaken;
        // (A library that had no tracks before has none to know again.)
        const auto present = m_topDatabaseIdBefore == 0 ? std::nullopt
                             : !track.persistentId.isEmpty() && !idTaken
                                 ? m_store.trackByPersistentId(track.persistentId)
                                 : m_store.trackByLocationAndName(track.location, track.name, m_topDatabaseIdBefore);
        if (present) {
            m_tracks.insert(fileTrackId, {*present, -1});
            ++m_summary.tracksAlreadyPresent;
            return;
        }
        const QString takenId = idTaken ? std::exchange(track.persistentId, QString()) : QString();
        // The file's own TrackID is kept unless this library has ever given
        // it to a track, so a round trip through a file keeps the IDs.
        // An ID out of range gets a new one, as a clashing one does.
        // (An ID above the top one given so far is in use by none: asked
        // only of the others.)
        const bool keepId = fileTrackId > m_topTrackIdBefore && fileTrackId <= kMaxFileId &&
                            (fileTrackId > m_store.topTrackId() || !m_store.isTrackIdInUse(std::int32_t(fileTrackId)));
        track.trackId = keepId ? std::int32_t(fileTrackId) : 0;
        if (m_sequence == 0)
            m_firstOrder = m_store.nextLibraryOrder();
        TrackRecord added = m_store.addFileTrack(std::move(track), read.trackType, read.fields, read.entries,
                                                 placeInLibrary(fileTrackId));
        if (m_sequence == 0)
            m_firstAdded = added.databaseId;
        m_tracks.insert(fileTrackId, {added.databaseId, m_sequence++});
        ++m_summary.tracksAdded;
        if (idTaken) {
            ++m_summary.persistentIdsRenewed;
            m_summary.notes.push_back(
                {read.persistentIdPlace.line, read.persistentIdPlace.column,
                 QStringLiteral("track %1 (\"%2\") has the Persistent ID %3 of an earlier track; given the new "
                                "Persistent ID %4")
                     .arg(read.label, added.name.left(80), takenId, added.persistentId)});
        }
        track = std::move(added); // freed with its batch, by the reading thread
    }

    // The library order to store the next track with, from the order the
    // file's library playlist gave before the tracks (see ImportedOrder);
    // 0: the next one. While the tracks come in that order they are stored
    // in the file's order, as if nothing was known; at the first one that
    // does not, those before it are moved to their places, and every track
    // from then on is stored in its own.
    std::int64_t placeInLibrary(std::int64_t fileTrackId)
    {
        if (!m_order)
            return 0;
        const std::int32_t place = m_order->placeOf(fileTrackId);
        if (m_orderMode == OrderMode::AsRead) {
            if (place == m_sequence)
                return 0;
            if (m_sequence > 0)
                m_store.renumberLibraryOrder(m_firstAdded, m_firstOrder + m_order->count());
            m_orderMode = OrderMode::Placed;
        }
        return place < 0 ? 0 : m_firstOrder + m_order->count() + place;
    }

    // Notes the persistent ID of a track; false when a track read before
    // has it.
    bool firstWithPersistentId(const QString &id)
    {
        bool ok = false;
        const quint64 number = id.size() <= 16 ? id.toULongLong(&ok, 16) : 0;
        QSet<quint64>::size_type before = 0;
        if (ok) {
            before = m_numericPersistentIds.size();
            m_numericPersistentIds.insert(number);
            return m_numericPersistentIds.size() != before;
        }
        before = m_otherPersistentIds.size();
        m_otherPersistentIds.insert(id);
        return m_otherPersistentIds.size() != before;
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
        QString parentPersistentId;
        std::int64_t filePlaylistId = 0;
        bool master = false;
        std::int32_t kind = kUserPlaylist;
        EntryWriter entries;
        std::vector<std::int64_t> items;
        Place persistentIdPlace;
        std::bitset<8> seen;
        // A modelled key given again is kept as the file gives it, in its
        // place; the first is the one the library works with.
        auto first = [&](PlaylistKey k) { return !seen.test(std::size_t(k)) && (seen.set(std::size_t(k)), true); };
        QString key;
        while (nextKey(key)) {
            if (key == u"Name" && first(PlaylistKey::Name)) {
                entries.modelled(int(PlaylistKey::Name));
                name = readText();
            } else if (key == u"Playlist ID" && first(PlaylistKey::PlaylistId)) {
                entries.modelled(int(PlaylistKey::PlaylistId));
                filePlaylistId = readInteger(key);
            } else if (key == u"Playlist Persistent ID" && first(PlaylistKey::PersistentId)) {
                entries.modelled(int(PlaylistKey::PersistentId));
                persistentIdPlace = here();
                persistentId = readText().trimmed().toUpper();
            } else if (key == u"Parent Persistent ID" && first(PlaylistKey::ParentPersistentId)) {
                entries.modelled(int(PlaylistKey::ParentPersistentId));
                parentPersistentId = readText().trimmed().toUpper();
            } else if (key == u"Master" && first(PlaylistKey::Master)) {
                entries.modelled(int(PlaylistKey::Master));
                master = readBool(key);
            } else if (key == u"Playlist Items" && first(PlaylistKey::Items)) {
                entries.modelled(int(PlaylistKey::Items));
                expectElement(u"array", key);
                // The library playlist of a million tracks, read again after
                // them: sized once, as doubling would hold it twice at the
                // import's peak.
                if (master && m_order)
                    items.reserve(std::size_t(m_order->count()));
                readItems(items);
            } else {
                const bool flag = m_xml.name() == u"true";
                keepValue(entries, key);
                // A player's own lists are marked by "Distinguished Kind",
                // by older players with a key of their own, or are hidden.
                if (key == u"Distinguished Kind" || (flag && isBuiltInMarker(key)) || (key == u"Visible" && !flag))
                    kind = kBuiltInPlaylist;
                else if (key == u"Folder" && flag && kind != kBuiltInPlaylist)
                    kind = kFolderPlaylist;
                else if ((key == u"Smart Info" || key == u"Smart Criteria") && kind == kUserPlaylist)
                    kind = kSmartPlaylist;
            }
        }

        if (master) {
            if (m_firstFile)
                m_store.adoptMasterPlaylist(name, persistentId, entries.take());
            orderLibrary(items);
            return;
        }
        // A playlist whose persistent ID an earlier one of this file has is
        // another playlist, and gets an ID of its own; it is known again by
        // its name, as one without an ID is.
        const bool idTaken = !persistentId.isEmpty() && m_playlistPersistentIds.contains(persistentId);
        if (!persistentId.isEmpty())
            m_playlistPersistentIds.insert(persistentId);
        const bool present = !persistentId.isEmpty() && !idTaken
                                 ? bool(m_store.playlistByPersistentId(persistentId))
                                 : bool(m_store.playlistByName(name, m_topPlaylistRowIdBefore));
        if (present) {
            ++m_summary.playlistsAlreadyPresent;
            return;
        }
        const QString takenId = idTaken ? std::exchange(persistentId, QString()) : QString();
        const bool keepId = filePlaylistId > m_topPlaylistIdBefore && filePlaylistId <= kMaxFileId &&
                            !m_store.isPlaylistIdInUse(std::int32_t(filePlaylistId));
        const std::int32_t id = keepId ? std::int32_t(filePlaylistId) : 0;
        const PlaylistRecord playlist =
            m_store.addPlaylist(name, id, persistentId, kind, parentPersistentId, entries.take());
        std::vector<std::int32_t> databaseIds;
        databaseIds.reserve(items.size());
        for (const std::int64_t item : items) {
            if (const ImportedTrack *found = m_tracks.find(item))
                databaseIds.push_back(found->databaseId);
        }
        m_store.appendImportedToPlaylist(playlist.playlistId, databaseIds);
        if (idTaken) {
            ++m_summary.playlistIdsRenewed;
            note(persistentIdPlace, QStringLiteral("playlist \"%1\" has the Playlist Persistent ID %2 of an earlier "
                                                   "playlist; given the new Playlist Persistent ID %3")
                                        .arg(name.left(80), takenId, playlist.persistentId));
        }
        if (kind == kUserPlaylist || kind == kSmartPlaylist)
            ++m_summary.playlistsAdded;
        else
            ++m_summary.playlistsLeftOut;
    }

    // The library playlist of the file gives the order of its tracks; the
    // tracks it does not list follow, in the order of the file. Tracks that
    // were in this library before keep their places.
    void orderLibrary(const std::vector<std::int64_t> &items)
    {
        const bool placed = m_orderMode == OrderMode::Placed && !m_libraryOrdered;
        m_libraryOrdered = true;
        std::vector<bool> listed(std::size_t(m_sequence), false);
        std::vector<std::int32_t> order;
        order.reserve(std::size_t(m_sequence));
        bool inOrder = true;
        // Whether each track is where placeInLibrary stored it.
        bool inPlace = placed && m_order && m_order->count() == m_sequence;
        std::int32_t last = -1;
        for (const std::int64_t item : items) {
            const ImportedTrack *found = m_tracks.find(item);
            if (!found || found->sequence < 0 || listed[std::size_t(found->sequence)])
                continue;
            listed[std::size_t(found->sequence)] = true;
            inOrder = inOrder && found->sequence > last;
            last = found->sequence;
            inPlace = inPlace && m_order->placeOf(item) == std::int32_t(order.size());
            order.push_back(found->databaseId);
        }
        if (placed) {
            if (inPlace && order.size() == std::size_t(m_sequence)) {
                m_store.takeLibraryOrders(m_sequence);
                return;
            }
            // As they were when stored in the file's order; written again
            // below, as then.
            m_store.renumberLibraryOrder(m_firstAdded, m_firstOrder);
        }
        if (order.size() == std::size_t(m_sequence)) {
            if (!inOrder)
                m_store.moveToLibraryEnd(order);
            return;
        }
        std::vector<std::int32_t> unlisted(std::size_t(m_sequence), 0);
        m_tracks.forEach([&](const ImportedTrack &track) {
            if (track.sequence >= 0 && !listed[std::size_t(track.sequence)])
                unlisted[std::size_t(track.sequence)] = track.databaseId;
        });
        for (const std::int32_t databaseId : unlisted) {
            if (databaseId != 0)
                order.push_back(databaseId);
        }
        m_store.moveToLibraryEnd(order);
    }

    LibraryStore &m_store;
    QString m_fileName;
    LocationMapper m_locations;
    QString m_musicFolder;
    XmlScanner m_xml;
    QString m_value;
    QString m_key;
    std::vector<std::pair<QString, int>> m_keyCodes;
    QString m_lastKept;
    QByteArray m_converted; // a binary property list, as XML
    QByteArray m_header;
    QString m_libraryPersistentId;
    std::int64_t m_topDatabaseIdBefore = 0;
    std::int64_t m_topPlaylistRowIdBefore = 0;
    bool m_firstFile = false;
    // The file's TrackIDs and what became of them.
    ImportedTracks m_tracks;
    std::int32_t m_sequence = 0;
    // The persistent IDs of the tracks read so far, as numbers when they are
    // (they nearly always are: 16 hexadecimal digits).
    QSet<quint64> m_numericPersistentIds;
    QSet<QString> m_otherPersistentIds;
    QSet<QString> m_playlistPersistentIds;

    std::int64_t m_topTrackIdBefore = 0;
    std::int64_t m_topPlaylistIdBefore = 0;
    bool m_playlistsDeferred = false;
    // Where each "Tracks" ends in the file: the reading for the playlists
    // goes on from there instead of scanning the tracks again.
    std::vector<XmlScanner::Mark> m_afterTracks;
    XmlImportSummary m_summary;
    std::vector<XmlImportNote> *m_notes = &m_summary.notes;
    // The library order given before the tracks, and how the tracks are
    // stored by it (see placeInLibrary).
    enum class OrderMode { AsRead, Placed };
    std::optional<ImportedOrder> m_order;
    OrderMode m_orderMode = OrderMode::AsRead;
    bool m_orderNoted = false;
    bool m_libraryOrdered = false;
    std::int64_t m_firstOrder = 0; // of the first track added
    std::int32_t m_firstAdded = 0; // its database ID
};

} // namespace

XmlImportSummary importLibraryXml(LibraryStore &store, const QString &fileName, const XmlImportOptions &options)
{
    return XmlImporter(store, fileName, options).run();
}

} // namespace tidyfox::library
