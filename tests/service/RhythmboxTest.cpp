// SPDX-License-Identifier: GPL-3.0-or-later
// A library linked to Rhythmbox's own files: import of every real library,
// a job written back into them (only the changed entries differ), a restore
// that gives back the very same bytes, and the files that are refused
// untouched.
#include "LibraryXmlBuilder.h"
#include "service/LibraryStore.h"
#include "service/PlayerLink.h"
#include "service/PlayerMigration.h"
#include "service/PlayerXmlSpans.h"
#include "service/RhythmboxImport.h"
#include "service/TrackLocation.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tidyfox::library;
using tidyfox::library::test::writeTextFile;

namespace {

const QString kRealData = QStringLiteral(TIDYFOX_REALDATA_RHYTHMBOX);

QByteArray readFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The file's entries by location, each as its lines; read line by line, as
// Rhythmbox writes them, independently of the program's own reading.
struct Entries
{
    QHash<QString, QString> byLocation;
    QStringList order;
    QString outside; // every line that is no entry's
};

Entries entriesOf(const QByteArray &bytes)
{
    static const QRegularExpression location(QStringLiteral("<location>([^<]*)</location>"));
    Entries result;
    QString current;
    bool inEntry = false;
    for (const QString &line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("  <entry ")))
            inEntry = true;
        if (!inEntry) {
            result.outside += line + QLatin1Char('\n');
            continue;
        }
        current += line + QLatin1Char('\n');
        if (line == QLatin1String("  </entry>")) {
            const QString key = location.match(current).captured(1);
            result.byLocation.insert(key, current);
            result.order << key;
            current.clear();
            inEntry = false;
        }
    }
    return result;
}

int playCount(const QString &entry)
{
    static const QRegularExpression count(QStringLiteral("<play-count>(\\d+)</play-count>"));
    return count.match(entry).captured(1).toInt();
}

int countOf(const QByteArray &bytes, const char *needle)
{
    return int(bytes.count(needle));
}

class Rhythmbox : public ::testing::Test
{
protected:
    QString copyIn(const QString &name, const QString &as)
    {
        const QString path = dir.filePath(as);
        QFile::remove(path);
        writeFile(path, readFile(kRealData + QLatin1Char('/') + name));
        return path;
    }

    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store = LibraryStore::open(dir.filePath(QStringLiteral("library.db")));
};

} // namespace

