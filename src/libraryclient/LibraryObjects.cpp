// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryclient/LibraryObjects.h"

#include <algorithm>

namespace tidyfox::libraryclient {

using protocol::TrackTable;
using protocol::TrackText;

namespace {

ClientError indexOutOfRange(int index)
{
    return {kErrCallFailed, QStringLiteral("There is no item %1 in the collection").arg(index)};
}

class BackendTrack final : public LibraryTrack
{
public:
    BackendTrack(BackendPtr backend, std::shared_ptr<const TrackTable> table, std::uint64_t mark, int row,
                 PlaylistPtr playlist)
        : m_backend(std::move(backend)), m_table(std::move(table)), m_mark(mark), m_row(row),
          m_playlist(std::move(playlist))
    {}

    QString name() override { return text(TrackText::Name); }
    std::int32_t trackId() override { return alive().trackId(m_row); }
    std::int32_t databaseId() override { return alive().databaseId(m_row); }
    QString album() override { return text(TrackText::Album); }
    QString artist() override { return text(TrackText::Artist); }
    QString time() override { return text(TrackText::Time); }
    QString composer() override { return text(TrackText::Composer); }
    QString genre() override { return text(TrackText::Genre); }
    QString kindText() override { return text(TrackText::KindAsString); }
    std::int32_t bitRate() override { return alive().bitRate(m_row); }
    std::int32_t sampleRate() override { return alive().sampleRate(m_row); }
    std::int64_t size() override { return alive().size(m_row); }
    QDateTime dateAdded() override { return alive().dateAdded(m_row); }
    std::int32_t playCount() override { return alive().playCount(m_row); }
    std::int32_t skipCount() override { return alive().skipCount(m_row); }
    std::int32_t rating() override { return alive().rating(m_row); }
    QDateTime playDate() override { return alive().playDate(m_row); }
    PlaylistPtr playlist() override
    {
        alive();
        return m_playlist;
    }
    std::optional<QString> location() override
    {
        if (alive().kind(m_row) == protocol::TrackKind::Url)
            return std::nullopt;
        return m_table->text(m_row, TrackText::Location);
    }
    QString longDescription() override { return text(TrackText::LongDescription); }
    void deleteFromLibrary() override
    {
        const std::int32_t id = alive().databaseId(m_row);
        try {
            m_backend->deleteTrack(id);
        } catch (const ClientError &e) {
            if (e.number() == kErrObjectDeleted)
                m_backend->markDeleted(id);
            throw;
        }
        m_backend->markDeleted(id);
    }
    void deleteFromLibraryMergingInto(std::int32_t keeperId) override
    {
        // A refusal may be about either track: the copy is marked gone only
        // once it is.
        const std::int32_t id = alive().databaseId(m_row);
        m_backend->deleteTrackMergingInto(id, keeperId);
        m_backend->markDeleted(id);
    }

private:
    const TrackTable &alive() const
    {
        if (m_backend->isDeletedSince(m_table->databaseId(m_row), m_mark))
            throw ClientError::objectDeleted();
        return *m_table;
    }
    QString text(TrackText which) const { return alive().text(m_row, which); }

    BackendPtr m_backend;
    std::shared_ptr<const TrackTable> m_table;
    std::uint64_t m_mark; // when m_table was fetched
    int m_row;
    PlaylistPtr m_playlist;
};

class BackendTrackList final : public LibraryTrackList
{
public:
    BackendTrackList(BackendPtr backend, PlaylistPtr playlist, std::int32_t playlistId)
        : m_backend(std::move(backend)), m_playlist(std::move(playlist)), m_playlistId(playlistId)
    {}

