// The steps every removal of duplicates shares: whether a copy is already
// gone, a file put back from the trash when its entry stays, and the two ends
// of a run with their counts.
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

namespace tidyfox::cleaning {

// Whether another program removed the track since it was read; throws what
// any other failed call throws.
bool isGone(libraryclient::LibraryTrack &track);

// Puts a removed copy's file back at path; a file the trash cannot give back
// stays there, with a warning.
void putBack(system::FileSystem &fs, const system::TrashedFile &trashed, const QString &path);

// A run that went to its end: the alert with the count, the library list
// reloaded, the gate and the buttons back.
void endRemovalSucceeded(CleaningHost &host, int count);
// A run that stopped early, with the count of the copies that did go.
void endRemovalFailed(CleaningHost &host, int count);

} // namespace tidyfox::cleaning
