// SPDX-License-Identifier: GPL-3.0-or-later
// What a library file says beyond the fields the library works with. Keys the
// library models are columns; every other key of a track, a playlist or the
// file's header is kept as it came, in its place, as a list of entries, so that
// an export writes the file back without losing anything.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tidyfox::library {

enum class ValueType : char {
    String = 's',
    Integer = 'i',
    Real = 'r',
    Date = 'd',
    True = 't',
    False = 'f',
    Data = 'D',
    Xml = 'x', // a <dict> or <array>, kept as its XML text
};

// Track keys the library keeps as columns besides those of TrackRecord.
enum class TrackField : int {
    AlbumArtist,
    Grouping,
    Comments,
    DiscNumber,
    DiscCount,
    TrackNumber,
    TrackCount,
    Year,
    Bpm,
    DateModified,
    PlayCount,
    PlayDateUtc,
    SkipCount,
    Rating,
    AlbumRating,
    Count
};
inline constexpr int kTrackFieldCount = int(TrackField::Count);

struct TrackFieldInfo
{
    const char *key;    // as a library file names it
    const char *column; // in the tracks table
    ValueType type;     // String, Integer or Date (seconds since the epoch)
};
const TrackFieldInfo &trackFieldInfo(int field);

// The values of the TrackField keys; a key the file did not give is absent.
struct TrackFields
{
    std::array<bool, kTrackFieldCount> present{};
    std::array<std::int64_t, kTrackFieldCount> numbers{};
    std::array<QString, kTrackFieldCount> texts{};

    void setNumber(TrackField f, std::int64_t value)
    {
        present[int(f)] = true;
        numbers[int(f)] = value;
    }
    void setText(TrackField f, const QString &value)
    {
        present[int(f)] = true;
        texts[int(f)] = value;
    }
};

// Track keys that TrackRecord (or the track type) holds. Entry codes: a
// TrackField f is f + 1, a RecordKey k is kRecordKeyBase + k.
enum class RecordKey : int {
    TrackId,
    Name,
    Artist,
    Composer,
    Album,
    Genre,
    Kind,
    Size,
    TotalTime,
    DateAdded,
    BitRate,
    SampleRate,
    PersistentId,
    TrackType,
    Location,
    Count
};
inline constexpr int kRecordKeyBase = 64;
const char *recordKeyName(RecordKey key);
inline constexpr int codeOf(TrackField f)
{
    return int(f) + 1;
}
inline constexpr int codeOf(RecordKey k)
{
    return kRecordKeyBase + int(k);
}
// The codes in the order a music player writes a track's keys, for tracks
// that did not come from a file.
const std::array<int, kTrackFieldCount + int(RecordKey::Count)> &canonicalTrackOrder();

// Codes of the modelled keys of a playlist and of the file's header.
enum class PlaylistKey : int { Name = 1, Master, PlaylistId, PersistentId, ParentPersistentId, Items };
enum class HeaderKey : int { Date = 1, LibraryPersistentId, Tracks, Playlists };

// Entries: for each key in the order of the file, either the code of a key
// the library models (its value is in a column) or the key, its type and its
// value text as the file had them.
class EntryWriter
{
public:
    void modelled(int code);
    void kept(const QString &key, ValueType type, const QString &value);
    bool isEmpty() const { return m_out.isEmpty(); }
    QByteArray take() { return std::exchange(m_out, {}); }

private:
    QByteArray m_out;
};

// A track's entries after its values changed: the modelled keys of codes
// added where the usual order puts them (before the first modelled key that
// follows them there; codes already present are left alone), and each kept
// value replaced by what rewrite returns for it, if anything.
using KeptRewrite = std::function<std::optional<QString>(const QString &key, ValueType type, const QString &value)>;
QByteArray rewriteTrackEntries(const QByteArray &entries, const std::vector<int> &codes,
                               const KeptRewrite &rewrite = {});

// A track's entries in less room when its modelled keys come in the usual
// order (as they mostly do): which of them the track has, as bits, and the
// kept keys with their places. Anything else is returned as it is.
QByteArray compactTrackEntries(const QByteArray &entries);

// Calls modelled(code) or kept(key, type, value) for each entry in order.
void forEachEntry(const QByteArray &entries, const std::function<void(int code)> &modelled,
                  const std::function<void(const QString &, ValueType, const QString &)> &kept);

} // namespace tidyfox::library
