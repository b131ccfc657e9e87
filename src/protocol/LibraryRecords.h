// SPDX-License-Identifier: GPL-3.0-or-later
// The records that travel between the library service and the program, and
// the one error type both sides throw for a library that cannot do what was
// asked.
#pragma once

#include "common/Error.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

namespace tidyfox::protocol {

enum class TrackKind : std::int8_t { File = 1, Url = 2 };

// Everything the program reads of a track, in one record.
struct TrackRecord
{
    std::int32_t databaseId = 0; // TrackDatabaseID: unique in the library
    std::int32_t trackId = 0;    // TrackID
    TrackKind kind = TrackKind::File;
    QString persistentId; // 16 hex digits, as iTunes writes it
    QString name;
    QString artist;
    QString album;
    QString composer;
    QString genre;
    QString kindAsString; // "MPEG audio file", "Internet audio stream", ...
    QString time;         // "3:07", "1:02:03"; from totalTimeMs
    std::int32_t totalTimeMs = 0;
    std::int32_t bitRate = 0;    // kbit/s
    std::int32_t sampleRate = 0; // Hz
    std::int64_t size = 0;       // bytes
    QDateTime dateAdded;         // UTC; invalid when the library file gave none
    // The track's history, which decides which of two copies is worth keeping.
    std::int32_t playCount = 0;
    std::int32_t skipCount = 0;
    std::int32_t rating = 0; // 0 to 100; 20 a star
    QDateTime playDate;      // UTC, last played; invalid when never
    QString location;        // absolute path of a file track; the URL of a stream
    QString longDescription;
};

// Playlist kinds as the library stores them. Only the library playlist and the
// lists a person made (smart ones as user playlists) are offered to clients.
enum PlaylistKind : std::int32_t {
    kLibraryPlaylist = 1,
    kUserPlaylist = 2,
    kSmartPlaylist = 3,
    kFolderPlaylist = 4,
    kBuiltInPlaylist = 5
};

struct PlaylistRecord
{
    std::int32_t playlistId = 0;
    std::int32_t kind = kUserPlaylist; // kLibraryPlaylist or kUserPlaylist
    QString name;
    QString persistentId;
};

// One job of the library's history of removals.
struct JobRecord
{
    std::int32_t jobId = 0;
    QString kind; // what the job was, as its caller named it
    QDateTime started;
    QDateTime ended;         // invalid while the job is under way
    std::int32_t tracks = 0; // tracks removed, and places taken out of playlists
    std::int32_t files = 0;  // of them, those whose file went to the trash
    bool restored = false;
    // For a library linked to a player's own: the line saying why the job's
    // change has not reached the player's files yet; empty once it has.
    QString playerWaiting;
};

// What putting a job back achieved: the tracks back in the library, and the
// files that stayed in the trash (by the path they had).
struct RestoreResult
{
    std::int32_t restored = 0;
    QStringList notRestored;
};

// One removal of many sent in one call within a job: the track, and with a
// keeper the copy of the keeper it is (refused once the keeper is gone).
struct TrackRemoval
{
    std::int32_t databaseId = 0;
    std::int32_t keeperId = 0; // 0: none
    // Where its file went in the trash and that entry's .trashinfo; both
    // empty when the file stayed.
    QString trashedPath;
    QString infoPath;
};

// Two file tracks whose audio sounds the same; strength is 1 minus the share
// of fingerprint bits that differ where they agree best (1 for one file).
struct SoundMatch
{
    std::int32_t a = 0; // database ids, a < b
    std::int32_t b = 0;
    float strength = 0;
};

// What making the missing fingerprints did.
struct FingerprintSummary
{
    std::int32_t made = 0;    // fingerprints computed and kept
    std::int32_t without = 0; // files that have none (not audio, too short, silent), each said why
    std::int32_t left = 0;    // not looked at: cancelled
};

struct SourceRecord
{
    std::int32_t sourceId = 0;
    std::int32_t kind = 1;
    QString name;
};

// A library error with a message for a person.
class LibraryError : public Error
{
public:
    explicit LibraryError(const QString &what) : Error(what) {}
    explicit LibraryError(const std::string &what) : Error(QString::fromStdString(what)) {}
    explicit LibraryError(const char *what) : Error(QString::fromUtf8(what)) {}
};

// Thrown by calls on a track or playlist that no longer exists.
class ObjectDeletedError : public LibraryError
{
public:
    using LibraryError::LibraryError;
};

} // namespace tidyfox::protocol
