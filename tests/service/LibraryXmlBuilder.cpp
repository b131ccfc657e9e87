// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryXmlBuilder.h"

#include <QFile>

namespace tidyfox::library::test {

namespace {

void keyString(QString &out, const char *key, const QString &value)
{
    if (!value.isNull())
        out +=
            QStringLiteral("\t\t\t<key>%1</key><string>%2</string>\n").arg(QLatin1String(key), value.toHtmlEscaped());
}

void keyInteger(QString &out, const char *key, qint64 value)
{
    if (value != 0)
        out += QStringLiteral("\t\t\t<key>%1</key><integer>%2</integer>\n").arg(QLatin1String(key)).arg(value);
}

} // namespace

QString libraryXml(const std::vector<XmlTrack> &tracks, const std::vector<XmlPlaylist> &playlists, bool playlistsFirst)
{
    QString trackPart = QStringLiteral("\t<key>Tracks</key>\n\t<dict>\n");
    for (const XmlTrack &t : tracks) {
        trackPart += QStringLiteral("\t\t<key>%1</key>\n\t\t<dict>\n").arg(t.id);
        trackPart += QStringLiteral("\t\t\t<key>Track ID</key><integer>%1</integer>\n").arg(t.id);
        keyString(trackPart, "Name", t.name);
        keyString(trackPart, "Artist", t.artist);
        keyString(trackPart, "Album Artist", t.artist); // a key the reader does not use
        keyString(trackPart, "Composer", t.composer);
        keyString(trackPart, "Album", t.album);
        keyString(trackPart, "Genre", t.genre);
        keyString(trackPart, "Kind", t.kind);
        keyInteger(trackPart, "Size", t.size);
        keyInteger(trackPart, "Total Time", t.totalTime);
        keyInteger(trackPart, "Play Count", 3);
        if (!t.dateAdded.isEmpty())
            trackPart += QStringLiteral("\t\t\t<key>Date Added</key><date>%1</date>\n").arg(t.dateAdded);
        keyInteger(trackPart, "Bit Rate", t.bitRate);
        keyInteger(trackPart, "Sample Rate", t.sampleRate);
        keyString(trackPart, "Persistent ID", t.persistentId);
        keyString(trackPart, "Track Type", t.trackType);
        keyString(trackPart, "Location", t.location);
        trackPart += QStringLiteral("\t\t</dict>\n");
    }
    trackPart += QStringLiteral("\t</dict>\n");

    QString playlistPart = QStringLiteral("\t<key>Playlists</key>\n\t<array>\n");
    for (const XmlPlaylist &p : playlists) {
        playlistPart += QStringLiteral("\t\t<dict>\n");
        keyString(playlistPart, "Name", p.name);
        if (p.master)
            playlistPart += QStringLiteral("\t\t\t<key>Master</key><true/>\n\t\t\t<key>Visible</key><false/>\n");
        keyInteger(playlistPart, "Playlist ID", p.id);
        keyString(playlistPart, "Playlist Persistent ID", p.persistentId);
        playlistPart += p.extraXml;
        playlistPart += QStringLiteral("\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n");
        for (const qint64 item : p.items)
            playlistPart += QStringLiteral("\t\t\t\t<dict><key>Track ID</key><integer>%1</integer></dict>\n").arg(item);
        playlistPart += QStringLiteral("\t\t\t</array>\n\t\t</dict>\n");
    }
    playlistPart += QStringLiteral("\t</array>\n");

    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                          "<plist version=\"1.0\">\n<dict>\n"
                          "\t<key>Major Version</key><integer>1</integer>\n"
                          "\t<key>Music Folder</key><string>file://localhost/C:/Users/me/Music/</string>\n") +
           (playlistsFirst ? playlistPart + trackPart : trackPart + playlistPart) +
           QStringLiteral("</dict>\n</plist>\n");
}

void writeTextFile(const QString &path, const QString &text)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8());
}

} // namespace tidyfox::library::test
