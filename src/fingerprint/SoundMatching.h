// SPDX-License-Identifier: GPL-3.0-or-later
// Which fingerprints are of the same recording. Two sound the same when, at
// some shift of one against the other (up to kMaxShift items), their items
// agree bit for bit but for under kMaxBitErrors of the bits, over at least
// kShortestSpan items and most of the shorter one.
//
// Candidates come from an index of item values: only fingerprints sharing
// several values at one shift are compared at all, never every pair.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tidyfox::fingerprint {

// Items compared of each fingerprint: the first 512 (about 66 s) tell
// recordings apart as well as two minutes do, at half the memory.
inline constexpr int kComparedItems = 512;
inline constexpr int kMaxShift = 120;    // items, about 15 s
inline constexpr int kShortestSpan = 80; // items, about 10 s
inline constexpr double kMostOfShorter = 0.75;
// In the corpus test, copies of one recording (mono, AAC and Opus at low
// rates, -6 dB, silence in front, the end cut) differ in 4.9 % of the bits at
// most, different recordings in 27.9 % at least (half in the median): 15 %
// sits three times above the one and well below the other.
inline constexpr double kMaxBitErrors = 0.15;

struct SoundPair
{
    int a = 0; // indexes into the fingerprints given, a < b
    int b = 0;
    float strength = 0; // 1 minus the bit error rate
};

// The share of bits that agree at the best shift, when it makes a match.
std::optional<float> compareFingerprints(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b);

// The lowest share of bits that differ at any shift spanning enough to make a
// match, whatever the share; nothing when none spans enough or either print
// could never match. What kMaxBitErrors is chosen against.
std::optional<double> lowestBitErrors(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b);

// Every pair that sounds the same, by a < b then b.
std::vector<SoundPair> findSoundAlikes(const std::vector<std::span<const std::uint32_t>> &fingerprints);

// The same by comparing every pair: the reference the index is checked
// against, and the cost it spares.
std::vector<SoundPair> compareEveryPair(const std::vector<std::span<const std::uint32_t>> &fingerprints);

} // namespace tidyfox::fingerprint
