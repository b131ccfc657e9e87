// SPDX-License-Identifier: GPL-3.0-or-later
// The acoustic fingerprint of a file's first two minutes of audio: Chromaprint
// items (one 32-bit value about every eighth of a second) over the audio as
// FFmpeg decodes it. Safe to call on several threads at once.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

namespace tidyfox::fingerprint {

// Bumped whenever what a fingerprint holds changes: one stored under another
// version is made again, never compared.
inline constexpr int kFingerprintVersion = 1;

inline constexpr int kListenSeconds = 120;
// Shorter audio says too little to tell recordings apart.
inline constexpr int kShortestSeconds = 10;

struct FingerprintOutcome
{
    std::vector<std::uint32_t> items; // empty when the file has none
    QString why;                      // then: one line saying why
    int seconds = 0;                  // of audio decoded
};

// Never throws; a file that takes longer than limit (a huge header, audio
// that never ends) is given up.
FingerprintOutcome fingerprintFile(const QString &path, std::chrono::milliseconds limit);

} // namespace tidyfox::fingerprint
