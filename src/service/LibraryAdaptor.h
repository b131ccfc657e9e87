// SPDX-License-Identifier: GPL-3.0-or-later
// The library on the session bus: the object /Library with the interface
// org.tidyfox.Library. Collections leave in one call (see LibraryBusFormat.h).
#pragma once

#include "service/FingerprintMaker.h"
#include "service/LibraryBusCache.h"
#include "service/LibraryCore.h"

#include <QByteArray>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <memory>

namespace tidyfox::library {

class LibraryAdaptor : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tidyfox.Library")

public:
    // libraryPath: the file the core was opened on, watched so that kept
    // payloads never outlive a change.
    LibraryAdaptor(std::unique_ptr<LibraryCore> core, const QString &libraryPath, QObject *parent = nullptr);
    ~LibraryAdaptor() override;

    // Bytes of track payloads kept between calls at most.
    static constexpr qsizetype kCacheBudget = qsizetype(48) << 20;

    // Builds the library playlist's payload ahead of the first call for it.
    void prepare();

    // Announces Quitting on the bus and asks the owner to stop serving.
    void announceQuit();

public slots:
    // The library source: its id, with kind and name as output arguments.
    Q_SCRIPTABLE int Source(int &kind, QString &name);
    // The library playlist: its id, with kind and name as output arguments.
    Q_SCRIPTABLE int LibraryPlaylist(int &kind, QString &name);
    Q_SCRIPTABLE QByteArray Playlists();
    Q_SCRIPTABLE QByteArray PlaylistTracks(int playlistId);
    // The same payload in a sealed memory file: a large playlist then goes
    // straight to the program instead of being copied through the bus daemon.
    Q_SCRIPTABLE QDBusUnixFileDescriptor PlaylistTracksFile(int playlistId);
    // Zero or one track: the first of the playlist with that track id.
    Q_SCRIPTABLE QByteArray FirstTrackByID(int playlistId, int trackId);
    // One track by database id; fails with ObjectDeleted when it is gone.
    Q_SCRIPTABLE QByteArray Track(int databaseId);
    Q_SCRIPTABLE void DeleteTrack(int databaseId);
    // The database ids of the file tracks at path, as the library is now.
    Q_SCRIPTABLE QList<int> FileTracksAt(const QString &path);
    // DeleteTrack of a copy whose play history goes to keeperId first, in one
    // change; fails with ObjectDeleted, changing nothing, when either is gone.
    Q_SCRIPTABLE void DeleteTrackMergingInto(int databaseId, int keeperId);
    // The history of removals (see org.tidyfox.Library.xml).
    Q_SCRIPTABLE int BeginJob(const QString &kind);
    Q_SCRIPTABLE void DeleteTrackInJob(int jobId, int databaseId, const QString &trashedPath, const QString &infoPath);
    Q_SCRIPTABLE void DeleteTrackMergingIntoInJob(int jobId, int databaseId, int keeperId, const QString &trashedPath,
                                                  const QString &infoPath);
    Q_SCRIPTABLE void DeleteCopyInJob(int jobId, int databaseId, int keeperId, const QString &trashedPath,
                                      const QString &infoPath);
    // Many removals in one call; see org.tidyfox.Library.xml.
    Q_SCRIPTABLE QList<int> DeleteTracksInJob(int jobId, const QList<int> &databaseIds, const QList<int> &keeperIds,
                                              bool mergeHistory, const QStringList &trashedPaths,
                                              const QStringList &infoPaths, QString &failure);
    // FileTracksAt for many paths: the ids of all, path after path, with
    // how many each path has as an output argument.
    Q_SCRIPTABLE QList<int> FileTracksAtEach(const QStringList &paths, QList<int> &counts);
    Q_SCRIPTABLE void RemoveFromPlaylistInJob(int jobId, int playlistId, const QList<int> &databaseIds);
    Q_SCRIPTABLE void DeletePlaylistInJob(int jobId, int playlistId);
    Q_SCRIPTABLE void EndJob(int jobId);
    // JSON text, see JobListFormat.h.
    Q_SCRIPTABLE QString Jobs();
    // The tracks put back, with the paths of the files left in the trash as
    // an output argument.
    Q_SCRIPTABLE int RestoreJob(int jobId, QStringList &notRestored);
    Q_SCRIPTABLE void Quit();
    // Starts making the fingerprints the library lacks and returns how many
    // files it will hear (while a run is under way: that run goes on, 0).
    Q_SCRIPTABLE int MakeFingerprints();
    Q_SCRIPTABLE void CancelFingerprints();
    // See encodeSoundMatches.
    Q_SCRIPTABLE QByteArray SoundMatches();

signals:
    Q_SCRIPTABLE void Quitting();
    Q_SCRIPTABLE void TrackDeleted(int databaseId);
    // The tracks one call of many removals deleted.
    Q_SCRIPTABLE void TracksDeleted(const QList<int> &databaseIds);
    // After a restore has committed, so that other clients read again.
    Q_SCRIPTABLE void Restored(int jobId);
    Q_SCRIPTABLE void FingerprintProgress(int done, int total);
    Q_SCRIPTABLE void FingerprintMissing(const QString &path, const QString &why);
    Q_SCRIPTABLE void FingerprintsMade(int made, int without, int left);
    // Not on the bus: tells the serving loop to end.
    void quitRequested();

private:
    template<typename Result, typename Call> Result guarded(Result fallback, Call &&call);
    std::shared_ptr<const SealedMemoryFile> tracksPayload(std::int32_t playlistId);
    // records, when given, learns where each track's record lies.
    std::shared_ptr<const SealedMemoryFile> buildTracksPayload(std::int32_t playlistId,
                                                               std::shared_ptr<const PayloadRecords> *records);
    // Another playlist's payload copied from the library playlist's records,
    // or nothing when they are not at hand (or the library changed).
    std::shared_ptr<const SealedMemoryFile> composedTracksPayload(std::int32_t playlistId);
    void releaseMemorySoon();
    // The caller of the call being served, as a job's lease names it; its
    // leaving the bus ends its hold on the lease.
    JobHolder callingHolder();

    QDBusServiceWatcher *m_clients = nullptr;

    std::unique_ptr<LibraryCore> m_core;
    FingerprintMaker m_fingerprints;
    LibraryBusCache m_cache;
    bool m_quitting = false;
    bool m_trimPending = false;
};

} // namespace tidyfox::library
