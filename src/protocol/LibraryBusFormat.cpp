// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/LibraryBusFormat.h"

#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sys/mman.h>
#include <unistd.h>

namespace tidyfox::protocol {

namespace {

constexpr std::uint32_t kTrackMagic = 0x33544654;    // "TFT3": with the play history
constexpr std::uint32_t kTrackMagicV2 = 0x32544654;  // "TFT2": sizes are 64-bit, no history
constexpr std::uint32_t kPlaylistMagic = 0x31504654; // "TFP1"
constexpr std::int64_t kNoDate = kNoTrackDate;
constexpr int kTextCount = static_cast<int>(TrackText::Count);
constexpr qsizetype kFixedTrackBytesV2 = 6 * 4 + 8 + 8;
constexpr qsizetype kFixedTrackBytes = kFixedTrackBytesV2 + 3 * 4 + 8;
// Rows between two looks at whether pages can be dropped (forgetRowsBefore).
constexpr std::uint32_t kForgetEvery = 4096;

std::int64_t msOf(const QDateTime &date)
{
    return date.isValid() ? date.toMSecsSinceEpoch() : kNoDate;
}

QDateTime dateOf(std::int64_t ms)
{
    return ms == kNoDate ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

class Writer
{
public:
    explicit Writer(QByteArray &out) : m_out(out) {}
    template<typename T> void put(T value)
    {
        const T le = qToLittleEndian(value);
        m_out.append(reinterpret_cast<const char *>(&le), sizeof le);
    }
    // Encoded straight into the payload: a large playlist has a million texts,
    // and a temporary array for each was a good part of the cost.
    void putText(const QString &text)
    {
        const qsizetype at = m_out.size();
        m_out.resize(at + qsizetype(sizeof(std::uint32_t)) + m_utf8.requiredSpace(text.size()));
        char *start = m_out.data() + at + sizeof(std::uint32_t);
        char *end = m_utf8.appendToBuffer(start, text);
        const auto length = static_cast<std::uint32_t>(end - start);
        m_out.resize(at + qsizetype(sizeof(std::uint32_t)) + length);
        const std::uint32_t le = qToLittleEndian(length);
        std::memcpy(m_out.data() + at, &le, sizeof le);
    }
    void putBytes(QByteArrayView bytes)
    {
        put<std::uint32_t>(static_cast<std::uint32_t>(bytes.size()));
        m_out.append(bytes);
    }

private:
    QByteArray &m_out;
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

class Reader
{
public:
    explicit Reader(const QByteArray &in) : m_data(in.constData()), m_size(static_cast<std::size_t>(in.size())) {}
    template<typename T> T get()
    {
        need(sizeof(T));
        T value;
        std::memcpy(&value, m_data + m_pos, sizeof value);
        m_pos += sizeof value;
        return qFromLittleEndian(value);
    }
    void skip(std::size_t bytes)
    {
        need(bytes);
        m_pos += bytes;
    }
    std::uint32_t skipText()
    {
        const auto length = get<std::uint32_t>();
        need(length);
        m_pos += length;
        return length;
    }
    QString getText()
    {
        const std::size_t start = m_pos + sizeof(std::uint32_t);
        const auto length = skipText();
        return QString::fromUtf8(m_data + start, static_cast<qsizetype>(length));
    }
    std::size_t pos() const { return m_pos; }
    void seek(std::size_t pos) { m_pos = pos; }
    bool atEnd() const { return m_pos == m_size; }

private:
    void need(std::size_t bytes) const
    {
        if (bytes > m_size - m_pos)
            throw FormatError("The library sent a reply that is cut short");
    }
    const char *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace

TrackPayloadWriter::TrackPayloadWriter(qsizetype expectedTracks)
{
    // Most texts are short; the guess only saves reallocations.
    m_out.reserve(8 + expectedTracks * (kFixedTrackBytes + kTextCount * 4 + 160));
    Writer out(m_out);
    out.put<std::uint32_t>(kTrackMagic);
    out.put<std::uint32_t>(0); // the count, set by finish()
}

namespace {

// Writes into room made beforehand: a million tracks make twenty million
// values, and appending each to the array on its own was a third of the cost.
class PlacedWriter
{
public:
    explicit PlacedWriter(char *at) : m_at(at) {}
    template<typename T> void put(T value)
    {
        const T le = qToLittleEndian(value);
        std::memcpy(m_at, &le, sizeof le);
        m_at += sizeof le;
    }
    void putBytes(QByteArrayView bytes)
    {
        put<std::uint32_t>(static_cast<std::uint32_t>(bytes.size()));
        if (bytes.isEmpty())
            return; // an empty text's view may have no data at all, which memcpy must not be given
        std::memcpy(m_at, bytes.data(), std::size_t(bytes.size()));
        m_at += bytes.size();
    }

private:
    char *m_at;
};

// What both ways of adding a track write before its texts.
template<typename Out> void putFixedFields(Out &out, const TrackBytes &t)
{
    out.template put<std::int32_t>(t.databaseId);
    out.template put<std::int32_t>(t.trackId);
    out.template put<std::int32_t>(static_cast<std::int32_t>(t.kind));
    out.template put<std::int32_t>(t.totalTimeMs);
    out.template put<std::int32_t>(t.bitRate);
    out.template put<std::int32_t>(t.sampleRate);
    out.template put<std::int64_t>(t.size);
    out.template put<std::int64_t>(t.dateAddedMs);
    out.template put<std::int32_t>(t.playCount);
    out.template put<std::int32_t>(t.skipCount);
    out.template put<std::int32_t>(t.rating);
    out.template put<std::int64_t>(t.playDateMs);
}

} // namespace

void TrackPayloadWriter::add(const TrackRecord &t)
{
    Writer out(m_out);
    putFixedFields(out, TrackBytes{.databaseId = t.databaseId,
                                   .trackId = t.trackId,
                                   .kind = t.kind,
                                   .totalTimeMs = t.totalTimeMs,
                                   .bitRate = t.bitRate,
                                   .sampleRate = t.sampleRate,
                                   .size = t.size,
                                   .dateAddedMs = msOf(t.dateAdded),
                                   .playCount = t.playCount,
                                   .skipCount = t.skipCount,
                                   .rating = t.rating,
                                   .playDateMs = msOf(t.playDate),
                                   .texts = {}});
    for (const QString *text : {&t.name, &t.artist, &t.album, &t.composer, &t.genre, &t.kindAsString, &t.time,
                                &t.location, &t.longDescription})
        out.putText(*text);
    ++m_count;
}

void TrackPayloadWriter::add(const TrackBytes &t)
{
    qsizetype size = kFixedTrackBytes;
    for (QByteArrayView text : t.texts)
        size += qsizetype(sizeof(std::uint32_t)) + text.size();
    const qsizetype at = m_out.size();
    m_out.resize(at + size);
    PlacedWriter out(m_out.data() + at);
    putFixedFields(out, t);
    for (QByteArrayView text : t.texts)
        out.putBytes(text);
    ++m_count;
}

void TrackPayloadWriter::addRecord(QByteArrayView record)
{
    m_out.append(record.data(), record.size());
    ++m_count;
}

bool isPlainUtf8(QByteArrayView bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Most library texts are ASCII: eight bytes at a time.
        std::uint64_t word;
        if (n - i >= 8 && (std::memcpy(&word, s + i, 8), (word & 0x8080808080808080u) == 0)) {
            i += 8;
            continue;
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        const bool nonCharacter = (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
        if (overlong || surrogate || nonCharacter || cp > 0x10FFFF || cp == 0xFEFF)
            return false;
        i += extra + 1;
    }
    return true;
}

QByteArray TrackPayloadWriter::finish()
{
    const std::uint32_t count = qToLittleEndian(m_count);
    std::memcpy(m_out.data() + sizeof(std::uint32_t), &count, sizeof count);
    // A wrong guess would otherwise stay with a cached payload for good.
    if (m_out.capacity() - m_out.size() > m_out.size() / 4)
        m_out.squeeze();
    return std::move(m_out);
}

QByteArray TrackPayloadWriter::head() const
{
    QByteArray bytes;
    Writer out(bytes);
    out.put<std::uint32_t>(kTrackMagic);
    out.put<std::uint32_t>(m_count);
    return bytes;
}

QByteArray encodeTracks(const std::vector<TrackRecord> &tracks)
{
    TrackPayloadWriter writer(static_cast<qsizetype>(tracks.size()));
    for (const TrackRecord &t : tracks)
        writer.add(t);
    return writer.finish();
}

QByteArray encodePlaylists(const std::vector<PlaylistRecord> &playlists)
{
    QByteArray payload;
    payload.reserve(8 + static_cast<qsizetype>(playlists.size()) * 48);
    Writer out(payload);
    out.put<std::uint32_t>(kPlaylistMagic);
    out.put<std::uint32_t>(static_cast<std::uint32_t>(playlists.size()));
    for (const PlaylistRecord &p : playlists) {
        out.put<std::int32_t>(p.playlistId);
        out.put<std::int32_t>(p.kind);
        out.putText(p.name);
    }
    return payload;
}

std::vector<PlaylistRecord> decodePlaylists(const QByteArray &payload)
{
    Reader in(payload);
    if (in.get<std::uint32_t>() != kPlaylistMagic)
        throw FormatError("The library sent a playlist reply in an unknown format");
    const auto count = in.get<std::uint32_t>();
    std::vector<PlaylistRecord> playlists;
    for (std::uint32_t i = 0; i < count; ++i) {
        PlaylistRecord p;
        p.playlistId = in.get<std::int32_t>();
        p.kind = in.get<std::int32_t>();
        p.name = in.getText();
        playlists.push_back(std::move(p));
    }
    if (!in.atEnd())
        throw FormatError("The library sent a playlist reply with trailing bytes");
    return playlists;
}

TrackTable::TrackTable(QByteArray payload, std::shared_ptr<const void> keeper)
    : m_keeper(std::move(keeper)), m_payload(std::move(payload))
{
    Reader in(m_payload);
    const auto magic = in.get<std::uint32_t>();
    if (magic != kTrackMagic && magic != kTrackMagicV2)
        throw FormatError("The library sent a track reply in an unknown format");
    m_withHistory = magic == kTrackMagic;
    m_fixedBytes = static_cast<std::uint32_t>(m_withHistory ? kFixedTrackBytes : kFixedTrackBytesV2);
    const auto count = in.get<std::uint32_t>();
    // Each row takes at least its fixed part, so a bogus count cannot make us
    // reserve more than the payload could hold.
    m_textOffsets.reserve(std::min<std::size_t>(count, static_cast<std::size_t>(m_payload.size()) / m_fixedBytes));
    for (std::uint32_t i = 0; i < count; ++i) {
        in.skip(m_fixedBytes);
        m_textOffsets.push_back(static_cast<std::uint32_t>(in.pos()));
        for (int t = 0; t < kTextCount; ++t)
            in.skipText();
        if (i % kForgetEvery == 0)
            forgetRowsBefore(int(i));
    }
    if (!in.atEnd())
        throw FormatError("The library sent a track reply with trailing bytes");
    // Read once to find the rows; the walks that follow read it again.
    forgetRowsBefore(static_cast<int>(m_textOffsets.size()));
}

void TrackTable::forgetRowsBefore(int row) const
{
    if (!m_keeper)
        return;
    static const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t end = row <= 0        ? 0
                            : row < count() ? m_textOffsets[std::size_t(row)]
                                            : std::size_t(m_payload.size());
    const std::size_t upTo = end / page * page;
    // The mapping starts on a page, the payload with it. Dropping pages of a
    // shared mapping loses nothing: the file still holds them. A walk that
    // starts again reads its pages back, to be dropped again as it goes.
    if (upTo > m_forgotten)
        madvise(const_cast<char *>(m_payload.constData()) + m_forgotten, upTo - m_forgotten, MADV_DONTNEED);
    m_forgotten = upTo;
}

void TrackTable::forgetRows(int from, int to) const
{
    if (!m_keeper || from >= to)
        return;
    static const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    const auto offset = [&](int row) {
        return row < count() ? m_textOffsets[std::size_t(row)] : std::size_t(m_payload.size());
    };
    // Only the pages the rows hold whole (a row's fixed part lies before its
    // texts' offset): the rows around them may still be read.
    const std::size_t begin = (offset(std::max(from, 0)) - m_fixedBytes + page - 1) / page * page;
    const std::size_t end = (to < count() ? offset(to) - m_fixedBytes : offset(to)) / page * page;
    if (end > begin)
        madvise(const_cast<char *>(m_payload.constData()) + begin, end - begin, MADV_DONTNEED);
}

QDateTime TrackTable::dateAdded(int row) const
{
    return dateOf(dateAddedMs(row));
}

QDateTime TrackTable::playDate(int row) const
{
    return m_withHistory ? dateOf(fixed<std::int64_t>(row, 52)) : QDateTime();
}

QString TrackTable::text(int row, TrackText which) const
{
    Reader in(m_payload);
    in.seek(m_textOffsets[std::size_t(row)]);
    for (int t = 0; t < static_cast<int>(which); ++t)
        in.skipText();
    return in.getText();
}

QByteArrayView TrackTable::textBytes(int row, TrackText which) const
{
    Reader in(m_payload);
    in.seek(m_textOffsets[std::size_t(row)]);
    for (int t = 0; t < static_cast<int>(which); ++t)
        in.skipText();
    const std::size_t start = in.pos() + sizeof(std::uint32_t);
    const auto length = in.skipText();
    return QByteArrayView(m_payload.constData() + start, qsizetype(length));
}

TrackRecord TrackTable::record(int row) const
{
    TrackRecord t;
    t.databaseId = databaseId(row);
    t.trackId = trackId(row);
    t.kind = kind(row);
    t.totalTimeMs = totalTimeMs(row);
    t.bitRate = bitRate(row);
    t.sampleRate = sampleRate(row);
    t.size = size(row);
    t.dateAdded = dateAdded(row);
    t.playCount = playCount(row);
    t.skipCount = skipCount(row);
    t.rating = rating(row);
    t.playDate = playDate(row);
    Reader in(m_payload);
    in.seek(m_textOffsets[std::size_t(row)]);
    t.name = in.getText();
    t.artist = in.getText();
    t.album = in.getText();
    t.composer = in.getText();
    t.genre = in.getText();
    t.kindAsString = in.getText();
    t.time = in.getText();
    t.location = in.getText();
    t.longDescription = in.getText();
    return t;
}

int TrackTable::findTrackId(std::int32_t trackId) const
{
    for (int row = 0; row < count(); ++row) {
        if (this->trackId(row) == trackId)
            return row;
    }
    return -1;
}

QByteArray encodeSoundMatches(const std::vector<SoundMatch> &matches)
{
    QByteArray out;
    out.reserve(qsizetype(matches.size() * 12));
    const auto put = [&out](std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            out.append(char((v >> shift) & 0xFF));
    };
    for (const SoundMatch &m : matches) {
        put(std::uint32_t(m.a));
        put(std::uint32_t(m.b));
        put(std::uint32_t(std::lround(double(m.strength) * 1e6)));
    }
    return out;
}

std::vector<SoundMatch> decodeSoundMatches(const QByteArray &payload)
{
    if (payload.size() % 12 != 0)
        throw LibraryError("a list of sound matches of a broken length");
    const auto *bytes = reinterpret_cast<const unsigned char *>(payload.constData());
    const auto get = [bytes](qsizetype at) {
        return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
               std::uint32_t(bytes[at + 3]) << 24;
    };
    std::vector<SoundMatch> matches;
    matches.reserve(size_t(payload.size() / 12));
    for (qsizetype at = 0; at < payload.size(); at += 12)
        matches.push_back({std::int32_t(get(at)), std::int32_t(get(at + 4)), float(get(at + 8)) / 1e6f});
    return matches;
}

} // namespace tidyfox::protocol
