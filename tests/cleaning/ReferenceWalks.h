// The two jobs written the plain way, as the walks over the live library
// that they replace: for every track the whole library is walked again to find
// its copy, and the dead-track walk starts over after every removal. They
// carry the same mends as the real jobs (a file still used by a track that
// stays is kept; a track without a file is never dead and never equal by file
// name; a dead track counts once it is gone; files go to the trash).
//
// Slow on purpose: they are the yardstick the fast jobs are compared with.
#pragma once

#include "cleaning/CleaningHost.h"
#include "itunes/ITunesInterface.h"
#include "platform/FileSystem.h"

#include <QStringList>
#include <array>
#include <optional>
#include <stdexcept>

namespace tidyfox::cleaning::test {

inline std::optional<QString> ReferenceLocation(itunes::IITTrack &track)
{
    try {
        return track.Location();
    } catch (const itunes::ComError &error) {
        if (error.number() == itunes::kErrNoSuchProperty)
            return std::nullopt;
        throw;
    }
}

// checked: the filter's items 0 to 6, read once.
inline bool ReferenceEqual(itunes::IITTrack &a, itunes::IITTrack &b, const std::array<bool, 7> &checked)
{
    if (checked[0] && a.Name() != b.Name())
        return false;
    if (checked[1] && a.Size() != b.Size())
        return false;
    if (checked[2] && a.Album() != b.Album())
        return false;
    if (checked[3] && a.Artist() != b.Artist())
        return false;
    if (checked[4] && a.BitRate() != b.BitRate())
        return false;
    if (checked[5] && a.SampleRate() != b.SampleRate())
        return false;
    if (checked[6]) {
        const auto la = ReferenceLocation(a);
        const auto lb = ReferenceLocation(b);
        if (!la || !lb)
            return false;
        if (platform::GetFileName(*la).toLower() != platform::GetFileName(*lb).toLower())
            return false;
    }
    return true;
}

// Whether a track other than copy, still in the library, uses the file at
// location.
inline bool ReferenceFileInUse(itunes::IITPlaylist &library, itunes::IITTrack &copy, const QString &location,
                               platform::FileSystem &fs)
{
    const std::int32_t copyId = copy.TrackDatabaseID();
    const auto copyFile = fs.Identity(location);
    bool used = false;
    library.Tracks()->ForEach([&](const itunes::TrackPtr &other) {
        if (other->TrackDatabaseID() == copyId)
            return true;
        const auto otherLocation = ReferenceLocation(*other);
        if (!otherLocation || otherLocation->isEmpty())
            return true;
        const auto otherFile = fs.Identity(*otherLocation);
        used = platform::NormalisedPath(*otherLocation) == platform::NormalisedPath(location) ||
               (otherFile && copyFile && *otherFile == *copyFile);
        return !used;
    });
    return used;
}

inline void ReferenceRemoveDuplicates(CleaningHost &host, itunes::IiTunes *iTunes, platform::FileSystem &fs,
                                      const QString &sFilter)
{
    int count = 0;
    const QStringList items = sFilter.split(QLatin1Char(','));
    const auto enableButtons = [&] { host.SetVariable(QStringLiteral("_root.enablebtns"), QStringLiteral("1")); };
    try {
        if (items.size() < 7)
            throw std::runtime_error("short filter");
        bool valid = false;
        for (int i = 0; i < 7; ++i)
            valid = valid || items.at(i) == QLatin1String("true");
        if (!valid) {
            host.ShowAlert(QStringLiteral("You must check one filter item at least, Operation aborted."), 48,
                           QStringLiteral("Tidyfox"));
            host.HideBusy();
            host.ClearRemovingDuplicates();
            enableButtons();
            return;
        }
        if (!iTunes)
            throw std::runtime_error("no iTunes");
        std::array<bool, 7> checked{};
        for (int i = 0; i < 7; ++i)
            checked[static_cast<size_t>(i)] = items.at(i).toLower() == QLatin1String("true");
        const auto library = iTunes->LibraryPlaylist();
        library->Tracks()->ForEach([&](const itunes::TrackPtr &a) {
            host.YieldOnce();
            host.YieldOnce();
            itunes::TrackPtr copy;
            library->Tracks()->ForEach([&](const itunes::TrackPtr &b) {
                if (b->TrackDatabaseID() != a->TrackDatabaseID() && ReferenceEqual(*a, *b, checked))
                    copy = b;
                return !copy;
            });
            if (!copy)
                return true;
            if (items.size() < 8)
                throw std::runtime_error("no keep-files item");
            if (items.at(7).toLower() != QLatin1String("true")) {
                const auto location = ReferenceLocation(*copy);
                if (location && fs.FileExists(*location) && !ReferenceFileInUse(*library, *copy, *location, fs))
                    fs.DeleteFile(*location);
            }
            copy->Delete();
            if (++count > 32767) {
                count = 32767;
                throw std::runtime_error("count overflow");
            }
            return true;
        });
        host.HideBusy();
        host.ShowAlert(QString::number(count) + QStringLiteral(" Duplicate(s) have been deleted"), 64,
                       QStringLiteral("Tidyfox"));
        host.RefreshLibrarylist();
        host.ClearRemovingDuplicates();
        enableButtons();
    } catch (const std::exception &) {
        host.ShowAlert(QStringLiteral("Can not delete all duplicates.\r") + QString::number(count) +
                           QStringLiteral(" Duplicate track(s) have been deleted"),
                       64, QStringLiteral("Tidyfox"));
        host.HideBusy();
        host.ClearRemovingDuplicates();
        enableButtons();
    }
}

inline void ReferenceDeleteDeadTracks(CleaningHost &host, itunes::IITSource *source, platform::FileSystem &fs)
{
    int count = 0;
    try {
        if (!source) {
            host.ShowAlert(QStringLiteral("0 Track have been deleted."), 64, QStringLiteral("Tidyfox"));
            host.HideBusy();
            return;
        }
        source->Playlists()->ForEach([&](const itunes::PlaylistPtr &playlist) {
            if (playlist->Kind() != 1)
                return true;
            for (bool again = true; again;) {
                again = false;
                playlist->Tracks()->ForEach([&](const itunes::TrackPtr &track) {
                    const auto location = ReferenceLocation(*track);
                    if (!location || fs.FileExists(*location))
                        return true;
                    if (count == 32767)
                        throw std::runtime_error("count overflow");
                    track->Delete();
                    ++count;
                    again = true;
                    return false;
                });
            }
            return true;
        });
        host.HideBusy();
        host.ShowAlert(QString::number(count) + QStringLiteral(" Dead track(s) have been deleted"), 64,
                       QStringLiteral("Tidyfox"));
        host.RefreshLibrarylist();
    } catch (const std::exception &) {
        host.ShowAlert(QStringLiteral("Can not delete all tracks.\r") + QString::number(count) +
                           QStringLiteral(" Dead track(s) have been deleted"),
                       64, QStringLiteral("Tidyfox"));
        host.HideBusy();
    }
}

} // namespace tidyfox::cleaning::test
