// SPDX-License-Identifier: GPL-3.0-or-later
// The cleaning jobs at full size: 100,000 tracks with 10% copies by name and
// artist, and 100,000 tracks with 5% dead, in a library file on disk with a
// real file for every track and the real trash (a private one). The library
// is the in-process library core, or with --bus the real tidyfox-library
// service on a private session bus. The duplicates are reviewed (under two
// keep rules) before they are removed. Also compares duplicate removal with
// the plain walk it replaces, both in memory, on 2,000 and 10,000 tracks.
//
//   bench_cleaning [--tracks N] [--bus] [--no-plain]
#include "../tests/cleaning/FakeFileSystem.h"
#include "../tests/cleaning/FakeLibrary.h"
#include "../tests/cleaning/ReferenceWalks.h"
#include "BenchSupport.h"
#include "cleaning/DeadTrackDeletion.h"
#include "cleaning/DuplicateRemoval.h"
#include "cleaning/DuplicateReview.h"
#include "libraryclient/BusLibraryClient.h"
#include "localclient/InProcessLibraryClient.h"
#include "protocol/BusNames.h"
#include "service/LibraryCore.h"
#include "service/ServiceBus.h"
#include "system/TrashFileSystem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/resource.h>

using namespace tidyfox;

namespace {

using tidyfox::bench::PrivateBus;

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

// CPU time of this process (user and system), in ns: on a busy machine the
// wall clock also counts the waits for a core.
qint64 cpuNow()
{
    struct rusage usage
    {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval &t) { return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000; };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// What the window does around a job, timed: a yield handles pending events,
// the reload fetches and walks the library playlist again as the model fill
// reads it.
class BenchHost : public cleaning::CleaningHost
{
public:
    BenchHost(QElapsedTimer &clock, std::function<libraryclient::LibraryClient *()> app)
        : m_clock(clock), m_app(std::move(app))
    {}
    void showAlert(const QString &text, AlertKind, const QString &) override { alert = text; }
    void setAlertDetail(const QString &) override {}
    void reportProgress(const QString &, int, int) override {}
    void hideBusy() override { endOfWork = m_clock.nsecsElapsed(); }
    void refreshLibraryList() override
    {
        const qint64 start = m_clock.nsecsElapsed();
        if (auto *app = m_app()) {
            qsizetype chars = 0;
            app->libraryPlaylist()->tracks()->forEach([&](const libraryclient::TrackPtr &t) {
                chars += t->name().size() + t->artist().size() + t->album().size() + t->time().size();
                return true;
            });
            reloadedChars = chars;
        }
        reload = m_clock.nsecsElapsed() - start;
    }
    void enableButtons() override {}
    void reopenCommandGate() override {}
    void yieldOnce() override { QCoreApplication::processEvents(); }

    QString alert;
    qint64 endOfWork = 0;
    qint64 reload = 0;
    qsizetype reloadedChars = 0;

private:
    QElapsedTimer &m_clock;
    std::function<libraryclient::LibraryClient *()> m_app;
};

// The real file system, noting when the first copy's file is looked at (the
// first removal begins) and the time spent moving files to the trash.
class TimedFileSystem : public system::TrashFileSystem
{
public:
    explicit TimedFileSystem(QElapsedTimer &clock) : m_clock(clock) {}
    bool fileExists(const QString &path) override
    {
        if (firstProbe < 0) {
            firstProbe = m_clock.nsecsElapsed();
            firstProbeCpu = cpuNow();
        }
        return TrashFileSystem::fileExists(path);
    }
    system::TrashedFile moveToTrash(const QString &path, const system::BeforeTrashMove &beforeMove) override
    {
        const qint64 start = m_clock.nsecsElapsed();
        system::TrashedFile file = TrashFileSystem::moveToTrash(path, beforeMove);
        trashing += m_clock.nsecsElapsed() - start;
        ++trashed;
        return file;
    }
    qint64 firstProbe = -1;
    qint64 firstProbeCpu = 0;
    qint64 trashing = 0;
    int trashed = 0;

private:
    QElapsedTimer &m_clock;
};

struct Shape
{
    int tracks = 100000;
    int copyEvery = 10; // every tenth track copies an earlier one by name and artist
    int deadEvery = 0;  // every n-th track's file is missing
};

struct GeneratedTrack
{
    QString name, artist, album, location;
    std::int32_t size = 0;
    bool fileOnDisk = true;
};

std::vector<GeneratedTrack> generate(const Shape &shape, const QString &musicRoot)
{
    std::mt19937 random(42);
    std::vector<GeneratedTrack> tracks;
    tracks.reserve(static_cast<size_t>(shape.tracks));
    for (int i = 0; i < shape.tracks; ++i) {
        GeneratedTrack t;
        if (shape.copyEvery > 0 && i % shape.copyEvery == shape.copyEvery - 1) {
            const auto &original = tracks[random() % tracks.size()];
            t.name = original.name;
            t.artist = original.artist;
        } else {
            t.name = QStringLiteral("Track %1 of a generated library").arg(i, 6, 10, QLatin1Char('0'));
            t.artist = QStringLiteral("Artist %1").arg(i / 40);
        }
        t.album = QStringLiteral("Album %1").arg(i / 12);
        t.size = 3000000 + i;
        t.location = QStringLiteral("%1/d%2/%3.mp3").arg(musicRoot).arg(i % 200, 3, 10, QLatin1Char('0')).arg(i);
        t.fileOnDisk = !(shape.deadEvery > 0 && i % shape.deadEvery == 0);
        tracks.push_back(std::move(t));
    }
    return tracks;
}

void buildOnDisk(const std::vector<GeneratedTrack> &tracks, const QString &libraryPath, const QString &musicRoot)
{
    for (int d = 0; d < 200; ++d)
        QDir().mkpath(QStringLiteral("%1/d%2").arg(musicRoot).arg(d, 3, 10, QLatin1Char('0')));
    auto core = library::LibraryCore::open(libraryPath);
    core->begin();
    for (const auto &t : tracks) {
        library::TrackRecord record;
        record.name = t.name;
        record.artist = t.artist;
        record.album = t.album;
        record.size = t.size;
        record.bitRate = 192;
        record.sampleRate = 44100;
        record.kindAsString = QStringLiteral("MPEG audio file");
        record.location = t.location;
        core->addTrack(std::move(record));
        if (t.fileOnDisk) {
            QFile file(t.location);
            if (!file.open(QIODevice::WriteOnly))
                std::fprintf(stderr, "bench_cleaning: cannot write %s\n", qPrintable(t.location));
        }
    }
    core->commit();
}

// The library to run a job on: the core in this process, or the service.
class LibraryUnderTest
{
public:
    LibraryUnderTest(const QString &path, bool overBus) : m_path(path), m_overBus(overBus) {}
    ~LibraryUnderTest()
    {
        if (m_client) {
            m_client->quit();
            m_service.waitForFinished(10000);
        }
    }
    libraryclient::LibraryClient *open()
    {
        if (!m_overBus) {
            m_inProcess = std::make_unique<libraryclient::InProcessLibraryClient>(m_path);
            return m_inProcess.get();
        }
        m_service.setProcessChannelMode(QProcess::ForwardedChannels);
        m_service.start(QStringLiteral(TIDYFOX_APP_DIR "/tidyfox-library"),
                        {QStringLiteral("--library"), m_path, QStringLiteral("serve")});
        const QDeadlineTimer deadline(10000);
        auto *bus = QDBusConnection::sessionBus().interface();
        while (!bus->isServiceRegistered(QString::fromLatin1(protocol::kServiceName)).value()) {
            if (deadline.hasExpired() || m_service.state() == QProcess::NotRunning)
                return nullptr;
            QThread::msleep(10);
        }
        m_client = std::make_unique<libraryclient::BusLibraryClient>(QStringLiteral(TIDYFOX_APP_DIR));
        return m_client.get();
    }
    libraryclient::LibraryClient *app()
    {
        return m_client ? static_cast<libraryclient::LibraryClient *>(m_client.get()) : m_inProcess.get();
    }

private:
    QString m_path;
    bool m_overBus;
    QProcess m_service;
    std::unique_ptr<libraryclient::BusLibraryClient> m_client;
    std::unique_ptr<libraryclient::InProcessLibraryClient> m_inProcess;
};

const QString kByNameAndArtist = QStringLiteral("true,false,false,true,false,false,false,false");
const QString kByNameAndArtistKeepFiles = QStringLiteral("true,false,false,true,false,false,false,true");

// The review before the removal: the fetch of the library playlist alone,
// then the whole review (fetch, grouping, a look at every grouped file and,
// since the filter trashes files, the identity of every track's file). Gives
// the copies it marks under library order.
int reviewAtFullSize(libraryclient::LibraryClient &app, system::FileSystem &fs)
{
    QElapsedTimer clock;
    clock.start();
    const int fetched = app.libraryPlaylist()->tracks()->count();
    const qint64 fetch = clock.nsecsElapsed();
    int marked = 0;
    for (const cleaning::KeepRule rule : {cleaning::KeepRule::LibraryOrder, cleaning::KeepRule::MostPlayed}) {
        const qint64 cpuStart = cpuNow();
        clock.restart();
        const cleaning::DuplicateReview review =
            cleaning::reviewDuplicates(app, fs, cleaning::DuplicateFilter(kByNameAndArtist), rule);
        const qint64 total = clock.nsecsElapsed();
        std::printf("  review, keep %s: %zu groups, %d copies, %.1f MB to the trash in %.1f ms (CPU time %.1f ms); "
                    "the fetch of %d tracks alone %.1f ms\n",
                    qPrintable(cleaning::keepRuleName(rule)), review.groups.size(), review.copies,
                    static_cast<double>(review.trashBytes) / 1e6, ms(total), ms(cpuNow() - cpuStart), fetched,
                    ms(fetch));
        if (rule == cleaning::KeepRule::LibraryOrder)
            marked = review.copies;
    }
    return marked;
}

bool duplicatesAtFullSize(const QString &root, const Shape &shape, bool overBus)
{
    const QString music = root + QStringLiteral("/dup-music");
    const QString libraryPath = root + QStringLiteral("/dup.db");
    QElapsedTimer clock;
    clock.start();
    buildOnDisk(generate(shape, music), libraryPath, music);
    std::printf("duplicates: library of %d tracks with their files built in %.0f ms\n", shape.tracks,
                ms(clock.nsecsElapsed()));

    LibraryUnderTest library(libraryPath, overBus);
    libraryclient::LibraryClient *app = library.open();
    if (!app) {
        std::fprintf(stderr, "bench_cleaning: the library service did not start\n");
        return false;
    }
    system::TrashFileSystem reviewFs;
    const int marked = reviewAtFullSize(*app, reviewFs);
    TimedFileSystem fs(clock);
    BenchHost host(clock, [&library] { return library.app(); });
    const qint64 cpuStart = cpuNow();
    clock.restart();
    cleaning::removeDuplicates(host, app, fs, kByNameAndArtist);
    const qint64 total = clock.nsecsElapsed();
    const qint64 cpu = cpuNow() - cpuStart;
    const int removals = host.alert.section(QLatin1Char(' '), 0, 0).toInt();
    const qint64 removing = host.endOfWork - fs.firstProbe;
    std::printf("duplicates (%s): %s\n", overBus ? "over the bus" : "in process", qPrintable(host.alert));
    std::printf("  tick to first removal (read library, find copies): %.1f ms (CPU time %.1f ms)\n", ms(fs.firstProbe),
                ms(fs.firstProbeCpu - cpuStart));
    std::printf("  removals: %d, files trashed: %d, %.3f ms each on average (trash alone %.3f ms)\n", removals,
                fs.trashed, ms(removing) / std::max(1, removals), ms(fs.trashing) / std::max(1, fs.trashed));
    std::printf("  reload: %.1f ms; whole job with the reload: %.1f ms (this process's CPU time %.1f ms)\n",
                ms(host.reload), ms(total), ms(cpu));
    if (marked != removals)
        std::printf("  THE REVIEW MARKED %d COPIES, THE REMOVAL REMOVED %d\n", marked, removals);
    return removals > 0 && marked == removals;
}

bool deadTracksAtFullSize(const QString &root, const Shape &shape, bool overBus)
{
    const QString music = root + QStringLiteral("/dead-music");
    const QString libraryPath = root + QStringLiteral("/dead.db");
    QElapsedTimer clock;
    clock.start();
    buildOnDisk(generate(shape, music), libraryPath, music);
    std::printf("dead tracks: library of %d tracks built in %.0f ms\n", shape.tracks, ms(clock.nsecsElapsed()));

    LibraryUnderTest library(libraryPath, overBus);
    libraryclient::LibraryClient *app = library.open();
    if (!app)
        return false;
    TimedFileSystem fs(clock);
    BenchHost host(clock, [&library] { return library.app(); });
    const qint64 cpuStart = cpuNow();
    clock.restart();
    const auto source = app->librarySource();
    const system::Volumes volumes = system::Volumes::current();
    cleaning::deleteDeadTracks(host, app, source.get(), fs, &volumes);
    const qint64 cpu = cpuNow() - cpuStart;
    std::printf("dead tracks (%s): %s\n", overBus ? "over the bus" : "in process", qPrintable(host.alert));
    std::printf("  whole run without the reload: %.1f ms; reload %.1f ms (this process's CPU time, reload included, "
                "%.1f ms)\n",
                ms(host.endOfWork), ms(host.reload), ms(cpu));
    return fs.trashed == 0;
}

// Both in memory with no file system, so that only the walks differ.
void ratioToThePlainWalk(int tracks)
{
    Shape shape;
    shape.tracks = tracks;
    const auto generated = generate(shape, QStringLiteral("/nowhere"));
    const auto make = [&generated] {
        auto library = cleaning::test::FakeLibrary::create();
        for (const auto &t : generated) {
            cleaning::test::FakeTrackData data;
            data.name = t.name;
            data.artist = t.artist;
            data.album = t.album;
            data.size = t.size;
            data.location = t.location;
            library->addTrack(data);
        }
        return library;
    };
    struct NullHost : cleaning::CleaningHost
    {
        void showAlert(const QString &text, AlertKind, const QString &) override { alert = text; }
        void setAlertDetail(const QString &) override {}
        void reportProgress(const QString &, int, int) override {}
        void hideBusy() override {}
        void refreshLibraryList() override {}
        void enableButtons() override {}
        void reopenCommandGate() override {}
        void yieldOnce() override {}
        QString alert;
    };

    QElapsedTimer clock;
    auto plainLibrary = make();
    cleaning::test::FakeFileSystem plainFs;
    NullHost plainHost;
    clock.start();
    cleaning::test::referenceRemoveDuplicates(plainHost, plainLibrary->app().get(), plainFs, kByNameAndArtist);
    const qint64 plain = clock.nsecsElapsed();

    auto fastLibrary = make();
    cleaning::test::FakeFileSystem fastFs;
    NullHost fastHost;
    clock.restart();
    cleaning::removeDuplicates(fastHost, fastLibrary->app().get(), fastFs, kByNameAndArtist);
    const qint64 fast = clock.nsecsElapsed();

    const bool same = plainLibrary->deletions() == fastLibrary->deletions() && plainHost.alert == fastHost.alert;
    std::printf("plain walk vs index, %d tracks in memory: %.1f ms vs %.2f ms, ratio %.0f (%s; %s)\n", tracks,
                ms(plain), ms(fast), static_cast<double>(plain) / static_cast<double>(std::max<qint64>(fast, 1)),
                qPrintable(fastHost.alert), same ? "same removals" : "DIFFERENT REMOVALS");
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool overBus = args.contains(QStringLiteral("--bus"));
    Shape shape;
    if (const auto at = args.indexOf(QStringLiteral("--tracks")); at >= 0 && at + 1 < args.size())
        shape.tracks = args[at + 1].toInt();

    // A private bus and trash: the bench must never reach a person's own.
    PrivateBus bus;
    if (overBus) {
        if (!bus.start()) {
            std::fprintf(stderr, "bench_cleaning: cannot start a private dbus-daemon\n");
            return 1;
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address);
    }
    QTemporaryDir root;
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/data")));
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("tidyfox.*.debug=false"));

    bool ok = duplicatesAtFullSize(root.path(), shape, overBus);
    Shape dead = shape;
    dead.copyEvery = 0;
    dead.deadEvery = 20;
    ok = deadTracksAtFullSize(root.path(), dead, overBus) && ok;
    if (!args.contains(QStringLiteral("--no-plain"))) {
        for (const int tracks : {2000, 10000})
            ratioToThePlainWalk(tracks);
    }
    return ok ? 0 : 1;
}
