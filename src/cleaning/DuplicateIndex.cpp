// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateIndex.h"

#include "cleaning/LooseTags.h"
#include "common/BatchPipeline.h"
#include "system/FileSystem.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <optional>
#include <string>
#include <unordered_map>

namespace tidyfox::cleaning {
namespace {

using protocol::TrackText;

// The checked properties of one track as bytes, equal exactly when the
// properties are: each text behind its length, the numbers as they are.
// A text is compared as the QString it reads as. Its UTF-8 bytes are that
// QString's own unless they are not plain (a broken sequence reads as
// U+FFFD, a byte order mark may be dropped): those are written as the
// QString's UTF-8, which tells QStrings apart as they do (a QString read
// from UTF-8 holds no lone surrogate).
class KeyBytes
{
public:
    void clear() { m_bytes.clear(); }
    void addUtf8(QByteArrayView text)
    {
        if (protocol::isPlainUtf8(text)) {
            addSized(text.data(), size_t(text.size()));
        } else {
            const QByteArray canonical = QString::fromUtf8(text).toUtf8();
            addSized(canonical.constData(), size_t(canonical.size()));
        }
    }
    // A text compared as its UTF-16 code units.
    void addUtf16(const QString &text)
    {
        addSized(reinterpret_cast<const char *>(text.constData()), size_t(text.size()) * sizeof(QChar));
    }
    template<typename T> void addNumber(T value)
    {
        m_bytes.append(reinterpret_cast<const char *>(&value), sizeof value);
    }
    QByteArrayView view() const { return QByteArrayView(m_bytes.data(), qsizetype(m_bytes.size())); }

private:
    void addSized(const char *data, size_t size)
    {
        // The length in 7-bit groups, so that no text runs into the next.
        size_t length = size;
        do {
            m_bytes.push_back(char((length & 0x7F) | (length > 0x7F ? 0x80 : 0)));
            length >>= 7;
        } while (length > 0);
        m_bytes.append(data, size);
    }

    std::string m_bytes;
};

// The keys of the groups found so far, side by side in one block, found by
// their hash: a table of a key object per group held a copy of nearly every
// track's texts, each an allocation of its own. Two keys are one only when
// their bytes are.
class GroupKeys
{
public:
    explicit GroupKeys(size_t expected)
    {
        size_t room = 16;
        while (room < expected * 2)
            room *= 2;
        m_slots.assign(room, 0);
        m_keys.reserve(expected);
        // Room that is only address space until written: a block that grew
        // by doubling copied every key it held, again and again.
        m_bytes.reserve(expected * kBytesPerKey);
    }

    size_t hashOf(QByteArrayView key) const { return qHash(key, m_seed); }
    // A look-up of a key of hash is coming: its first slot is read from
    // memory meanwhile. Most look-ups of a large library wait for that read
    // alone.
    void prefetch(size_t hash) const { __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]); }

    // The group of key (of hash hashOf(key)), added as the next group
    // (numbered from 0 in the order added) when there is none yet.
    int groupOf(QByteArrayView key, size_t hash)
    {
        const size_t mask = m_slots.size() - 1;
        const std::uint64_t tag = tagOf(hash);
        for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint64_t held = m_slots[slot];
            if (held == 0) {
                const int added = static_cast<int>(m_keys.size());
                m_slots[slot] = tag | std::uint64_t(added + 1);
                m_keys.push_back({hash, m_bytes.size()});
                m_bytes.append(key.data(), size_t(key.size()));
                grow();
                return added;
            }
            // The key's own row is read only when the slot's part of the
            // hash matches: most slots passed are other keys'.
            if ((held & kTagBits) != tag)
                continue;
            const auto group = size_t(held & ~kTagBits) - 1;
            if (m_keys[group].hash == hash && keyAt(group) == key)
                return int(group);
        }
    }

