// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeLibrary.h"

#include <algorithm>

namespace tidyfox::cleaning::test {
namespace {

using libraryclient::ClientError;

class FakeTrack : public libraryclient::LibraryTrack
{
public:
    // The library keeps its track objects, so they point back without owning.
    FakeTrack(FakeLibrary *library, int index, int playlist) : m_library(library), m_index(index), m_playlist(playlist)
    {}

    QString name() override { return d().name; }
    std::int32_t trackId() override { return d().trackId != 0 ? d().trackId : d().databaseId + 100000; }
    std::int32_t databaseId() override { return d().databaseId; }
    QString album() override { return d().album; }
    QString artist() override { return d().artist; }
    QString time() override { return d().time; }
    QString composer() override { return d().composer; }
    QString genre() override { return d().genre; }
    QString kindText() override { return d().kindAsString; }
    std::int32_t bitRate() override { return d().bitRate; }
    std::int32_t sampleRate() override { return d().sampleRate; }
    std::int64_t size() override { return d().size; }
    QDateTime dateAdded() override { return d().dateAdded; }
    std::int32_t playCount() override { return d().playCount; }
    std::int32_t skipCount() override { return d().skipCount; }
    std::int32_t rating() override { return d().rating; }
    QDateTime playDate() override { return d().playDate; }
    libraryclient::PlaylistPtr playlist() override
    {
        d();
        return m_library->playlistObject(m_playlist);
    }
    std::optional<QString> location() override
    {
        if (d().stream)
            return std::nullopt;
        return d().location;
    }
    QString longDescription() override { return d().longDescription; }
    void deleteFromLibrary() override
    {
        if (d().refuseDelete)
            throw ClientError(libraryclient::kErrCallFailed, QStringLiteral("The library refused the removal"));
        const bool answerLost = d().answerLost;
        m_library->remove(m_index);
        if (answerLost)
            throw libraryclient::NoAnswerError(QStringLiteral("The library went away"));
    }
    void deleteFromLibraryMergingInto(std::int32_t keeperId) override
    {
        d();
        if (d().refuseDelete)
            throw ClientError(libraryclient::kErrCallFailed, QStringLiteral("The library refused the removal"));
        m_library->mergeInto(m_index, keeperId);
    }

private:
    FakeTrackData &d()
    {
        m_library->checkPresent(m_index);
        return m_library->data(m_index);
    }

    FakeLibrary *m_library;
    int m_index;
    int m_playlist;
};

class FakeTrackList : public libraryclient::LibraryTrackList
{
public:
    FakeTrackList(std::shared_ptr<FakeLibrary> library, int playlist)
        : m_library(std::move(library)), m_playlist(playlist)
    {
        const auto &members = m_library->playlist(playlist).members;
        for (int position = 0; position < static_cast<int>(members.size()); ++position) {
            if (!m_library->deleted(members[static_cast<size_t>(position)]))
                m_positions.push_back(position);
        }
    }

