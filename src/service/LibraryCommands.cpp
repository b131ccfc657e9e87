// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LibraryCommands.h"

#include "service/AudioFileScanner.h"
#include "service/LibraryStore.h"
#include "service/LibraryXmlExport.h"
#include "service/LibraryXmlImport.h"
#include "service/PlayerLink.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace tidyfox::library {

namespace {

// Tabs and line breaks in a name would break the one-track-a-line format.
QString field(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

// Prints "Adding files: 10/200" over itself on a terminal, a few times a
// second at most.
class TerminalProgress
{
public:
    TerminalProgress() : m_enabled(isatty(STDOUT_FILENO) == 1) { m_clock.start(); }
    ~TerminalProgress()
    {
        if (m_shown) {
            std::fputs("\r\033[K", stdout);
            std::fflush(stdout);
        }
    }

    void update(int done, int total)
    {
        if (!m_enabled || (done != total && m_clock.elapsed() < 100 && m_shown))
            return;
        m_clock.restart();
        m_shown = true;
        std::fprintf(stdout, "\rAdding files: %d/%d", done, total);
        std::fflush(stdout);
    }

    // Starts a fresh line so a message does not land on the progress text.
    void interrupt()
    {
        if (m_shown) {
            std::fputs("\r\033[K", stdout);
            std::fflush(stdout);
            m_shown = false;
        }
    }

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

} // namespace

void reportError(const QString &message)
{
    std::fprintf(stderr, "tidyfox-library: %s\n", message.toLocal8Bit().constData());
}

int usage(const QString &message)
{
    reportError(message);
    return kExitUsage;
}

QString count(qint64 n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString alreadyInLibrary(qint64 tracks, qint64 playlists)
{
    QString tail;
    if (tracks > 0)
        tail += QStringLiteral(" %1 already in the library.").arg(count(tracks, "track was", "tracks were"));
    if (playlists > 0)
        tail += QStringLiteral(" %1 already in the library.").arg(count(playlists, "playlist was", "playlists were"));
    return tail;
}

void printLine(const QString &line)
{
    const QByteArray text = line.toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
    std::fputc('\n', stdout);
}

int runImportXml(const QString &libraryPath, const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption mapPrefix(QStringLiteral("map-prefix"), QStringLiteral("Relocate the files."),
                                       QStringLiteral("OLD=NEW"));
    parser.addOption(mapPrefix);
    const QCommandLineOption musicFolderOption(QStringLiteral("music-folder"),
                                               QStringLiteral("Where the file's own Music Folder is on this machine."),
                                               QStringLiteral("DIR"));
    parser.addOption(musicFolderOption);
    if (!parser.parse(QStringList{QStringLiteral("import-xml")} + args))
        return usage(QStringLiteral("import-xml: %1").arg(parser.errorText()));
    QString musicFolder;
    if (parser.isSet(musicFolderOption)) {
        musicFolder = parser.value(musicFolderOption);
        if (musicFolder.isEmpty())
            return usage(QStringLiteral("--music-folder needs a DIR"));
        musicFolder = QFileInfo(musicFolder).absoluteFilePath();
    }
    LocationMapper locations;
    for (const QString &mapping : parser.values(mapPrefix)) {
        if (!locations.addMapping(mapping))
            return usage(QStringLiteral("--map-prefix needs OLD=NEW, not \"%1\"").arg(mapping));
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return usage(QStringLiteral("import-xml takes one file"));
    const QString fileName = files.value(0);
    if (fileName.isEmpty())
        return usage(QStringLiteral("import-xml needs a FILE"));
    const QFileInfo info(fileName);
    if (!info.exists()) {
        reportError(QStringLiteral("%1: no such file").arg(fileName));
        return kExitFailure;
    }
    if (!info.isFile()) {
        reportError(QStringLiteral("%1: not a file").arg(fileName));
        return kExitFailure;
    }

    try {
        auto store = LibraryStore::open(libraryPath);
        if (playerLink(store->database()))
            return runMigration(*store, fileName, XmlImportOptions{locations, musicFolder});
        const XmlImportSummary s = importLibraryXml(*store, fileName, XmlImportOptions{locations, musicFolder});
        for (const XmlImportNote &note : s.notes)
            std::fprintf(stderr, "%s:%lld:%lld: %s\n", fileName.toLocal8Bit().constData(), qlonglong(note.line),
                         qlonglong(note.column), note.message.toLocal8Bit().constData());
        QString line = QStringLiteral("Imported %1 and %2 from %3.")
                           .arg(count(s.tracksAdded, "track", "tracks"),
                                count(s.playlistsAdded, "playlist", "playlists"), fileName);
        line += alreadyInLibrary(s.tracksAlreadyPresent, s.playlistsAlreadyPresent);
        if (s.playlistsLeftOut > 0)
            line +=
                QStringLiteral(" Kept %1 that the list does not show.")
                    .arg(count(s.playlistsLeftOut, "folder or built-in playlist", "folders and built-in playlists"));
        if (s.persistentIdsRenewed > 0)
            line += QStringLiteral(" Gave a new Persistent ID to %1 whose ID an earlier track has (named above).")
                        .arg(count(s.persistentIdsRenewed, "track", "tracks"));
        if (s.playlistIdsRenewed > 0)
            line += QStringLiteral(" Gave a new Playlist Persistent ID to %1 whose ID an earlier playlist has (named "
                                   "above).")
                        .arg(count(s.playlistIdsRenewed, "playlist", "playlists"));
        if (s.tracksRefused > 0)
            line += QStringLiteral(" Refused %1 whose location the library cannot keep (named above).")
                        .arg(count(s.tracksRefused, "track", "tracks"));
        printLine(line);
        // The rest is in; the exit code still tells a script that some
        // tracks were not.
        return s.tracksRefused == 0 ? kExitOk : kExitFailure;
    } catch (const XmlImportError &e) {
        const QByteArray place =
            e.line() > 0 ? QByteArray(":" + QByteArray::number(e.line()) + ":" + QByteArray::number(e.column())) : "";
        std::fprintf(stderr, "%s%s: %s\n", fileName.toLocal8Bit().constData(), place.constData(),
                     e.message().toLocal8Bit().constData());
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
    }
    return kExitFailure;
}

int runExportXml(const QString &libraryPath, const QStringList &args)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return usage(QStringLiteral("export-xml needs exactly one FILE"));
    try {
        auto store = LibraryStore::openForReading(libraryPath);
        exportLibraryXml(*store, args[0]);
        printLine(
            QStringLiteral("Exported %1 to %2.").arg(count(int(store->trackCount()), "track", "tracks"), args[0]));
        return kExitOk;
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
        return kExitFailure;
    }
}

int runAdd(const QString &libraryPath, const QStringList &args)
{
    if (args.isEmpty())
        return usage(QStringLiteral("add needs at least one PATH"));
    for (const QString &path : args) {
        if (!QFileInfo::exists(path)) {
            reportError(QStringLiteral("%1: no such file or folder").arg(path));
            return kExitFailure;
        }
    }
    try {
        auto store = LibraryStore::open(libraryPath);
        QStringList skipped;
        const QStringList files = collectFiles(args, &skipped);
        for (const QString &problem : skipped)
            reportError(problem);
        TerminalProgress progress;
        AddObserver observer;
        observer.progress = [&](int done, int total) { progress.update(done, total); };
        observer.unreadable = [&](const QString &path) {
            progress.interrupt();
            reportError(QStringLiteral("%1: cannot read this audio file; skipped").arg(path));
        };
        observer.skipped = [&](const QString &problem) {
            progress.interrupt();
            reportError(problem);
        };
        const AddSummary s = addAudioFiles(*store, files, observer);
        progress.interrupt();
        QString line = QStringLiteral("Added %1.").arg(count(s.added, "track", "tracks"));
        if (s.alreadyPresent > 0)
            line +=
                QStringLiteral(" %1 already in the library.").arg(count(s.alreadyPresent, "file was", "files were"));
        if (s.notAudio > 0)
            line += QStringLiteral(" Skipped %1 that %2 not audio.")
                        .arg(count(s.notAudio, "file", "files"), QLatin1String(s.notAudio == 1 ? "is" : "are"));
        if (!s.unreadable.isEmpty())
            line += QStringLiteral(" Could not read %1.").arg(count(s.unreadable.size(), "audio file", "audio files"));
        skipped << s.skipped;
        if (!skipped.isEmpty())
            line += QStringLiteral(" Skipped %1 named above.")
                        .arg(count(int(skipped.size()), "other entry", "other entries"));
        printLine(line);
        // The readable files are in; the exit code still tells a script that
        // some were not.
        return s.unreadable.isEmpty() && skipped.isEmpty() ? kExitOk : kExitFailure;
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
        return kExitFailure;
    }
}

int runList(const QString &libraryPath, const QStringList &args)
{
    if (!args.isEmpty())
        return usage(QStringLiteral("list takes no arguments"));
    try {
        auto store = LibraryStore::openForReading(libraryPath);
        store->forEachTrack(store->libraryPlaylistId(), [](const TrackRecord &t, const QString &) {
            printLine(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                          .arg(t.databaseId)
                          .arg(t.trackId)
                          .arg(field(t.name), field(t.artist), field(t.album),
                               t.kind == TrackKind::File ? field(t.location) : QString()));
        });
        return kExitOk;
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
        return kExitFailure;
    }
}

} // namespace tidyfox::library
