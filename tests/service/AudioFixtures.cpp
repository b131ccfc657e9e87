// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"

#include <QFile>
#include <QtEndian>
#include <fileref.h>
#include <tag.h>
#include <tpropertymap.h>

namespace tidyfox::library::test {

namespace {

TagLib::String toTagLib(const QString &s)
{
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

void append32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void append16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

} // namespace

void writeWav(const QString &path, int milliseconds, int sampleRate, int channels)
{
    const quint32 frames = quint32(qint64(sampleRate) * milliseconds / 1000);
    const quint32 dataSize = frames * quint32(channels) * 2;
    QByteArray out;
    out.append("RIFF");
    append32(out, 36 + dataSize);
    out.append("WAVEfmt ");
    append32(out, 16);
    append16(out, 1); // PCM
    append16(out, quint16(channels));
    append32(out, quint32(sampleRate));
    append32(out, quint32(sampleRate * channels * 2));
    append16(out, quint16(channels * 2));
    append16(out, 16);
    out.append("data");
    append32(out, dataSize);
    out.append(QByteArray(int(dataSize), '\0'));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(out);
}

void writeMp3(const QString &path, int frames)
{
    // Header: sync, MPEG-1, Layer III, no CRC; 128 kbit/s, 44100 Hz, no
    // padding; stereo. 144 * 128000 / 44100 = 417 bytes a frame.
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0x00);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < frames; ++i)
            f.write(frame);
    }
}

bool tagFile(const QString &path, const Tags &tags)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    if (ref.isNull() || !ref.tag())
        return false;
    TagLib::Tag *tag = ref.tag();
    tag->setTitle(toTagLib(tags.title));
    tag->setArtist(toTagLib(tags.artist));
    tag->setAlbum(toTagLib(tags.album));
    tag->setGenre(toTagLib(tags.genre));
    if (!tags.composer.isEmpty()) {
        TagLib::PropertyMap properties = ref.file()->properties();
        properties.replace("COMPOSER", TagLib::StringList(toTagLib(tags.composer)));
        ref.file()->setProperties(properties);
    }
    return ref.save();
}

} // namespace tidyfox::library::test