    int count() override { return static_cast<int>(m_positions.size()); }
    libraryclient::TrackPtr item(int index) override
    {
        if (index < 0 || index >= count())
            throw ClientError(libraryclient::kErrCallFailed, QStringLiteral("Index out of range"));
        return m_library->trackObject(m_playlist, m_positions[static_cast<size_t>(index)]);
    }
    void forEach(const std::function<bool(const libraryclient::TrackPtr &)> &visit) override
    {
        const auto &members = m_library->playlist(m_playlist).members;
        for (const int position : m_positions) {
            if (m_library->deleted(members[static_cast<size_t>(position)]))
                continue;
            if (!visit(m_library->trackObject(m_playlist, position)))
                return;
        }
    }
    libraryclient::TrackPtr firstByTrackId(std::int32_t trackId) override
    {
        libraryclient::TrackPtr found;
        forEach([&](const libraryclient::TrackPtr &track) {
            if (track->trackId() != trackId)
                return true;
            found = track;
            return false;
        });
        return found;
    }

private:
    std::shared_ptr<FakeLibrary> m_library;
    int m_playlist;
    std::vector<int> m_positions;
};

class FakePlaylist : public libraryclient::LibraryPlaylist
{
public:
    FakePlaylist(std::shared_ptr<FakeLibrary> library, int index) : m_library(std::move(library)), m_index(index) {}
    QString name() override { return m_library->playlist(m_index).name; }
    std::int32_t playlistId() override { return m_library->playlist(m_index).id; }
    std::int32_t kind() override { return m_library->playlist(m_index).kind; }
    std::shared_ptr<libraryclient::LibraryTrackList> tracks() override
    {
        return std::make_shared<FakeTrackList>(m_library, m_index);
    }

private:
    std::shared_ptr<FakeLibrary> m_library;
    int m_index;
};

class FakePlaylistCollection : public libraryclient::LibraryPlaylistCollection
{
public:
    explicit FakePlaylistCollection(std::shared_ptr<FakeLibrary> library) : m_library(std::move(library)) {}
    int count() override { return m_library->playlistCount(); }
    libraryclient::PlaylistPtr item(int index) override
    {
        if (index < 0 || index >= count())
            throw ClientError(libraryclient::kErrCallFailed, QStringLiteral("Index out of range"));
        return m_library->playlistObject(index);
    }
    void forEach(const std::function<bool(const libraryclient::PlaylistPtr &)> &visit) override
    {
        for (int i = 0; i < count(); ++i) {
            if (!visit(m_library->playlistObject(i)))
                return;
        }
    }

private:
    std::shared_ptr<FakeLibrary> m_library;
};

class FakeSource : public libraryclient::LibrarySource
{
public:
    explicit FakeSource(std::shared_ptr<FakeLibrary> library) : m_library(std::move(library)) {}
    QString name() override { return QStringLiteral("Library"); }
    std::int32_t sourceId() override { return 1; }
    std::int32_t kind() override { return 1; }
    std::shared_ptr<libraryclient::LibraryPlaylistCollection> playlists() override
    {
        return std::make_shared<FakePlaylistCollection>(m_library);
    }

private:
    std::shared_ptr<FakeLibrary> m_library;
};

class FakeLibraryClient : public libraryclient::LibraryClient
{
public:
    explicit FakeLibraryClient(std::shared_ptr<FakeLibrary> library) : m_library(std::move(library)) {}
    libraryclient::SourcePtr librarySource() override { return std::make_shared<FakeSource>(m_library); }
    libraryclient::PlaylistPtr libraryPlaylist() override { return m_library->playlistObject(0); }
    void quit() override {}
    std::vector<std::int32_t> fileTracksAt(const QString &path) override { return m_library->fileTracksAt(path); }
    std::vector<protocol::SoundMatch> soundMatches() override { return m_library->soundMatches; }
    void setQuittingHandler(std::function<void()>) override {}
    std::int32_t beginJob(const QString &) override { return m_library->beginJob(); }
    void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                          const QString &) override
    {
        m_library->removeInJob({jobId, databaseId, 0, trashedPath});
    }
    void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                     const QString &trashedPath, const QString &) override
    {
        m_library->removeInJob({jobId, databaseId, keeperId, trashedPath});
    }
    void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId, const QString &trashedPath,
                         const QString &) override
    {
        m_library->removeCopyInJob({jobId, databaseId, 0, trashedPath}, keeperId);
    }
    void endJob(std::int32_t jobId) override { m_library->endJob(jobId); }

private:
    std::shared_ptr<FakeLibrary> m_library;
};

} // namespace

FakeLibrary::FakeLibrary()
{
    m_playlists.push_back(
        Playlist{.id = 1, .kind = 1, .name = QStringLiteral("Library"), .members = {}, .objects = {}});
}

std::int32_t FakeLibrary::addTrack(FakeTrackData data)
{
    if (data.databaseId == 0)
        data.databaseId = m_nextDatabaseId++;
    const std::int32_t id = data.databaseId;
    m_tracks.push_back(std::move(data));
    m_deleted.push_back(0);
    m_playlists.front().members.push_back(static_cast<int>(m_tracks.size()) - 1);
    return id;
}

void FakeLibrary::addPlaylist(const QString &name, const std::vector<std::int32_t> &databaseIds, std::int32_t kind,
                              std::int32_t playlistId)
{
    Playlist list{.id = playlistId != 0 ? playlistId : static_cast<std::int32_t>(m_playlists.size()) + 1,
                  .kind = kind,
                  .name = name,
                  .members = {},
                  .objects = {}};
    for (const std::int32_t id : databaseIds) {
        for (int i = 0; i < static_cast<int>(m_tracks.size()); ++i) {
            if (m_tracks[static_cast<size_t>(i)].databaseId == id)
                list.members.push_back(i);
        }
    }
    m_playlists.push_back(std::move(list));
}

