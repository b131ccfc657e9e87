// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/TrackInfo.h"

#include <QDateTime>
#include <charconv>
#include <cmath>
#include <optional>

namespace tidyfox::cleaning {
namespace {

const QChar kLineEnd = QLatin1Char('\r');

// The shortest decimal text that reads back as value, plain digits without
// exponent or grouping, with the locale's decimal separator.
template<typename Number> QString shortestDecimal(Number value, const QLocale &locale)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

// quotient (positive, exact in double) rounded to one decimal, half to even.
QString oneDecimal(double quotient, const QLocale &locale)
{
    // quotient has at most 24 significant bits, so ten times it is exact.
    const double tenths = std::nearbyint(quotient * 10.0);
    const double whole = std::trunc(tenths / 10.0);
    const double fraction = std::fabs(tenths - whole * 10.0);
    QString text = QString::number(whole, 'f', 0);
    if (fraction != 0)
        text += locale.decimalPoint() + QString::number(fraction, 'f', 0);
    return text;
}

template<typename Read> auto tryRead(Read read) -> std::optional<decltype(read())>
{
    try {
        return read();
    } catch (...) {
        return std::nullopt;
    }
}

QString dateText(const QDateTime &added, const QLocale &locale)
{
    if (!added.isValid())
        return QString(); // no date: the line stays empty
    const QDateTime local = added.toLocalTime();
    QString text = locale.toString(local.date(), QLocale::ShortFormat);
    if (local.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(local, locale.timeFormat(QLocale::LongFormat));
    return text;
}

} // namespace

QString formatFileSize(float size, const QLocale &locale)
{
    if (size < 1024.0f)
        return shortestDecimal(size, locale) + QStringLiteral(" Bytes");
    if (size < 1048576.0f)
        return oneDecimal(double(size) / 1024.0, locale) + QStringLiteral(" KB");
    if (size < 1073741824.0f)
        return oneDecimal(double(size) / 1048576.0, locale) + QStringLiteral(" MB");
    return oneDecimal(double(size) / 1073741824.0, locale) + QStringLiteral(" GB");
}

QString buildTrackInfo(libraryclient::LibraryTrack *track, const QLocale &locale)
{
    if (!track)
        return {};
    QString text;
    const auto line = [&text](QLatin1String label, const QString &value) { text += label + value + kLineEnd; };
    const auto textLine = [&](QLatin1String label, auto read) {
        if (const auto value = tryRead(read); value && !value->isEmpty())
            line(label, *value);
    };

    const auto name = tryRead([&] { return track->name(); });
    const auto time = tryRead([&] { return track->time(); });
    const auto album = tryRead([&] { return track->album(); });
    const auto artist = tryRead([&] { return track->artist(); });
    if (name && time && album && artist) {
        line(QLatin1String("Name:"), *name);
        line(QLatin1String("Time:"), *time);
        line(QLatin1String("Album:"), *album);
        line(QLatin1String("Artist:"), *artist);
    }
    textLine(QLatin1String("Genre:"), [&] { return track->genre(); });
    textLine(QLatin1String("Kind:"), [&] { return track->kindText(); });
    if (const auto bitRate = tryRead([&] { return track->bitRate(); }))
        line(QLatin1String("Bitrate:"), QString::number(*bitRate) + QStringLiteral(" Kb/s"));
    if (const auto sampleRate = tryRead([&] { return track->sampleRate(); }))
        line(QLatin1String("Sample Rate:"),
             shortestDecimal(double(*sampleRate) / 1000.0, locale) + QStringLiteral(" KHz"));
    textLine(QLatin1String("Composer:"), [&] { return track->composer(); });
    if (const auto added = tryRead([&] { return track->dateAdded(); }))
        line(QLatin1String("Date Added:"), dateText(*added, locale));
    textLine(QLatin1String("Description:"), [&] { return track->longDescription(); });
    if (const auto size = tryRead([&] { return track->size(); }))
        line(QLatin1String("Size:"), formatFileSize(static_cast<float>(*size), locale));
    textLine(QLatin1String("Location:"), [&] { return track->location().value_or(QString()); });
    return text;
}

} // namespace tidyfox::cleaning
