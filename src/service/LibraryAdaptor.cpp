// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryAdaptor.h"

#include "protocol/BusNames.h"
#include "protocol/JobListFormat.h"
#include "protocol/LibraryBusFormat.h"
#include "service/LibraryStore.h"
#include "service/ServiceLog.h"
#include "service/TracksPayloadBuilder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <malloc.h>

namespace tidyfox::library {

LibraryAdaptor::LibraryAdaptor(std::unique_ptr<LibraryCore> core, const QString &libraryPath, QObject *parent)
    : QObject(parent), m_core(std::move(core)), m_fingerprints(*m_core), m_cache(libraryPath, kCacheBudget)
{
    connect(&m_fingerprints, &FingerprintMaker::progress, this, &LibraryAdaptor::FingerprintProgress);
    connect(&m_fingerprints, &FingerprintMaker::without, this, &LibraryAdaptor::FingerprintMissing);
    connect(&m_fingerprints, &FingerprintMaker::finished, this, &LibraryAdaptor::FingerprintsMade);
}

void LibraryAdaptor::prepare()
{
    try {
        tracksPayload(m_core->libraryPlaylistId());
    } catch (const std::exception &e) {
        // The call itself will report it when the program asks.
        qCDebug(lcService) << "could not prepare the library playlist:" << e.what();
    }
}

LibraryAdaptor::~LibraryAdaptor() = default;

// Every call answers with a bus error instead of letting a library error
// escape into the event loop; a vanished object gets its own error name so
// that the program sees "object deleted".
template<typename Result, typename Call> Result LibraryAdaptor::guarded(Result fallback, Call &&call)
{
    try {
        return call();
    } catch (const ObjectDeletedError &e) {
        sendErrorReply(QString::fromLatin1(protocol::kErrorObjectDeleted), QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        sendErrorReply(QString::fromLatin1(protocol::kErrorFailed), QString::fromUtf8(e.what()));
    }
    return fallback;
}

int LibraryAdaptor::Source(int &kind, QString &name)
{
    return guarded(0, [&] {
        const SourceRecord source = m_core->source();
        kind = source.kind;
        name = source.name;
        return source.sourceId;
    });
}

int LibraryAdaptor::LibraryPlaylist(int &kind, QString &name)
{
    return guarded(0, [&] {
        const std::int32_t id = m_core->libraryPlaylistId();
        for (const PlaylistRecord &p : m_core->playlists()) {
            if (p.playlistId == id) {
                kind = p.kind;
                name = p.name;
                return id;
            }
        }
        throw ObjectDeletedError("The library has no library playlist");
    });
}

QByteArray LibraryAdaptor::Playlists()
{
    return guarded(QByteArray(), [&] { return protocol::encodePlaylists(m_core->playlists()); });
}

QByteArray LibraryAdaptor::PlaylistTracks(int playlistId)
{
    return guarded(QByteArray(), [&] { return tracksPayload(playlistId)->readAll(); });
}

QDBusUnixFileDescriptor LibraryAdaptor::PlaylistTracksFile(int playlistId)
{
    // QDBusUnixFileDescriptor takes a copy of the descriptor; the kept file
    // stays ours.
    return guarded(QDBusUnixFileDescriptor(), [&] { return QDBusUnixFileDescriptor(tracksPayload(playlistId)->fd()); });
}

std::shared_ptr<const SealedMemoryFile> LibraryAdaptor::tracksPayload(std::int32_t playlistId)
{
    if (auto kept = m_cache.find(playlistId))
        return kept;
    m_cache.beginBuild();
    QElapsedTimer timer;
    timer.start();
    const bool library = playlistId == m_core->libraryPlaylistId();
    std::shared_ptr<const PayloadRecords> records;
    std::shared_ptr<const SealedMemoryFile> payload;
    if (!library)
        payload = composedTracksPayload(playlistId);
    if (!payload)
        payload = buildTracksPayload(playlistId, library ? &records : nullptr);
    qCDebug(lcService) << "built the tracks of playlist" << playlistId << "in" << timer.elapsed()
                       << "ms:" << payload->size() << "bytes";
    m_cache.store(playlistId, payload, library, std::move(records));
    releaseMemorySoon();
    return payload;
}

std::shared_ptr<const SealedMemoryFile>
LibraryAdaptor::buildTracksPayload(std::int32_t playlistId, std::shared_ptr<const PayloadRecords> *records)
{
    auto *store = dynamic_cast<LibraryStore *>(m_core.get());
    if (!store)
        return std::make_shared<const SealedMemoryFile>(protocol::encodeTracks(m_core->playlistTracks(playlistId)));
    TracksPayloadBuilder payload(records != nullptr);
    // The library playlist, the largest by far, is read in two halves at
    // once while the program waits for it.
    if (playlistId == m_core->libraryPlaylistId()) {
        TracksPayloadBuilder second(records != nullptr);
        if (store->forEachLibraryTrackBytesInHalves([&](const protocol::TrackBytes &t) { payload.add(t); },
                                                    [&](const protocol::TrackBytes &t) { second.add(t); })) {
            // The halves may be of two states: then once more, in one walk.
            if (m_cache.changedSinceBuildBegan())
                return buildTracksPayload(playlistId, records);
            payload.append(second);
            auto sealed = payload.seal();
            if (records)
                *records = payload.records();
            return sealed;
        }
    }
    store->forEachTrackBytes(playlistId, [&](const protocol::TrackBytes &t) { payload.add(t); });
    auto sealed = payload.seal();
    if (records)
        *records = payload.records();
    return sealed;
}

std::shared_ptr<const SealedMemoryFile> LibraryAdaptor::composedTracksPayload(std::int32_t playlistId)
{
    auto *store = dynamic_cast<LibraryStore *>(m_core.get());
    const auto library = store ? m_cache.largeWithRecords(m_core->libraryPlaylistId()) : std::nullopt;
    if (!library)
        return nullptr;
    TracksPayloadBuilder payload;
    QByteArray record;
    store->forEachItemDatabaseId(playlistId, [&](std::int32_t databaseId) {
        // As the table's join would: an item without its track is left out.
        const auto span = library->records->find(databaseId);
        if (!span)
            return;
        record.resize(qsizetype(span->size));
        library->payload->readAt(qsizetype(span->start), record.size(), record.data());
        payload.addRecord(record);
    });
    // The items are of the state the library payload was built from only
    // while nothing has changed meanwhile.
    if (m_cache.changedSinceBuildBegan())
        return nullptr;
    return payload.seal();
}

QByteArray LibraryAdaptor::FirstTrackByID(int playlistId, int trackId)
{
    return guarded(QByteArray(), [&] {
        std::vector<TrackRecord> found;
        if (auto track = m_core->firstTrackInPlaylist(playlistId, trackId))
            found.push_back(std::move(*track));
        return protocol::encodeTracks(found);
    });
}

QByteArray LibraryAdaptor::Track(int databaseId)
{
    return guarded(QByteArray(), [&] {
        auto track = m_core->track(databaseId);
        if (!track)
            throw ObjectDeletedError("The track is no longer in the library");
        return protocol::encodeTracks({*track});
    });
}

void LibraryAdaptor::DeleteTrack(int databaseId)
{
    const bool deleted = guarded(false, [&] {
        m_core->deleteTrack(databaseId);
        return true;
    });
    m_cache.clear();
    if (deleted)
        emit TrackDeleted(databaseId);
}

QList<int> LibraryAdaptor::FileTracksAt(const QString &path)
{
    return guarded(QList<int>(), [&] {
        const std::vector<std::int32_t> ids = m_core->fileTracksAt(path);
        return QList<int>(ids.begin(), ids.end());
    });
}

void LibraryAdaptor::DeleteTrackMergingInto(int databaseId, int keeperId)
{
    const bool deleted = guarded(false, [&] {
        m_core->deleteTrackMergingInto(databaseId, keeperId);
        return true;
    });
    m_cache.clear();
    if (deleted)
        emit TrackDeleted(databaseId);
}

JobHolder LibraryAdaptor::callingHolder()
{
    if (!calledFromDBus())
        return {};
    const QString client = message().service();
    const QDBusReply<uint> pid = connection().interface()->servicePid(client);
    if (!m_clients) {
        m_clients = new QDBusServiceWatcher(this);
        m_clients->setConnection(connection());
        m_clients->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(m_clients, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &gone) {
            m_clients->removeWatchedService(gone);
            try {
                m_core->releaseJobLease(gone);
            } catch (const std::exception &error) {
                qCWarning(lcService) << "The job lease of a client that left stays:" << error.what();
            }
        });
    }
    m_clients->addWatchedService(client);
    return {client, pid.isValid() ? programOf(pid.value()) : QString()};
}

int LibraryAdaptor::BeginJob(const QString &kind)
{
    const JobHolder holder = callingHolder();
    return guarded(0, [&] { return m_core->beginJob(kind, holder); });
}

void LibraryAdaptor::DeleteCopyInJob(int jobId, int databaseId, int keeperId, const QString &trashedPath,
                                     const QString &infoPath)
{
    const bool deleted = guarded(false, [&] {
        m_core->deleteCopyInJob(jobId, databaseId, keeperId, trashedPath, infoPath);
        return true;
    });
    m_cache.clear();
    if (deleted)
        emit TrackDeleted(databaseId);
}

void LibraryAdaptor::DeleteTrackInJob(int jobId, int databaseId, const QString &trashedPath, const QString &infoPath)
{
    const bool deleted = guarded(false, [&] {
        m_core->deleteTrackInJob(jobId, databaseId, trashedPath, infoPath);
        return true;
    });
    m_cache.clear();
    if (deleted)
        emit TrackDeleted(databaseId);
}

void LibraryAdaptor::DeleteTrackMergingIntoInJob(int jobId, int databaseId, int keeperId, const QString &trashedPath,
                                                 const QString &infoPath)
{
    const bool deleted = guarded(false, [&] {
        m_core->deleteTrackMergingIntoInJob(jobId, databaseId, keeperId, trashedPath, infoPath);
        return true;
    });
    m_cache.clear();
    if (deleted)
        emit TrackDeleted(databaseId);
}

QList<int> LibraryAdaptor::DeleteTracksInJob(int jobId, const QList<int> &databaseIds, const QList<int> &keeperIds,
                                             bool mergeHistory, const QStringList &trashedPaths,
                                             const QStringList &infoPaths, QString &failure)
{
    const qsizetype count = databaseIds.size();
    if (keeperIds.size() != count || trashedPaths.size() != count || infoPaths.size() != count) {
        sendErrorReply(QString::fromLatin1(protocol::kErrorFailed),
                       QStringLiteral("DeleteTracksInJob wants as many keepers and paths as tracks"));
        return {};
    }
    std::vector<TrackRemoval> removals;
    removals.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        removals.push_back({databaseIds[i], keeperIds[i], trashedPaths[i], infoPaths[i]});
    std::vector<bool> removed;
    try {
        m_core->removeTracksInJob(jobId, removals, mergeHistory, removed);
    } catch (const std::exception &e) {
        // The removals answered stand; the caller learns why the rest did not
        // go from the text.
        failure = QString::fromUtf8(e.what());
        if (failure.isEmpty())
            failure = QStringLiteral("The removal failed");
    }
    m_cache.clear();
    QList<int> answers;
    QList<int> deleted;
    answers.reserve(qsizetype(removed.size()));
    for (size_t i = 0; i < removed.size(); ++i) {
        answers << (removed[i] ? 1 : 0);
        if (removed[i])
            deleted << databaseIds[qsizetype(i)];
    }
    if (!deleted.isEmpty())
        emit TracksDeleted(deleted);
    return answers;
}

QList<int> LibraryAdaptor::FileTracksAtEach(const QStringList &paths, QList<int> &counts)
{
    return guarded(QList<int>(), [&] {
        QList<int> ids;
        counts.clear();
        for (const QString &path : paths) {
            const std::vector<std::int32_t> found = m_core->fileTracksAt(path);
            counts << int(found.size());
            ids.append(QList<int>(found.begin(), found.end()));
        }
        return ids;
    });
}

void LibraryAdaptor::RemoveFromPlaylistInJob(int jobId, int playlistId, const QList<int> &databaseIds)
{
    guarded(false, [&] {
        m_core->removeFromPlaylistInJob(jobId, playlistId, {databaseIds.begin(), databaseIds.end()});
        return true;
    });
    m_cache.clear();
}

void LibraryAdaptor::DeletePlaylistInJob(int jobId, int playlistId)
{
    guarded(false, [&] {
        m_core->deletePlaylistInJob(jobId, playlistId);
        return true;
    });
    m_cache.clear();
}

void LibraryAdaptor::EndJob(int jobId)
{
    guarded(false, [&] {
        m_core->endJob(jobId);
        return true;
    });
}

int LibraryAdaptor::MakeFingerprints()
{
    return guarded(0, [&] { return std::max(0, m_fingerprints.start()); });
}

void LibraryAdaptor::CancelFingerprints()
{
    m_fingerprints.cancel();
}

QByteArray LibraryAdaptor::SoundMatches()
{
    return guarded(QByteArray(), [&] { return protocol::encodeSoundMatches(m_core->soundMatches()); });
}

QString LibraryAdaptor::Jobs()
{
    return guarded(QString(), [&] { return protocol::encodeJobs(m_core->jobs()); });
}

int LibraryAdaptor::RestoreJob(int jobId, QStringList &notRestored)
{
    const int restored = guarded(-1, [&] {
        const RestoreResult result = m_core->restoreJob(jobId);
        notRestored = result.notRestored;
        return int(result.restored);
    });
    // Kept payloads lack the tracks that came back.
    m_cache.clear();
    if (restored >= 0)
        emit Restored(jobId);
    return std::max(restored, 0);
}

void LibraryAdaptor::Quit()
{
    announceQuit();
}

void LibraryAdaptor::announceQuit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    emit Quitting();
    // Queued, so that the reply to a Quit call leaves before the loop ends.
    QTimer::singleShot(0, this, &LibraryAdaptor::quitRequested);
}

// A large reply leaves many small blocks behind in the heap; hand them back
// to the system once the reply is on its way so the service stays small.
void LibraryAdaptor::releaseMemorySoon()
{
    if (m_trimPending)
        return;
    m_trimPending = true;
    QTimer::singleShot(0, this, [this] {
        m_trimPending = false;
        malloc_trim(0);
    });
}

} // namespace tidyfox::library