libraryclient::LibraryClientPtr FakeLibrary::app()
{
    return std::make_shared<FakeLibraryClient>(shared_from_this());
}

libraryclient::SourcePtr FakeLibrary::source()
{
    return std::make_shared<FakeSource>(shared_from_this());
}

std::vector<std::int32_t> FakeLibrary::presentIds() const
{
    std::vector<std::int32_t> ids;
    for (const int index : m_playlists.front().members) {
        if (!deleted(index))
            ids.push_back(m_tracks[static_cast<size_t>(index)].databaseId);
    }
    return ids;
}

std::vector<std::int32_t> FakeLibrary::fileTracksAt(const QString &path) const
{
    std::vector<std::int32_t> ids;
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        if (!m_deleted[i] && !m_tracks[i].stream && m_tracks[i].location == path)
            ids.push_back(m_tracks[i].databaseId);
    }
    return ids;
}

bool FakeLibrary::isDeleted(std::int32_t databaseId) const
{
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i].databaseId == databaseId)
            return m_deleted[i] != 0;
    }
    return false;
}

void FakeLibrary::remove(int index)
{
    m_deleted[static_cast<size_t>(index)] = 1;
    m_deletions.push_back(m_tracks[static_cast<size_t>(index)].databaseId);
}

void FakeLibrary::mergeInto(int index, std::int32_t keeperId)
{
    for (size_t k = 0; k < m_tracks.size(); ++k) {
        FakeTrackData &keeper = m_tracks[k];
        if (keeper.databaseId != keeperId || m_deleted[k])
            continue;
        const FakeTrackData &copy = m_tracks[static_cast<size_t>(index)];
        keeper.playCount += copy.playCount;
        keeper.skipCount += copy.skipCount;
        keeper.rating = std::max(keeper.rating, copy.rating);
        if (!keeper.playDate.isValid() || (copy.playDate.isValid() && copy.playDate > keeper.playDate))
            keeper.playDate = copy.playDate;
        if (!keeper.dateAdded.isValid() || (copy.dateAdded.isValid() && copy.dateAdded < keeper.dateAdded))
            keeper.dateAdded = copy.dateAdded;
        remove(index);
        return;
    }
    throw ClientError::objectDeleted();
}

std::int32_t FakeLibrary::beginJob()
{
    m_jobsBegun.push_back(static_cast<std::int32_t>(m_jobsBegun.size()) + 1);
    return m_jobsBegun.back();
}

void FakeLibrary::removeCopyInJob(const JournalEntry &entry, std::int32_t keeperId)
{
    for (size_t k = 0; k < m_tracks.size(); ++k) {
        if (m_tracks[k].databaseId == keeperId && !m_deleted[k]) {
            removeInJob(entry);
            return;
        }
    }
    throw ClientError::objectDeleted();
}

void FakeLibrary::removeInJob(const JournalEntry &entry)
{
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i].databaseId != entry.databaseId)
            continue;
        checkPresent(int(i));
        const FakeTrackData &track = m_tracks[i];
        if (track.refuseDelete)
            throw ClientError(libraryclient::kErrCallFailed, QStringLiteral("The library refused the removal"));
        const bool answerLost = track.answerLost;
        if (entry.keeperId != 0)
            mergeInto(int(i), entry.keeperId);
        else
            remove(int(i));
        m_journal.push_back(entry);
        if (answerLost)
            throw libraryclient::NoAnswerError(QStringLiteral("The library went away"));
        return;
    }
    throw ClientError::objectDeleted();
}

libraryclient::TrackPtr FakeLibrary::trackObject(int playlistIndex, int position)
{
    Playlist &list = playlist(playlistIndex);
    if (list.objects.size() != list.members.size())
        list.objects.resize(list.members.size());
    auto &object = list.objects[static_cast<size_t>(position)];
    if (!object)
        object = std::make_shared<FakeTrack>(this, list.members[static_cast<size_t>(position)], playlistIndex);
    return object;
}

libraryclient::PlaylistPtr FakeLibrary::playlistObject(int playlistIndex)
{
    return std::make_shared<FakePlaylist>(shared_from_this(), playlistIndex);
}

} // namespace tidyfox::cleaning::test
