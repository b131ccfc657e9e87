// SPDX-License-Identifier: GPL-3.0-or-later
// The index of fingerprint values finds exactly the pairs that comparing every
// pair finds, on many small random libraries of re-encoded recordings; files
// that are no audio get no fingerprint and one line why.
#include "fingerprint/SoundMatching.h"

#include "fingerprint/AudioFingerprint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

using namespace tidyfox::fingerprint;

namespace {

using Print = std::vector<std::uint32_t>;

// A copy of a recording as another encoder heard it: bits flipped at rate,
// shifted by up to three seconds, maybe cut short.
Print variantOf(const Print &original, double rate, std::mt19937 &random)
{
    std::uniform_int_distribution<int> shift(-24, 24);
    std::bernoulli_distribution flip(rate);
    Print out;
    const int by = shift(random);
    for (int i = std::max(0, -by); i < int(original.size()); ++i)
        out.push_back(original[size_t(i)]);
    if (by > 0)
        out.insert(out.begin(), size_t(by), std::uint32_t(random()));
    if (std::bernoulli_distribution(0.2)(random))
        out.resize(out.size() * 3 / 4);
    for (std::uint32_t &item : out) {
        for (int bit = 0; bit < 32; ++bit)
            if (flip(random))
                item ^= 1u << bit;
    }
    return out;
}

std::vector<std::span<const std::uint32_t>> spans(const std::vector<Print> &prints)
{
    return {prints.begin(), prints.end()};
}

} // namespace

TEST(SoundMatching, TheIndexFindsWhatEveryPairFinds)
{
    std::mt19937 random(22);
    int matched = 0;
    for (int library = 0; library < 60; ++library) {
        std::vector<Print> prints;
        std::uniform_int_distribution<int> length(90, 700);
        const int recordings = 1 + library % 7;
        for (int r = 0; r < recordings; ++r) {
            Print original(size_t(length(random)));
            for (std::uint32_t &item : original)
                item = std::uint32_t(random());
            prints.push_back(original);
            // Copies as far apart as the corpus's re-encodings get from each
            // other (5 % of the bits), flipped independently here, which the
            // index finds harder than an encoder's errors; some cut short past
            // the span.
            for (int copy = 0; copy < library % 4; ++copy)
                prints.push_back(variantOf(original, std::uniform_real_distribution<>(0.0, 0.025)(random), random));
        }
        std::shuffle(prints.begin(), prints.end(), random);
        const auto byIndex = findSoundAlikes(spans(prints));
        const auto byEveryPair = compareEveryPair(spans(prints));
        ASSERT_EQ(byIndex.size(), byEveryPair.size()) << "library " << library;
        for (size_t p = 0; p < byIndex.size(); ++p) {
            EXPECT_EQ(byIndex[p].a, byEveryPair[p].a);
            EXPECT_EQ(byIndex[p].b, byEveryPair[p].b);
            EXPECT_NEAR(byIndex[p].strength, byEveryPair[p].strength, 1e-6);
        }
        matched += int(byIndex.size());
    }
    EXPECT_GT(matched, 100);
}

TEST(SoundMatching, RepeatedValuesAndShortPrintsNeverMatch)
{
    // A hum: one value over and over, in many tracks.
    std::vector<Print> prints(80, Print(400, 0x5555AAAAu));
    // Ten seconds alike at the start of two different recordings is no match.
    std::mt19937 random(7);
    Print a(400), b(400);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = std::uint32_t(random());
        b[i] = i < 80 ? a[i] : std::uint32_t(random());
    }
    prints.push_back(a);
    prints.push_back(b);
    EXPECT_TRUE(findSoundAlikes(spans(prints)).empty());
    EXPECT_TRUE(compareEveryPair(spans(prints)).empty());
}

TEST(AudioFingerprint, BadFilesHaveNoneAndSayWhy)
{
    const QString dir =
        QDir::tempPath() + QStringLiteral("/fingerprint-bad-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(dir);
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(dir + QLatin1Char('/') + QLatin1String(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    // A WAV header that promises four gigabytes, then a second of noise.
    QByteArray wav(
        "RIFF\xff\xff\xff\xffWAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data\xff\xff\xff\xff",
        44);
    std::mt19937 random(1);
    for (int i = 0; i < 44100 * 2; ++i)
        wav.append(char(random()));
    const struct
    {
        QString path;
        const char *why;
    } kCases[] = {
        {write("text.mp3", "not audio at all, just words"), "not audio"},
        {write("empty.flac", {}), "the file is empty"},
        {dir + QStringLiteral("/gone.ogg"), "the file is gone"},
        {write("promises.wav", wav), "shorter than 10 s"},
    };
    for (const auto &c : kCases) {
        const FingerprintOutcome outcome = fingerprintFile(c.path, std::chrono::seconds(10));
        EXPECT_TRUE(outcome.items.empty()) << qPrintable(c.path);
        EXPECT_TRUE(outcome.why.startsWith(QLatin1String(c.why))) << qPrintable(outcome.why);
        EXPECT_FALSE(outcome.why.contains(QLatin1Char('\n')));
    }
    EXPECT_EQ(fingerprintFile(kCases[3].path, std::chrono::milliseconds(0)).why,
              QStringLiteral("took too long to decode"));
    QDir(dir).removeRecursively();
}
