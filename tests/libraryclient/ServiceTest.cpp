// SPDX-License-Identifier: GPL-3.0-or-later
// The real service on the test's private session bus: serving, refusing a
// second server, quitting, dying, and being started on demand.
#include "BusContract.h"
#include "SampleLibrary.h"
#include "ServiceProcess.h"
#include "common/DataFolders.h"
#include "libraryclient/BusLibraryClient.h"
#include "protocol/BusNames.h"
#include "protocol/LibraryBusFormat.h"
#include "protocol/SealedMemoryFile.h"
#include "service/LibraryStore.h"
#include "service/ServiceBus.h"
#include "service/SqliteDatabase.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tidyfox::libraryclient::test {
namespace {

class LibraryService : public ::testing::Test
{
protected:
    void SetUp() override { sample = SampleLibrary::create(freshFolder() + QStringLiteral("/library.db")); }
    void TearDown() override
    {
        // A service started on demand is not our child: ask it to go.
        if (libraryServed())
            ServiceProcess::run({QStringLiteral("quit")});
    }

    SampleLibrary sample;
    ServiceProcess service;
};

TEST_F(LibraryService, ServesTheLibraryAndRefusesASecondServer)
{
    ASSERT_TRUE(service.start(sample.path));
    QString error;
    EXPECT_NE(ServiceProcess::run({QStringLiteral("--library"), sample.path, QStringLiteral("serve")}, &error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("already served"))) << error.toStdString();
    EXPECT_TRUE(service.running());

    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    EXPECT_EQ(client.libraryPlaylist()->tracks()->count(), static_cast<int>(sample.tracks.size()));
}

QDBusMessage callService(const char *method, const QVariantList &args = {})
{
    auto message = QDBusMessage::createMethodCall(
        QString::fromLatin1(protocol::kServiceName), QString::fromLatin1(protocol::kObjectPath),
        QString::fromLatin1(protocol::kInterface), QString::fromLatin1(method));
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message);
}

QByteArray servedTracks(std::int32_t playlistId)
{
    const QDBusMessage reply = callService("PlaylistTracksFile", {playlistId});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return QByteArray();
    const auto file = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().at(0));
    return protocol::SealedMemoryFile::map(file.fileDescriptor()).bytes.sliced(0);
}

// Every playlist as the service hands it over (the others than the library
// playlist copied from its payload) is what the library's records make.
void expectEveryPlaylistServedAsStored(const QString &path)
{
    auto core = library::LibraryCore::open(path);
    for (const auto &playlist : core->playlists()) {
        const QByteArray served = servedTracks(playlist.playlistId);
        EXPECT_EQ(served, protocol::encodeTracks(core->playlistTracks(playlist.playlistId)))
            << playlist.name.toStdString();
        EXPECT_EQ(protocol::TrackTable(served).count(), int(core->playlistTracks(playlist.playlistId).size()));
    }
}