    int count() override { return table().count(); }
    TrackPtr item(int index) override
    {
        if (index < 0 || index >= table().count())
            throw indexOutOfRange(index);
        return track(m_table, m_tableMark, index);
    }
    void forEach(const std::function<bool(const TrackPtr &)> &visit) override
    {
        const auto snapshot = fetched();
        for (int row = 0; row < snapshot->count(); ++row) {
            if (row % 4096 == 0)
                snapshot->forgetRowsBefore(row);
            if (m_backend->isDeletedSince(snapshot->databaseId(row), m_tableMark))
                continue;
            if (!visit(track(snapshot, m_tableMark, row)))
                break;
        }
    }
    std::optional<FetchedRows> fetchedRows() override
    {
        FetchedRows fetchedRows{fetched(), {}};
        const TrackTable &rows = *fetchedRows.table;
        fetchedRows.rows.reserve(std::size_t(rows.count()));
        // Nothing learnt gone since the fetch: no row's id needs reading
        // (each would bring its page of a large payload back).
        const bool anyGone = m_backend->deletionMark() > m_tableMark;
        for (int row = 0; row < rows.count(); ++row) {
            if (!anyGone || !m_backend->isDeletedSince(rows.databaseId(row), m_tableMark))
                fetchedRows.rows.push_back(row);
        }
        return fetchedRows;
    }
    TrackPtr firstByTrackId(std::int32_t trackId) override
    {
        // Once the tracks are here the walk is local and cheaper than a
        // round trip; before that, the library answers without sending the
        // whole playlist.
        if (m_table) {
            for (int row = 0; row < m_table->count(); ++row) {
                if (m_table->trackId(row) == trackId &&
                    !m_backend->isDeletedSince(m_table->databaseId(row), m_tableMark))
                    return track(m_table, m_tableMark, row);
            }
            return nullptr;
        }
        const std::uint64_t mark = m_backend->deletionMark();
        auto found = m_backend->firstTrack(m_playlistId, trackId);
        if (found->count() == 0 || m_backend->isDeletedSince(found->databaseId(0), mark))
            return nullptr;
        return track(found, mark, 0);
    }

private:
    const TrackTable &table() { return *fetched(); }
    const std::shared_ptr<const TrackTable> &fetched()
    {
        if (!m_table) {
            m_tableMark = m_backend->deletionMark();
            m_table = m_backend->playlistTracks(m_playlistId);
        }
        return m_table;
    }
    TrackPtr track(const std::shared_ptr<const TrackTable> &table, std::uint64_t mark, int row) const
    {
        return std::make_shared<BackendTrack>(m_backend, table, mark, row, m_playlist);
    }

    BackendPtr m_backend;
    PlaylistPtr m_playlist;
    std::int32_t m_playlistId;
    std::shared_ptr<const TrackTable> m_table;
    std::uint64_t m_tableMark = 0;
};

class BackendPlaylist final : public LibraryPlaylist, public std::enable_shared_from_this<BackendPlaylist>
{
public:
    BackendPlaylist(BackendPtr backend, protocol::PlaylistRecord record)
        : m_backend(std::move(backend)), m_record(std::move(record))
    {}

    QString name() override { return m_record.name; }
    std::int32_t playlistId() override { return m_record.playlistId; }
    std::int32_t kind() override { return m_record.kind; }
    std::shared_ptr<LibraryTrackList> tracks() override
    {
        return std::make_shared<BackendTrackList>(m_backend, shared_from_this(), m_record.playlistId);
    }

private:
    BackendPtr m_backend;
    protocol::PlaylistRecord m_record;
};

class BackendPlaylistCollection final : public LibraryPlaylistCollection
{
public:
    BackendPlaylistCollection(BackendPtr backend, const std::vector<protocol::PlaylistRecord> &records)
    {
        m_playlists.reserve(records.size());
        for (const auto &record : records)
            m_playlists.push_back(makePlaylist(backend, record));
    }

    int count() override { return static_cast<int>(m_playlists.size()); }
    PlaylistPtr item(int index) override
    {
        if (index < 0 || index >= count())
            throw indexOutOfRange(index);
        return m_playlists[static_cast<std::size_t>(index)];
    }
    void forEach(const std::function<bool(const PlaylistPtr &)> &visit) override
    {
        for (const auto &playlist : m_playlists) {
            if (!visit(playlist))
                break;
        }
    }

private:
    std::vector<PlaylistPtr> m_playlists;
};

class BackendSource final : public LibrarySource
{
public:
    BackendSource(BackendPtr backend, protocol::SourceRecord record)
        : m_backend(std::move(backend)), m_record(std::move(record))
    {}

