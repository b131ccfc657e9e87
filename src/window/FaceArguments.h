// SPDX-License-Identifier: GPL-3.0-or-later
// The arguments of the face's commands that name tracks, playlists and jobs.
// Every command reads its ids here, so that a garbled list is read the same
// way everywhere: as a whole or not at all, never the part that looks right.
#pragma once

#include "cleaning/ReviewedRemoval.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::window {

// "12": one id, a positive decimal number of 32 bits, blanks around it
// allowed.
std::optional<std::int32_t> idIn(QStringView text);

// "12,15,99": at least one id, each as idIn reads it.
std::optional<std::vector<std::int32_t>> idListIn(QStringView text);

struct PlaylistTracks
{
    std::int32_t playlistId = 0;
    std::vector<std::int32_t> databaseIds;
};

// "PLAYLIST;ID,ID,...".
std::optional<PlaylistTracks> playlistTracksIn(QStringView text);

// "KEEPFILES;MERGE;COPY:KEEPER,COPY:KEEPER,...": the flags "true" or "false";
// the pairs may be none at all (every copy spared).
std::optional<cleaning::ReviewedRemoval> reviewedRemovalIn(QStringView text);

// What a command that deletes says when its ids cannot be read.
extern const QString kUnreadableSelection;

} // namespace tidyfox::window