private:
    struct Stored
    {
        size_t hash = 0;
        size_t at = 0; // where its bytes start in m_bytes; they end where the next key's start
    };
    static constexpr size_t kBytesPerKey = 48;
    // A slot: the upper half of its key's hash beside the group + 1 (0: free).
    static constexpr std::uint64_t kTagBits = 0xffffffff00000000u;
    static std::uint64_t tagOf(size_t hash) { return std::uint64_t(hash) & kTagBits; }

    QByteArrayView keyAt(size_t group) const
    {
        const size_t end = group + 1 < m_keys.size() ? m_keys[group + 1].at : m_bytes.size();
        return QByteArrayView(m_bytes.data() + m_keys[group].at, qsizetype(end - m_keys[group].at));
    }

    // At most half the slots taken, so that a look-up ends soon.
    void grow()
    {
        if (m_keys.size() * 2 <= m_slots.size())
            return;
        std::vector<std::uint64_t> wider(m_slots.size() * 2, 0);
        const size_t mask = wider.size() - 1;
        for (size_t group = 0; group < m_keys.size(); ++group) {
            size_t slot = m_keys[group].hash & mask;
            while (wider[slot] != 0)
                slot = (slot + 1) & mask;
            wider[slot] = tagOf(m_keys[group].hash) | std::uint64_t(group + 1);
        }
        m_slots = std::move(wider);
    }

    const size_t m_seed = QHashSeed::globalSeed();
    std::vector<std::uint64_t> m_slots;
    std::vector<Stored> m_keys;
    std::string m_bytes;
};

// Connected tracks, by union of their sets.
class Components
{
public:
    explicit Components(size_t count) : m_parent(count) { std::iota(m_parent.begin(), m_parent.end(), 0); }
    int root(int i)
    {
        while (m_parent[size_t(i)] != i)
            i = m_parent[size_t(i)] = m_parent[size_t(m_parent[size_t(i)])];
        return i;
    }
    void join(int a, int b) { m_parent[size_t(root(a))] = root(b); }

private:
    std::vector<int> m_parent;
};

// Rows between two looks at whether the pages of the rows passed can go.
constexpr int kForgetEvery = 4096;

// The keys of a run of tracks side by side, as the walk over the rows made
// them, for the thread that groups them.
struct KeyRun
{
    std::string bytes;
    std::vector<std::uint32_t> ends; // where each key ends in bytes
    std::vector<int> indices;        // the track of each key

    void add(int index, QByteArrayView key)
    {
        bytes.append(key.data(), size_t(key.size()));
        ends.push_back(std::uint32_t(bytes.size()));
        indices.push_back(index);
    }
    size_t size() const { return indices.size(); }
    QByteArrayView key(size_t k) const
    {
        const std::uint32_t from = k == 0 ? 0 : ends[k - 1];
        return QByteArrayView(bytes.data() + from, qsizetype(ends[k] - from));
    }
};

// Keys a run; a library of no more is grouped on the walk's own thread.
size_t keysPerRun = DuplicateIndex::kKeysPerRun;

} // namespace

void DuplicateIndex::setKeysPerRun(size_t keys)
{
    keysPerRun = std::max<size_t>(keys, 1);
}

DuplicateIndex::DuplicateIndex(libraryclient::LibraryTrackList &tracks, const DuplicateFilter &filter) : m_rows(tracks)
{
    build(filter, nullptr);
}

DuplicateIndex::DuplicateIndex(libraryclient::LibraryTrackList &tracks, const DuplicateFilter &filter,
                               const std::vector<protocol::SoundMatch> &soundMatches)
    : m_rows(tracks)
{
    build(filter, filter.soundAlike() ? &soundMatches : nullptr);
}

void DuplicateIndex::append(int index, int group, std::vector<int> &tails)
{
    Entry &e = entry(index);
    e.group = group;
    if (size_t(group) >= m_groupHeads.size()) {
        m_groupHeads.push_back(index);
        tails.push_back(index);
        return;
    }
    int &tail = tails[size_t(group)];
    e.prev = tail;
    entry(tail).next = index;
    tail = index;
}

