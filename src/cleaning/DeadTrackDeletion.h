// SPDX-License-Identifier: GPL-3.0-or-later
// Dead-track deletion: every entry of the library playlist whose file is not
// on the disk leaves the library. Files are never touched.
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"
#include "system/Volumes.h"

#include <cstdint>
#include <vector>

namespace tidyfox::cleaning {

// Runs one deletion over the library playlist(s) of source (null when no
// library source was found) and ends it on host with an alert of the count,
// reloading the library on success. Each deletion goes into library's history
// as one job, so the run can be undone. Never throws. Tracks without a
// file (streams) are never dead. Each file is probed once: the outcome is that
// of walking the playlist again from its start after every removal.
//
// A dead track on a drive that volumes says is not connected is spared, as
// the review spares it: its file is most likely only unplugged. The alert's
// detail line says how many were spared. volumes null looks at no drive and
// spares nothing (the plain walk, as the differential tests compare it).
void deleteDeadTracks(CleaningHost &host, libraryclient::LibraryClient *library, libraryclient::LibrarySource *source,
                      system::FileSystem &fs, const system::Volumes *volumes);

// The same run over the reviewed tracks only: those with these database ids
// that are still in the library and still dead, on a disconnected drive or
// not: the user picked them. Same alerts and counts.
void deleteReviewedDeadTracks(CleaningHost &host, libraryclient::LibraryClient *library,
                              libraryclient::LibrarySource *source, system::FileSystem &fs,
                              const std::vector<std::int32_t> &databaseIds);

} // namespace tidyfox::cleaning
