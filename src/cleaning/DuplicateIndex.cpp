// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateIndex.h"

#include "cleaning/LooseTags.h"
#include "system/FileSystem.h"

#include <QHash>
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <unordered_map>

namespace tidyfox::cleaning {
namespace {

// The checked properties of one track; unchecked ones stay at their defaults
// so that they never tell two tracks apart.
struct GroupKey
{
    QString name;
    QString album;
    QString artist;
    QString fileName; // lower case
    std::int64_t size = 0;
    std::int32_t bitRate = 0;
    std::int32_t sampleRate = 0;
    bool operator==(const GroupKey &) const = default;
};

size_t qHash(const GroupKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.name, key.album, key.artist, key.fileName, key.size, key.bitRate, key.sampleRate);
}

// The keys of the groups found so far, their texts side by side in one
// block. A table of GroupKeys held a copy of nearly every track's name and
// artist, each an allocation of its own, and took longer to free than to
// fill.
class GroupKeys
{
public:
    explicit GroupKeys(size_t expected)
    {
        m_keys.reserve(expected);
        m_firstByHash.reserve(static_cast<qsizetype>(expected));
    }

    // The group whose key equals key, or -1.
    int find(const GroupKey &key, size_t hash) const
    {
        for (int group = m_firstByHash.value(hash, -1); group >= 0; group = m_keys[size_t(group)].nextSameHash) {
            if (equals(m_keys[size_t(group)], key))
                return group;
        }
        return -1;
    }

    // Adds the key of the next group (numbered from 0, in the order added).
    void add(const GroupKey &key, size_t hash)
    {
        const int group = static_cast<int>(m_keys.size());
        Stored stored;
        stored.text = m_text.size();
        const QString *texts[kTexts] = {&key.name, &key.album, &key.artist, &key.fileName};
        for (size_t t = 0; t < kTexts; ++t) {
            stored.lengths[t] = static_cast<std::uint32_t>(texts[t]->size());
            const auto *data = reinterpret_cast<const char16_t *>(texts[t]->constData());
            m_text.insert(m_text.end(), data, data + texts[t]->size());
        }
        stored.size = key.size;
        stored.bitRate = key.bitRate;
        stored.sampleRate = key.sampleRate;
        // A later key of the same hash is looked at after the earlier ones.
        auto first = m_firstByHash.find(hash);
        if (first == m_firstByHash.end()) {
            m_firstByHash.insert(hash, group);
        } else {
            int last = first.value();
            while (m_keys[size_t(last)].nextSameHash >= 0)
                last = m_keys[size_t(last)].nextSameHash;
            m_keys[size_t(last)].nextSameHash = group;
        }
        m_keys.push_back(stored);
    }

private:
    static constexpr size_t kTexts = 4;
    struct Stored
    {
        size_t text = 0; // where the texts start in m_text, one after the other
        std::uint32_t lengths[kTexts] = {};
        std::int64_t size = 0;
        std::int32_t bitRate = 0;
        std::int32_t sampleRate = 0;
        int nextSameHash = -1;
    };

    bool equals(const Stored &stored, const GroupKey &key) const
    {
        if (stored.size != key.size || stored.bitRate != key.bitRate || stored.sampleRate != key.sampleRate)
            return false;
        const QString *texts[kTexts] = {&key.name, &key.album, &key.artist, &key.fileName};
        size_t at = stored.text;
        for (size_t t = 0; t < kTexts; ++t) {
            const QString &text = *texts[t];
            if (stored.lengths[t] != size_t(text.size()) ||
                !std::equal(text.constData(), text.constData() + text.size(), m_text.begin() + qsizetype(at),
                            [](QChar a, char16_t b) { return a.unicode() == b; }))
                return false;
            at += stored.lengths[t];
        }
        return true;
    }

