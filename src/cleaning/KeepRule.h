// SPDX-License-Identifier: GPL-3.0-or-later
// Which copy of a duplicate stays in the library. Library order is the rule
// of the removal walk itself (each track still present keeps itself and loses
// its first copy); every other rule picks exactly one track of a group, the
// first in library order among those it ranks best, and never one whose file
// is missing while another copy's file is there.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyfox::cleaning {

enum class KeepRule {
    LibraryOrder,
    HighestBitRate,
    LargestFile,
    LosslessFirst, // then the highest bit rate
    MostPlayed,
    HighestRated,
    EarliestAdded,
    MostRecentlyPlayed,
};

// The short names a command line uses: first, bitrate, size, lossless,
// played, rated, added, recent.
QString keepRuleName(KeepRule rule);
// Letter case does not count; nothing for an unknown name.
std::optional<KeepRule> keepRuleNamed(QStringView name);
// Every short name, in the order of KeepRule.
QStringList keepRuleNames();

// What the rules compare of one track.
struct KeepCandidate
{
    std::int32_t bitRate = 0;
    std::int64_t size = 0;
    bool lossless = false;
    std::int32_t playCount = 0;
    std::int32_t rating = 0;
    QDateTime dateAdded; // invalid: unknown, never the earliest
    QDateTime playDate;  // invalid: never played
    bool fileThere = false;
};

// Whether a track's audio is lossless, from its kind text and, for a kind
// that does not say, its file's extension.
bool isLossless(const QString &kindText, const QString &location);

// The index of the candidate that stays, for any rule but LibraryOrder (whose
// outcome only the walk gives). candidates are one group in library order and
// not empty.
int chooseKeeper(KeepRule rule, const std::vector<KeepCandidate> &candidates);

} // namespace tidyfox::cleaning
