#include "service/TimeText.h"

namespace tidyfox::library {

QString timeText(std::int64_t milliseconds)
{
    if (milliseconds <= 0)
        return {};
    const std::int64_t total = (milliseconds + 500) / 1000;
    const std::int64_t hours = total / 3600;
    const std::int64_t minutes = total / 60 % 60;
    const std::int64_t seconds = total % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(seconds, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
}

} // namespace tidyfox::library
