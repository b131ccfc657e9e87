#include "service/LibraryFileEntries.h"

#include <QtEndian>
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
    while (p < end) {
        const int code = static_cast<unsigned char>(*p++);
        if (code != 0) {
            modelled(code);
            continue;
        }
        if (!text(key) || p >= end)
            return;
        const auto type = ValueType(*p++);
        if (!text(value))
            return;
        kept(key, type, value);
    }
}

} // namespace tidyfox::library
