// SPDX-License-Identifier: GPL-3.0-or-later
// The labelled corpus (make_corpus.py): music Debian ships, each original
// re-encoded in many ways that must match it, beside other music, speech,
// silence, tones and short clips that must match nothing. Holds precision at
// 100 % and recall of the variants at 98 % or more, and reports the bit errors
// between copies and between different recordings that the threshold sits
// between.
#include "fingerprint/FingerprintWorkers.h"
#include "fingerprint/SoundMatching.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

using namespace tidyfox::fingerprint;

TEST(Corpus, VariantsMatchTheirOriginalAndNothingElse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess make;
    make.setProcessChannelMode(QProcess::ForwardedChannels);
    make.start(QStringLiteral("python3"), {QStringLiteral(TIDYFOX_MAKE_CORPUS), dir.path()});
    ASSERT_TRUE(make.waitForFinished(300000));
    ASSERT_EQ(make.exitCode(), 0) << "make_corpus.py failed";

    QFile labelsFile(dir.filePath(QStringLiteral("labels.tsv")));
    ASSERT_TRUE(labelsFile.open(QIODevice::ReadOnly));
    std::vector<QString> paths, labels;
    while (!labelsFile.atEnd()) {
        const QStringList fields = QString::fromUtf8(labelsFile.readLine().trimmed()).split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 2);
        paths.push_back(fields[0]);
        labels.push_back(fields[1]);
    }

    std::vector<FingerprintOutcome> outcomes(paths.size());
    FingerprintWorkers workers(paths, 0, std::chrono::seconds(30));
    while (!workers.done()) {
        for (FingerprintResult &result : workers.waitAndTake(std::chrono::milliseconds(200)))
            outcomes[result.index] = std::move(result.outcome);
    }
    std::vector<std::span<const std::uint32_t>> prints;
    std::vector<size_t> fileOf;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        if (!outcomes[i].items.empty()) {
            prints.emplace_back(outcomes[i].items);
            fileOf.push_back(i);
        }
    }
    const auto pairs = findSoundAlikes(prints);

    std::vector<size_t> root(paths.size());
    std::iota(root.begin(), root.end(), 0);
    const auto find = [&](size_t i) {
        while (root[i] != i)
            i = root[i] = root[root[i]];
        return i;
    };
    int wrongPairs = 0;
    std::map<size_t, float> strength; // weakest match of each file
    for (const SoundPair &pair : pairs) {
        const size_t a = fileOf[size_t(pair.a)], b = fileOf[size_t(pair.b)];
        if (labels[a] == QLatin1String("-") || labels[a] != labels[b]) {
            ++wrongPairs;
            ADD_FAILURE() << qPrintable(paths[a]) << " matched " << qPrintable(paths[b]) << " at " << pair.strength;
        }
        root[find(a)] = find(b);
        for (const size_t f : {a, b})
            strength[f] = strength.count(f) ? std::min(strength[f], pair.strength) : pair.strength;
    }
    std::map<QString, size_t> original;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (labels[i] != QLatin1String("-") && paths[i].endsWith(QLatin1String(".wav")))
            original[labels[i]] = i;
    }
    int variants = 0, found = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool isVariant = labels[i] != QLatin1String("-") && original[labels[i]] != i;
        const bool ok = isVariant && find(i) == find(original[labels[i]]);
        variants += isVariant;
        found += ok;
        std::printf("%-45s %-14s %s %s\n", qPrintable(paths[i].section(QLatin1Char('/'), -1)), qPrintable(labels[i]),
                    strength.count(i) ? qPrintable(QString::number(strength[i], 'f', 3)) : "  -  ",
                    qPrintable(outcomes[i].why));
        if (isVariant && !ok)
            std::printf("  ^ not found\n");
    }
    const double precision = pairs.empty() ? 1.0 : 1.0 - double(wrongPairs) / double(pairs.size());
    const double recall = double(found) / double(variants);
    std::printf("pairs %zu, precision %.1f %%, recall %.1f %% (%d of %d variants)\n", pairs.size(), 100 * precision,
                100 * recall, found, variants);
    EXPECT_EQ(wrongPairs, 0);
    EXPECT_GE(recall, 0.98);

    // The evidence for the threshold: the bit errors between copies of one
    // recording and between different ones, each at its best shift.
    std::vector<double> same, different;
    for (size_t x = 0; x < prints.size(); ++x) {
        for (size_t y = x + 1; y < prints.size(); ++y) {
            const auto rate = lowestBitErrors(prints[x], prints[y]);
            const QString &a = labels[fileOf[x]], &b = labels[fileOf[y]];
            if (rate)
                (a == b && a != QLatin1String("-") ? same : different).push_back(*rate);
        }
    }
    ASSERT_FALSE(same.empty());
    ASSERT_FALSE(different.empty());
    std::sort(same.begin(), same.end());
    std::sort(different.begin(), different.end());
    std::printf("bit errors: copies %.1f %% median, %.1f %% at most (%zu pairs); different recordings %.1f %% at "
                "least, %.1f %% median (%zu pairs); threshold %.0f %%\n",
                100 * same[same.size() / 2], 100 * same.back(), same.size(), 100 * different.front(),
                100 * different[different.size() / 2], different.size(), 100 * kMaxBitErrors);
    EXPECT_LT(same.back(), kMaxBitErrors);
    EXPECT_GT(different.front(), kMaxBitErrors);
}
