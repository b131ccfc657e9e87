// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleLibrary.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <QUuid>

namespace tidyfox::libraryclient::test {

using library::TrackKind;
using library::TrackRecord;

namespace {

TrackRecord fileTrack(const QString &name, std::int32_t trackId)
{
    TrackRecord t;
    t.trackId = trackId;
    t.kind = TrackKind::File;
    t.name = name;
    t.kindAsString = QStringLiteral("MPEG audio file");
    t.location = QStringLiteral("/music/%1.mp3").arg(name);
    t.totalTimeMs = 61000;
    t.dateAdded = QDateTime(QDate(2021, 6, 1), QTime(12, 0), Qt::UTC);
    return t;
}

} // namespace

QString freshFolder()
{
    const QString root = qEnvironmentVariable("TIDYFOX_TEST_ROOT", QDir::tempPath());
    const QString folder = root + QStringLiteral("/itunes-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir().mkpath(folder);
    return folder;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

SampleLibrary SampleLibrary::create(const QString &path)
{
    SampleLibrary sample;
    sample.path = path;
    auto core = library::LibraryCore::open(path);

    TrackRecord alpha = fileTrack(QStringLiteral("Alpha"), 0);
    alpha.artist = QStringLiteral("Ann Artist");
    alpha.album = QStringLiteral("First Album");
    alpha.composer = QStringLiteral("Cole Composer");
    alpha.genre = QStringLiteral("Jazz");
    alpha.totalTimeMs = 187000;
    alpha.bitRate = 192;
    alpha.sampleRate = 44100;
    alpha.size = 4500000;
    alpha.dateAdded = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
    alpha.longDescription = QStringLiteral("A long description");
    alpha.playCount = 7;
    alpha.skipCount = 2;
    alpha.rating = 80;
    alpha.playDate = QDateTime(QDate(2023, 11, 5), QTime(21, 30, 15), Qt::UTC);

    TrackRecord radio;
    radio.kind = TrackKind::Url;
    radio.name = QStringLiteral("Radio");
    radio.kindAsString = QStringLiteral("Internet audio stream");
    radio.location = QStringLiteral("http://radio.example/stream");
    radio.bitRate = 128;

    TrackRecord beta = fileTrack(QStringLiteral("Beta"), 40000);
    TrackRecord gamma = fileTrack(QStringLiteral("Gamma"), 70000);
    gamma.playCount = 3;
    gamma.skipCount = 1;
    gamma.rating = 40;
    gamma.playDate = QDateTime(QDate(2024, 1, 2), QTime(8, 0), Qt::UTC);
    TrackRecord unicode = fileTrack(QStringLiteral("Délta ünï 日本"), 0);
    unicode.artist = QStringLiteral("Ωmega");

    core->begin();
    for (TrackRecord *t : {&alpha, &radio, &beta, &gamma, &unicode})
        sample.tracks.push_back(core->addTrack(*t));

    // A track twice in one playlist: a look-up by TrackID finds its first place.
    const std::vector<std::pair<QString, std::vector<int>>> lists = {
        {QStringLiteral("Mix"), {2, 0, 2, 4}},
        {QStringLiteral("Empty"), {}},
        {QStringLiteral("Streams"), {1}},
    };
    for (const auto &[name, items] : lists) {
        const auto playlist = core->addPlaylist(name);
        std::vector<std::int32_t> ids;
        for (int i : items)
            ids.push_back(sample.tracks[static_cast<std::size_t>(i)].databaseId);
        core->appendToPlaylist(playlist.playlistId, ids);
        sample.items.push_back(items);
    }
    core->commit();

    // What the core made of them is what the interface must show.
    for (auto &t : sample.tracks)
        t = *core->track(t.databaseId);
    sample.playlists = core->playlists();
    return sample;
}

} // namespace tidyfox::libraryclient::test
