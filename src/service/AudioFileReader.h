// SPDX-License-Identifier: GPL-3.0-or-later
// Reads an audio file's tags and audio properties with TagLib into a track.
#pragma once

#include "service/LibraryCore.h"

#include <optional>

namespace tidyfox::library {

// The track for an audio file: tags, audio properties, the format named as a
// music library names it ("MPEG audio file", ...), Location the path given, and
// the file's name without extension when it has no title. Nothing when the file
// cannot be read as audio.
std::optional<TrackRecord> readAudioFile(const QString &path);

} // namespace tidyfox::library
