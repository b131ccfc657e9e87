// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/AudioFileReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <aifffile.h>
#include <apefile.h>
#include <asffile.h>
#include <fileref.h>
#include <flacfile.h>
#include <mp4file.h>
#include <mpcfile.h>
#include <mpegfile.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <speexfile.h>
#include <tpropertymap.h>
#include <trueaudiofile.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <wavpackfile.h>

namespace tidyfox::library {

namespace {

QString toQString(const TagLib::String &s)
{
    return QString::fromUtf8(s.toCString(true)).trimmed();
}

QString kindOf(TagLib::File *file)
{
    if (dynamic_cast<TagLib::MPEG::File *>(file))
        return QStringLiteral("MPEG audio file");
    if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        const auto *properties = mp4->audioProperties();
        if (properties && properties->codec() == TagLib::MP4::Properties::ALAC)
            return QStringLiteral("Apple Lossless audio file");
        return QStringLiteral("AAC audio file");
    }
    if (dynamic_cast<TagLib::RIFF::WAV::File *>(file))
        return QStringLiteral("WAV audio file");
    if (dynamic_cast<TagLib::RIFF::AIFF::File *>(file))
        return QStringLiteral("AIFF audio file");
    if (dynamic_cast<TagLib::FLAC::File *>(file) || dynamic_cast<TagLib::Ogg::FLAC::File *>(file))
        return QStringLiteral("FLAC audio file");
    if (dynamic_cast<TagLib::Ogg::Vorbis::File *>(file))
        return QStringLiteral("Ogg Vorbis audio file");
    if (dynamic_cast<TagLib::Ogg::Opus::File *>(file))
        return QStringLiteral("Opus audio file");
    if (dynamic_cast<TagLib::Ogg::Speex::File *>(file))
        return QStringLiteral("Speex audio file");
    if (dynamic_cast<TagLib::ASF::File *>(file))
        return QStringLiteral("Windows Media audio file");
    if (dynamic_cast<TagLib::APE::File *>(file))
        return QStringLiteral("Monkey's Audio file");
    if (dynamic_cast<TagLib::WavPack::File *>(file))
        return QStringLiteral("WavPack audio file");
    if (dynamic_cast<TagLib::MPC::File *>(file))
        return QStringLiteral("Musepack audio file");
    if (dynamic_cast<TagLib::TrueAudio::File *>(file))
        return QStringLiteral("TrueAudio audio file");
    return QStringLiteral("Audio file");
}

} // namespace

std::optional<TrackRecord> readAudioFile(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::FileRef ref(encoded.constData(), true, TagLib::AudioProperties::Average);
    if (ref.isNull() || !ref.audioProperties())
        return std::nullopt;
    const TagLib::AudioProperties *audio = ref.audioProperties();
    // A file that parses but holds no sound is not a track either.
    if (audio->sampleRate() <= 0)
        return std::nullopt;

    TrackRecord track;
    track.kind = TrackKind::File;
    track.location = path;
    track.kindAsString = kindOf(ref.file());
    track.totalTimeMs = audio->lengthInMilliseconds();
    track.bitRate = audio->bitrate();
    track.sampleRate = audio->sampleRate();
    track.size = std::int32_t(std::min<qint64>(QFileInfo(path).size(), std::numeric_limits<std::int32_t>::max()));
    if (const TagLib::Tag *tag = ref.tag()) {
        track.name = toQString(tag->title());
        track.artist = toQString(tag->artist());
        track.album = toQString(tag->album());
        track.genre = toQString(tag->genre());
    }
    const TagLib::PropertyMap properties = ref.file()->properties();
    if (const auto composer = properties.find("COMPOSER"); composer != properties.end() && !composer->second.isEmpty())
        track.composer = toQString(composer->second.front());
    if (track.name.isEmpty())
        track.name = QFileInfo(path).completeBaseName();
    return track;
}

} // namespace tidyfox::library
