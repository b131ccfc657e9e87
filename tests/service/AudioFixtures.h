// SPDX-License-Identifier: GPL-3.0-or-later
// Small audio files made by the tests: PCM WAV files and MPEG audio frames,
// tagged with TagLib.
#pragma once

#include <QString>

namespace tidyfox::library::test {

// A silent 16-bit PCM WAV file.
void writeWav(const QString &path, int milliseconds, int sampleRate = 44100, int channels = 2);

// Silent MPEG-1 Layer III frames at 128 kbit/s and 44100 Hz, 26 ms each.
void writeMp3(const QString &path, int frames);

struct Tags
{
    QString title;
    QString artist;
    QString album;
    QString genre;
    QString composer;
};

// Writes the tags into the file; false when TagLib cannot.
bool tagFile(const QString &path, const Tags &tags);

} // namespace tidyfox::library::test
