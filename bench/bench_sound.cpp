// SPDX-License-Identifier: GPL-3.0-or-later
// Fingerprints, side by side in one run:
//  1. hearing FOLDER's audio files (the first 200) with the worker threads,
//     against Debian's `fpcalc -length 120` run two at a time over the same
//     files;
//  2. matching 100,000 fingerprints made up from those (each of 50,000 made-up
//     recordings twice: once as it is, once with bit errors and a shift), with
//     the process's peak memory, beside comparing every pair of 2,000;
//  3. a library of 100,000 file tracks with their fingerprints kept: what
//     needs hearing (nothing) and the matches, the first time and then again
//     with nothing changed.
//
// bench_sound FOLDER [--quick]   (--quick: without fpcalc and every pair)
#include "fingerprint/FingerprintWorkers.h"
#include "fingerprint/SoundMatching.h"
#include "service/LibraryCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sys/resource.h>

using namespace tidyfox;
using Print = std::vector<std::uint32_t>;

namespace {

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Processor time of the process so far, user and system.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

double fpcalcTwoAtATime(const QStringList &files)
{
    QElapsedTimer timer;
    timer.start();
    qsizetype next = 0;
    std::vector<std::unique_ptr<QProcess>> running;
    while (next < files.size() || !running.empty()) {
        while (running.size() < 2 && next < files.size()) {
            auto process = std::make_unique<QProcess>();
            process->setProcessChannelMode(QProcess::MergedChannels);
            process->start(QStringLiteral("fpcalc"), {QStringLiteral("-length"), QStringLiteral("120"), files[next++]});
            running.push_back(std::move(process));
        }
        running.front()->waitForFinished(-1);
        running.erase(running.begin());
    }
    return double(timer.elapsed()) / 1000.0;
}

std::vector<Print> madeUp(const std::vector<Print> &real, int recordings, std::mt19937 &random)
{
    std::vector<Print> prints;
    prints.reserve(size_t(recordings) * 2);
    std::bernoulli_distribution flip(0.02);
    for (int r = 0; r < recordings; ++r) {
        const Print &from = real[random() % real.size()];
        // Another recording: the same kind of structure, other values.
        const std::uint32_t mask = std::uint32_t(random());
        const size_t start = random() % std::max<size_t>(1, from.size() / 4);
        Print original;
        for (size_t i = start; i < from.size() && original.size() < size_t(fingerprint::kComparedItems); ++i)
            original.push_back(from[i] ^ mask);
        Print copy(original.begin() + std::ptrdiff_t(random() % 24), original.end());
        for (std::uint32_t &item : copy) {
            for (int bit = 0; bit < 32; ++bit)
                if (flip(random))
                    item ^= 1u << bit;
        }
        prints.push_back(std::move(original));
        prints.push_back(std::move(copy));
    }
    return prints;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_sound FOLDER [--quick]\n");
        return 2;
    }
    const bool quick = argc > 2 && std::strcmp(argv[2], "--quick") == 0;
    std::printf("load average %.2f\n", loadAverage());
    QStringList files;
    for (const QFileInfo &info : QDir(QString::fromLocal8Bit(argv[1])).entryInfoList(QDir::Files, QDir::Name)) {
        if (files.size() < 200 && !info.fileName().endsWith(QLatin1String(".tsv")))
            files << info.absoluteFilePath();
    }

    // 1. Hearing.
    const double fpcalc = quick ? 0 : fpcalcTwoAtATime(files);
    QElapsedTimer timer;
    timer.start();
    std::vector<Print> real;
    {
        // In the files' order, whichever worker finished first.
        std::vector<Print> byFile(size_t(files.size()));
        fingerprint::FingerprintWorkers workers(std::vector<QString>(files.begin(), files.end()), 0,
                                                std::chrono::seconds(30));
        while (!workers.done()) {
            for (auto &result : workers.waitAndTake(std::chrono::milliseconds(100)))
                byFile[result.index] = std::move(result.outcome.items);
        }
        for (Print &print : byFile) {
            if (!print.empty())
                real.push_back(std::move(print));
        }
    }
    const double ours = double(timer.elapsed()) / 1000.0;
    std::printf("hearing %lld files: fpcalc -length 120, two at a time %.2f s; workers %.2f s; ratio %.2fx\n",
                static_cast<long long>(files.size()), fpcalc, ours, fpcalc / ours);
    if (real.empty())
        return 1;