void DuplicateIndex::build(const DuplicateFilter &filter, const std::vector<protocol::SoundMatch> *soundMatches)
{
    const int count = m_rows.size();
    m_entries.resize(size_t(count));
    m_removed.assign(size_t(count), false);

    const bool byFileName = filter.checked(kFilterFileName);
    const bool loose = filter.loose();
    // Loosely, a name is compared when no text is chosen.
    const bool byName =
        filter.checked(kFilterName) || (loose && !filter.checked(kFilterAlbum) && !filter.checked(kFilterArtist));
    const bool bySize = filter.checked(kFilterSize);
    const bool byAlbum = filter.checked(kFilterAlbum);
    const bool byArtist = filter.checked(kFilterArtist);
    const bool byBitRate = filter.checked(kFilterBitRate);
    const bool bySampleRate = filter.checked(kFilterSampleRate);
    std::vector<int> seconds(loose ? size_t(count) : 0, 0);
    GroupKeys groups(static_cast<size_t>(count));
    std::vector<int> tails;
    std::vector<size_t> hashes;
    // Grouping waits on memory (a slot of a table as large as the library
    // for each track) where making the keys waits on the rows: on a large
    // library the two take turns on two threads.
    const auto groupRun = [&](KeyRun &run) {
        constexpr size_t kAhead = 8;
        hashes.resize(run.size());
        for (size_t k = 0; k < run.size(); ++k)
            hashes[k] = groups.hashOf(run.key(k));
        for (size_t k = 0; k < run.size(); ++k) {
            if (k + kAhead < run.size())
                groups.prefetch(hashes[k + kAhead]);
            append(run.indices[k], groups.groupOf(run.key(k), hashes[k]), tails);
        }
    };
    std::optional<BatchPipeline<KeyRun>> grouping;
    if (size_t(count) > keysPerRun)
        grouping.emplace(groupRun, 1);
    KeyRun run;
    const auto handOver = [&] {
        if (grouping)
            grouping->push(std::move(run));
        else
            groupRun(run);
        run = {};
    };
    KeyBytes key;
    for (int i = 0; i < count; ++i) {
        if (i % kForgetEvery == 0)
            m_rows.forgetBefore(i);
        Entry &e = entry(i);
        e.databaseId = m_rows.databaseId(i);
        const bool hasFile = m_rows.hasFile(i);
        // A track without a file has no file name to share with another,
        // and no sound to match.
        if ((byFileName || soundMatches) && !hasFile)
            continue;

        const auto addText = [&](TrackText which) {
            if (loose)
                key.addUtf16(looseTag(m_rows.text(i, which)));
            else
                key.addUtf8(m_rows.textBytes(i, which));
        };
        key.clear();
        if (byName)
            addText(TrackText::Name);
        if (bySize)
            key.addNumber(m_rows.table().size(m_rows.row(i)));
        if (byAlbum)
            addText(TrackText::Album);
        if (byArtist)
            addText(TrackText::Artist);
        if (loose)
            seconds[size_t(i)] = secondsOfTime(m_rows.text(i, TrackText::Time));
        if (byBitRate)
            key.addNumber(m_rows.table().bitRate(m_rows.row(i)));
        if (bySampleRate)
            key.addNumber(m_rows.table().sampleRate(m_rows.row(i)));
        if (byFileName)
            key.addUtf16(system::fileNameOf(m_rows.location(i)).toLower());
        run.add(i, key.view());
        if (run.size() >= keysPerRun)
            handOver();
    }
    if (run.size() > 0)
        handOver();
    if (grouping)
        grouping->finish();
    m_rows.forgetBefore(count);
    if (loose || soundMatches)
        connect(filter, seconds, soundMatches);
}

