// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the track information panel and the byte counts it shows.
#pragma once

#include "libraryclient/LibraryClient.h"

#include <QLocale>
#include <QString>

namespace tidyfox::cleaning {

// A byte count as "<number> Bytes|KB|MB|GB": below 1024 the count itself,
// above it divided by 1024, 1048576 or 1073741824 and rounded to one decimal
// (a value halfway goes to the even digit), written without a trailing zero
// and with the locale's decimal separator. Track sizes arrive as the nearest
// single-precision value, as the panel always showed them.
QString formatFileSize(float size, const QLocale &locale);

// The track's details, one "Label:value" line each, every line ending with a
// carriage return: Name, Time, Album, Artist (all four or none), Genre, Kind,
// Bitrate, Sample Rate, Composer, Date Added, Description, Size, Location. A
// line is left out when its property cannot be read, and a text line also when
// its value is empty. Empty when nothing could be read (or track is null).
QString buildTrackInfo(libraryclient::LibraryTrack *track, const QLocale &locale);

} // namespace tidyfox::cleaning
