#include "itunes/LibraryObjects.h"

namespace tidyfox::itunes {

using library::bus::TrackTable;
using library::bus::TrackText;

namespace {

ComError indexOutOfRange(int index)
{
    return {kErrCallFailed, QStringLiteral("There is no item %1 in the collection").arg(index)};
}

class Track final : public IITTrack
{
public:
    Track(BackendPtr backend, std::shared_ptr<const TrackTable> table, int row, PlaylistPtr playlist)
        : m_backend(std::move(backend)), m_table(std::move(table)), m_row(row), m_playlist(std::move(playlist))
    {}

    QString Name() override { return text(TrackText::Name); }
    std::int32_t TrackID() override { return alive().trackId(m_row); }
    std::int32_t TrackDatabaseID() override { return alive().databaseId(m_row); }
    QString Album() override { return text(TrackText::Album); }
    QString Artist() override { return text(TrackText::Artist); }
    QString Time() override { return text(TrackText::Time); }
    QString Composer() override { return text(TrackText::Composer); }
    QString Genre() override { return text(TrackText::Genre); }
    QString KindAsString() override { return text(TrackText::KindAsString); }
    std::int32_t BitRate() override { return alive().bitRate(m_row); }
    std::int32_t SampleRate() override { return alive().sampleRate(m_row); }
    std::int64_t Size() override { return alive().size(m_row); }
    QDateTime DateAdded() override { return alive().dateAdded(m_row); }
    PlaylistPtr Playlist() override
    {
        alive();
        return m_playlist;
    }
    QString Location() override
    {
        // A stream has no file, and asking for one is an error, as it is for
        // the program's original partner.
        if (alive().kind(m_row) == library::TrackKind::Url)
            throw ComError(kErrNoSuchProperty, QStringLiteral("Object doesn't support this property or method"));
        return m_table->text(m_row, TrackText::Location);
    }
    QString LongDescription() override { return text(TrackText::LongDescription); }
    void Delete() override
    {
        const std::int32_t id = alive().databaseId(m_row);
        try {
            m_backend->deleteTrack(id);
        } catch (const ComError &e) {
            if (e.number() == kErrObjectDeleted)
                m_backend->markDeleted(id);
            throw;
        }
        m_backend->markDeleted(id);
    }

private:
    const TrackTable &alive() const
    {
        if (m_backend->isDeleted(m_table->databaseId(m_row)))
            throw ComError::objectDeleted();
        return *m_table;
    }
    QString text(TrackText which) const { return alive().text(m_row, which); }

    BackendPtr m_backend;
    std::shared_ptr<const TrackTable> m_table;
    int m_row;
    PlaylistPtr m_playlist;
};

class TrackList final : public IITTrackList
{
public:
    TrackList(BackendPtr backend, PlaylistPtr playlist, std::int32_t playlistId)
        : m_backend(std::move(backend)), m_playlist(std::move(playlist)), m_playlistId(playlistId)
    {}

    int Count() override { return table().count(); }
    TrackPtr Item(int index) override
    {
        if (index < 0 || index >= table().count())
            throw indexOutOfRange(index);
        return track(m_table, index);
    }
    void ForEach(const std::function<bool(const TrackPtr &)> &visit) override
    {
        const auto snapshot = fetched();
        for (int row = 0; row < snapshot->count(); ++row) {
            if (m_backend->isDeleted(snapshot->databaseId(row)))
                continue;
            if (!visit(track(snapshot, row)))
                break;
        }
    }
    TrackPtr FirstByTrackID(std::int32_t trackId) override
    {
        // Once the tracks are here the walk is local and cheaper than a
        // round trip; before that, the library answers without sending the
        // whole playlist.
        if (m_table) {
            for (int row = 0; row < m_table->count(); ++row) {
                if (m_table->trackId(row) == trackId && !m_backend->isDeleted(m_table->databaseId(row)))
                    return track(m_table, row);
            }
            return nullptr;
        }
        auto found = m_backend->firstTrack(m_playlistId, trackId);
        if (found->count() == 0 || m_backend->isDeleted(found->databaseId(0)))
            return nullptr;
        return track(found, 0);
    }

private:
    const TrackTable &table() { return *fetched(); }
    const std::shared_ptr<const TrackTable> &fetched()
    {
        if (!m_table)
            m_table = m_backend->playlistTracks(m_playlistId);
        return m_table;
    }
    TrackPtr track(const std::shared_ptr<const TrackTable> &table, int row) const
    {
        return std::make_shared<Track>(m_backend, table, row, m_playlist);
    }

