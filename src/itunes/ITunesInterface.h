// The automation interface of the music library, as the program uses it.
//
// Two implementations live behind it: the D-Bus client of the library service
// (what the program uses) and an in-process adapter over the same library core
// (tests and benchmarks). Every call may throw ComError.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tidyfox::itunes {

// Error numbers the program tests for.
inline constexpr std::int32_t kErrObjectNotSet = 91;
inline constexpr std::int32_t kErrObjectDeleted = static_cast<std::int32_t>(0xA0040202u);
// Anything the service refuses or a broken connection.
inline constexpr std::int32_t kErrCallFailed = static_cast<std::int32_t>(0x80004005u);
// A property the object does not have (Location of a stream).
inline constexpr std::int32_t kErrNoSuchProperty = 438;

// The one error type of the automation interface: a number and a description.
class ComError : public std::runtime_error
{
public:
    ComError(std::int32_t number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {
    }
    std::int32_t number() const { return m_number; }
    QString description() const { return m_description; }

    static ComError objectNotSet() { return {kErrObjectNotSet, QStringLiteral("Object variable not set")}; }
    static ComError objectDeleted() { return {kErrObjectDeleted, QStringLiteral("The object has been deleted")}; }

private:
    std::int32_t m_number;
    QString m_description;
};

class IITPlaylist;
class IITTrack;
class IITSource;

using PlaylistPtr = std::shared_ptr<IITPlaylist>;
using TrackPtr = std::shared_ptr<IITTrack>;
using SourcePtr = std::shared_ptr<IITSource>;

// A collection walked front to back. An enumeration yields every object still
// present that it has not yielded yet: objects deleted after the collection was
// fetched are skipped.
template<typename T>
class IITCollection
{
public:
    virtual ~IITCollection() = default;
    // Number of objects when the collection was fetched (deleted ones included).
    virtual int Count() = 0;
    // 0-based; throws for an index out of range.
    virtual std::shared_ptr<T> Item(int index) = 0;
    // Calls visit for each object still present, in order, until it returns false.
    virtual void ForEach(const std::function<bool(const std::shared_ptr<T> &)> &visit) = 0;
};

using IITPlaylistCollection = IITCollection<IITPlaylist>;
using IITTrackCollection = IITCollection<IITTrack>;

class IITObject
{
public:
    virtual ~IITObject() = default;
    virtual QString Name() = 0;
};

class IITSource : public IITObject
{
public:
    virtual std::int32_t SourceID() = 0;
    virtual std::int32_t Kind() = 0; // 1 = library source
    virtual std::shared_ptr<IITPlaylistCollection> Playlists() = 0;
};

// Track collections offer a direct look-up that gives the same answer as a walk
// comparing TrackID front to back, without fetching the whole playlist.
class IITTrackList : public IITTrackCollection
{
public:
    // The first track of the collection whose TrackID is trackId, or null.
    virtual TrackPtr FirstByTrackID(std::int32_t trackId) = 0;
};

class IITPlaylist : public IITObject
{
public:
    virtual std::int32_t PlaylistID() = 0;
    virtual std::int32_t Kind() = 0; // 1 = library playlist, 2 = user playlist
    virtual std::shared_ptr<IITTrackList> Tracks() = 0;
};

class IITTrack : public IITObject
{
public:
    virtual std::int32_t TrackID() = 0;
    virtual std::int32_t TrackDatabaseID() = 0;
    virtual QString Album() = 0;
    virtual QString Artist() = 0;
    virtual QString Time() = 0;
    virtual QString Composer() = 0;
    virtual QString Genre() = 0;
    virtual QString KindAsString() = 0;
    virtual std::int32_t BitRate() = 0;
    virtual std::int32_t SampleRate() = 0;
    virtual std::int64_t Size() = 0;
    virtual QDateTime DateAdded() = 0;
    // The playlist the track was reached through.
    virtual PlaylistPtr Playlist() = 0;
    // The full path of the file; throws kErrNoSuchProperty for a track without
    // a file (a stream); empty when the library has lost the file.
    virtual QString Location() = 0;
    virtual QString LongDescription() = 0;
    // Removes the track from the library and every playlist.
    virtual void Delete() = 0;
};

class IiTunes
{
public:
    virtual ~IiTunes() = default;
    virtual void SetForceToForegroundOnDialog(bool value) = 0;
    virtual SourcePtr LibrarySource() = 0;
    virtual PlaylistPtr LibraryPlaylist() = 0;
    virtual void Quit() = 0;
    // Called on the GUI thread when the library announces that it quits or
    // disappears. Replacing the handler disconnects the previous one.
    virtual void SetOnQuittingEvent(std::function<void()> handler) = 0;
};

using ITunesPtr = std::shared_ptr<IiTunes>;

// Creates the application object (the "create iTunesApp" of the program):
// throws ComError when it cannot connect.
using ITunesFactory = std::function<ITunesPtr()>;

} // namespace tidyfox::itunes