TEST_F(Rhythmbox, EveryRealLibraryImportsAndTakesAJobBackAndForth)
{
    const struct
    {
        const char *db;
        const char *playlists;
    } libraries[] = {{"rb-aliedots.xml", "rb-aliedots-playlists.xml"},
                     {"rb-ubuntu1004-v1.6.xml", nullptr},
                     {"rb-jsleroy-ignore.xml", nullptr}};
    for (const auto &library : libraries) {
        SCOPED_TRACE(library.db);
        QTemporaryDir own;
        store = LibraryStore::open(own.filePath(QStringLiteral("library.db")));
        const QString db = copyIn(QString::fromLatin1(library.db), QStringLiteral("rhythmdb.xml"));
        const QString playlists = library.playlists
                                      ? copyIn(QString::fromLatin1(library.playlists), QStringLiteral("playlists.xml"))
                                      : QString();
        const QByteArray original = readFile(db);
        const QByteArray originalPlaylists = readFile(playlists);

        const RhythmboxImportSummary s = importRhythmbox(*store, db, playlists);
        const int songs = countOf(original, "<entry type=\"song\">");
        const int streams = countOf(original, "<entry type=\"iradio\">");
        EXPECT_EQ(s.tracksAdded, songs + streams);
        EXPECT_EQ(s.streamsAdded, streams);
        EXPECT_EQ(s.entriesKept, countOf(original, "<entry type=") - songs - streams);
        EXPECT_EQ(store->trackCount(), songs + streams);
        EXPECT_EQ(store->source().name, QStringLiteral("Rhythmbox library"));
        if (library.playlists) {
            // Static and automatic ones are listed; the play queue is not.
            EXPECT_EQ(s.playlistsAdded,
                      countOf(originalPlaylists, "type=\"static\"") + countOf(originalPlaylists, "type=\"automatic\""));
        }
        const RhythmboxImportSummary again = importRhythmbox(*store, db, playlists);
        EXPECT_EQ(again.tracksAdded, 0);
        EXPECT_EQ(again.tracksAlreadyPresent, songs + streams);
        EXPECT_EQ(again.playlistsAdded, 0);

        // Copies of one song: same title and artist, the later merged into
        // the first.
        std::vector<TrackRecord> tracks = store->playlistTracks(store->libraryPlaylistId());
        QHash<QString, std::int32_t> firstOf;
        std::vector<std::pair<std::int32_t, std::int32_t>> pairs; // copy, keeper
        for (const TrackRecord &t : tracks) {
            if (t.kind != TrackKind::File)
                continue;
            const QString key = t.name + QLatin1Char('\t') + t.artist;
            if (!firstOf.contains(key))
                firstOf.insert(key, t.databaseId);
            else if (pairs.size() < 8)
                pairs.emplace_back(t.databaseId, firstOf.value(key));
        }
        // A library without copies still takes a job: its last song into its first.
        std::vector<std::int32_t> songIds;
        for (const TrackRecord &t : tracks) {
            if (t.kind == TrackKind::File)
                songIds.push_back(t.databaseId);
        }
        if (pairs.empty() && songIds.size() > 1)
            pairs.emplace_back(songIds.back(), songIds.front());
        ASSERT_FALSE(pairs.empty());
        QHash<std::int32_t, QString> keyOf;
        for (const TrackRecord &t : tracks)
            keyOf.insert(t.databaseId, t.location);
        const Entries before = entriesOf(original);
        auto uriOf = [&](std::int32_t id) {
            for (const QString &uri : before.order) {
                if (cleanFileLocation(uri).path == keyOf.value(id))
                    return uri;
            }
            return QString();
        };
        QHash<QString, int> expectedPlays;
        QStringList removed;
        for (const auto &[copy, keeper] : pairs) {
            const QString keeperUri = uriOf(keeper);
            const QString copyUri = uriOf(copy);
            removed << copyUri;
            expectedPlays[keeperUri] = (expectedPlays.contains(keeperUri) ? expectedPlays[keeperUri]
                                                                          : playCount(before.byLocation[keeperUri])) +
                                       playCount(before.byLocation[copyUri]);
        }
        const std::int32_t job = store->beginJob(QStringLiteral("duplicates"));
        for (const auto &[copy, keeper] : pairs)
            store->deleteTrackMergingIntoInJob(job, copy, keeper, QString(), QString());
        store->endJob(job);

        const QByteArray written = readFile(db);
        EXPECT_EQ(readFile(db + QStringLiteral(".tidyfox-before")), original);
        const Entries after = entriesOf(written);
        EXPECT_EQ(after.outside, before.outside);
        EXPECT_EQ(after.order.size(), before.order.size() - removed.size());
        for (const QString &key : before.order) {
            if (removed.contains(key)) {
                EXPECT_FALSE(after.byLocation.contains(key)) << key.toStdString();
                EXPECT_FALSE(readFile(playlists).contains(key.toUtf8())) << key.toStdString();
            } else if (expectedPlays.contains(key)) {
                EXPECT_EQ(playCount(after.byLocation[key]), expectedPlays[key]) << key.toStdString();
            } else {
                EXPECT_EQ(after.byLocation[key], before.byLocation[key]) << key.toStdString();
            }
        }
        EXPECT_TRUE(store->jobs().back().playerWaiting.isEmpty());

        store->restoreJob(job);
        EXPECT_EQ(readFile(db), original);
        EXPECT_EQ(readFile(playlists), originalPlaylists);
    }
}