TEST_F(LibraryService, TheBusInterfaceItself)
{
    ASSERT_TRUE(service.start(sample.path));
    const std::int32_t libraryId = sample.playlists[0].playlistId;

    // Inline and as a memory file, the same payload.
    const QDBusMessage inlineReply = callService("PlaylistTracks", {libraryId});
    ASSERT_EQ(inlineReply.type(), QDBusMessage::ReplyMessage) << inlineReply.errorMessage().toStdString();
    const QByteArray payload = inlineReply.arguments().at(0).toByteArray();
    const QDBusMessage fileReply = callService("PlaylistTracksFile", {libraryId});
    ASSERT_EQ(fileReply.type(), QDBusMessage::ReplyMessage);
    const auto file = qvariant_cast<QDBusUnixFileDescriptor>(fileReply.arguments().at(0));
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(protocol::SealedMemoryFile::map(file.fileDescriptor()).bytes, payload);
    EXPECT_EQ(protocol::TrackTable(payload).count(), 5);
    expectEveryPlaylistServedAsStored(sample.path);

    const QDBusMessage one = callService("Track", {sample.beta().databaseId});
    ASSERT_EQ(one.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(protocol::TrackTable(one.arguments().at(0).toByteArray()).text(0, protocol::TrackText::Name),
              QStringLiteral("Beta"));
    const QDBusMessage source = callService("Source");
    ASSERT_EQ(source.arguments().size(), 3);
    EXPECT_EQ(source.arguments().at(2).toString(), QStringLiteral("Library"));

    // What is not there is "deleted", whichever way it is asked for.
    for (const auto &[method, args] : std::vector<std::pair<const char *, QVariantList>>{
             {"PlaylistTracks", {987654}},
             {"PlaylistTracksFile", {987654}},
             {"Track", {987654}},
             {"DeleteTrack", {987654}},
             {"DeleteTrackMergingInto", {987654, sample.beta().databaseId}},
             {"DeleteTrackMergingInto", {sample.beta().databaseId, 987654}},
         }) {
        const QDBusMessage reply = callService(method, args);
        EXPECT_EQ(reply.errorName(), QLatin1String(protocol::kErrorObjectDeleted)) << method;
    }

    // The adaptor is hand-written (out arguments, file descriptors), so what it
    // serves is held to the published description.
    const QString iface = QString::fromLatin1(protocol::kInterface);
    const QStringList described = tidyfox::test::busContract(tidyfox::test::publishedDescription(iface), iface);
    EXPECT_EQ(described.size(), 32);
    EXPECT_EQ(tidyfox::test::busContract(tidyfox::test::introspect(QString::fromLatin1(protocol::kServiceName),
                                                                   QString::fromLatin1(protocol::kObjectPath)),
                                         iface),
              described);
}

// Large enough for the library playlist to be read in two halves at once,
// with a hole in its ids and a playlist that crosses the halves.
TEST_F(LibraryService, ALargeLibraryIsServedAsStored)
{
    {
        auto core = library::LibraryCore::open(sample.path);
        core->begin();
        std::vector<std::int32_t> mix;
        for (int i = 0; i < 6000; ++i) {
            library::TrackRecord t;
            t.name = QStringLiteral("Track %1 ü").arg(i);
            t.artist = QStringLiteral("Artist %1").arg(i / 30);
            t.location = QStringLiteral("/music/%1.mp3").arg(i);
            t.totalTimeMs = 1000 * i;
            const std::int32_t id = core->addTrack(t).databaseId;
            if (i % 7 == 0)
                mix.insert(mix.begin(), id);
        }
        core->commit();
        core->appendToPlaylist(sample.playlists[1].playlistId, mix);
        for (int i = 100; i < 200; ++i)
            core->deleteTrack(sample.tracks.back().databaseId + i);
    }
    ASSERT_TRUE(service.start(sample.path));
    expectEveryPlaylistServedAsStored(sample.path);
}

TEST_F(LibraryService, ChangesByAnotherProcessReachTheNextFetch)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    const auto library = client.libraryPlaylist();
    ASSERT_EQ(library->tracks()->count(), 5);

    {
        // Another writer on the same file while the service runs, as the
        // command line is.
        auto core = library::LibraryCore::open(sample.path);
        library::TrackRecord added;
        added.name = QStringLiteral("Added meanwhile");
        added.location = QStringLiteral("/music/added.mp3");
        const std::int32_t addedId = core->addTrack(added).databaseId;
        core->appendToPlaylist(sample.playlists[1].playlistId, {addedId, sample.beta().databaseId});
        core->deleteTrack(sample.alpha().databaseId);
        // The library's order no longer that of the table's rows.
        dynamic_cast<library::LibraryStore &>(*core).moveToLibraryEnd({sample.beta().databaseId});
    }
    const auto tracks = library->tracks();
    ASSERT_EQ(tracks->count(), 5);
    EXPECT_EQ(tracks->item(0)->name(), QStringLiteral("Radio"));
    EXPECT_EQ(tracks->item(3)->name(), QStringLiteral("Added meanwhile"));
    EXPECT_EQ(tracks->item(4)->name(), QStringLiteral("Beta"));
    expectEveryPlaylistServedAsStored(sample.path);
    EXPECT_EQ(library->tracks()->firstByTrackId(sample.alpha().trackId), nullptr);

    // And a delete through the bus is seen by the next fetch as well.
    tracks->item(4)->deleteFromLibrary();
    EXPECT_EQ(library->tracks()->count(), 4);

    // A track this client removed, put back by another process (the command
    // line's restore, which no signal tells of), is in the next fetch again
    // and answers; what was fetched before still knows it gone.
    const TrackPtr gone = library->tracks()->item(1);
    const std::int32_t goneId = gone->databaseId();
    const std::int32_t job = client.beginJob(QStringLiteral("deleted"));
    client.deleteTrackInJob(job, goneId, {}, {});
    client.endJob(job);
    EXPECT_EQ(library::LibraryCore::open(sample.path)->restoreJob(job).restored, 1);
    QStringList ids;
    library->tracks()->forEach([&](const TrackPtr &t) {
        ids << QString::number(t->databaseId());
        return true;
    });
    EXPECT_TRUE(ids.contains(QString::number(goneId))) << ids.join(QLatin1Char(',')).toStdString();
    EXPECT_THROW(gone->name(), ClientError);
}

