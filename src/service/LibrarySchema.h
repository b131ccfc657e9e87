// SPDX-License-Identifier: GPL-3.0-or-later
// The library's tables, as numbered steps. A library file records the last step
// applied in its user_version; opening it applies the steps it lacks, so a file
// made by an older build is brought up to date in place.
#pragma once

namespace tidyfox::library::sql {
class Database;
}

namespace tidyfox::library {

// Marks the file as ours, so that another program's SQLite file is refused
// rather than changed.
inline constexpr int kLibraryApplicationId = 0x54667831; // "Tfx1"

int latestSchemaVersion();

// Applies the steps after fromVersion up to toVersion and records toVersion,
// inside the caller's transaction.
void applySchemaSteps(sql::Database &db, int fromVersion, int toVersion);

} // namespace tidyfox::library
