// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryFileEntries.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace tidyfox::library {

namespace {

constexpr TrackFieldInfo kTrackFields[kTrackFieldCount] = {
    {"Album Artist", "album_artist", ValueType::String},
    {"Grouping", "grouping", ValueType::String},
    {"Comments", "comments", ValueType::String},
    {"Disc Number", "disc_number", ValueType::Integer},
    {"Disc Count", "disc_count", ValueType::Integer},
    {"Track Number", "track_number", ValueType::Integer},
    {"Track Count", "track_count", ValueType::Integer},
    {"Year", "year", ValueType::Integer},
    {"BPM", "bpm", ValueType::Integer},
    {"Date Modified", "date_modified", ValueType::Date},
    {"Play Count", "play_count", ValueType::Integer},
    {"Play Date UTC", "play_date_utc", ValueType::Date},
    {"Skip Count", "skip_count", ValueType::Integer},
    {"Rating", "rating", ValueType::Integer},
    {"Album Rating", "album_rating", ValueType::Integer},
};

constexpr const char *kRecordKeys[int(RecordKey::Count)] = {
    "Track ID",   "Name",       "Artist",   "Composer",    "Album",         "Genre",      "Kind",     "Size",
    "Total Time", "Date Added", "Bit Rate", "Sample Rate", "Persistent ID", "Track Type", "Location",
};

template<typename T> void put(QByteArray &out, T value)
{
    const T le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), sizeof le);
}

void putText(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    put<std::uint32_t>(out, std::uint32_t(utf8.size()));
    out.append(utf8);
}

} // namespace

const TrackFieldInfo &trackFieldInfo(int field)
{
    return kTrackFields[field];
}

const char *recordKeyName(RecordKey key)
{
    return kRecordKeys[int(key)];
}

const std::array<int, kTrackFieldCount + int(RecordKey::Count)> &canonicalTrackOrder()
{
    using F = TrackField;
    using R = RecordKey;
    static const std::array<int, kTrackFieldCount + int(RecordKey::Count)> order = {
        codeOf(R::TrackId),    codeOf(R::Name),         codeOf(R::Artist),      codeOf(F::AlbumArtist),
        codeOf(R::Composer),   codeOf(R::Album),        codeOf(F::Grouping),    codeOf(R::Genre),
        codeOf(R::Kind),       codeOf(R::Size),         codeOf(R::TotalTime),   codeOf(F::DiscNumber),
        codeOf(F::DiscCount),  codeOf(F::TrackNumber),  codeOf(F::TrackCount),  codeOf(F::Year),
        codeOf(F::Bpm),        codeOf(F::DateModified), codeOf(R::DateAdded),   codeOf(R::BitRate),
        codeOf(R::SampleRate), codeOf(F::Comments),     codeOf(F::PlayCount),   codeOf(F::PlayDateUtc),
        codeOf(F::SkipCount),  codeOf(F::Rating),       codeOf(F::AlbumRating), codeOf(R::PersistentId),
        codeOf(R::TrackType),  codeOf(R::Location),
    };
    return order;
}

void EntryWriter::modelled(int code)
{
    m_out.append(char(code));
}

void EntryWriter::kept(const QString &key, ValueType type, const QString &value)
{
    m_out.append('\0');
    putText(m_out, key);
    m_out.append(char(type));
    putText(m_out, value);
}

namespace {

constexpr char kCompactMark = char(0xFF); // never an entry code

int canonicalRank(int code)
{
    static const auto ranks = [] {
        std::array<int, 256> result;
        result.fill(-1);
        const auto &order = canonicalTrackOrder();
        for (std::size_t i = 0; i < order.size(); ++i)
            result[std::size_t(order[i])] = int(i);
        return result;
    }();
    return ranks[std::size_t(code) & 0xFF];
}

// The length of the kept entry at p (after its 0 byte): key, type, value;
// 0 when the blob is cut short.
qsizetype keptLength(const char *p, const char *end)
{
    const char *start = p;
    for (int part = 0; part < 2; ++part) {
        std::uint32_t length = 0;
        if (end - p < qsizetype(sizeof length))
            return 0;
        std::memcpy(&length, p, sizeof length);
        p += sizeof length;
        if (std::uint64_t(end - p) < qFromLittleEndian(length) + (part == 0 ? 1u : 0u))
            return 0;
        p += qFromLittleEndian(length) + (part == 0 ? 1 : 0); // the type byte follows the key
    }
    return p - start;
}

} // namespace