// A copy goes with its history merged into the track that stays, as one
// change; with either track gone nothing changes.
TEST_F(LibraryService, ACopyGoesAndItsHistoryStaysWithTheKeeper)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    BusLibraryClient other(QStringLiteral(TIDYFOX_APP_DIR));
    const auto otherTracks = other.libraryPlaylist()->tracks();
    ASSERT_EQ(otherTracks->count(), 5);

    const auto library = client.libraryPlaylist();
    const TrackPtr alpha = library->tracks()->item(0);
    alpha->deleteFromLibraryMergingInto(sample.gamma().databaseId);
    const TrackPtr gamma = library->tracks()->firstByTrackId(sample.gamma().trackId);
    ASSERT_TRUE(gamma);
    EXPECT_EQ(gamma->playCount(), 7 + 3);
    EXPECT_EQ(gamma->skipCount(), 2 + 1);
    EXPECT_EQ(gamma->rating(), 80);                          // the copy's, higher
    EXPECT_EQ(gamma->playDate(), sample.gamma().playDate);   // the keeper's, later
    EXPECT_EQ(gamma->dateAdded(), sample.alpha().dateAdded); // the copy's, earlier
    EXPECT_EQ(library->tracks()->count(), 4);
    const auto mix = client.librarySource()->playlists()->item(1);
    EXPECT_EQ(mix->tracks()->count(), 3) << "the copy left its playlists too";
    // Another program hears the copy go.
    EXPECT_TRUE(waitFor([&] {
        int present = 0;
        otherTracks->forEach([&](const TrackPtr &) {
            ++present;
            return true;
        });
        return present == 4;
    }));

    // Gone copy, gone keeper: refused, nothing changed.
    const TrackPtr beta = library->tracks()->firstByTrackId(sample.beta().trackId);
    EXPECT_THROW(beta->deleteFromLibraryMergingInto(sample.alpha().databaseId), ClientError);
    const auto again = client.libraryPlaylist()->tracks();
    EXPECT_EQ(again->count(), 4);
    EXPECT_EQ(again->firstByTrackId(sample.gamma().trackId)->playCount(), 10);
    try {
        alpha->deleteFromLibraryMergingInto(sample.beta().databaseId);
        FAIL() << "a copy removed twice";
    } catch (const ClientError &e) {
        EXPECT_EQ(e.number(), kErrObjectDeleted);
    }
    EXPECT_EQ(again->firstByTrackId(sample.beta().trackId)->playCount(), 0);
}

