// Dead-track deletion: every entry of the library playlist whose file is not
// on the disk leaves the library. Files are never touched.
#pragma once

#include "cleaning/CleaningHost.h"
#include "itunes/ITunesInterface.h"
#include "platform/FileSystem.h"

namespace tidyfox::cleaning {

// Runs one deletion over the library playlist(s) of oLibrarySource (null when
// no library source was found) and ends it on host with an alert of the
// count, reloading the library on success. Never throws. Tracks without a
// file (streams) are never dead. Each file is probed once: the outcome is that
// of walking the playlist again from its start after every removal.
void DeleteDeadTracks(CleaningHost &host, itunes::IITSource *oLibrarySource, platform::FileSystem &fs);

} // namespace tidyfox::cleaning
