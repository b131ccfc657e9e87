#include "service/TimeText.h"

#include <cstdio>

namespace tidyfox::library {

QString timeText(std::int64_t milliseconds)
{
    if (milliseconds <= 0)
        return {};
    const std::int64_t total = (milliseconds + 500) / 1000;
    const std::int64_t hours = total / 3600;
    const std::int64_t minutes = total / 60 % 60;
    const std::int64_t seconds = total % 60;
    // Formatted by hand: a library walk makes one of these per track.
    char text[32];
    const int length = hours > 0 ? std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                                                 static_cast<long long>(minutes), static_cast<long long>(seconds))
                                 : std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes),
                                                 static_cast<long long>(seconds));
    return QString::fromLatin1(text, length);
}

} // namespace tidyfox::library