// A job of removals comes back whole through the bus, and only once.
TEST_F(LibraryService, TheHistoryTakesOnlyTrashPlacesAndOneJobAtATime)
{
    ASSERT_TRUE(service.start(sample.path));
    const auto onBus = [](QDBusConnection &bus, const char *method, const QVariantList &args) {
        auto message = QDBusMessage::createMethodCall(
            QString::fromLatin1(protocol::kServiceName), QString::fromLatin1(protocol::kObjectPath),
            QString::fromLatin1(protocol::kInterface), QString::fromLatin1(method));
        message.setArguments(args);
        return bus.call(message);
    };
    QDBusConnection first = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("first"));
    QDBusConnection second = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second"));

    EXPECT_EQ(onBus(first, "BeginJob", {QString(5 << 20, QLatin1Char('x'))}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(onBus(first, "BeginJob", {QStringLiteral("two\nlines")}).type(), QDBusMessage::ErrorMessage);
    const QDBusMessage begun = onBus(first, "BeginJob", {QStringLiteral("duplicates")});
    ASSERT_EQ(begun.type(), QDBusMessage::ReplyMessage) << begun.errorMessage().toStdString();
    const int job = begun.arguments().at(0).toInt();

    // Any file but the track's own in a trash is refused, and the track stays.
    const QString notes = QDir::homePath() + QStringLiteral("/notes.txt");
    QFile(notes).open(QIODevice::WriteOnly);
    const QString trash = homeTrashFolder();
    for (const auto &[trashed, info] :
         {std::pair{notes, QString()},
          {notes, notes + QStringLiteral(".trashinfo")},
          {trash + QStringLiteral("/files/notes.txt"), trash + QStringLiteral("/info/notes.txt.trashinfo")}}) {
        const QDBusMessage refused = onBus(first, "DeleteTrackInJob", {job, sample.alpha().databaseId, trashed, info});
        EXPECT_EQ(refused.type(), QDBusMessage::ErrorMessage) << trashed.toStdString();
    }
    EXPECT_TRUE(QFile::exists(notes));
    // A copy goes only while its keeper is there.
    ASSERT_EQ(onBus(first, "DeleteTrackInJob", {job, sample.gamma().databaseId, QString(), QString()}).type(),
              QDBusMessage::ReplyMessage);
    const QDBusMessage keeperGone = onBus(
        first, "DeleteCopyInJob", {job, sample.alpha().databaseId, sample.gamma().databaseId, QString(), QString()});
    EXPECT_EQ(keeperGone.errorName(), QLatin1String(protocol::kErrorObjectDeleted));

    // One job at a time: another client is refused, named the job under way,
    // until the first leaves the bus.
    const QDBusMessage refused = onBus(second, "BeginJob", {QStringLiteral("dead tracks")});
    EXPECT_TRUE(refused.errorMessage().contains(QStringLiteral("another clean-up is running: job %1").arg(job)))
        << refused.errorMessage().toStdString();
    first = QDBusConnection(QString()); // the last hold on it: the connection closes
    QDBusConnection::disconnectFromBus(QStringLiteral("first"));
    QDBusMessage after;
    for (int attempt = 0; attempt < 100; ++attempt) {
        after = onBus(second, "BeginJob", {QStringLiteral("dead tracks")});
        if (after.type() == QDBusMessage::ReplyMessage)
            break;
        QThread::msleep(20);
    }
    EXPECT_EQ(after.type(), QDBusMessage::ReplyMessage) << after.errorMessage().toStdString();
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    EXPECT_EQ(client.libraryPlaylist()->tracks()->count(), static_cast<int>(sample.tracks.size()) - 1);
}

// Many removals in one call: an answer each, a refusal changes nothing of its
// track, and a failure stops the call there, the removals before it done.
TEST_F(LibraryService, ManyRemovalsInOneCallAnswerEachAndStopAtAFailure)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    const auto users =
        client.fileTracksAtEach({sample.alpha().location, QStringLiteral("/nowhere.mp3"), sample.beta().location});
    EXPECT_EQ(users,
              (std::vector<std::vector<std::int32_t>>{{sample.alpha().databaseId}, {}, {sample.beta().databaseId}}));

    const std::int32_t job = client.beginJob(QStringLiteral("duplicates"));
    const QString notes = QDir::homePath() + QStringLiteral("/notes.txt");
    QFile(notes).open(QIODevice::WriteOnly);
    const JobRemovals result =
        client.removeTracksInJob(job,
                                 {{sample.gamma().databaseId, 0, {}, {}},
                                  {sample.alpha().databaseId, sample.gamma().databaseId, {}, {}},
                                  {sample.beta().databaseId, 0, notes, notes + QStringLiteral(".trashinfo")},
                                  {sample.unicode().databaseId, 0, {}, {}}},
                                 false);
    EXPECT_EQ(result.removed, (std::vector<bool>{true, false}));
    ASSERT_TRUE(result.failure);
    try {
        std::rethrow_exception(result.failure);
    } catch (const ClientError &e) {
        EXPECT_EQ(e.number(), kErrCallFailed);
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("trash"))) << e.what();
    }
    client.endJob(job);
    QList<std::int32_t> present;
    client.libraryPlaylist()->tracks()->forEach([&](const TrackPtr &track) {
        present << track->databaseId();
        return true;
    });
    EXPECT_EQ(present, (QList<std::int32_t>{sample.alpha().databaseId, sample.radio().databaseId,
                                            sample.beta().databaseId, sample.unicode().databaseId}));
    EXPECT_TRUE(QFile::exists(notes));
    EXPECT_EQ(client.restoreJob(job).restored, 1);
}

