// SPDX-License-Identifier: GPL-3.0-or-later
// Rhythmbox's own library: rhythmdb.xml (one <entry> per song, station,
// podcast and ignored file, keyed by its location) and playlists.xml. A write
// changes only the entries, elements and playlist places a change names; every
// other byte of both files stays as it is.
#pragma once

#include "service/PlayerLink.h"

namespace tidyfox::library {

inline constexpr const char *kRhythmboxPlayer = "rhythmbox";
inline constexpr const char *kRhythmboxBusName = "org.gnome.Rhythmbox3";
// The rhythmdb versions this program has read; a newer one is refused.
inline constexpr double kNewestRhythmdbVersion = 2.0;

class RhythmboxStore final : public PlayerStore
{
public:
    RhythmboxStore(QString libraryFile, QString playlistsFile);

    QString displayName() const override { return QStringLiteral("Rhythmbox"); }
    QString busName() const override { return QString::fromLatin1(kRhythmboxBusName); }
    void apply(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved) override;

private:
    bool applyOnce(const std::vector<PlayerChange> &changes, PlayerSavedMap &saved);

    QString m_libraryFile;
    QString m_playlistsFile;
};

} // namespace tidyfox::library