    std::vector<char16_t> m_text;
    std::vector<Stored> m_keys; // by group
    QHash<size_t, int> m_firstByHash;
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

} // namespace

DuplicateIndex::DuplicateIndex(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter,
                               bool readLocations)
{
    build(tracks, filter, readLocations, nullptr);
}

DuplicateIndex::DuplicateIndex(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter,
                               bool readLocations, const std::vector<protocol::SoundMatch> &soundMatches)
{
    build(tracks, filter, readLocations, filter.soundAlike() ? &soundMatches : nullptr);
}

void DuplicateIndex::build(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter,
                           bool readLocations, const std::vector<protocol::SoundMatch> *soundMatches)
{
    tracks.forEach([this](const libraryclient::TrackPtr &track) {
        IndexedTrack entry;
        entry.track = track;
        m_tracks.push_back(std::move(entry));
        return true;
    });

    const bool byFileName = filter.checked(kFilterFileName);
    const bool loose = filter.loose();
    // Loosely, a name is compared when no text is chosen.
    const bool byName =
        filter.checked(kFilterName) || (loose && !filter.checked(kFilterAlbum) && !filter.checked(kFilterArtist));
    const auto text = [loose](const QString &tag) { return loose ? looseTag(tag) : tag; };
    std::vector<int> seconds(loose ? m_tracks.size() : 0, 0);
    GroupKeys groups(m_tracks.size());
    const size_t seed = QHashSeed::globalSeed();
    std::vector<int> tails;
    for (int i = 0; i < size(); ++i) {
        IndexedTrack &entry = at(i);
        libraryclient::LibraryTrack &track = *entry.track;
        entry.databaseId = track.databaseId();
        if (readLocations || byFileName) {
            const auto location = track.location();
            entry.hasFile = location.has_value();
            entry.location = location.value_or(QString());
        }
        // A track without a file has no file name to share with another.
        if (byFileName && !entry.hasFile)
            continue;

        // A sound match needs a file to listen to.
        if (soundMatches && !entry.hasFile)
            continue;

        GroupKey key;
        if (byName)
            key.name = text(track.name());
        if (filter.checked(kFilterSize))
            key.size = track.size();
        if (filter.checked(kFilterAlbum))
            key.album = text(track.album());
        if (filter.checked(kFilterArtist))
            key.artist = text(track.artist());
        if (loose)
            seconds[size_t(i)] = secondsOfTime(track.time());
        if (filter.checked(kFilterBitRate))
            key.bitRate = track.bitRate();
        if (filter.checked(kFilterSampleRate))
            key.sampleRate = track.sampleRate();
        if (byFileName)
            key.fileName = system::fileNameOf(entry.location).toLower();

        const size_t hash = qHash(key, seed);
        const int found = groups.find(key, hash);
        if (found < 0) {
            entry.group = static_cast<int>(m_groupHeads.size());
            groups.add(key, hash);
            m_groupHeads.push_back(i);
            tails.push_back(i);
        } else {
            entry.group = found;
            int &tail = tails[static_cast<size_t>(entry.group)];
            entry.prev = tail;
            at(tail).next = i;
            tail = i;
        }
    }
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
    Components components(m_tracks.size());
    std::vector<float> weakest(m_tracks.size(), 2.0f); // by root
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
            if (at(i).group >= 0)
                entriesOf[at(i).databaseId].push_back(i);
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
            if (at(ia).group == at(ib).group && closeInTime(ia, ib))
                join(ia, ib, match.strength);
        }
    } else {
        // Durations within 2 s, chained; one unknown joins the rest.
        std::vector<std::vector<int>> members(m_groupHeads.size());
        for (int i = 0; i < size(); ++i) {
            if (at(i).group >= 0)
                members[size_t(at(i).group)].push_back(i);
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
    std::vector<int> groupOf(m_tracks.size(), -1);
    std::vector<int> groupOfRoot(m_tracks.size(), -1);
    m_soundStrength.clear();
    for (int i = 0; i < size(); ++i) {
        if (at(i).group < 0)
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
        IndexedTrack &entry = at(i);
        entry.group = groupOf[size_t(i)];
        entry.prev = entry.next = -1;
        if (entry.group < 0)
            continue;
        if (size_t(entry.group) >= m_groupHeads.size()) {
            m_groupHeads.push_back(i);
            tails.push_back(i);
            continue;
        }
        int &tail = tails[size_t(entry.group)];
        entry.prev = tail;
        at(tail).next = i;
        tail = i;
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
    const IndexedTrack &self = at(index);
    if (self.group < 0)
        return -1;
    for (int i = m_groupHeads[static_cast<size_t>(self.group)]; i >= 0; i = at(i).next) {
        if (at(i).databaseId != self.databaseId)
            return i;
    }
    return -1;
}

void DuplicateIndex::remove(int index)
{
    IndexedTrack &entry = at(index);
    if (entry.removed)
        return;
    entry.removed = true;
    if (entry.group < 0)
        return;
    if (entry.prev >= 0)
        at(entry.prev).next = entry.next;
    else
        m_groupHeads[static_cast<size_t>(entry.group)] = entry.next;
    if (entry.next >= 0)
        at(entry.next).prev = entry.prev;
    entry.prev = entry.next = -1;
}

} // namespace tidyfox::cleaning
