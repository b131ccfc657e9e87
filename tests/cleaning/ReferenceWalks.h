// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <QStringList>
#include <array>
#include <optional>
#include <stdexcept>

namespace tidyfox::cleaning::test {

inline std::optional<QString> referenceLocation(libraryclient::LibraryTrack &track)
{
    return track.location();
}

// checked: the filter's items 0 to 6, read once.
inline bool referenceEqual(libraryclient::LibraryTrack &a, libraryclient::LibraryTrack &b,
                           const std::array<bool, 7> &checked)
{
    if (checked[0] && a.name() != b.name())
        return false;
    if (checked[1] && a.size() != b.size())
        return false;
    if (checked[2] && a.album() != b.album())
        return false;
    if (checked[3] && a.artist() != b.artist())
        return false;
    if (checked[4] && a.bitRate() != b.bitRate())
        return false;
    if (checked[5] && a.sampleRate() != b.sampleRate())
        return false;
    if (checked[6]) {
        const auto la = referenceLocation(a);
        const auto lb = referenceLocation(b);
        if (!la || !lb)
            return false;
        if (system::fileNameOf(*la).toLower() != system::fileNameOf(*lb).toLower())
            return false;
    }
    return true;
}

// Whether a track other than copy, still in the library, uses the file at
// location.
inline bool referenceFileInUse(libraryclient::LibraryPlaylist &library, libraryclient::LibraryTrack &copy,
                               const QString &location, system::FileSystem &fs)
{
    const std::int32_t copyId = copy.databaseId();
    const auto copyFile = fs.stamp(location);
    bool used = false;
    library.tracks()->forEach([&](const libraryclient::TrackPtr &other) {
        if (other->databaseId() == copyId)
            return true;
        const auto otherLocation = referenceLocation(*other);
        if (!otherLocation || otherLocation->isEmpty())
            return true;
        const auto otherFile = fs.stamp(*otherLocation);
        used = system::normalisedPath(*otherLocation) == system::normalisedPath(location) ||
               (otherFile && copyFile && otherFile->id == copyFile->id);
        return !used;
    });
    return used;
}

inline void referenceRemoveDuplicates(CleaningHost &host, libraryclient::LibraryClient *iTunes, system::FileSystem &fs,
                                      const QString &sFilter)
{
    int count = 0;
    const QStringList items = sFilter.split(QLatin1Char(','));
    const auto enableButtons = [&] { host.enableButtons(); };
    try {
        if (items.size() < 7)
            throw std::runtime_error("short filter");
        bool valid = false;
        for (int i = 0; i < 7; ++i)
            valid = valid || items.at(i) == QLatin1String("true");
        if (!valid) {
            host.showAlert(QStringLiteral("You must check one filter item at least, Operation aborted."),
                           AlertKind::Warning, QStringLiteral("Tidyfox"));
            host.hideBusy();
            host.reopenCommandGate();
            enableButtons();
            return;
        }
        if (!iTunes)
            throw std::runtime_error("no iTunes");
        std::array<bool, 7> checked{};
        for (int i = 0; i < 7; ++i)
            checked[static_cast<size_t>(i)] = items.at(i).toLower() == QLatin1String("true");
        const auto library = iTunes->libraryPlaylist();
        library->tracks()->forEach([&](const libraryclient::TrackPtr &a) {
            host.yieldOnce();
            host.yieldOnce();
            libraryclient::TrackPtr copy;
            library->tracks()->forEach([&](const libraryclient::TrackPtr &b) {
                if (b->databaseId() != a->databaseId() && referenceEqual(*a, *b, checked))
                    copy = b;
                return !copy;
            });
            if (!copy)
                return true;
            if (items.size() < 8)
                throw std::runtime_error("no keep-files item");
            if (items.at(7).toLower() != QLatin1String("true")) {
                const auto location = referenceLocation(*copy);
                // Only a file the disk could tell about goes: it must be the
                // file the run saw.
                if (location && fs.fileExists(*location) && fs.stamp(*location) &&
                    !referenceFileInUse(*library, *copy, *location, fs))
                    fs.moveToTrash(*location, {});
            }
            copy->deleteFromLibrary();
            ++count;
            return true;
        });
        host.hideBusy();
        host.showAlert(QString::number(count) + QStringLiteral(" Duplicate(s) have been deleted"),
                       AlertKind::Information, QStringLiteral("Tidyfox"));
        host.refreshLibraryList();
        host.reopenCommandGate();
        enableButtons();
    } catch (const std::exception &) {
        host.showAlert(QStringLiteral("Can not delete all duplicates.\r") + QString::number(count) +
                           QStringLiteral(" Duplicate track(s) have been deleted"),
                       AlertKind::Information, QStringLiteral("Tidyfox"));
        host.hideBusy();
        host.reopenCommandGate();
        enableButtons();
    }
}

inline void referenceDeleteDeadTracks(CleaningHost &host, libraryclient::LibrarySource *source, system::FileSystem &fs)
{
    int count = 0;
    try {
        if (!source) {
            host.showAlert(QStringLiteral("0 Track have been deleted."), AlertKind::Information,
                           QStringLiteral("Tidyfox"));
            host.hideBusy();
            return;
        }
        source->playlists()->forEach([&](const libraryclient::PlaylistPtr &playlist) {
            if (playlist->kind() != 1)
                return true;
            for (bool again = true; again;) {
                again = false;
                playlist->tracks()->forEach([&](const libraryclient::TrackPtr &track) {
                    const auto location = referenceLocation(*track);
                    if (!location || fs.fileExists(*location))
                        return true;
                    track->deleteFromLibrary();
                    ++count;
                    again = true;
                    return false;
                });
            }
            return true;
        });
        host.hideBusy();
        host.showAlert(QString::number(count) + QStringLiteral(" Dead track(s) have been deleted"),
                       AlertKind::Information, QStringLiteral("Tidyfox"));
        host.refreshLibraryList();
    } catch (const std::exception &) {
        host.showAlert(QStringLiteral("Can not delete all tracks.\r") + QString::number(count) +
                           QStringLiteral(" Dead track(s) have been deleted"),
                       AlertKind::Information, QStringLiteral("Tidyfox"));
        host.hideBusy();
    }
}

} // namespace tidyfox::cleaning::test