TEST_F(LibraryService, AJobOfRemovalsComesBackOnce)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    auto titles = [&](const PlaylistPtr &playlist) {
        QStringList result;
        playlist->tracks()->forEach([&](const TrackPtr &track) {
            result << QStringLiteral("%1/%2/%3/%4")
                          .arg(track->name())
                          .arg(track->trackId())
                          .arg(track->databaseId())
                          .arg(track->playCount());
            return true;
        });
        return result;
    };
    const QStringList libraryBefore = titles(client.libraryPlaylist());
    const QStringList mixBefore = titles(client.librarySource()->playlists()->item(1));

    const std::int32_t job = client.beginJob(QStringLiteral("duplicates"));
    // The trash has lost alpha's file by the time it is put back.
    const QString trash = homeTrashFolder();
    const QString trashed = trash + QStringLiteral("/files/alpha.mp3");
    const QString info = trash + QStringLiteral("/info/alpha.mp3.trashinfo");
    for (const QString &folder : {trash + QStringLiteral("/files"), trash + QStringLiteral("/info")})
        QDir().mkpath(folder);
    for (const auto &[file, text] : {std::pair{trashed, QByteArray("sound")},
                                     {info, "[Trash Info]\nPath=" + sample.alpha().location.toUtf8() + "\n"}}) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
    }
    client.deleteTrackMergingIntoInJob(job, sample.alpha().databaseId, sample.gamma().databaseId, trashed, info);
    QFile::remove(trashed);
    client.deleteTrackInJob(job, sample.beta().databaseId, {}, {});
    try {
        client.deleteTrackInJob(job, 987654, {}, {});
        ADD_FAILURE() << "a track that is not there removed";
    } catch (const ClientError &e) {
        EXPECT_EQ(e.number(), kErrObjectDeleted);
    }
    client.endJob(job);
    const auto jobs = client.listJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].jobId, job);
    EXPECT_EQ(jobs[0].kind, QStringLiteral("duplicates"));
    EXPECT_EQ(jobs[0].tracks, 2);
    EXPECT_EQ(jobs[0].files, 1);
    EXPECT_TRUE(jobs[0].ended.isValid());
    EXPECT_EQ(client.libraryPlaylist()->tracks()->count(), 3);

    const auto result = client.restoreJob(job);
    EXPECT_EQ(result.restored, 2);
    EXPECT_EQ(result.notRestored, QStringList{sample.alpha().location});
    EXPECT_EQ(titles(client.libraryPlaylist()), libraryBefore);
    EXPECT_EQ(titles(client.librarySource()->playlists()->item(1)), mixBefore);
    EXPECT_TRUE(client.listJobs().at(0).restored);
    try {
        client.restoreJob(job);
        ADD_FAILURE() << "a job restored twice";
    } catch (const ClientError &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("already been restored"))) << e.what();
    }
}

