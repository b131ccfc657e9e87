// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of tidyfox-library that work on the library file directly:
// import-xml, export-xml, add, list, history and restore. Each returns the process exit code and
// reports problems as one line on standard error.
#pragma once

#include <QStringList>

namespace tidyfox::library {

class LibraryStore;
struct XmlImportOptions;

// Exit codes: success, a failure (bad input, library trouble), a wrong command
// line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

int runImportXml(const QString &libraryPath, const QStringList &args);
int runExportXml(const QString &libraryPath, const QStringList &args);
int runAdd(const QString &libraryPath, const QStringList &args);
int runList(const QString &libraryPath, const QStringList &args);
// The history of removals (LibraryHistoryCommands.cpp): history [--clear],
// restore [JOB].
int runHistory(const QString &libraryPath, const QStringList &args);
int runRestore(const QString &libraryPath, const QStringList &args);
// A player's own library (PlayerCommands.cpp): import-rhythmbox [RHYTHMDB]
// [--playlists FILE], import-strawberry [DB], import-clementine [DB], sync.
int runImportRhythmbox(const QString &libraryPath, const QStringList &args);
// playerId: "strawberry" or "clementine".
int runImportCollection(const QString &libraryPath, const QString &playerId, const QStringList &args);
int runSync(const QString &libraryPath, const QStringList &args);
// import-xml into a library linked to a player's: the export's history goes
// onto the player's entries. Throws what importLibraryXml throws.
int runMigration(LibraryStore &store, const QString &fileName, const XmlImportOptions &options);

// Writes "tidyfox-library: message" to standard error.
void reportError(const QString &message);
// Writes one line to standard output.
void printLine(const QString &line);
// reportError of a command line that cannot be read; returns kExitUsage.
int usage(const QString &message);
// Counts with the right noun: "1 track", "2 tracks".
QString count(qint64 n, const char *one, const char *many);
// What an import's summary line adds for what it found already there: empty,
// or " 3 tracks were already in the library." and the same for playlists.
QString alreadyInLibrary(qint64 tracks, qint64 playlists);

} // namespace tidyfox::library
