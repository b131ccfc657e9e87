#include "cleaning/DuplicateIndex.h"

#include "system/FileSystem.h"

#include <QHash>

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

// Location of a track, or nothing for a track that has no file.
std::optional<QString> locationOf(libraryclient::LibraryTrack &track)
{
    try {
        return track.location();
    } catch (const libraryclient::ClientError &error) {
        if (error.number() == libraryclient::kErrNoSuchProperty)
            return std::nullopt;
        throw;
    }
}

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
    QHash<GroupKey, int> groups;
    groups.reserve(static_cast<qsizetype>(m_tracks.size()));
    std::vector<int> tails;
    for (int i = 0; i < size(); ++i) {
        IndexedTrack &entry = at(i);
        libraryclient::LibraryTrack &track = *entry.track;
        entry.databaseId = track.databaseId();
        if (readLocations || byFileName) {
            const auto location = locationOf(track);
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

        const auto found = groups.constFind(key);
        if (found == groups.cend()) {
            entry.group = static_cast<int>(m_groupHeads.size());
            groups.insert(key, entry.group);
            m_groupHeads.push_back(i);
            tails.push_back(i);
        } else {
            entry.group = found.value();
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