    // 2. Matching.
    std::mt19937 random(22);
    const double before = peakMb();
    std::vector<Print> prints = madeUp(real, 50000, random);
    const std::vector<std::span<const std::uint32_t>> spans(prints.begin(), prints.end());
    std::printf("100,000 made-up fingerprints held: peak %.0f MB (before: %.0f MB)\n", peakMb(), before);
    timer.restart();
    double cpu = cpuSeconds();
    const auto pairs = fingerprint::findSoundAlikes(spans);
    const double matching = double(timer.elapsed()) / 1000.0;
    cpu = cpuSeconds() - cpu;
    size_t truePairs = 0;
    for (const auto &pair : pairs)
        truePairs += pair.a / 2 == pair.b / 2;
    std::printf("matching 100,000: %.2f s (processor %.2f s, load %.2f), peak %.0f MB; %zu pairs, %zu of the 50,000 "
                "made (the rest: recordings "
                "made up from one real print that still agree)\n",
                matching, cpu, loadAverage(), peakMb(), pairs.size(), truePairs);
    const std::vector<std::span<const std::uint32_t>> few(spans.begin(), spans.begin() + 2000);
    timer.restart();
    const auto fewPairs = quick ? std::vector<fingerprint::SoundPair>() : fingerprint::compareEveryPair(few);
    const double everyPair = double(timer.elapsed()) / 1000.0;
    timer.restart();
    const auto fewByIndex = fingerprint::findSoundAlikes(few);
    const double fewIndex = double(timer.elapsed()) / 1000.0;
    std::printf("2,000 of them: every pair %.2f s (%.0f pairs/s, so about %.0f h for 100,000), the index %.3f s; "
                "%zu and %zu pairs\n",
                everyPair, 2000.0 * 1999 / 2 / everyPair, everyPair * 2500 / 3600, fewIndex, fewPairs.size(),
                fewByIndex.size());

    // 3. A second run over 100,000 unchanged tracks.
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("music")));
    auto core = library::LibraryCore::open(dir.filePath(QStringLiteral("library.db")));
    core->begin();
    for (size_t i = 0; i < prints.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("music/%1.mp3").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("x");
        file.close();
        library::TrackRecord track;
        track.name = QStringLiteral("Track %1").arg(i);
        track.location = path;
        core->addTrack(track);
    }
    core->commit();
    core->begin();
    for (const auto &task : core->fingerprintsToMake())
        core->keepFingerprint(
            task, prints[size_t(task.path.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0).toInt())], {});
    core->commit();
    // The first look after the fingerprints were kept (or the service
    // started) reads them all and matches; the next, with nothing changed,
    // finds what the first found.
    for (const char *look : {"first look after keeping them", "second run, 100,000 unchanged tracks"}) {
        timer.restart();
        double cpu = cpuSeconds();
        const size_t toHear = core->fingerprintsToMake().size();
        const double looked = double(timer.elapsed()) / 1000.0;
        timer.restart();
        const size_t matches = core->soundMatches().size();
        const double found = double(timer.elapsed()) / 1000.0;
        cpu = cpuSeconds() - cpu;
        std::printf("%s: %zu to hear (%.2f s), %zu matches (%.2f s), %.2f s in all (processor %.2f s, load %.2f)\n",
                    look, toHear, looked, matches, found, looked + found, cpu, loadAverage());
    }
    return 0;
}
