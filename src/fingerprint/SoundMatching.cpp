// SPDX-License-Identifier: GPL-3.0-or-later
#include "fingerprint/SoundMatching.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <thread>

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

std::span<const std::uint32_t> compared(std::span<const std::uint32_t> items)
{
    return items.first(std::min<size_t>(items.size(), kComparedItems));
}

std::uint32_t hashed(std::uint32_t value)
{
    return value * 0x9E3779B1u;
}

// A print that repeats a few values (a tone, a hum, near silence) could
// agree with any other such: it never matches.
bool informative(std::span<const std::uint32_t> items)
{
    // Distinct values counted in an open table twice the largest print:
    // sorting a copy of every print cost more than all the matching.
    constexpr size_t kSlots = 2 * kComparedItems;
    static_assert(kSlots == 1 << 10, "the slot is the hash's top 10 bits");
    std::array<std::uint64_t, kSlots> slots{}; // value + 1, 0 free
    size_t distinct = 0;
    for (const std::uint32_t value : items) {
        for (size_t slot = hashed(value) >> 22;; slot = (slot + 1) % kSlots) {
            if (slots[slot] == std::uint64_t(value) + 1)
                break;
            if (slots[slot] == 0) {
                slots[slot] = std::uint64_t(value) + 1;
                ++distinct;
                break;
            }
        }
    }
    return distinct * 4 >= items.size() && distinct >= size_t(kShortestSpan) / 2;
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

// The bit error rate at a shift that spans enough.
std::optional<double> errorsAt(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, int shift)
{
    const Alignment alignment = alignAt(a, b, shift);
    const int shorter = int(std::min(a.size(), b.size()));
    if (alignment.span < kShortestSpan || alignment.span < kMostOfShorter * shorter)
        return std::nullopt;
    return double(alignment.errors) / (32.0 * alignment.span);
}

std::optional<float> matchAt(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, int shift)
{
    const auto rate = errorsAt(a, b, shift);
    if (!rate || *rate >= kMaxBitErrors)
        return std::nullopt;
    return float(1.0 - *rate);
}

// The index: every indexed value of every informative print, as one key a
// value (hashed, so that equal values stay together and the buckets fill
// evenly), then the print and the item's place. Sorted, the prints sharing a
// value sit side by side in print order.
constexpr int kAtBits = 9; // places up to kComparedItems
static_assert(kComparedItems <= 1 << kAtBits);
constexpr int kBucketBits = 16;

bool indexed(std::uint32_t value)
{
    return hashed(value) >> 28 < 16 / kIndexedShare;
}

// Indexed values have their top bits clear; the next ones spread them.
size_t bucketOf(std::uint32_t hash)
{
    return (hash >> (32 - 3 - kBucketBits)) & ((1u << kBucketBits) - 1);
}

std::uint64_t keyOf(std::uint32_t hash, size_t print, size_t at)
{
    return std::uint64_t(hash) << 32 | std::uint64_t(print) << kAtBits | at;
}

std::uint32_t printOf(std::uint64_t key)
{
    return std::uint32_t(key) >> kAtBits;
}

int atOf(std::uint64_t key)
{
    return int(key & ((1u << kAtBits) - 1));
}

class ValueIndex
{
public:
    explicit ValueIndex(const std::vector<std::span<const std::uint32_t>> &prints, const std::vector<char> &used)
    {
        // Counted first, then placed: one array and no sort of the whole.
        m_start.assign((size_t(1) << kBucketBits) + 1, 0);
        forEachIndexed(prints, used, [&](std::uint32_t hash, size_t, size_t) { ++m_start[bucketOf(hash) + 1]; });
        for (size_t b = 1; b < m_start.size(); ++b)
            m_start[b] += m_start[b - 1];
        m_keys.resize(m_start.back());
        std::vector<std::uint32_t> next(m_start.begin(), m_start.end() - 1);
        forEachIndexed(prints, used, [&](std::uint32_t hash, size_t print, size_t at) {
            m_keys[next[bucketOf(hash)]++] = keyOf(hash, print, at);
        });
        std::vector<std::uint32_t>().swap(next);
        dropCommonValues();
    }

    // The entries of one value, in print order.
    std::span<const std::uint64_t> withValue(std::uint32_t hash) const
    {
        const auto *begin = m_keys.data() + m_start[bucketOf(hash)];
        const auto *end = m_keys.data() + m_start[bucketOf(hash) + 1];
        const std::uint64_t low = std::uint64_t(hash) << 32;
        const auto *first = std::lower_bound(begin, end, low);
        const auto *last = std::lower_bound(first, end, low | 0xFFFFFFFFu);
        return {first, last};
    }

private:
    template<typename F>
    static void forEachIndexed(const std::vector<std::span<const std::uint32_t>> &prints, const std::vector<char> &used,
                               F f)
    {
        for (size_t p = 0; p < prints.size(); ++p) {
            if (!used[p])
                continue;
            const auto items = compared(prints[p]);
            for (size_t i = 0; i < items.size(); ++i) {
                if (indexed(items[i]))
                    f(hashed(items[i]), p, i);
            }
        }
    }

    // Sorts each bucket and keeps only the values few prints share.
    void dropCommonValues()
    {
        size_t kept = 0;
        for (size_t b = 0; b + 1 < m_start.size(); ++b) {
            const size_t begin = m_start[b], end = m_start[b + 1];
            std::sort(m_keys.begin() + std::ptrdiff_t(begin), m_keys.begin() + std::ptrdiff_t(end));
            m_start[b] = std::uint32_t(kept);
            for (size_t run = begin; run < end;) {
                size_t runEnd = run;
                size_t prints = 0;
                while (runEnd < end && m_keys[runEnd] >> 32 == m_keys[run] >> 32) {
                    if (runEnd == run || printOf(m_keys[runEnd]) != printOf(m_keys[runEnd - 1]))
                        ++prints;
                    ++runEnd;
                }
                if (prints <= kCommonValue) {
                    std::copy(m_keys.begin() + std::ptrdiff_t(run), m_keys.begin() + std::ptrdiff_t(runEnd),
                              m_keys.begin() + std::ptrdiff_t(kept));
                    kept += runEnd - run;
                }
                run = runEnd;
            }
        }
        m_start.back() = std::uint32_t(kept);
        m_keys.resize(kept);
        m_keys.shrink_to_fit();
    }

    std::vector<std::uint32_t> m_start; // of each bucket in m_keys
    std::vector<std::uint64_t> m_keys;
};

// The pairs of print a with the later prints that share values with it.
// votes: room for a's votes, the other print and the shift packed to sort by
// print then shift.
void pairsFrom(size_t a, const std::vector<std::span<const std::uint32_t>> &fingerprints, const ValueIndex &index,
               std::vector<std::uint64_t> &votes, std::vector<SoundPair> &pairs)
{
    const auto items = compared(fingerprints[a]);
    votes.clear();
    for (size_t i = 0; i < items.size(); ++i) {
        if (!indexed(items[i]))
            continue;
        for (const std::uint64_t key : index.withValue(hashed(items[i]))) {
            if (printOf(key) <= a)
                continue;
            const int shift = int(i) - atOf(key);
            if (shift >= -kMaxShift && shift <= kMaxShift)
                votes.push_back(std::uint64_t(printOf(key)) << 32 | std::uint32_t(shift + kMaxShift));
        }
    }
    std::sort(votes.begin(), votes.end());
    for (size_t run = 0; run < votes.size();) {
        const std::uint32_t b = std::uint32_t(votes[run] >> 32);
        // The shift with the most votes, the lowest of equals.
        int bestVotes = 0;
        int bestShift = 0;
        size_t end = run;
        while (end < votes.size() && votes[end] >> 32 == b) {
            size_t shiftEnd = end;
            while (shiftEnd < votes.size() && votes[shiftEnd] == votes[end])
                ++shiftEnd;
            if (int(shiftEnd - end) > bestVotes) {
                bestVotes = int(shiftEnd - end);
                bestShift = int(std::uint32_t(votes[end])) - kMaxShift;
            }
            end = shiftEnd;
        }
        run = end;
        const auto other = compared(fingerprints[b]);
        if (bestVotes < votesNeeded(std::min(items.size(), other.size())))
            continue;
        // The shift found is where values agree exactly; the bits agree best
        // there or next to it.
        std::optional<float> best;
        for (int shift = bestShift - 1; shift <= bestShift + 1; ++shift) {
            if (shift < -kMaxShift || shift > kMaxShift)
                continue;
            const auto strength = matchAt(items, other, shift);
            if (strength && (!best || *strength > *best))
                best = strength;
        }
        if (best)
            pairs.push_back({int(a), int(b), *best});
    }
}

// f(begin, end) over slices of [0, count) on a thread a core, the slices
// taken in turn so that a slow one holds no thread up.
template<typename F> void inParallel(size_t count, F f)
{
    const size_t threads = std::max(1u, std::thread::hardware_concurrency());
    const size_t slice = std::max<size_t>(1, count / (threads * 16));
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t begin; (begin = next.fetch_add(slice)) < count;)
            f(begin, std::min(count, begin + slice));
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads && slice < count; ++t)
        helpers.emplace_back(work);
    work();
    for (auto &helper : helpers)
        helper.join();
}

} // namespace

