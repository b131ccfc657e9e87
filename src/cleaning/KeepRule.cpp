// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/KeepRule.h"

#include <array>
#include <cassert>
#include <compare>
#include <limits>

namespace tidyfox::cleaning {
namespace {

struct RuleName
{
    KeepRule rule;
    const char *name;
};

constexpr std::array<RuleName, 8> kNames = {{
    {KeepRule::LibraryOrder, "first"},
    {KeepRule::HighestBitRate, "bitrate"},
    {KeepRule::LargestFile, "size"},
    {KeepRule::LosslessFirst, "lossless"},
    {KeepRule::MostPlayed, "played"},
    {KeepRule::HighestRated, "rated"},
    {KeepRule::EarliestAdded, "added"},
    {KeepRule::MostRecentlyPlayed, "recent"},
}};

// A date as a number that grows with the date; unknown dates sort below every
// known one.
std::int64_t dateRank(const QDateTime &date)
{
    return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<std::int64_t>::min();
}

std::int64_t earlyRank(const QDateTime &date)
{
    return date.isValid() ? -date.toMSecsSinceEpoch() : std::numeric_limits<std::int64_t>::min();
}

// Greater is better.
std::strong_ordering compare(KeepRule rule, const KeepCandidate &a, const KeepCandidate &b)
{
    if (a.fileThere != b.fileThere)
        return a.fileThere <=> b.fileThere;
    switch (rule) {
    case KeepRule::LibraryOrder:
        break;
    case KeepRule::HighestBitRate:
        return a.bitRate <=> b.bitRate;
    case KeepRule::LargestFile:
        return a.size <=> b.size;
    case KeepRule::LosslessFirst:
        if (a.lossless != b.lossless)
            return a.lossless <=> b.lossless;
        return a.bitRate <=> b.bitRate;
    case KeepRule::MostPlayed:
        return a.playCount <=> b.playCount;
    case KeepRule::HighestRated:
        return a.rating <=> b.rating;
    case KeepRule::EarliestAdded:
        return earlyRank(a.dateAdded) <=> earlyRank(b.dateAdded);
    case KeepRule::MostRecentlyPlayed:
        return dateRank(a.playDate) <=> dateRank(b.playDate);
    }
    return std::strong_ordering::equal;
}

bool endsWithAny(const QString &text, std::initializer_list<const char *> endings)
{
    for (const char *ending : endings) {
        if (text.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

QString keepRuleName(KeepRule rule)
{
    for (const auto &entry : kNames) {
        if (entry.rule == rule)
            return QString::fromLatin1(entry.name);
    }
    return {};
}

std::optional<KeepRule> keepRuleNamed(QStringView name)
{
    for (const auto &entry : kNames) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.rule;
    }
    return std::nullopt;
}

QStringList keepRuleNames()
{
    QStringList names;
    for (const auto &entry : kNames)
        names << QString::fromLatin1(entry.name);
    return names;
}

bool isLossless(const QString &kindText, const QString &location)
{
    // The kinds a music player and our scanner write for lossless audio; an
    // MPEG-4 file says in its kind whether it is Apple Lossless or AAC.
    for (const char *word : {"lossless", "wav", "aiff", "flac", "wavpack", "trueaudio", "monkey"}) {
        if (kindText.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    if (!kindText.isEmpty())
        return false;
    return endsWithAny(location, {".flac", ".wav", ".aif", ".aiff", ".aifc", ".wv", ".ape", ".tta"});
}

int chooseKeeper(KeepRule rule, const std::vector<KeepCandidate> &candidates)
{
    assert(!candidates.empty());
    int best = 0;
    for (int i = 1; i < static_cast<int>(candidates.size()); ++i) {
        // Strictly better only: a tie stays with the one first in library order.
        if (compare(rule, candidates[static_cast<size_t>(i)], candidates[static_cast<size_t>(best)]) > 0)
            best = i;
    }
    return best;
}

} // namespace tidyfox::cleaning
