// SPDX-License-Identifier: GPL-3.0-or-later
// Names, artists and albums compared loosely: the same recording tagged by two
// people (or by one shop and one ripper) rarely agrees letter for letter, but
// agrees once case, accents, punctuation, the spelling of "featuring" and the
// reissue notes in brackets are set aside. Words that name another recording
// ("Live", "Remix", ...) are kept, so that a live take never folds into the
// studio one.
#pragma once

#include <QString>

namespace tidyfox::cleaning {

// The text two loosely equal tags share; see the README for the rules.
QString looseTag(const QString &text);

// Seconds of a track's time text ("3:07", "1:02:03"); 0 when unknown.
int secondsOfTime(const QString &time);

// Durations loosely equal: within 2 s, or either unknown (0).
inline bool looseDurationsMatch(int secondsA, int secondsB)
{
    return secondsA <= 0 || secondsB <= 0 || (secondsA > secondsB ? secondsA - secondsB : secondsB - secondsA) <= 2;
}

} // namespace tidyfox::cleaning