TEST_F(LibraryService, PlaylistChangesInAJobComeBackAndOtherClientsHearIt)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    BusLibraryClient other(QStringLiteral(TIDYFOX_APP_DIR));
    std::vector<std::int32_t> heard;
    other.setRestoredHandler([&](std::int32_t jobId) { heard.push_back(jobId); });
    auto lists = [&] {
        QStringList result;
        client.librarySource()->playlists()->forEach([&](const PlaylistPtr &playlist) {
            QStringList names;
            playlist->tracks()->forEach([&](const TrackPtr &track) {
                names << track->name();
                return true;
            });
            result << QStringLiteral("%1 %2: %3").arg(playlist->playlistId()).arg(playlist->name(), names.join(u','));
            return true;
        });
        return result;
    };
    auto refused = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const ClientError &e) {
            return e.number();
        }
        return 0;
    };
    const QStringList before = lists();
    const std::int32_t libraryId = sample.playlists[0].playlistId, mix = sample.playlists[1].playlistId,
                       streams = sample.playlists[3].playlistId;

    const std::int32_t job = client.beginJob(QStringLiteral("playlists"));
    client.removeFromPlaylistInJob(job, mix, {sample.beta().databaseId});
    client.deletePlaylistInJob(job, streams);
    EXPECT_EQ(refused([&] { client.removeFromPlaylistInJob(job, libraryId, {sample.beta().databaseId}); }),
              kErrCallFailed);
    EXPECT_EQ(refused([&] { client.deletePlaylistInJob(job, libraryId); }), kErrCallFailed);
    EXPECT_EQ(refused([&] { client.deletePlaylistInJob(job, streams); }), kErrObjectDeleted);
    EXPECT_EQ(refused([&] { client.removeFromPlaylistInJob(job, mix, {sample.radio().databaseId}); }),
              kErrObjectDeleted);
    client.endJob(job);
    EXPECT_EQ(lists().mid(1), (QStringList{QStringLiteral("%1 Mix: Alpha,%2").arg(mix).arg(sample.unicode().name),
                                           QStringLiteral("%1 Empty: ").arg(sample.playlists[2].playlistId)}));
    EXPECT_EQ(client.libraryPlaylist()->tracks()->count(), 5) << "the tracks stay in the library";
    const auto jobs = client.listJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].tracks, 3) << "two places of Beta and the one item of Streams";
    EXPECT_EQ(jobs[0].files, 0);

    const auto result = client.restoreJob(job);
    EXPECT_EQ(result.restored, 3);
    EXPECT_TRUE(result.notRestored.isEmpty());
    EXPECT_EQ(lists(), before);
    EXPECT_TRUE(waitFor([&] { return !heard.empty(); }));
    EXPECT_EQ(heard, std::vector<std::int32_t>{job});
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// A library of file tracks, each with a small file of its own, whose every
// track a job removes with its file moved to a trash folder, as the program
// does; then the state of each file, the library and the job.
class RestoreScene
{
public:
    RestoreScene(const QString &root, int tracks) : m_root(root)
    {
        for (const char *sub : {"/files", "/info"})
            QDir().mkpath(trash() + QLatin1String(sub));
        auto core = library::LibraryCore::open(path());
        core->begin();
        std::vector<std::int32_t> listed;
        for (int i = 0; i < tracks; ++i) {
            library::TrackRecord t;
            t.name = QStringLiteral("Song %1").arg(i);
            t.location = QStringLiteral("%1/music/%2/song-%3.mp3").arg(root).arg(i / 50).arg(i);
            QDir().mkpath(QFileInfo(t.location).absolutePath());
            QFile file(t.location);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content(i)) > 0);
            m_tracks.push_back(core->addTrack(t));
            if (i % 2 == 0)
                listed.push_back(m_tracks.back().databaseId);
        }
        core->appendToPlaylist(core->addPlaylist(QStringLiteral("Every other")).playlistId, listed);
        core->commit();
    }

    const QString &root() const { return m_root; }
    QString path() const { return m_root + QStringLiteral("/library.db"); }
    // A volume's own trash, as the freedesktop rules name it.
    QString trash() const { return m_root + QStringLiteral("/.Trash-%1").arg(::getuid()); }
    QString trashed(std::size_t i) const { return trash() + QStringLiteral("/files/song-%1.mp3").arg(i); }
    QString info(std::size_t i) const { return trash() + QStringLiteral("/info/song-%1.mp3.trashinfo").arg(i); }
    static QByteArray content(std::size_t i) { return "song " + QByteArray::number(qulonglong(i)); }

    // Each file to the trash, then its track out of the library in a job.
    std::int32_t removeAll()
    {
        auto core = library::LibraryCore::open(path());
        const std::int32_t job = core->beginJob(QStringLiteral("dead tracks"));
        for (std::size_t i = 0; i < m_tracks.size(); ++i) {
            EXPECT_TRUE(QFile::rename(m_tracks[i].location, trashed(i)));
            QFile infoFile(info(i));
            EXPECT_TRUE(infoFile.open(QIODevice::WriteOnly) &&
                        infoFile.write("[Trash Info]\nPath=" + m_tracks[i].location.toUtf8() + "\n") > 0);
            infoFile.close();
            core->deleteTrackInJob(job, m_tracks[i].databaseId, trashed(i), info(i));
        }
        core->endJob(job);
        return job;
    }

    struct State
    {
        QString integrity;
        bool restored = false;
        int listed = 0, back = 0;
        QStringList faults;
    };
    // Read as another program would, without the service.
    State state(std::int32_t job) const
    {
        State state;
        library::sql::Database db(path(), true);
        state.integrity = db.scalarText("PRAGMA integrity_check");
        auto q = db.query("SELECT restored FROM journal_jobs WHERE job_id = ?1");
        state.restored = q.bind(1, job).next() && q.int64(0) != 0;
        state.listed = int(db.scalar("SELECT count(*) FROM tracks"));
        for (std::size_t i = 0; i < m_tracks.size(); ++i) {
            const bool inPlace = QFileInfo::exists(m_tracks[i].location);
            const bool inTrash = QFileInfo::exists(trashed(i));
            state.back += inPlace ? 1 : 0;
            if (inPlace == inTrash)
                state.faults << QStringLiteral("%1 in %2 places").arg(m_tracks[i].location).arg(inPlace ? 2 : 0);
            else if (inTrash && !QFileInfo::exists(info(i)))
                state.faults << QStringLiteral("%1 in the trash without its info").arg(m_tracks[i].location);
            else if (inPlace && QFile(m_tracks[i].location).size() != content(i).size())
                state.faults << QStringLiteral("%1 is another file").arg(m_tracks[i].location);
        }
        return state;
    }
    int tracks() const { return int(m_tracks.size()); }

private:
    QString m_root;
    std::vector<library::TrackRecord> m_tracks;
};

