// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/DuplicateIndex.h"

#include "system/FileSystem.h"

#include <QHash>
#include <algorithm>
#include <cstdint>

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

} // namespace

DuplicateIndex::DuplicateIndex(libraryclient::LibraryTrackCollection &tracks, const DuplicateFilter &filter,
                               bool readLocations)
{
    tracks.forEach([this](const libraryclient::TrackPtr &track) {
        IndexedTrack entry;
        entry.track = track;
        m_tracks.push_back(std::move(entry));
        return true;
    });

    const bool byFileName = filter.Checked(kFilterFileName);
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

        GroupKey key;
        if (filter.Checked(kFilterName))
            key.name = track.name();
        if (filter.Checked(kFilterSize))
            key.size = track.size();
        if (filter.Checked(kFilterAlbum))
            key.album = track.album();
        if (filter.Checked(kFilterArtist))
            key.artist = track.artist();
        if (filter.Checked(kFilterBitRate))
            key.bitRate = track.bitRate();
        if (filter.Checked(kFilterSampleRate))
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
}

int DuplicateIndex::FindCopy(int index) const
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

void DuplicateIndex::Remove(int index)
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