std::optional<double> lowestBitErrors(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b)
{
    a = compared(a);
    b = compared(b);
    if (!informative(a) || !informative(b))
        return std::nullopt;
    std::optional<double> lowest;
    for (int shift = -kMaxShift; shift <= kMaxShift; ++shift) {
        const auto rate = errorsAt(a, b, shift);
        if (rate && (!lowest || *rate < *lowest))
            lowest = rate;
    }
    return lowest;
}

std::optional<float> compareFingerprints(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b)
{
    const auto rate = lowestBitErrors(a, b);
    if (!rate || *rate >= kMaxBitErrors)
        return std::nullopt;
    return float(1.0 - *rate);
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
    // Up to 2^23 prints fit beside the place in a key's low half.
    if (fingerprints.size() >= size_t(1) << (32 - kAtBits))
        return {};
    std::vector<char> used(fingerprints.size());
    inParallel(fingerprints.size(), [&](size_t begin, size_t end) {
        for (size_t p = begin; p < end; ++p)
            used[p] = informative(compared(fingerprints[p]));
    });
    const ValueIndex index(fingerprints, used);

    // Blocks of prints, each with its pairs, joined in order at the end.
    constexpr size_t kBlock = 256;
    std::vector<std::vector<SoundPair>> found((fingerprints.size() + kBlock - 1) / kBlock);
    inParallel(found.size(), [&](size_t begin, size_t end) {
        std::vector<std::uint64_t> votes;
        for (size_t block = begin; block < end; ++block) {
            for (size_t a = block * kBlock; a < std::min(fingerprints.size(), (block + 1) * kBlock); ++a) {
                if (used[a])
                    pairsFrom(a, fingerprints, index, votes, found[block]);
            }
        }
    });
    std::vector<SoundPair> pairs;
    for (auto &block : found)
        pairs.insert(pairs.end(), block.begin(), block.end());
    return pairs;
}

} // namespace tidyfox::fingerprint