void DuplicateIndex::connect(const DuplicateFilter &filter, const std::vector<int> &seconds,
                             const std::vector<protocol::SoundMatch> *soundMatches)
{
    const bool loose = filter.loose();
    const auto closeInTime = [&](int a, int b) {
        return !loose || looseDurationsMatch(seconds[size_t(a)], seconds[size_t(b)]);
    };
    Components components(m_entries.size());
    std::vector<float> weakest(m_entries.size(), 2.0f); // by root
    const auto join = [&](int a, int b, float strength) {
        const int ra = components.root(a), rb = components.root(b);
        const float w = std::min({weakest[size_t(ra)], weakest[size_t(rb)], strength});
        components.join(ra, rb);
        weakest[size_t(components.root(a))] = w;
    };
    if (soundMatches) {
        // A track listed twice is one track: its entries are connected.
        std::unordered_map<std::int32_t, std::vector<int>> entriesOf;
        for (int i = 0; i < size(); ++i) {
            if (group(i) >= 0)
                entriesOf[databaseId(i)].push_back(i);
        }
        for (const auto &[id, entries] : entriesOf) {
            for (size_t k = 1; k < entries.size(); ++k)
                join(entries[0], entries[k], 1.0f);
        }
        for (const protocol::SoundMatch &match : *soundMatches) {
            const auto a = entriesOf.find(match.a), b = entriesOf.find(match.b);
            if (a == entriesOf.end() || b == entriesOf.end())
                continue;
            const int ia = a->second.front(), ib = b->second.front();
            if (group(ia) == group(ib) && closeInTime(ia, ib))
                join(ia, ib, match.strength);
        }
    } else {
        // Durations within 2 s, chained; one unknown joins the rest.
        std::vector<std::vector<int>> members(m_groupHeads.size());
        for (int i = 0; i < size(); ++i) {
            if (group(i) >= 0)
                members[size_t(group(i))].push_back(i);
        }
        for (std::vector<int> &group : members) {
            std::stable_sort(group.begin(), group.end(),
                             [&](int a, int b) { return seconds[size_t(a)] < seconds[size_t(b)]; });
            for (size_t k = 1; k < group.size(); ++k) {
                const int prev = group[k - 1], self = group[k];
                if (seconds[size_t(prev)] <= 0 || looseDurationsMatch(seconds[size_t(prev)], seconds[size_t(self)]))
                    join(prev, self, 1.0f);
            }
        }
    }
    // New groups, numbered in the library order of their first track.
    std::vector<int> groupOf(m_entries.size(), -1);
    std::vector<int> groupOfRoot(m_entries.size(), -1);
    m_soundStrength.clear();
    for (int i = 0; i < size(); ++i) {
        if (group(i) < 0)
            continue;
        const int root = components.root(i);
        int &group = groupOfRoot[size_t(root)];
        if (group < 0) {
            group = static_cast<int>(m_soundStrength.size());
            m_soundStrength.push_back(std::min(weakest[size_t(root)], 1.0f));
        }
        groupOf[size_t(i)] = group;
    }
    if (!soundMatches)
        m_soundStrength.clear();
    relink(groupOf);
}

void DuplicateIndex::relink(const std::vector<int> &groupOf)
{
    m_groupHeads.clear();
    std::vector<int> tails;
    for (int i = 0; i < size(); ++i) {
        Entry &e = entry(i);
        e.group = -1;
        e.prev = e.next = -1;
        if (groupOf[size_t(i)] >= 0)
            append(i, groupOf[size_t(i)], tails);
    }
}

std::optional<float> DuplicateIndex::soundStrength(int group) const
{
    if (group < 0 || size_t(group) >= m_soundStrength.size())
        return std::nullopt;
    return m_soundStrength[size_t(group)];
}

int DuplicateIndex::findCopy(int index) const
{
    const Entry &self = entry(index);
    if (self.group < 0)
        return -1;
    for (int i = m_groupHeads[static_cast<size_t>(self.group)]; i >= 0; i = entry(i).next) {
        if (entry(i).databaseId != self.databaseId)
            return i;
    }
    return -1;
}

void DuplicateIndex::remove(int index)
{
    if (m_removed[static_cast<size_t>(index)])
        return;
    m_removed[static_cast<size_t>(index)] = true;
    Entry &e = entry(index);
    if (e.group < 0)
        return;
    if (e.prev >= 0)
        entry(e.prev).next = e.next;
    else
        m_groupHeads[static_cast<size_t>(e.group)] = e.next;
    if (e.next >= 0)
        entry(e.next).prev = e.prev;
    e.prev = e.next = -1;
}

} // namespace tidyfox::cleaning
