// SPDX-License-Identifier: GPL-3.0-or-later
// Duplicate removal: for each library track in turn, the first other track
// equal to it on every property the filter checks is removed from the library,
// and its file goes to the trash unless the filter keeps files.
#pragma once

#include "cleaning/CleaningHost.h"
#include "libraryclient/LibraryClient.h"
#include "system/FileSystem.h"

#include <QString>

namespace tidyfox::cleaning {

class PendingRemovals;

// Runs one removal over the library (null when not connected) with
// the filter text of the filter panel, and ends it on host: an alert with the
// count, the library reloaded on success, the gate reopened and the face's
// buttons enabled in every case. Never throws.
//
// The library is read once and the copies are found through an index, with
// the outcome of walking the whole library afresh for every track: the same
// copies in the same order, the same files, the same counts and alerts.
//
// With pending set, each file's move is noted before it happens and settled
// once its entry is gone, and what a killed run left is put right first.
void removeDuplicates(CleaningHost &host, libraryclient::LibraryClient *library, system::FileSystem &fs,
                      const QString &filterText, PendingRemovals *pending = nullptr);

} // namespace tidyfox::cleaning