QByteArray rewriteTrackEntries(const QByteArray &entries, const std::vector<int> &codes, const KeptRewrite &rewrite)
{
    struct Entry
    {
        int code = 0; // 0: kept
        QString key;
        ValueType type = ValueType::String;
        QString value;
    };
    std::vector<Entry> list;
    bool changed = false;
    forEachEntry(
        entries,
        [&](int code) {
            list.push_back({code, {}, {}, {}});
        },
        [&](const QString &key, ValueType type, const QString &value) {
            auto replaced = rewrite ? rewrite(key, type, value) : std::nullopt;
            changed = changed || replaced.has_value();
            list.push_back({0, key, type, replaced.value_or(value)});
        });
    for (const int code : codes) {
        if (std::any_of(list.begin(), list.end(), [code](const Entry &e) { return e.code == code; }))
            continue;
        const int rank = canonicalRank(code);
        const auto at = std::find_if(list.begin(), list.end(),
                                     [rank](const Entry &e) { return e.code != 0 && canonicalRank(e.code) > rank; });
        list.insert(at, Entry{code, {}, {}, {}});
        changed = true;
    }
    if (!changed)
        return entries;
    EntryWriter out;
    for (const Entry &e : list) {
        if (e.code != 0)
            out.modelled(e.code);
        else
            out.kept(e.key, e.type, e.value);
    }
    return compactTrackEntries(out.take());
}

QByteArray compactTrackEntries(const QByteArray &entries)
{
    static_assert(kTrackFieldCount + int(RecordKey::Count) <= 32, "the presence mask is 32 bits");
    QByteArray kept;
    std::uint32_t mask = 0;
    int lastRank = -1;
    int modelled = 0;
    const char *p = entries.constData();
    const char *const end = p + entries.size();
    while (p < end) {
        const int code = static_cast<unsigned char>(*p++);
        if (code != 0) {
            const int rank = canonicalRank(code);
            if (rank <= lastRank)
                return entries; // not in the usual order: kept as it is
            lastRank = rank;
            mask |= 1u << rank;
            ++modelled;
            continue;
        }
        const qsizetype length = keptLength(p, end);
        if (length == 0)
            return entries;
        kept.append(char(modelled));
        kept.append(p, length);
        p += length;
    }
    QByteArray out;
    out.reserve(1 + 4 + kept.size());
    out.append(kCompactMark);
    put<std::uint32_t>(out, mask);
    return out + kept;
}

void forEachEntry(const QByteArray &entries, const std::function<void(int code)> &modelled,
                  const std::function<void(const QString &, ValueType, const QString &)> &kept)
{
    const char *p = entries.constData();
    const char *const end = p + entries.size();
    // Written by EntryWriter only; a short blob ends the walk rather than
    // reading past it.
    auto text = [&](QString &out) {
        std::uint32_t length = 0;
        if (end - p < qsizetype(sizeof length))
            return false;
        std::memcpy(&length, p, sizeof length);
        length = qFromLittleEndian(length);
        p += sizeof length;
        if (std::uint64_t(end - p) < length)
            return false;
        out = QString::fromUtf8(p, qsizetype(length));
        p += length;
        return true;
    };
    QString key;
    QString value;
    auto readKept = [&] {
        if (!text(key) || p >= end)
            return false;
        const auto type = ValueType(*p++);
        if (!text(value))
            return false;
        kept(key, type, value);
        return true;
    };
    if (p < end && *p == kCompactMark) {
        // The modelled keys in the usual order, the kept ones each after the
        // number of modelled keys that came before it in the file.
        ++p;
        std::uint32_t mask = 0;
        if (end - p < qsizetype(sizeof mask))
            return;
        std::memcpy(&mask, p, sizeof mask);
        mask = qFromLittleEndian(mask);
        p += sizeof mask;
        int written = 0;
        auto keptUpTo = [&](int count) {
            while (p < end && static_cast<unsigned char>(*p) <= count) {
                ++p;
                if (!readKept())
                    p = end;
            }
        };
        const auto &order = canonicalTrackOrder();
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            if (!(mask & (1u << rank)))
                continue;
            keptUpTo(written);
            modelled(order[rank]);
            ++written;
        }
        keptUpTo(written);
        return;
    }
    while (p < end) {
        const int code = static_cast<unsigned char>(*p++);
        if (code != 0) {
            modelled(code);
            continue;
        }
        if (!readKept())
            return;
    }
}

} // namespace tidyfox::library
