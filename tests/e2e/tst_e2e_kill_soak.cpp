// SPDX-License-Identifier: GPL-3.0-or-later
// Kill soak of the duplicate removal: the real program and service remove
// 2,000 copies (each with a small file of its own) from a library of 4,000
// file tracks, and are killed with SIGKILL, the service and the program in
// turn, at random points of the run. After each kill the program is started
// again (or, after a service kill, reconnects by itself) and has loaded the
// library; then the library file, the music folder and the trash must agree:
// no entry still listed whose file is in the trash, no removed copy whose file
// stayed, no kept track touched. The same library carries on from kill to
// kill, and a last run without a kill removes what is left. Each run is a job
// of the library's history, which must tell the truth at every kill (a copy
// it lists as trashed is in the trash at the place it names, and every copy
// removed is in it); at the end every job is restored and every copy is back
// in the library and in its place.
//
// TIDYFOX_SOAK_KILLS (default 20) sets the number of kills and
// TIDYFOX_SOAK_SEED the random seed (printed; it repeats the kill points
// chosen, not the timing);
// bench/kill-soak.sh runs it long and collects the figures it prints.
#include "../service/LibraryXmlBuilder.h"
#include "E2eSession.h"
#include "service/TrackLocation.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QUrl>
#include <cstdio>
#include <map>
#include <sqlite3.h>

using namespace tidyfox::e2e;

namespace {

constexpr int kPairs = 2000;
// Every property, file name included; item 7 sends the copies' files to the
// trash.
const QString kFilter = QStringLiteral("true,true,true,true,true,true,true,false");
const QString kEnableButtons = QStringLiteral("_root.enablebtns");

QString musicFolder()
{
    return testRoot() + QStringLiteral("/music");
}

// Track i of a pair: the kept one lives in kept/, its copy (same name, artist,
// album, size, rates and file name) in copies/, later in library order.
QString keptPath(int i)
{
    return musicFolder() + QStringLiteral("/kept/song-%1.mp3").arg(i, 4, 10, QLatin1Char('0'));
}

QString copyPath(int i)
{
    return musicFolder() + QStringLiteral("/copies/song-%1.mp3").arg(i, 4, 10, QLatin1Char('0'));
}

// Equal sizes, different bytes, so a file out of place is told apart.
QByteArray keptContent(int i)
{
    return "ID3 kept " + QByteArray::number(i).rightJustified(4, '0');
}

QByteArray copyContent(int i)
{
    return "ID3 copy " + QByteArray::number(i).rightJustified(4, '0');
}

QString integrityCheck(const QString &path)
{
    sqlite3 *db = nullptr;
    QString result = QStringLiteral("<cannot open>");
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
            result.clear();
            while (sqlite3_step(statement) == SQLITE_ROW)
                result += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

// The history's removed tracks not restored yet: original path -> where the
// journal says the file went in the trash (empty when it stayed).
std::map<QString, QString> journalTrashed(const QString &path)
{
    std::map<QString, QString> rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT t.original_path, t.trashed_path FROM journal_tracks t JOIN journal_jobs j"
                               " ON j.job_id = t.job_id WHERE j.restored = 0",
                               -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                rows[QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)))] =
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 1)));
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

// What the trash holds: original path -> the file's name under files/, from
// the .trashinfo files; names under files/ without info, and infos without
// their file (a kill between reserving the name and moving the file).
struct TrashContents
{
    std::map<QString, QString> byOrigin;
    QStringList filesWithoutInfo;
    int infosWithoutFile = 0;
    int emptyInfos = 0; // of those, empty: killed after making it, before writing it
};

