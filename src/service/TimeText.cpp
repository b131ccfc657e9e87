// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/TimeText.h"

#include <iterator>

namespace tidyfox::library {

QString timeText(std::int64_t milliseconds)
{
    if (milliseconds <= 0)
        return {};
    const std::int64_t total = (milliseconds + 500) / 1000;
    const std::int64_t hours = total / 3600;
    const int minutes = int(total / 60 % 60);
    const int seconds = int(total % 60);
    // Put together by hand: a library walk makes one of these per track, and
    // formatting functions cost more than everything else about a track.
    // QTime::toString would not serve anyway: it stops at 24 hours and pads
    // the leading field.
    char16_t text[32];
    char16_t *end = text + std::size(text);
    char16_t *p = end;
    auto twoDigits = [&p](int value) {
        *--p = char16_t(u'0' + value % 10);
        *--p = char16_t(u'0' + value / 10);
    };
    twoDigits(seconds);
    *--p = u':';
    if (hours > 0) {
        twoDigits(minutes);
        *--p = u':';
        std::int64_t h = hours;
        do {
            *--p = char16_t(u'0' + h % 10);
            h /= 10;
        } while (h > 0);
    } else if (minutes >= 10) {
        twoDigits(minutes);
    } else {
        *--p = char16_t(u'0' + minutes);
    }
    return QString(reinterpret_cast<const QChar *>(p), end - p);
}

} // namespace tidyfox::library
