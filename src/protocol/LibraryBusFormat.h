// SPDX-License-Identifier: GPL-3.0-or-later
// What crosses the session bus between the library service and the program.
//
// A round trip costs about 0.2 ms, so a collection travels in one call as one
// byte array carrying every property the program reads; decoding it is cheap
// (fixed fields are read once, text is turned into QString only when a
// property is read).
#pragma once

#include "protocol/LibraryRecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtEndian>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace tidyfox::protocol {

// Thrown by the decoders for a payload that is cut short or not ours.
class FormatError : public LibraryError
{
public:
    using LibraryError::LibraryError;
};

// Layout (little-endian): magic, count, then per track six int32 (database
// id, track id, kind, total time, bit rate, sample rate), an int64 size, an int64 date
// added in ms since the epoch (kNoDate when unknown), three int32 (play count,
// skip count, rating), an int64 play date like the date added, and the nine
// texts of TrackText, each a uint32 byte length and UTF-8 bytes.
//
// A payload of the layout before the history ("TFT2", whose fixed fields end
// with the date added) is still read, its tracks never played: a service
// left running across an update of the program keeps answering in it.
QByteArray encodeTracks(const std::vector<TrackRecord> &tracks);

enum class TrackText : int {
    Name,
    Artist,
    Album,
    Composer,
    Genre,
    KindAsString,
    Time,
    Location,
    LongDescription,
    Count
};

// "No date" among the fixed fields of TrackBytes.
inline constexpr std::int64_t kNoTrackDate = std::numeric_limits<std::int64_t>::min();

// One track as it goes into the payload: dates in ms since the epoch, texts as
// UTF-8 bytes in TrackText order. The library's tables keep their texts as
// UTF-8 already, and turning a million tracks' texts into QString and back
// was most of the cost of a large payload.
struct TrackBytes
{
    std::int32_t databaseId = 0;
    std::int32_t trackId = 0;
    TrackKind kind = TrackKind::File;
    std::int32_t totalTimeMs = 0;
    std::int32_t bitRate = 0;
    std::int32_t sampleRate = 0;
    std::int64_t size = 0;
    std::int64_t dateAddedMs = kNoTrackDate;
    std::int32_t playCount = 0;
    std::int32_t skipCount = 0;
    std::int32_t rating = 0;
    std::int64_t playDateMs = kNoTrackDate;
    std::array<QByteArrayView, static_cast<std::size_t>(TrackText::Count)> texts;
};

// Whether bytes are UTF-8 that QString keeps as they are: a text that is not
// (broken sequences, a byte order mark, noncharacters) has to take the way
// through QString for the payload to carry what it always carried.
bool isPlainUtf8(QByteArrayView bytes);

// The same payload, built one track at a time, so that a large playlist never
// has to be held as records.
class TrackPayloadWriter
{
public:
    explicit TrackPayloadWriter(qsizetype expectedTracks = 0);
    void add(const TrackRecord &track);
    // The texts must be plain UTF-8 (isPlainUtf8).
    void add(const TrackBytes &track);
    // A track's record as another payload of this layout holds it (from its
    // fixed fields to its last text): the caller vouches for its bytes.
    void addRecord(QByteArrayView record);
    // Tracks whose records were appended after this writer's pieces from
    // elsewhere (another writer's pieces without their head).
    void countAppended(std::uint32_t tracks) { m_count += tracks; }
    std::uint32_t count() const { return m_count; }
    QByteArray finish();

    // Taken in pieces instead, so that not even the bytes are held whole:
    // the bytes made since the last piece (the head first, its count still
    // 0), and at the end the head with the true count to write over it.
    QByteArrayView pending() const { return m_out; }
    void clearPending() { m_out.resize(0); } // keeps the room for the next piece
    QByteArray head() const;

private:
    QByteArray m_out;
    std::uint32_t m_count = 0;
};
QByteArray encodePlaylists(const std::vector<PlaylistRecord> &playlists);
std::vector<PlaylistRecord> decodePlaylists(const QByteArray &payload);

// Sound matches: per match a, b and the strength in millionths, three 32-bit
// little-endian numbers. Throws LibraryError for a payload of another length.
QByteArray encodeSoundMatches(const std::vector<SoundMatch> &matches);
std::vector<SoundMatch> decodeSoundMatches(const QByteArray &payload);

// A decoded track payload. Rows keep their fixed fields; texts stay UTF-8 in
// the payload until asked for.
class TrackTable
{
public:
    // Throws FormatError. keeper, when given, owns the shared mapping of a
    // memory file that payload points into, and lives as long as the table.
    explicit TrackTable(QByteArray payload, std::shared_ptr<const void> keeper = nullptr);
    TrackTable() = default;

    int count() const { return static_cast<int>(m_textOffsets.size()); }
    std::int32_t databaseId(int row) const { return fixed<std::int32_t>(row, 0); }
    std::int32_t trackId(int row) const { return fixed<std::int32_t>(row, 4); }
    TrackKind kind(int row) const { return static_cast<TrackKind>(fixed<std::int32_t>(row, 8)); }
    std::int32_t totalTimeMs(int row) const { return fixed<std::int32_t>(row, 12); }
    std::int32_t bitRate(int row) const { return fixed<std::int32_t>(row, 16); }
    std::int32_t sampleRate(int row) const { return fixed<std::int32_t>(row, 20); }
    std::int64_t size(int row) const { return fixed<std::int64_t>(row, 24); }
    QDateTime dateAdded(int row) const;
    std::int32_t playCount(int row) const { return m_withHistory ? fixed<std::int32_t>(row, 40) : 0; }
    std::int32_t skipCount(int row) const { return m_withHistory ? fixed<std::int32_t>(row, 44) : 0; }
    std::int32_t rating(int row) const { return m_withHistory ? fixed<std::int32_t>(row, 48) : 0; }
    QDateTime playDate(int row) const;
    QString text(int row, TrackText which) const;
    // The same text as the payload holds it (UTF-8, as sent): a walk over
    // many rows compares and hashes these without a QString each.
    QByteArrayView textBytes(int row, TrackText which) const;
    TrackRecord record(int row) const;
    // The first row whose track id is trackId, or -1.
    int findTrackId(std::int32_t trackId) const;
    // A walk in row order is past the rows before row: the pages of a mapped
    // payload that hold them leave this process's memory (reading them again
    // reads them back from the memory file). A large library's payload would
    // otherwise stay resident beside the list made from it.
    void forgetRowsBefore(int row) const;
    // The same for the rows from from up to to, for a second walk over a
    // part of the rows; safe beside the first, it keeps no account of what
    // has gone.
    void forgetRows(int from, int to) const;

private:
    // A row is where its texts start: its fixed fields lie right before
    // them in the payload, read from there rather than held a second time
    // (a million rows of them were 72 MB beside the payload).
    template<typename T> T fixed(int row, int at) const
    {
        T value;
        std::memcpy(&value, m_payload.constData() + m_textOffsets[std::size_t(row)] - m_fixedBytes + at, sizeof value);
        return qFromLittleEndian(value);
    }
    std::int64_t dateAddedMs(int row) const { return fixed<std::int64_t>(row, 32); }

    std::shared_ptr<const void> m_keeper; // before m_payload: outlives it
    QByteArray m_payload;
    std::vector<std::uint32_t> m_textOffsets;
    bool m_withHistory = true;
    std::uint32_t m_fixedBytes = 0;
    // Pages before it are out of memory; the table is used on one thread.
    mutable std::size_t m_forgotten = 0;
};

} // namespace tidyfox::protocol