TEST_F(Rhythmbox, ACopyWhoseFileStaysBecomesAnIgnoreEntryUntilItIsRestored)
{
    const QString keeperPath = dir.filePath(QStringLiteral("Music/a song.mp3"));
    const QString copyPath = dir.filePath(QStringLiteral("Music/Copies/a song.mp3"));
    QDir().mkpath(dir.filePath(QStringLiteral("Music/Copies")));
    writeFile(keeperPath, "ID3");
    writeFile(copyPath, "ID3");
    const auto uri = [](const QString &path) { return QStringLiteral("file://") + QString(path).replace(' ', "%20"); };
    // The copy's location takes a detour through "..", and a song on
    // another machine is nothing the library can clean.
    const QString copyUri = uri(dir.filePath(QStringLiteral("Music/Copies/../Copies/a song.mp3")));
    const QString text = QStringLiteral(R"(<?xml version="1.0" standalone="yes"?>
<rhythmdb version="2.0">
  <entry type="song">
    <title>A Song</title>
    <location>%1</location>
    <play-count>2</play-count>
    <rating>3</rating>
    <date>733042</date>
  </entry>
  <entry type="song">
    <title>A Song</title>
    <location>%2</location>
    <mtime>1617825771</mtime>
    <play-count>5</play-count>
    <last-played>1619297668</last-played>
    <rating>4</rating>
  </entry>
  <entry type="song">
    <title>Elsewhere</title>
    <location>file://nas.example/music/x.mp3</location>
  </entry>
</rhythmdb>
)")
                             .arg(uri(keeperPath), copyUri);
    const QString db = dir.filePath(QStringLiteral("rhythmdb.xml"));
    writeTextFile(db, text);
    const QString playlists = dir.filePath(QStringLiteral("playlists.xml"));
    writeTextFile(playlists, QStringLiteral(R"(<?xml version="1.0"?>
<rhythmdb-playlists>
  <playlist name="Mix &amp; more" type="static">
    <location>%1</location>
    <location>%2</location>
    <location>%1</location>
  </playlist>
  <playlist name="Other" type="static">
    <location>%2</location>
  </playlist>
  <playlist name="Play Queue" type="queue"/>
</rhythmdb-playlists>
)")
                                 .arg(copyUri, uri(keeperPath)));
    const QByteArray originalPlaylists = readFile(playlists);
    const RhythmboxImportSummary s = importRhythmbox(*store, db, playlists);
    EXPECT_EQ(s.tracksAdded, 2);
    EXPECT_EQ(s.entriesKept, 1);
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[1].location, copyPath);
    EXPECT_EQ(tracks[1].rating, 80);
    EXPECT_EQ(tracks[1].playCount, 5);
    const auto mix = store->playlists().at(1);
    EXPECT_EQ(mix.name, QStringLiteral("Mix & more"));
    EXPECT_EQ(store->playlistTracks(mix.playlistId).size(), 3u);

    const std::int32_t job = store->beginJob(QStringLiteral("duplicates"));
    store->deleteTrackMergingIntoInJob(job, tracks[1].databaseId, tracks[0].databaseId, QString(), QString());
    store->endJob(job);
    const Entries after = entriesOf(readFile(db));
    ASSERT_TRUE(after.byLocation.contains(copyUri));
    EXPECT_TRUE(after.byLocation[copyUri].startsWith(QLatin1String("  <entry type=\"ignore\">")));
    EXPECT_TRUE(after.byLocation[copyUri].contains(QLatin1String("<mtime>1617825771</mtime>")));
    const QString keeper = after.byLocation[uri(keeperPath)];
    EXPECT_TRUE(keeper.contains(QLatin1String("<play-count>7</play-count>")));
    EXPECT_TRUE(keeper.contains(QLatin1String("<rating>4</rating>")));
    EXPECT_TRUE(keeper.contains(QLatin1String("    <last-played>1619297668</last-played>\n  </entry>")));
    EXPECT_EQ(readFile(playlists).count("<location>"), 2);

    store->restoreJob(job);
    EXPECT_EQ(readFile(db), text.toUtf8());
    EXPECT_EQ(readFile(playlists), originalPlaylists);

    // A job of playlists: places out of one, another deleted whole.
    const auto all = store->playlists();
    const std::int32_t playlistJob = store->beginJob(QStringLiteral("delete"));
    store->removeFromPlaylistInJob(playlistJob, all[1].playlistId, {tracks[1].databaseId});
    store->deletePlaylistInJob(playlistJob, all[2].playlistId);
    store->endJob(playlistJob);
    const QByteArray changed = readFile(playlists);
    EXPECT_EQ(changed.count("<location>"), 1);
    EXPECT_FALSE(changed.contains("name=\"Other\""));
    EXPECT_TRUE(changed.contains("<playlist name=\"Play Queue\" type=\"queue\"/>"));
    EXPECT_EQ(readFile(db), text.toUtf8());
    store->restoreJob(playlistJob);
    EXPECT_EQ(readFile(playlists), originalPlaylists);

    // A job forgotten unrestored takes what the files gave up for it along.
    const std::int32_t forgotten = store->beginJob(QStringLiteral("duplicates"));
    store->deleteTrackMergingIntoInJob(forgotten, tracks[1].databaseId, tracks[0].databaseId, QString(), QString());
    store->endJob(forgotten);
    const auto savedRows = [&] {
        auto q = store->database().query("SELECT count(*) FROM player_saved");
        return q.next() ? q.int64(0) : -1;
    };
    EXPECT_GT(savedRows(), 0);
    store->clearJobs();
    EXPECT_EQ(savedRows(), 0);
}

