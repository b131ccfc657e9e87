// SPDX-License-Identifier: GPL-3.0-or-later
// The library's history of removals on the bus: a JSON array, one object per
// job, oldest first:
//   {"id": 7, "kind": "duplicates", "started": "2026-01-02T03:04:05Z",
//    "ended": "..." (absent while under way), "tracks": 3, "files": 2,
//    "restored": false}
// "tracks" counts the tracks removed, and for a job on playlists the places
// taken out of them (a deleted playlist's items among them); "files" those of
// the tracks whose file went to the trash.
// Text, so that a person reading the bus (or a script) can read it too.
#pragma once

#include "protocol/LibraryRecords.h"

#include <QString>
#include <vector>

namespace tidyfox::protocol {

QString encodeJobs(const std::vector<JobRecord> &jobs);
// Throws LibraryError for text that is not such a list.
std::vector<JobRecord> decodeJobs(const QString &text);

} // namespace tidyfox::protocol