// SIGKILL to the service at many points of a restore of a few hundred tracks
// with their files: each time the library file is whole, every file is in
// exactly one place, and the job is either restored with every track and file
// back, or not restored with no track back, whatever the files; then the
// restore run again finishes it, with nothing missing or twice.
// TIDYFOX_RESTORE_KILLS and TIDYFOX_RESTORE_TRACKS run it longer
// (bench/kill-soak.sh restore).
TEST_F(LibraryService, ARestoreKilledAtAnyPointIsFinishedByTheNextOne)
{
    const int kills = envInt("TIDYFOX_RESTORE_KILLS", 40);
    RestoreScene scene(freshFolder(), envInt("TIDYFOX_RESTORE_TRACKS", 300));
    const auto everyTrackBack = [&](std::int32_t job) {
        const RestoreScene::State state = scene.state(job);
        EXPECT_EQ(state.integrity, QStringLiteral("ok"));
        EXPECT_TRUE(state.restored);
        EXPECT_EQ(state.listed, scene.tracks());
        EXPECT_EQ(state.back, scene.tracks());
        EXPECT_EQ(state.faults, QStringList());
        EXPECT_TRUE(QDir(scene.root() + QStringLiteral("/trash/info")).isEmpty());
    };

    // One restore left alone, for how long one takes, asked as the kills
    // below ask.
    std::int32_t job = scene.removeAll();
    ASSERT_TRUE(service.start(scene.path()));
    QElapsedTimer timer;
    timer.start();
    const QDBusMessage whole = callService("RestoreJob", {job});
    const qint64 wholeUs = std::max<qint64>(timer.nsecsElapsed() / 1000, 1000);
    ASSERT_EQ(whole.type(), QDBusMessage::ReplyMessage) << whole.errorMessage().toStdString();
    EXPECT_EQ(whole.arguments().value(0).toInt(), scene.tracks());
    EXPECT_EQ(whole.arguments().value(1).toStringList(), QStringList());
    everyTrackBack(job);

    // Where the kills fell: before the first file moved, among the moves,
    // after the last move and before the change, after the change.
    int landed[4] = {0, 0, 0, 0};
    for (int kill = 0; kill < kills; ++kill) {
        job = scene.removeAll();
        ASSERT_TRUE(service.running() || service.start(scene.path()));
        // From the call's arrival to a little past its end.
        const qint64 delayUs = wholeUs * 6 / 5 * kill / std::max(kills - 1, 1);
        auto message = QDBusMessage::createMethodCall(
            QString::fromLatin1(protocol::kServiceName), QString::fromLatin1(protocol::kObjectPath),
            QString::fromLatin1(protocol::kInterface), QStringLiteral("RestoreJob"));
        message.setArguments({job});
        QDBusConnection::sessionBus().send(message);
        QThread::usleep(static_cast<unsigned long>(delayUs));
        service.kill();

        const RestoreScene::State killed = scene.state(job);
        ASSERT_EQ(killed.integrity, QStringLiteral("ok")) << "kill " << kill;
        ASSERT_EQ(killed.faults, QStringList()) << "kill " << kill;
        ASSERT_EQ(killed.listed, killed.restored ? scene.tracks() : 0) << "kill " << kill;
        if (killed.restored) {
            ASSERT_EQ(killed.back, scene.tracks());
        }
        ++landed[killed.restored ? 3 : killed.back == scene.tracks() ? 2 : killed.back > 0 ? 1 : 0];
        std::printf("restore kill %d after %lld us: %d of %d files back, job %s\n", kill + 1,
                    static_cast<long long>(delayUs), killed.back, scene.tracks(),
                    killed.restored ? "restored" : "not restored");

        ASSERT_TRUE(service.start(scene.path()));
        if (!killed.restored) {
            BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
            const auto result = client.restoreJob(job);
            EXPECT_EQ(result.restored, scene.tracks()) << "kill " << kill;
            EXPECT_EQ(result.notRestored, QStringList()) << "kill " << kill;
        }
        everyTrackBack(job);
        if (HasFailure())
            break;
    }
    std::printf("restore kills: %d before the first file moved, %d among the moves, %d after the last move, %d after "
                "the change; %d tracks, a whole restore %lld us\n",
                landed[0], landed[1], landed[2], landed[3], scene.tracks(), static_cast<long long>(wholeUs));
}