TEST_F(Rhythmbox, BadFilesAreRefusedWithTheirPlaceAndChangeNothing)
{
    const QByteArray real = readFile(kRealData + QStringLiteral("/rb-ubuntu1004-v1.6.xml"));
    const QString db = dir.filePath(QStringLiteral("rhythmdb.xml"));
    const struct
    {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"truncated", real.left(real.size() / 2)},
        {"foreign", readFile(QDir(kRealData + QStringLiteral("/../xml")).entryInfoList({"*.xml"}).value(0).filePath())},
        {"newer", QByteArray(real).replace("version=\"1.6\"", "version=\"3.0\"")},
        {"empty", QByteArray()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(db, c.bytes);
        try {
            importRhythmbox(*store, db, QString());
            ADD_FAILURE() << "imported";
        } catch (const PlayerFileError &e) {
            EXPECT_TRUE(e.describe().startsWith(db + QLatin1Char(':'))) << e.describe().toStdString();
            EXPECT_GT(e.line(), 0);
        }
        EXPECT_EQ(store->trackCount(), 0);
        EXPECT_EQ(store->source().name, QStringLiteral("Library"));
    }

    // A player's file that turns bad after the import keeps the change
    // waiting, says why, and is left as it is.
    writeFile(db, real);
    importRhythmbox(*store, db, QString());
    const QByteArray cut = real.left(real.size() - 40);
    writeFile(db, cut);
    const auto tracks = store->playlistTracks(store->libraryPlaylistId());
    const std::int32_t job = store->beginJob(QStringLiteral("delete"));
    store->deleteTrackInJob(job, tracks.back().databaseId, QString(), QString());
    store->endJob(job);
    EXPECT_EQ(readFile(db), cut);
    const QString waiting = store->jobs().back().playerWaiting;
    EXPECT_TRUE(waiting.startsWith(db + QLatin1Char(':'))) << waiting.toStdString();
    EXPECT_TRUE(waiting.contains(QLatin1String("cut short"))) << waiting.toStdString();

    writeFile(db, real);
    EXPECT_EQ(writePendingChanges(*store).outcome, PlayerSyncResult::Written);
    EXPECT_EQ(readFile(db).count("<entry "), real.count("<entry ") - 1);
    EXPECT_TRUE(store->jobs().back().playerWaiting.isEmpty());
}

