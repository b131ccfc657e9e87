// SPDX-License-Identifier: GPL-3.0-or-later
// What an audio file looks like from the outside: its name's extension and
// its first bytes. The scanner adds only files that pass, and a removal sends
// only such files to the trash, so that a library entry pointing at a
// document or a database never costs the user that file.
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

namespace tidyfox {

// The formats the tag reader handles, less the tracker module formats (they
// carry no sample rate and never make a track), and the names it reads by
// their content without listing them.
inline bool hasAudioExtension(const QString &path)
{
    static const QSet<QString> extensions{
        QStringLiteral("ogg"), QStringLiteral("flac"), QStringLiteral("oga"), QStringLiteral("opus"),
        QStringLiteral("mp3"), QStringLiteral("mpc"),  QStringLiteral("wv"),  QStringLiteral("spx"),
        QStringLiteral("tta"), QStringLiteral("m4a"),  QStringLiteral("m4r"), QStringLiteral("m4b"),
        QStringLiteral("m4p"), QStringLiteral("3g2"),  QStringLiteral("mp4"), QStringLiteral("m4v"),
        QStringLiteral("wma"), QStringLiteral("asf"),  QStringLiteral("aif"), QStringLiteral("aiff"),
        QStringLiteral("afc"), QStringLiteral("aifc"), QStringLiteral("wav"), QStringLiteral("ape"),
        QStringLiteral("mp2"), QStringLiteral("aac"),  QStringLiteral("alac")};
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return false;
    return extensions.contains(path.mid(dot + 1).toLower());
}

// The first bytes of each of those formats (behind an ID3v2 tag for those
// that allow one). A file named like audio that starts otherwise (a gigabyte
// of zeros named .mp3) is not audio to us.
inline bool startsLikeAudio(const QByteArray &head)
{
    auto at = [&](qsizetype offset, const char *magic) {
        return head.size() >= offset + qsizetype(qstrlen(magic)) && head.mid(offset, qstrlen(magic)) == magic;
    };
    if (at(0, "ID3") || at(0, "fLaC") || at(0, "OggS") || at(0, "RIFF") || at(0, "RF64") || at(0, "FORM") ||
        at(0, "MAC ") || at(0, "wvpk") || at(0, "MPCK") || at(0, "MP+") || at(0, "TTA1") || at(0, "ADIF") ||
        at(4, "ftyp") || at(0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"))
        return true;
    // An MPEG audio or ADTS frame: eleven set sync bits.
    return head.size() >= 2 && quint8(head[0]) == 0xFF && (quint8(head[1]) & 0xE0) == 0xE0;
}

// How many first bytes startsLikeAudio needs.
inline constexpr qint64 kAudioHeadBytes = 16;

} // namespace tidyfox
