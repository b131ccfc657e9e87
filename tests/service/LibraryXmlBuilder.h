// SPDX-License-Identifier: GPL-3.0-or-later
// Library XML files written by the tests themselves.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tidyfox::library::test {

struct XmlTrack
{
    qint64 id = 0;
    QString persistentId;
    QString name;
    QString artist;
    QString album;
    QString composer;
    QString genre;
    QString kind = QStringLiteral("MPEG audio file");
    qint64 totalTime = 0;
    qint64 bitRate = 0;
    qint64 sampleRate = 0;
    qint64 size = 0;
    QString dateAdded; // as written: "2020-01-02T03:04:05Z"
    QString trackType = QStringLiteral("File");
    QString location; // as written: a URL
};

struct XmlPlaylist
{
    QString name;
    int id = 0;
    QString persistentId;
    bool master = false;
    QString extraXml; // further keys and values, as XML
    std::vector<qint64> items;
};

QString libraryXml(const std::vector<XmlTrack> &tracks, const std::vector<XmlPlaylist> &playlists,
                   bool playlistsFirst = false);

void writeTextFile(const QString &path, const QString &text);

} // namespace tidyfox::library::test
