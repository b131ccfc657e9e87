// SPDX-License-Identifier: GPL-3.0-or-later
// A music library in memory behind the automation interface, with the live
// rules of the real one: a walk yields every track still present that it has
// not yielded yet, Delete takes a track out of every playlist, calls on a
// deleted track fail with "object deleted", and a stream has no Location.
// Its objects must not outlive it.
#pragma once

#include "libraryclient/LibraryClient.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace tidyfox::cleaning::test {

struct FakeTrackData
{
    std::int32_t databaseId = 0; // assigned when 0
    std::int32_t trackId = 0;    // databaseId + 100000 when 0
    QString name;
    QString album;
    QString artist;
    QString composer;
    QString genre;
    QString kindAsString = QStringLiteral("MPEG audio file");
    QString time = QStringLiteral("3:07");
    std::int64_t size = 0;
    std::int32_t bitRate = 0;
    std::int32_t sampleRate = 0;
    QDateTime dateAdded;
    std::int32_t playCount = 0;
    std::int32_t skipCount = 0;
    std::int32_t rating = 0;
    QDateTime playDate;
    QString location;
    QString longDescription;
    bool stream = false;       // no file: Location fails
    bool refuseDelete = false; // Delete fails, as a refusing library would
    bool answerLost = false;   // Delete takes effect, but no answer comes (the service died)
};

class FakeLibrary : public std::enable_shared_from_this<FakeLibrary>
{
public:
    static std::shared_ptr<FakeLibrary> create() { return std::shared_ptr<FakeLibrary>(new FakeLibrary); }

    // Appends a track to the library playlist; returns its database id.
    std::int32_t addTrack(FakeTrackData data);
    // A user playlist (kind 2) of the tracks with these database ids.
    // playlistId 0 numbers the playlists in the order added.
    void addPlaylist(const QString &name, const std::vector<std::int32_t> &databaseIds, std::int32_t kind = 2,
                     std::int32_t playlistId = 0);
    void setLibraryPlaylistId(std::int32_t playlistId) { m_playlists.front().id = playlistId; }

    libraryclient::LibraryClientPtr app();
    libraryclient::SourcePtr source();

    // What a job wrote into the history for each track it removed.
    struct JournalEntry
    {
        std::int32_t jobId = 0;
        std::int32_t databaseId = 0;
        std::int32_t keeperId = 0; // 0 without a merge
        QString trashedPath;
    };
    const std::vector<JournalEntry> &journal() const { return m_journal; }
    // Ids of the jobs begun, and of those ended.
    const std::vector<std::int32_t> &jobsBegun() const { return m_jobsBegun; }
    const std::vector<std::int32_t> &jobsEnded() const { return m_jobsEnded; }

    // Database ids of the tracks removed, in the order of removal.
    const std::vector<std::int32_t> &deletions() const { return m_deletions; }
    // Database ids of the library playlist's tracks still present, in order.
    std::vector<std::int32_t> presentIds() const;
    bool isDeleted(std::int32_t databaseId) const;
    // Database ids of the file tracks present whose location is path.
    std::vector<std::int32_t> fileTracksAt(const QString &path) const;
    // What the client's soundMatches answers.
    std::vector<protocol::SoundMatch> soundMatches;

    // For the objects below.
    struct Playlist
    {
        std::int32_t id = 0;
        std::int32_t kind = 2;
        QString name;
        std::vector<int> members; // indices into m_tracks
        std::vector<libraryclient::TrackPtr> objects;
    };
    FakeTrackData &data(int index) { return m_tracks[static_cast<size_t>(index)]; }
    bool deleted(int index) const { return m_deleted[static_cast<size_t>(index)] != 0; }
    void checkPresent(int index) const
    {
        if (deleted(index))
            throw libraryclient::ClientError::objectDeleted();
    }
    void remove(int index);
    // remove, after the track keeperId takes in the history of the one at
    // index; throws "object deleted" when the keeper is gone.
    void mergeInto(int index, std::int32_t keeperId);
    Playlist &playlist(int index) { return m_playlists[static_cast<size_t>(index)]; }
    int playlistCount() const { return static_cast<int>(m_playlists.size()); }
    libraryclient::TrackPtr trackObject(int playlistIndex, int position);
    // The journal calls, with the rules of the track's own removal.
    std::int32_t beginJob();
    void endJob(std::int32_t jobId) { m_jobsEnded.push_back(jobId); }
    void removeInJob(const JournalEntry &entry);
    // removeInJob of a copy that goes only while keeperId is there.
    void removeCopyInJob(const JournalEntry &entry, std::int32_t keeperId);
    libraryclient::PlaylistPtr playlistObject(int playlistIndex);

private:
    FakeLibrary();

    std::vector<FakeTrackData> m_tracks;
    std::vector<char> m_deleted;
    std::vector<Playlist> m_playlists;
    std::vector<std::int32_t> m_deletions;
    std::vector<JournalEntry> m_journal;
    std::vector<std::int32_t> m_jobsBegun;
    std::vector<std::int32_t> m_jobsEnded;
    std::int32_t m_nextDatabaseId = 1001;
};

} // namespace tidyfox::cleaning::test