TrashContents readTrash()
{
    TrashContents trash;
    QSet<QString> described;
    QDirIterator infos(trashInfo(), {QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden);
    while (infos.hasNext()) {
        const QString info = infos.next();
        const QString name = infos.fileName().chopped(int(qstrlen(".trashinfo")));
        described.insert(name);
        if (!QFileInfo::exists(trashFiles() + QLatin1Char('/') + name)) {
            ++trash.infosWithoutFile;
            trash.emptyInfos += QFileInfo(info).size() == 0 ? 1 : 0;
            continue;
        }
        for (const QByteArray &line : readFile(info).split('\n')) {
            if (line.startsWith("Path="))
                trash.byOrigin[QUrl::fromPercentEncoding(line.mid(5))] = name;
        }
    }
    QDirIterator files(trashFiles(), QDir::Files | QDir::Hidden);
    while (files.hasNext()) {
        files.next();
        if (!described.contains(files.fileName()))
            trash.filesWithoutInfo << files.fileName();
    }
    return trash;
}

// One look at the library, the music folder and the trash.
struct Check
{
    QString integrity;
    int copiesListed = 0;
    // Copies whose entry and file disagree: still listed with the file in the
    // trash, or removed with the file left in place.
    QSet<int> listedTrashed;
    QSet<int> removedInPlace;
    QStringList faults; // anything else out of place, in words
    int infosWithoutFile = 0;
    int emptyInfos = 0;
};

Check checkLibrary()
{
    Check check;
    check.integrity = integrityCheck(defaultLibraryPath());
    QSet<QString> listed;
    for (const QString &line : listLibrary()) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != 6)
            check.faults << QStringLiteral("list line: ") + line;
        else
            listed.insert(fields[5]);
    }
    const TrashContents trash = readTrash();
    const std::map<QString, QString> journal = journalTrashed(defaultLibraryPath());
    check.infosWithoutFile = trash.infosWithoutFile;
    check.emptyInfos = trash.emptyInfos;
    for (const QString &name : trash.filesWithoutInfo)
        check.faults << QStringLiteral("in the trash without info: ") + name;
    for (int i = 0; i < kPairs; ++i) {
        if (!listed.contains(keptPath(i)))
            check.faults << QStringLiteral("kept track gone: ") + keptPath(i);
        if (readFile(keptPath(i)) != keptContent(i))
            check.faults << QStringLiteral("kept file moved or changed: ") + keptPath(i);

        const QString copy = copyPath(i);
        const bool inPlace = QFileInfo::exists(copy);
        const auto trashed = trash.byOrigin.find(copy);
        const bool inTrash = trashed != trash.byOrigin.end();
        if (inPlace && inTrash)
            check.faults << QStringLiteral("both in place and in the trash: ") + copy;
        if (inTrash && readFile(trashFiles() + QLatin1Char('/') + trashed->second) != copyContent(i))
            check.faults << QStringLiteral("another file in the trash for: ") + copy;
        if (listed.contains(copy)) {
            ++check.copiesListed;
            if (!inPlace && inTrash)
                check.listedTrashed.insert(i);
            else if (!inPlace)
                check.faults << QStringLiteral("listed copy lost its file: ") + copy;
        } else if (inPlace) {
            check.removedInPlace.insert(i);
        } else if (!inTrash) {
            check.faults << QStringLiteral("removed copy's file lost: ") + copy;
        } else {
            const auto noted = journal.find(copy);
            if (noted == journal.end())
                check.faults << QStringLiteral("removed copy not in the history: ") + copy;
            else if (noted->second != trashFiles() + QLatin1Char('/') + trashed->second)
                check.faults << QStringLiteral("the history puts the file elsewhere: ") + noted->second;
        }
    }
    return check;
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

} // namespace

class E2eKillSoak : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<E2eSession> m_session;
    int m_deleted = 0; // tracks TrackDeleted and TracksDeleted told of this round

    E2eSession &session() { return *m_session; }

