// SPDX-License-Identifier: GPL-3.0-or-later
// Library import and export: generates a library XML file of 100,000 tracks in
// 50 playlists, runs `tidyfox-library import-xml` on it and reports the wall
// time and the peak resident memory of that process (a file a quarter the size
// shows whether memory grows with the file), then `export-xml` of the imported
// library the same way. Then times the library core on the imported library:
// the library playlist's tracks, a look-up by TrackID and deleting tracks.
//
// bench_import [TRACKS] [path of tidyfox-library]
// (TIDYFOX_BENCH_RUNS=N runs each import N times and gives the medians.)
// bench_import LIBRARY.db   (only the core timings, on an existing library)
#include "service/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace tidyfox::library;
using Clock = std::chrono::steady_clock;

extern char **environ;

namespace {

constexpr int kPlaylists = 50;
constexpr int kItemsPerPlaylist = 2000;

const char *const kGenres[] = {"Rock", "Jazz", "Classical", "Pop", "Electronic", "Folk", "Blues", "Soundtrack"};

void writeLibraryXml(const QString &path, int tracks)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!f) {
        std::perror("bench_import: cannot write the library file");
        std::exit(1);
    }
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n<dict>\n"
               "\t<key>Major Version</key><integer>1</integer>\n"
               "\t<key>Minor Version</key><integer>1</integer>\n"
               "\t<key>Tracks</key>\n\t<dict>\n",
               f);
    for (int i = 0; i < tracks; ++i) {
        const int id = 1000 + 2 * i;
        const int artist = i / 120;
        const int album = i / 12;
        std::fprintf(f,
                     "\t\t<key>%d</key>\n\t\t<dict>\n"
                     "\t\t\t<key>Track ID</key><integer>%d</integer>\n"
                     "\t\t\t<key>Name</key><string>Song number %d &amp; friends</string>\n"
                     "\t\t\t<key>Artist</key><string>Artist %d</string>\n"
                     "\t\t\t<key>Album Artist</key><string>Artist %d</string>\n"
                     "\t\t\t<key>Composer</key><string>Composer %d</string>\n"
                     "\t\t\t<key>Album</key><string>Album %d</string>\n"
                     "\t\t\t<key>Genre</key><string>%s</string>\n"
                     "\t\t\t<key>Kind</key><string>MPEG audio file</string>\n"
                     "\t\t\t<key>Size</key><integer>%d</integer>\n"
                     "\t\t\t<key>Total Time</key><integer>%d</integer>\n"
                     "\t\t\t<key>Track Number</key><integer>%d</integer>\n"
                     "\t\t\t<key>Year</key><integer>%d</integer>\n"
                     "\t\t\t<key>Date Modified</key><date>2019-05-06T07:08:09Z</date>\n"
                     "\t\t\t<key>Date Added</key><date>2020-%02d-%02dT10:11:12Z</date>\n"
                     "\t\t\t<key>Bit Rate</key><integer>%d</integer>\n"
                     "\t\t\t<key>Sample Rate</key><integer>44100</integer>\n"
                     "\t\t\t<key>Play Count</key><integer>%d</integer>\n"
                     "\t\t\t<key>Persistent ID</key><string>%016llX</string>\n"
                     "\t\t\t<key>Track Type</key><string>File</string>\n"
                     "\t\t\t<key>Location</key><string>file://localhost/C:/Users/me/Music/Artist%%20%d/"
                     "Album%%20%d/%02d%%20Song%%20number%%20%d.mp3</string>\n"
                     "\t\t\t<key>File Folder Count</key><integer>5</integer>\n"
                     "\t\t\t<key>Library Folder Count</key><integer>1</integer>\n"
                     "\t\t</dict>\n",
                     id, id, i, artist, artist, artist % 40, album, kGenres[i % 8], 3000000 + i * 7,
                     150000 + (i * 7919) % 200000, i % 12 + 1, 1970 + i % 50, i % 12 + 1, i % 28 + 1,
                     i % 3 == 0 ? 320 : 256, i % 17, 0x1000000000000000ULL + unsigned(i) * 7919ULL, artist, album,
                     i % 12 + 1, i);
    }
    std::fputs("\t</dict>\n\t<key>Playlists</key>\n\t<array>\n", f);
    std::mt19937 random(42);
    for (int p = 0; p <= kPlaylists; ++p) {
        const bool master = p == 0;
        std::fprintf(f, "\t\t<dict>\n\t\t\t<key>Name</key><string>%s %d</string>\n", master ? "Library" : "Playlist",
                     p);
        if (master)
            std::fputs("\t\t\t<key>Master</key><true/>\n\t\t\t<key>Visible</key><false/>\n", f);
        std::fprintf(f,
                     "\t\t\t<key>Playlist ID</key><integer>%d</integer>\n"
                     "\t\t\t<key>Playlist Persistent ID</key><string>%016llX</string>\n"
                     "\t\t\t<key>All Items</key><true/>\n"
                     "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n",
                     500000 + p, 0x2000000000000000ULL + unsigned(p));
        const int items = master ? tracks : std::min(kItemsPerPlaylist, tracks);
        std::uniform_int_distribution<int> pick(0, tracks - 1);
        for (int i = 0; i < items; ++i)
            std::fprintf(f, "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>%d</integer>\n\t\t\t\t</dict>\n",
                         1000 + 2 * (master ? i : pick(random)));
        std::fputs("\t\t\t</array>\n\t\t</dict>\n", f);
    }
    std::fputs("\t</array>\n</dict>\n</plist>\n", f);
    std::fclose(f);
}