    BackendPtr m_backend;
    PlaylistPtr m_playlist;
    std::int32_t m_playlistId;
    std::shared_ptr<const TrackTable> m_table;
};

class Playlist final : public IITPlaylist, public std::enable_shared_from_this<Playlist>
{
public:
    Playlist(BackendPtr backend, library::PlaylistRecord record)
        : m_backend(std::move(backend)), m_record(std::move(record))
    {}

    QString Name() override { return m_record.name; }
    std::int32_t PlaylistID() override { return m_record.playlistId; }
    std::int32_t Kind() override { return m_record.kind; }
    std::shared_ptr<IITTrackList> Tracks() override
    {
        return std::make_shared<TrackList>(m_backend, shared_from_this(), m_record.playlistId);
    }

private:
    BackendPtr m_backend;
    library::PlaylistRecord m_record;
};

class PlaylistCollection final : public IITPlaylistCollection
{
public:
    PlaylistCollection(BackendPtr backend, const std::vector<library::PlaylistRecord> &records)
    {
        m_playlists.reserve(records.size());
        for (const auto &record : records)
            m_playlists.push_back(makePlaylist(backend, record));
    }

    int Count() override { return static_cast<int>(m_playlists.size()); }
    PlaylistPtr Item(int index) override
    {
        if (index < 0 || index >= Count())
            throw indexOutOfRange(index);
        return m_playlists[static_cast<std::size_t>(index)];
    }
    void ForEach(const std::function<bool(const PlaylistPtr &)> &visit) override
    {
        for (const auto &playlist : m_playlists) {
            if (!visit(playlist))
                break;
        }
    }

private:
    std::vector<PlaylistPtr> m_playlists;
};

class Source final : public IITSource
{
public:
    Source(BackendPtr backend, library::SourceRecord record)
        : m_backend(std::move(backend)), m_record(std::move(record))
    {}

    QString Name() override { return m_record.name; }
    std::int32_t SourceID() override { return m_record.sourceId; }
    std::int32_t Kind() override { return m_record.kind; }
    std::shared_ptr<IITPlaylistCollection> Playlists() override
    {
        return std::make_shared<PlaylistCollection>(m_backend, m_backend->playlists());
    }

private:
    BackendPtr m_backend;
    library::SourceRecord m_record;
};

} // namespace

SourcePtr makeSource(const BackendPtr &backend, const library::SourceRecord &record)
{
    return std::make_shared<Source>(backend, record);
}

PlaylistPtr makePlaylist(const BackendPtr &backend, const library::PlaylistRecord &record)
{
    return std::make_shared<Playlist>(backend, record);
}

BackendITunes::BackendITunes(BackendPtr backend) : m_backend(std::move(backend)) {}

void BackendITunes::SetForceToForegroundOnDialog(bool value)
{
    // There is no dialog to bring forward here; the value is kept so it can
    // be read back.
    m_forceToForeground = value;
}

SourcePtr BackendITunes::LibrarySource()
{
    return makeSource(m_backend, m_backend->source());
}

PlaylistPtr BackendITunes::LibraryPlaylist()
{
    return makePlaylist(m_backend, m_backend->libraryPlaylist());
}

void BackendITunes::Quit()
{
    m_backend->quit();
}

void BackendITunes::SetOnQuittingEvent(std::function<void()> handler)
{
    m_onQuitting = std::move(handler);
}

void BackendITunes::raiseQuitting()
{
    // A copy: the handler may replace itself.
    if (auto handler = m_onQuitting)
        handler();
}

} // namespace tidyfox::itunes
