// SPDX-License-Identifier: GPL-3.0-or-later
// Undo: a job of the library's history put back, run as a job of the window's
// own (busy text, alert, reload).
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"

#include <cstdint>

namespace tidyfox::cleaning {

// The newest job of the history not restored yet; 0 when there is none.
std::int32_t lastRestorableJob(libraryclient::LibraryClient &library);

// Puts the job back and ends on host with "N track(s) have been restored",
// the files that could not come back (they stay in the trash) on the line
// under it, the library reloaded and the gate and buttons back. A job that
// cannot be restored (gone from the history, restored already) is said so.
// Never throws.
void restoreJob(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t jobId);

} // namespace tidyfox::cleaning