    QString name() override { return m_record.name; }
    std::int32_t sourceId() override { return m_record.sourceId; }
    std::int32_t kind() override { return m_record.kind; }
    std::shared_ptr<LibraryPlaylistCollection> playlists() override
    {
        return std::make_shared<BackendPlaylistCollection>(m_backend, m_backend->playlists());
    }

private:
    BackendPtr m_backend;
    protocol::SourceRecord m_record;
};

} // namespace

SourcePtr makeSource(const BackendPtr &backend, const protocol::SourceRecord &record)
{
    return std::make_shared<BackendSource>(backend, record);
}

PlaylistPtr makePlaylist(const BackendPtr &backend, const protocol::PlaylistRecord &record)
{
    return std::make_shared<BackendPlaylist>(backend, record);
}

BackendLibraryClient::BackendLibraryClient(BackendPtr backend) : m_backend(std::move(backend)) {}

SourcePtr BackendLibraryClient::librarySource()
{
    return makeSource(m_backend, m_backend->source());
}

PlaylistPtr BackendLibraryClient::libraryPlaylist()
{
    return makePlaylist(m_backend, m_backend->libraryPlaylist());
}

void BackendLibraryClient::quit()
{
    m_backend->quit();
}

std::vector<std::int32_t> BackendLibraryClient::fileTracksAt(const QString &path)
{
    return m_backend->fileTracksAt(path);
}

std::int32_t BackendLibraryClient::beginJob(const QString &kind)
{
    return m_backend->beginJob(kind);
}

void BackendLibraryClient::deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                                            const QString &infoPath)
{
    try {
        m_backend->deleteTrackInJob(jobId, databaseId, trashedPath, infoPath);
    } catch (const ClientError &e) {
        if (e.number() == kErrObjectDeleted)
            m_backend->markDeleted(databaseId);
        throw;
    }
    m_backend->markDeleted(databaseId);
}

void BackendLibraryClient::deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId,
                                                       std::int32_t keeperId, const QString &trashedPath,
                                                       const QString &infoPath)
{
    // A refusal may be about either track: the copy is marked gone only once
    // it is.
    m_backend->deleteTrackMergingIntoInJob(jobId, databaseId, keeperId, trashedPath, infoPath);
    m_backend->markDeleted(databaseId);
}

void BackendLibraryClient::deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                           const QString &trashedPath, const QString &infoPath)
{
    m_backend->deleteCopyInJob(jobId, databaseId, keeperId, trashedPath, infoPath);
    m_backend->markDeleted(databaseId);
}

JobRemovals BackendLibraryClient::removeTracksInJob(std::int32_t jobId,
                                                    const std::vector<protocol::TrackRemoval> &removals,
                                                    bool mergeHistory)
{
    JobRemovals result;
    try {
        m_backend->removeTracksInJob(jobId, removals, mergeHistory, result.removed);
    } catch (...) {
        result.failure = std::current_exception();
    }
    result.removed.resize(std::min(result.removed.size(), removals.size()));
    // As the calls one at a time mark them: a refusal of a copy may be about
    // its keeper, so only a track without one is known gone by it.
    for (size_t i = 0; i < result.removed.size(); ++i) {
        if (result.removed[i] || removals[i].keeperId == 0)
            m_backend->markDeleted(removals[i].databaseId);
    }
    return result;
}

std::vector<std::vector<std::int32_t>> BackendLibraryClient::fileTracksAtEach(const QStringList &paths)
{
    return m_backend->fileTracksAtEach(paths);
}

void BackendLibraryClient::removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                                   const std::vector<std::int32_t> &databaseIds)
{
    m_backend->removeFromPlaylistInJob(jobId, playlistId, databaseIds);
}

void BackendLibraryClient::deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId)
{
    m_backend->deletePlaylistInJob(jobId, playlistId);
}

void BackendLibraryClient::endJob(std::int32_t jobId)
{
    m_backend->endJob(jobId);
}

protocol::FingerprintSummary BackendLibraryClient::makeFingerprints(const FingerprintHandlers &handlers)
{
    return m_backend->makeFingerprints(handlers);
}

std::vector<protocol::SoundMatch> BackendLibraryClient::soundMatches()
{
    return m_backend->soundMatches();
}

std::vector<protocol::JobRecord> BackendLibraryClient::listJobs()
{
    return m_backend->jobs();
}

protocol::RestoreResult BackendLibraryClient::restoreJob(std::int32_t jobId)
{
    auto result = m_backend->restoreJob(jobId);
    m_backend->forgetDeleted();
    return result;
}

void BackendLibraryClient::setQuittingHandler(std::function<void()> handler)
{
    m_onQuitting = std::move(handler);
}

void BackendLibraryClient::setRestoredHandler(std::function<void(std::int32_t)> handler)
{
    m_onRestored = std::move(handler);
}

void BackendLibraryClient::raiseRestored(std::int32_t jobId)
{
    m_backend->forgetDeleted();
    if (auto handler = m_onRestored)
        handler(jobId);
}

void BackendLibraryClient::raiseQuitting()
{
    // A copy: the handler may replace itself.
    if (auto handler = m_onQuitting)
        handler();
}

} // namespace tidyfox::libraryclient