TEST_F(LibraryService, QuitCommandAnnouncesQuittingOnce)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    int quitting = 0;
    client.setQuittingHandler([&] { ++quitting; });

    EXPECT_EQ(ServiceProcess::run({QStringLiteral("quit")}), 0);
    ASSERT_TRUE(service.waitForExit());
    EXPECT_EQ(service.exitCode(), 0);
    // Both the signal and the name going have been heard by now.
    EXPECT_TRUE(waitFor([&] { return quitting > 0; }));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(quitting, 1);
    EXPECT_NE(ServiceProcess::run({QStringLiteral("quit")}), 0) << "nothing left to quit";
}

TEST_F(LibraryService, TerminationAlsoAnnouncesQuitting)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    int quitting = 0;
    client.setQuittingHandler([&] { ++quitting; });
    ::kill(static_cast<pid_t>(service.pid()), SIGTERM);
    ASSERT_TRUE(service.waitForExit());
    EXPECT_EQ(service.exitCode(), 0);
    EXPECT_TRUE(waitFor([&] { return quitting == 1; }));
}

TEST_F(LibraryService, AKilledServiceIsHeardAsQuittingAndComesBackOnDemand)
{
    ASSERT_TRUE(service.start(sample.path));
    BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR));
    int quitting = 0;
    client.setQuittingHandler([&] { ++quitting; });
    const TrackPtr first = client.libraryPlaylist()->tracks()->item(0);

    service.kill();
    EXPECT_TRUE(waitFor([&] { return quitting == 1; }));
    // Properties already fetched stay readable; calls to the library fail.
    EXPECT_EQ(first->name(), sample.alpha().name);
    EXPECT_THROW(first->deleteFromLibrary(), ClientError);
    try {
        client.librarySource();
        ADD_FAILURE() << "a call reached a killed service";
    } catch (const ClientError &e) {
        // Not the bus's own words about .service files.
        EXPECT_EQ(e.description().toStdString(),
                  "the library service stopped (it may have crashed); run the command again");
    }

    // A new application object starts the service again (on the default
    // library, in this test's own data folder), and the old one hears a
    // later loss again.
    BusLibraryClient again(QStringLiteral(TIDYFOX_APP_DIR));
    EXPECT_TRUE(libraryServed());
    EXPECT_EQ(again.librarySource()->name(), QStringLiteral("Library"));
    EXPECT_TRUE(QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/tidyfox/library.db")));
    again.quit();
    EXPECT_TRUE(waitFor([&] { return quitting == 2; }));
}

TEST_F(LibraryService, TheServiceEndsWithItsBus)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QProcess serve;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    serve.setProcessEnvironment(environment);
    serve.start(servicePath(), {QStringLiteral("--library"), sample.path, QStringLiteral("serve")});
    {
        QDBusConnection own = QDBusConnection::connectToBus(address, QStringLiteral("own"));
        EXPECT_TRUE(waitFor(
            [&] { return own.interface()->isServiceRegistered(QString::fromLatin1(protocol::kServiceName)).value(); }));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("own"));

    daemon.kill();
    daemon.waitForFinished();
    ASSERT_TRUE(serve.waitForFinished(5000)) << "still serving a bus that has gone";
    EXPECT_EQ(serve.exitCode(), 0);
    EXPECT_TRUE(serve.readAllStandardError().contains("the session bus has gone"));
}

TEST_F(LibraryService, CreationFailsWhenTheServiceCannotStart)
{
    // No service in the folder at all.
    const QString empty = freshFolder();
    try {
        BusLibraryClient client(empty);
        FAIL() << "created without a service";
    } catch (const ClientError &e) {
        EXPECT_EQ(e.number(), kErrCallFailed);
    }

    // A service that exits at once: creation does not wait out the time-out.
    const QString broken = freshFolder();
    QFile script(broken + QStringLiteral("/tidyfox-library"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexit 1\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_THROW(BusLibraryClient client(broken, 60000), ClientError);
    EXPECT_FALSE(libraryServed());

    // A library file the service cannot open: the service's own words come
    // back, for the program to tell the user.
    const QString defaultLibrary = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/tidyfox/library.db");
    QDir().mkpath(QFileInfo(defaultLibrary).absolutePath());
    QFile foreign(defaultLibrary);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly | QIODevice::Truncate));
    foreign.write(QByteArray(4096, 'x'));
    foreign.close();
    try {
        BusLibraryClient client(QStringLiteral(TIDYFOX_APP_DIR), 60000);
        ADD_FAILURE() << "created over a file that is no library";
    } catch (const ClientError &e) {
        EXPECT_EQ(e.number(), kErrLibraryUnusable);
        EXPECT_TRUE(e.description().contains(defaultLibrary)) << e.description().toStdString();
    }
    foreign.remove();
}

} // namespace
} // namespace tidyfox::libraryclient::test
