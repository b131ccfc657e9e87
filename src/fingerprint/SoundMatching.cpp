// SPDX-License-Identifier: GPL-3.0-or-later
#include "fingerprint/SoundMatching.h"

#include <algorithm>
#include <bit>

namespace tidyfox::fingerprint {
namespace {

// One value in eight is indexed, chosen by the value itself so that two
// fingerprints index the same values wherever they start.
constexpr std::uint32_t kIndexedShare = 8;
// A value more fingerprints share than this says nothing (a pause, a hum).
constexpr size_t kCommonValue = 64;
// Shared values at one shift before a pair is compared: one for a short
// print, which has few values in the index.
int votesNeeded(size_t shorter)
{
    return shorter < 256 ? 1 : 2;
}

bool indexed(std::uint32_t value)
{
    return (value * 0x9E3779B1u) >> 28 < 16 / kIndexedShare;
}

std::span<const std::uint32_t> compared(std::span<const std::uint32_t> items)
{
    return items.first(std::min<size_t>(items.size(), kComparedItems));
}

// A print that repeats a few values (a tone, a hum, near silence) could
// agree with any other such: it never matches.
bool informative(std::span<const std::uint32_t> items)
{
    std::vector<std::uint32_t> values(items.begin(), items.end());
    std::sort(values.begin(), values.end());
    const size_t distinct = size_t(std::unique(values.begin(), values.end()) - values.begin());
    return distinct * 4 >= values.size() && distinct >= size_t(kShortestSpan) / 2;
}

struct Alignment
{
    int span = 0;
    int errors = 0;
};

// a[i] against b[i - shift].
Alignment alignAt(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, int shift)
{
    const int begin = std::max(0, shift);
    const int end = std::min(int(a.size()), int(b.size()) + shift);
    Alignment alignment;
    for (int i = begin; i < end; ++i)
        alignment.errors += std::popcount(a[size_t(i)] ^ b[size_t(i - shift)]);
    alignment.span = std::max(0, end - begin);
    return alignment;
}

std::optional<float> matchAt(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, int shift)
{
    const Alignment alignment = alignAt(a, b, shift);
    const int shorter = int(std::min(a.size(), b.size()));
    if (alignment.span < kShortestSpan || alignment.span < kMostOfShorter * shorter)
        return std::nullopt;
    const double rate = double(alignment.errors) / (32.0 * alignment.span);
    if (rate >= kMaxBitErrors)
        return std::nullopt;
    return float(1.0 - rate);
}

// A vote: the pair and the shift at which they share a value.
struct Vote
{
    std::uint32_t a;
    std::uint32_t b;
    std::int32_t shift;
    bool operator<(const Vote &o) const { return a != o.a ? a < o.a : b != o.b ? b < o.b : shift < o.shift; }
    bool samePair(const Vote &o) const { return a == o.a && b == o.b; }
};

struct Entry
{
    std::uint32_t value;
    std::uint32_t print;
    std::int32_t at;
};

} // namespace

std::optional<float> compareFingerprints(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b)
{
    a = compared(a);
    b = compared(b);
    if (!informative(a) || !informative(b))
        return std::nullopt;
    std::optional<float> best;
    for (int shift = -kMaxShift; shift <= kMaxShift; ++shift) {
        const auto strength = matchAt(a, b, shift);
        if (strength && (!best || *strength > *best))
            best = strength;
    }
    return best;
}

std::vector<SoundPair> compareEveryPair(const std::vector<std::span<const std::uint32_t>> &fingerprints)
{
    std::vector<SoundPair> pairs;
    for (size_t a = 0; a < fingerprints.size(); ++a) {
        for (size_t b = a + 1; b < fingerprints.size(); ++b) {
            if (const auto strength = compareFingerprints(fingerprints[a], fingerprints[b]))
                pairs.push_back({int(a), int(b), *strength});
        }
    }
    return pairs;
}

std::vector<SoundPair> findSoundAlikes(const std::vector<std::span<const std::uint32_t>> &fingerprints)
{
    std::vector<Entry> entries;
    for (size_t p = 0; p < fingerprints.size(); ++p) {
        const auto items = compared(fingerprints[p]);
        if (!informative(items))
            continue;
        for (size_t i = 0; i < items.size(); ++i) {
            if (indexed(items[i]))
                entries.push_back({items[i], std::uint32_t(p), std::int32_t(i)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &x, const Entry &y) {
        return x.value != y.value ? x.value < y.value : x.print != y.print ? x.print < y.print : x.at < y.at;
    });

    std::vector<Vote> votes;
    for (size_t run = 0; run < entries.size();) {
        size_t end = run;
        size_t prints = 0;
        while (end < entries.size() && entries[end].value == entries[run].value) {
            if (end == run || entries[end].print != entries[end - 1].print)
                ++prints;
            ++end;
        }
        if (prints <= kCommonValue) {
            for (size_t x = run; x < end; ++x) {
                for (size_t y = x + 1; y < end; ++y) {
                    if (entries[x].print == entries[y].print)
                        continue;
                    const int shift = entries[x].at - entries[y].at;
                    if (shift >= -kMaxShift && shift <= kMaxShift)
                        votes.push_back({entries[x].print, entries[y].print, shift});
                }
            }
        }
        run = end;
    }
    std::vector<Entry>().swap(entries);
    std::sort(votes.begin(), votes.end());

    std::vector<SoundPair> pairs;
    for (size_t pair = 0; pair < votes.size();) {
        size_t end = pair;
        // The shifts with the most votes; a pair is seldom seen at more than
        // a few.
        int bestVotes = 0;
        std::int32_t bestShift = 0;
        for (size_t shiftRun = pair; shiftRun < votes.size() && votes[shiftRun].samePair(votes[pair]);) {
            size_t shiftEnd = shiftRun;
            while (shiftEnd < votes.size() && votes[shiftEnd].samePair(votes[pair]) &&
                   votes[shiftEnd].shift == votes[shiftRun].shift)
                ++shiftEnd;
            if (int(shiftEnd - shiftRun) > bestVotes) {
                bestVotes = int(shiftEnd - shiftRun);
                bestShift = votes[shiftRun].shift;
            }
            shiftRun = end = shiftEnd;
        }
        const Vote &v = votes[pair];
        const auto a = compared(fingerprints[v.a]), b = compared(fingerprints[v.b]);
        if (bestVotes >= votesNeeded(std::min(a.size(), b.size()))) {
            // The shift found is where values agree exactly; the bits agree
            // best there or next to it.
            std::optional<float> best;
            for (int shift = bestShift - 1; shift <= bestShift + 1; ++shift) {
                if (shift < -kMaxShift || shift > kMaxShift)
                    continue;
                const auto strength = matchAt(a, b, shift);
                if (strength && (!best || *strength > *best))
                    best = strength;
            }
            if (best)
                pairs.push_back({int(v.a), int(v.b), *best});
        }
        pair = end;
    }
    return pairs;
}

} // namespace tidyfox::fingerprint
