// SPDX-License-Identifier: GPL-3.0-or-later
// import-rhythmbox, import-strawberry, import-clementine and sync: filling a library from a player's own files, and
// writing the changes that wait into them.
#include "service/LibraryCommands.h"
#include "service/LibraryStore.h"
#include "service/PlayerLink.h"
#include "service/PlayerMigration.h"
#include "service/PlayerXmlSpans.h"
#include "service/RhythmboxImport.h"
#include "service/SqliteCollectionImport.h"
#include "service/SqlitePlayer.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tidyfox::library {

namespace {

QString rhythmboxFile(const char *name)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("rhythmbox/") + QLatin1String(name));
}

} // namespace

int runImportRhythmbox(const QString &libraryPath, const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption playlistsOption(QStringLiteral("playlists"), QStringLiteral("Rhythmbox's playlists.xml."),
                                             QStringLiteral("FILE"));
    parser.addOption(playlistsOption);
    if (!parser.parse(QStringList{QStringLiteral("import-rhythmbox")} + args))
        return usage(QStringLiteral("import-rhythmbox: %1").arg(parser.errorText()));
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return usage(QStringLiteral("import-rhythmbox takes one RHYTHMDB file"));
    const QString libraryFile = files.isEmpty() ? rhythmboxFile("rhythmdb.xml") : files[0];
    QString playlistsFile = parser.value(playlistsOption);
    if (parser.isSet(playlistsOption) && playlistsFile.isEmpty())
        return usage(QStringLiteral("--playlists needs a FILE"));
    if (!parser.isSet(playlistsOption))
        playlistsFile = files.isEmpty() ? rhythmboxFile("playlists.xml")
                                        : QFileInfo(libraryFile).dir().filePath(QStringLiteral("playlists.xml"));
    for (const QString &file : {libraryFile, parser.isSet(playlistsOption) ? playlistsFile : QString()}) {
        if (!file.isEmpty() && !QFileInfo(file).isFile()) {
            reportError(QStringLiteral("%1: no such file").arg(file));
            return kExitFailure;
        }
    }
    try {
        auto store = LibraryStore::open(libraryPath);
        const RhythmboxImportSummary s = importRhythmbox(*store, libraryFile, playlistsFile);
        QString line = QStringLiteral("Imported %1 (%2 of them radio or podcasts) and %3 from %4.")
                           .arg(count(s.tracksAdded, "track", "tracks"))
                           .arg(s.streamsAdded)
                           .arg(count(s.playlistsAdded, "playlist", "playlists"), libraryFile);
        line += alreadyInLibrary(s.tracksAlreadyPresent, s.playlistsAlreadyPresent);
        if (s.entriesKept > 0)
            line += QStringLiteral(" Kept %1 that the list does not show.")
                        .arg(count(s.entriesKept, "other entry (an ignored file, ...)",
                                   "other entries (ignored files, ...)"));
        printLine(line);
        return kExitOk;
    } catch (const PlayerFileError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.describe(libraryFile)));
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
    }
    return kExitFailure;
}

int runImportCollection(const QString &libraryPath, const QString &playerId, const QStringList &args)
{
    const SqlitePlayer &player = *sqlitePlayer(playerId);
    const QString command = QStringLiteral("import-") + playerId;
    if (args.size() > 1 || (!args.isEmpty() && args[0].startsWith(QLatin1Char('-'))))
        return usage(QStringLiteral("%1 takes one collection file (DB)").arg(command));
    const QString file = args.isEmpty() ? defaultCollectionFile(player) : args[0];
    try {
        auto store = LibraryStore::open(libraryPath);
        const CollectionImportSummary s = importCollection(*store, player, file);
        QString line = QStringLiteral("Imported %1 and %2 from %3.")
                           .arg(count(s.tracksAdded, "track", "tracks"))
                           .arg(count(s.playlistsAdded, "playlist", "playlists"), file);
        line += alreadyInLibrary(s.tracksAlreadyPresent, s.playlistsAlreadyPresent);
        if (s.songsKept > 0)
            line += QStringLiteral(" Kept %1 of no local file that the list does not show.")
                        .arg(count(s.songsKept, "song", "songs"));
        printLine(line);
        return kExitOk;
    } catch (const PlayerWriteError &e) {
        reportError(e.message());
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
    }
    return kExitFailure;
}

int runMigration(LibraryStore &store, const QString &fileName, const XmlImportOptions &options)
{
    const MigrationSummary s = migrateHistory(store, fileName, options);
    QString line =
        QStringLiteral("Carried the play history of %1 of %2 onto the player's library; %3 of the player's.")
            .arg(count(s.matched, "track", "tracks"), fileName, count(s.updated, "entry changed", "entries changed"));
    if (s.unmatched > 0)
        line += QStringLiteral(" %1 no entry of the player's.")
                    .arg(count(s.unmatched, "file track has", "file tracks have"));
    printLine(line);
    reportPlayerWaits(store);
    return kExitOk;
}

int runSync(const QString &libraryPath, const QStringList &args)
{
    if (!args.isEmpty())
        return usage(QStringLiteral("sync takes no arguments"));
    try {
        auto store = LibraryStore::open(libraryPath);
        const PlayerSyncResult result = writePendingChanges(*store);
        switch (result.outcome) {
        case PlayerSyncResult::NotLinked:
            printLine(QStringLiteral("The library is not linked to a player's library: nothing to write."));
            return kExitOk;
        case PlayerSyncResult::NothingWaiting:
            printLine(QStringLiteral("Nothing waits: the player's library has every change."));
            return kExitOk;
        case PlayerSyncResult::Written:
            printLine(
                QStringLiteral("Wrote %1 into the player's library.").arg(count(result.changes, "change", "changes")));
            return kExitOk;
        case PlayerSyncResult::PlayerRunning:
        case PlayerSyncResult::Failed:
            reportError(result.message);
            return kExitFailure;
        }
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
    }
    return kExitFailure;
}

} // namespace tidyfox::library