struct RunResult
{
    int exitCode = -1;
    double seconds = 0;
    double cpuSeconds = 0; // user and system
    long peakRssKb = 0;
};

// Runs `tidyfox-library --library LIBRARY COMMAND XML` as a child process.
RunResult runTool(const QString &tool, const QString &library, const char *command, const QString &xml)
{
    const QByteArray toolPath = QFile::encodeName(tool);
    const QByteArray libraryPath = QFile::encodeName(library);
    const QByteArray xmlPath = QFile::encodeName(xml);
    char *argv[] = {const_cast<char *>(toolPath.constData()),    const_cast<char *>("--library"),
                    const_cast<char *>(libraryPath.constData()), const_cast<char *>(command),
                    const_cast<char *>(xmlPath.constData()),     nullptr};
    RunResult result;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
        std::perror("bench_import: cannot start tidyfox-library");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakRssKb = usage.ru_maxrss;
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return result;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Wall time, and the processor time of this thread, which shows the cost apart
// from waiting for a busy machine.
struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
};

template<typename F> Timing timeOf(F &&work)
{
    const auto start = Clock::now();
    const double cpuStart = threadCpuMs();
    work();
    return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(), threadCpuMs() - cpuStart};
}

} // namespace

void timeCore(const QString &libraryPath)
{
    auto store = LibraryStore::open(libraryPath);
    const std::int32_t library = store->libraryPlaylistId();
    std::vector<TrackRecord> all;
    const Timing fetch = timeOf([&] { all = store->playlistTracks(library); });
    std::printf("  core: playlistTracks(library) of %zu tracks: %.1f ms wall, %.1f ms CPU\n", all.size(), fetch.wallMs,
                fetch.cpuMs);
    const std::int32_t lastId = all.back().trackId;
    const Timing find = timeOf([&] { (void)store->firstTrackInPlaylist(library, lastId); });
    std::printf("  core: firstTrackInPlaylist(library, last track): %.3f ms wall, %.3f ms CPU\n", find.wallMs,
                find.cpuMs);
    const std::vector<PlaylistRecord> playlists = store->playlists();
    const Timing findUser = timeOf([&] { (void)store->firstTrackInPlaylist(playlists.back().playlistId, lastId); });
    std::printf("  core: firstTrackInPlaylist(user playlist, absent track): %.3f ms wall, %.3f ms CPU\n",
                findUser.wallMs, findUser.cpuMs);
    // Every seventh track, so a small library has fewer to delete.
    const int deleteCount = int(std::min<std::size_t>(1000, (all.size() + 6) / 7));
    const Timing deletes = timeOf([&] {
        for (int i = 0; i < deleteCount; ++i)
            store->deleteTrack(all[std::size_t(i) * 7].databaseId);
    });
    std::printf("  core: deleteTrack, each its own transaction: %.1f us wall, %.1f us CPU a track\n",
                deletes.wallMs * 1000.0 / deleteCount, deletes.cpuMs * 1000.0 / deleteCount);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 2 && QByteArray(argv[1]).endsWith(".db")) {
        timeCore(QString::fromLocal8Bit(argv[1]));
        return 0;
    }
    const int tracks = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString tool =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library");
    QTemporaryDir dir;
    // TIDYFOX_BENCH_KEEP=1 leaves the generated files for a closer look.
    if (qEnvironmentVariableIsSet("TIDYFOX_BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("Files kept in %s\n", qPrintable(dir.path()));
    }

    // TIDYFOX_BENCH_RUNS=3: each import three times, with the medians.
    const int runCount = std::max(1, qEnvironmentVariableIntValue("TIDYFOX_BENCH_RUNS"));
    std::printf("Library import: %d tracks, %d playlists of %d items\n", tracks, kPlaylists, kItemsPerPlaylist);
    for (const int count : {tracks / 4, tracks}) {
        const QString xml = dir.filePath(QStringLiteral("library-%1.xml").arg(count));
        const QString library = dir.filePath(QStringLiteral("library-%1.db").arg(count));
        writeLibraryXml(xml, count);
        // Each run imports into a new library; the median of each measure
        // follows the runs.
        std::vector<RunResult> runs;
        for (int run = 0; run < runCount; ++run) {
            for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(library + suffix);
            const RunResult r = runTool(tool, library, "import-xml", xml);
            std::printf("  import-xml %7d tracks (%6.1f MB file): %.2f s wall, %.2f s CPU, peak RSS %.1f MB, exit %d\n",
                        count, double(QFileInfo(xml).size()) / 1e6, r.seconds, r.cpuSeconds,
                        double(r.peakRssKb) / 1024.0, r.exitCode);
            std::fflush(stdout);
            if (r.exitCode != 0)
                return 1;
            runs.push_back(r);
        }
        if (runCount > 1) {
            auto median = [&](auto measure) {
                std::vector<double> values;
                for (const RunResult &r : runs)
                    values.push_back(double(measure(r)));
                std::sort(values.begin(), values.end());
                return values[values.size() / 2];
            };
            std::printf("  import-xml %7d tracks, median of %d: %.2f s wall, %.2f s CPU, peak RSS %.1f MB\n", count,
                        runCount, median([](const RunResult &r) { return r.seconds; }),
                        median([](const RunResult &r) { return r.cpuSeconds; }),
                        median([](const RunResult &r) { return r.peakRssKb; }) / 1024.0);
        }
        std::printf("  library file after import: %.1f MB\n",
                    double(QFileInfo(library).size() + QFileInfo(library + QStringLiteral("-wal")).size()) / 1e6);
        const QString exported = dir.filePath(QStringLiteral("export-%1.xml").arg(count));
        const RunResult e = runTool(tool, library, "export-xml", exported);
        std::printf("  export-xml %7d tracks (%6.1f MB file): %.2f s wall, %.2f s CPU, peak RSS %.1f MB, exit %d\n",
                    count, double(QFileInfo(exported).size()) / 1e6, e.seconds, e.cpuSeconds,
                    double(e.peakRssKb) / 1024.0, e.exitCode);
        if (e.exitCode != 0)
            return 1;
    }

    timeCore(dir.filePath(QStringLiteral("library-%1.db").arg(tracks)));
    return 0;
}