private Q_SLOTS:
    void onTrackDeleted(int) { ++m_deleted; }
    void onTracksDeleted(const QList<int> &databaseIds) { m_deleted += int(databaseIds.size()); }

    void initTestCase()
    {
        QVERIFY(stopService());
        removeLibrary();
        // Every kept track first, then the copies: the walk keeps the
        // earlier of two equal tracks.
        std::vector<tidyfox::library::test::XmlTrack> tracks;
        tidyfox::library::test::XmlPlaylist library{
            QStringLiteral("Library"), 1, QStringLiteral("5EED00000000F001"), true, {}, {}};
        for (const bool copies : {false, true}) {
            for (int i = 0; i < kPairs; ++i) {
                const QString path = copies ? copyPath(i) : keptPath(i);
                const QByteArray content = copies ? copyContent(i) : keptContent(i);
                QVERIFY(writeSong(path, content));
                tidyfox::library::test::XmlTrack t;
                t.id = 100 + qint64(tracks.size());
                t.persistentId = QStringLiteral("5EED%1").arg(t.id, 12, 16, QLatin1Char('0')).toUpper();
                t.name = QStringLiteral("Song %1").arg(i);
                t.artist = QStringLiteral("Artist %1").arg(i % 50);
                t.album = QStringLiteral("Album %1").arg(i % 200);
                t.totalTime = 187000;
                t.bitRate = 192;
                t.sampleRate = 44100;
                t.size = content.size();
                t.location = tidyfox::library::pathToFileUrl(path);
                library.items.push_back(t.id);
                tracks.push_back(std::move(t));
            }
        }
        const QString xml = testRoot() + QStringLiteral("/soak.xml");
        tidyfox::library::test::writeTextFile(xml, tidyfox::library::test::libraryXml(tracks, {library}));
        QString err;
        QCOMPARE(runTool({QStringLiteral("import-xml"), xml}, nullptr, &err), 0);
        const Check start = checkLibrary();
        QVERIFY2(start.faults.isEmpty(), qPrintable(start.faults.mid(0, 5).join(QLatin1Char('\n')) + err));
        QCOMPARE(start.copiesListed, kPairs);

        QVERIFY(QDBusConnection::sessionBus().connect(QString(), QString::fromLatin1(tidyfox::protocol::kObjectPath),
                                                      QString::fromLatin1(tidyfox::protocol::kInterface),
                                                      QStringLiteral("TrackDeleted"), this, SLOT(onTrackDeleted(int))));
        QVERIFY(QDBusConnection::sessionBus().connect(QString(), QString::fromLatin1(tidyfox::protocol::kObjectPath),
                                                      QString::fromLatin1(tidyfox::protocol::kInterface),
                                                      QStringLiteral("TracksDeleted"), this,
                                                      SLOT(onTracksDeleted(QList<int>))));
        m_session = std::make_unique<E2eSession>();
        QVERIFY(session().subscribed());
        QVERIFY(session().start());
        QVERIFY(session().waitForLoaded() >= 0);
    }

    void cleanupTestCase()
    {
        m_session.reset();
        QVERIFY(!libraryServed());
    }

    void killsLeaveNothingHalfDone()
    {
        const int kills = envInt("TIDYFOX_SOAK_KILLS", 20);
        const quint32 seed = quint32(envInt("TIDYFOX_SOAK_SEED", int(QRandomGenerator::system()->bounded(1 << 30))));
        QRandomGenerator random(seed);
        std::printf("soak: %d kills, seed %u (TIDYFOX_SOAK_SEED=%u repeats it)\n", kills, seed, seed);

        // [0] the service, [1] the program.
        int tried[2] = {0, 0};
        int survived[2] = {0, 0};
        QSet<int> halfDone;
        int remaining = kPairs;
        for (int round = 0; round < kills && remaining > 0; ++round) {
            // Spread the copies over the kills, so that some are left for
            // every round and for the last run: a run goes on for a few more
            // removals while the kill is on its way.
            const int most = std::clamp(remaining / (kills - round + 1), 1, remaining);
            const int target = 1 + int(random.bounded(quint32(most)));
            // Removals go many a call: the kill lands anywhere in the next one.
            const int delayUs = int(random.bounded(20000u));
            const int victim = (round + int(seed)) % 2;

            const int from = session().mark();
            m_deleted = 0;
            QVERIFY(session().post(QStringLiteral("IDC_FS_okfilter"), kFilter));
            // The removal may end before the target when the copies run out.
            QVERIFY(waitUntil(
                [&] { return m_deleted >= target || session().find(kEnableButtons, QStringLiteral("1"), from) >= 0; }));
            QThread::usleep(ulong(delayUs));
            const int heard = m_deleted;
            ++tried[victim];
            if (victim == 0) {
                QVERIFY(killService(servicePid()));
                // The run ends on its next call, and the program reconnects
                // by itself.
                const int ended = session().waitFor(kEnableButtons, QStringLiteral("1"), from);
                QVERIFY(ended >= 0);
                QVERIFY(session().command(QStringLiteral("IDC_FS_okalert")));
                QVERIFY2(session().waitForLoaded(ended) >= 0, "no reconnect after the service was killed");
            } else {
                QVERIFY(::kill(pid_t(session().pid()), SIGKILL) == 0);
                QVERIFY(session().process().waitForFinished(kWaitMs));
                const int restarted = session().mark();
                QVERIFY(session().start());
                QVERIFY(session().waitForLoaded(restarted) >= 0);
            }

            const Check check = checkLibrary();
            QVERIFY2(check.integrity == QLatin1String("ok"), qPrintable(check.integrity));
            QVERIFY2(check.faults.isEmpty(), qPrintable(check.faults.mid(0, 10).join(QLatin1Char('\n'))));
            const QSet<int> fresh = (check.listedTrashed + check.removedInPlace) - halfDone;
            halfDone += fresh;
            if (fresh.isEmpty())
                ++survived[victim];
            QStringList freshCopies;
            for (const int i : fresh)
                freshCopies << QStringLiteral("%1 (%2)").arg(i).arg(check.listedTrashed.contains(i)
                                                                        ? QStringLiteral("listed, file in the trash")
                                                                        : QStringLiteral("removed, file in place"));
            std::printf("soak: kill %d of the %s after %d removals (+%d us): %d copies left, %d trash infos "
                        "without their file (%d empty), %d half-done %s\n",
                        round + 1, victim == 0 ? "service" : "program", heard, delayUs, check.copiesListed,
                        check.infosWithoutFile, check.emptyInfos, int(fresh.size()),
                        qPrintable(freshCopies.join(QLatin1Char(' '))));
            std::fflush(stdout);
            remaining = check.copiesListed;
        }

        // The last run, left alone, finishes the job.
        const int from = session().mark();
        QVERIFY(session().post(QStringLiteral("IDC_FS_okfilter"), kFilter));
        QVERIFY(session().waitFor(QStringLiteral("_root.alerttxt"),
                                  QString::number(remaining) + QStringLiteral(" Duplicate(s) have been deleted"), from,
                                  120000) >= 0);
        QVERIFY(session().waitFor(kEnableButtons, QStringLiteral("1"), from) >= 0);
        const Check end = checkLibrary();
        QVERIFY2(end.integrity == QLatin1String("ok"), qPrintable(end.integrity));
        QVERIFY2(end.faults.isEmpty(), qPrintable(end.faults.mid(0, 10).join(QLatin1Char('\n'))));

        std::printf("soak: service kills tried %d, survived %d; program kills tried %d, survived %d; "
                    "half-done tracks %d; trash infos without their file %d (%d empty); copies left %d\n",
                    tried[0], survived[0], tried[1], survived[1], int(halfDone.size()), end.infosWithoutFile,
                    end.emptyInfos, end.copiesListed);
        std::fflush(stdout);
        QCOMPARE(int(halfDone.size()), 0);
        QCOMPARE(end.copiesListed, 0);

        // Every job the kills cut short, and the last, puts back whole.
        QString jobs;
        m_session.reset();
        QVERIFY(stopService());
        QCOMPARE(runTool({QStringLiteral("history")}, &jobs), 0);
        for (const QString &line : jobs.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.contains(QLatin1String("removed")))
                QCOMPARE(runTool({QStringLiteral("restore"), line.section(QLatin1Char('\t'), 0, 0).trimmed()}), 0);
        }
        const Check restored = checkLibrary();
        QVERIFY2(restored.faults.isEmpty(), qPrintable(restored.faults.mid(0, 10).join(QLatin1Char('\n'))));
        QCOMPARE(restored.copiesListed, kPairs);
        QVERIFY(restored.listedTrashed.isEmpty());
    }
};

QTEST_GUILESS_MAIN(E2eKillSoak)
#include "tst_e2e_kill_soak.moc"