TEST_F(Rhythmbox, AMoveFromITunesCarriesItsHistoryOntoTheEntriesOfTheSameFiles)
{
    const QString fixtures = QStringLiteral("migration-fixtures/input--");
    const QString db = copyIn(fixtures + QStringLiteral("count_rating--rhythmdb-without-count-ratings.xml"),
                              QStringLiteral("rhythmdb.xml"));
    const QByteArray original = readFile(db);
    importRhythmbox(*store, db, QString());
    XmlImportOptions options;
    options.locations.addMapping(QStringLiteral("file://localhost/D:/Music/=/home/pha/Music/"));
    const QString itunes =
        kRealData + QLatin1Char('/') + fixtures + QStringLiteral("count_rating--itunes-library-with-count-rating.xml");
    const MigrationSummary s = migrateHistory(*store, itunes, options);
    EXPECT_EQ(s.matched, 8);
    EXPECT_EQ(s.updated, 6);

    const Entries before = entriesOf(original);
    const Entries after = entriesOf(readFile(db));
    const QString wait =
        QStringLiteral("file:///home/pha/Music/Mumford%20&amp;%20Sons/Babel%20(2012)/03.%20I%20Will%20Wait.mp3");
    const QString schuesse =
        QStringLiteral("file:///home/pha/Music/Kraftklub/In%20Schwarz%20(2014)%20(Deluxe%20Edition)/"
                       "05%20-%20Sch%C3%BCsse%20in%20die%20Luft.mp3");
    ASSERT_TRUE(after.byLocation.contains(wait));
    EXPECT_EQ(playCount(after.byLocation[wait]), 6);
    EXPECT_TRUE(after.byLocation[wait].contains(QLatin1String("<rating>5</rating>")));
    const qint64 played = QDateTime(QDate(2016, 9, 18), QTime(13, 36, 40), Qt::UTC).toSecsSinceEpoch();
    EXPECT_TRUE(after.byLocation[wait].contains(QStringLiteral("<last-played>%1</last-played>").arg(played)));
    EXPECT_TRUE(after.byLocation[schuesse].contains(QLatin1String("<rating>4</rating>")));
    EXPECT_FALSE(after.byLocation[schuesse].contains(QLatin1String("<play-count>")));
    EXPECT_EQ(after.outside, before.outside);
    EXPECT_EQ(after.order, before.order);

    // Again: nothing more to carry.
    const QByteArray once = readFile(db);
    EXPECT_EQ(migrateHistory(*store, itunes, options).updated, 0);
    EXPECT_EQ(readFile(db), once);

    // A library from a Mac, its folder moved under /home.
    QTemporaryDir mac;
    store = LibraryStore::open(mac.filePath(QStringLiteral("library.db")));
    const QString macDb = copyIn(fixtures + QStringLiteral("mac--rhythmdb-without-count-ratings.xml"),
                                 QStringLiteral("mac-rhythmdb.xml"));
    importRhythmbox(*store, macDb, QString());
    XmlImportOptions macOptions;
    macOptions.locations.addMapping(QStringLiteral("/Users/Username=/home/Username"));
    EXPECT_EQ(migrateHistory(*store,
                             kRealData + QLatin1Char('/') + fixtures +
                                 QStringLiteral("mac--itunes-library-with-count-rating.xml"),
                             macOptions)
                  .updated,
              1);
    const QString mamaKin = entriesOf(readFile(macDb)).byLocation.values().value(0);
    EXPECT_EQ(playCount(mamaKin), 36);
    EXPECT_TRUE(mamaKin.contains(QLatin1String("<rating>5</rating>")));
}
