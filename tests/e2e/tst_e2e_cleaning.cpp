// SPDX-License-Identifier: GPL-3.0-or-later
// Cleaning end to end: the real program and service, real files in a
// temporary folder and the real trash of the test's data folder. The jobs are
// started with the face's commands and judged by the alerts the program
// shows, the files on the disk and the library the service keeps.
//
// The cases run in order on one program: the two refused runs first (they
// change nothing), then duplicate removal, then dead-track deletion on what is
// left.
#include "E2eSession.h"
#include "protocol/JobListFormat.h"

#include <QDBusInterface>
#include <QDBusReply>
#include <QDirIterator>
#include <QTest>
#include <QUrl>

using namespace tidyfox::e2e;

namespace {

const QString kAlertText = QStringLiteral("_root.alerttxt");
const QString kEnableButtons = QStringLiteral("_root.enablebtns");

struct Song
{
    QString name;
    QString artist;
    QString file; // relative to the music folder, or absolute; empty for a stream
    bool onDisk = true;
};

// Library order matters: a later copy is the one removed.
//   "Morning Rain" twice, in two files: the second goes.
//   "Low Tide" twice, in two files: the second goes.
//   "Glass Bells" twice on the same file (added twice): the entry goes, the
//   file stays for the kept entry.
//   Three dead tracks with names of their own, whose files never existed.
//   A stream, never dead and never a copy.
//   A track on a drive that is not plugged in: dead to look at, but spared.
const std::vector<Song> kSongs = {
    {QStringLiteral("Morning Rain"), QStringLiteral("Ada"), QStringLiteral("ada/morning-rain.mp3")},
    {QStringLiteral("Low Tide"), QStringLiteral("Ben"), QStringLiteral("ben/low-tide.mp3")},
    {QStringLiteral("Glass Bells"), QStringLiteral("Cy"), QStringLiteral("cy/glass-bells.mp3")},
    {QStringLiteral("Lost Demo"), QStringLiteral("Dee"), QStringLiteral("dee/lost-demo.mp3"), false},
    {QStringLiteral("Morning Rain"), QStringLiteral("Ada"), QStringLiteral("copies/morning-rain (2).mp3")},
    {QStringLiteral("Kestrel Radio"), QString(), QString()},
    {QStringLiteral("Low Tide"), QStringLiteral("Ben"), QStringLiteral("copies/low-tide.mp3")},
    {QStringLiteral("Unfinished Waltz"), QStringLiteral("Dee"), QStringLiteral("dee/waltz.mp3"), false},
    {QStringLiteral("Glass Bells"), QStringLiteral("Cy"), QStringLiteral("cy/glass-bells.mp3")},
    {QStringLiteral("Northern Lights"), QStringLiteral("Eve"), QStringLiteral("eve/northern-lights.mp3")},
    {QStringLiteral("Borrowed Time"), QStringLiteral("Dee"), QStringLiteral("elsewhere/borrowed.mp3"), false},
    {QStringLiteral("Far Shore"), QStringLiteral("Fay"), QStringLiteral("/media/tidyfox-unplugged/far-shore.mp3"),
     false},
};

QString musicFolder()
{
    return testRoot() + QStringLiteral("/music");
}

QString pathOf(const Song &song)
{
    if (song.file.startsWith(QLatin1Char('/')))
        return song.file;
    return musicFolder() + QLatin1Char('/') + song.file;
}

QByteArray contentOf(const Song &song)
{
    // Tagged as MP3 files are: only a file that looks like audio may go to
    // the trash.
    return "ID3 song file of " + song.file.toUtf8();
}

// The (name, location) of every track, in library order.
QStringList namesAndLocations()
{
    QStringList out;
    for (const QString &line : listLibrary()) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        out << (fields.size() == 6 ? fields[2] + QLatin1Char('|') + fields[5] : QStringLiteral("<bad line>"));
    }
    return out;
}

QStringList filesUnder(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class E2eCleaning : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<E2eSession> m_session;

    E2eSession &session() { return *m_session; }

    // Confirms the filter panel and waits for the run to end: the buttons
    // come back at every end. Returns the index the run's variables start at.
    int removeDuplicates(const QString &filter)
    {
        const int before = session().mark();
        if (!session().command(QStringLiteral("IDC_FS_okfilter"), filter))
            return -1;
        if (session().waitFor(kEnableButtons, QStringLiteral("1"), before) < 0)
            return -1;
        return before;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(stopService());
        {
            LibraryBuilder builder;
            for (const Song &song : kSongs) {
                if (song.file.isEmpty()) {
                    builder.addStream(song.name, QStringLiteral("http://radio.example.org/kestrel"));
                    continue;
                }
                builder.addFile(song.name, song.artist, pathOf(song), std::int32_t(contentOf(song).size()));
                if (song.onDisk)
                    QVERIFY(writeSong(pathOf(song), contentOf(song)));
            }
        }
        QCOMPARE(int(listLibrary().size()), int(kSongs.size()));

        m_session = std::make_unique<E2eSession>();
        QVERIFY(session().subscribed());
        QVERIFY(session().start());
        // Commands are dropped until the start-up has loaded the library.
        QVERIFY(session().waitForLoaded() >= 0);
    }

    void cleanupTestCase()
    {
        m_session.reset();
        QVERIFY(!libraryServed());
    }

    void aFilterWithNothingCheckedIsRefused()
    {
        const QStringList libraryBefore = namesAndLocations();
        const int from = removeDuplicates(QStringLiteral("false,false,false,false,false,false,false,false"));
        QVERIFY(from >= 0);
        QCOMPARE(session().since(from),
                 (QStringList{
                     QStringLiteral("_root.disablebtns=1"),
                     QStringLiteral("_root.activationtxt=Removing Duplicates..."),
                     QStringLiteral("_root.enableactivationmovie=true"),
                     QStringLiteral("_root.alerttitle=Tidyfox"),
                     QStringLiteral("_root.alerttxt=You must check one filter item at least, Operation aborted."),
                     QStringLiteral("_root.showexclaminationalert=true"),
                     QStringLiteral("_root.disableactivationmovie=true"),
                     QStringLiteral("_root.enablebtns=1"),
                 }));
        QCOMPARE(namesAndLocations(), libraryBefore);
        QVERIFY(filesUnder(trashFiles()).isEmpty());
        QVERIFY(session().command(QStringLiteral("IDC_FS_okalert")));
    }

    void sevenItemsFailAtTheFirstCopy()
    {
        // Seven items: valid, but the keep-files item is missing when the
        // first copy has been found.
        const QStringList libraryBefore = namesAndLocations();
        const int from = removeDuplicates(QStringLiteral("true,false,false,false,false,false,false"));
        QVERIFY(from >= 0);
        QCOMPARE(
            session().since(from),
            (QStringList{
                QStringLiteral("_root.disablebtns=1"),
                QStringLiteral("_root.activationtxt=Removing Duplicates..."),
                QStringLiteral("_root.enableactivationmovie=true"),
                QStringLiteral("_root.alerttitle=Tidyfox"),
                QStringLiteral("_root.alerttxt=Can not delete all duplicates.\r0 Duplicate track(s) have been deleted"),
                QStringLiteral("_root.showinfoalert=true"),
                QStringLiteral("_root.disableactivationmovie=true"),
                QStringLiteral("_root.enablebtns=1"),
            }));
        // The failure end reloads nothing.
        QCOMPARE(
            session().find(QStringLiteral("_root.activationtxt"), QStringLiteral("Refreshing Library List...."), from),
            -1);
        QCOMPARE(namesAndLocations(), libraryBefore);
        QVERIFY(filesUnder(trashFiles()).isEmpty());
        QVERIFY(session().command(QStringLiteral("IDC_FS_okalert")));
    }

    void duplicatesByNameGoToTheTrash()
    {
        const int from = removeDuplicates(QStringLiteral("true,false,false,false,false,false,false,false"));
        QVERIFY(from >= 0);
        QCOMPARE(session().since(from), (QStringList{
                                            QStringLiteral("_root.disablebtns=1"),
                                            QStringLiteral("_root.activationtxt=Removing Duplicates..."),
                                            QStringLiteral("_root.enableactivationmovie=true"),
                                            QStringLiteral("_root.disableactivationmovie=true"),
                                            QStringLiteral("_root.alerttitle=Tidyfox"),
                                            QStringLiteral("_root.alerttxt=3 Duplicate(s) have been deleted"),
                                            QStringLiteral("_root.showinfoalert=true"),
                                            QStringLiteral("_root.activationtxt=Refreshing Library List...."),
                                            QStringLiteral("_root.enableactivationmovie=true"),
                                            QStringLiteral("_root.disableactivationmovie=true"),
                                            QStringLiteral("_root.enablebtns=1"),
                                        }));

        // The later copies' own files are in the trash, each with its info.
        QCOMPARE(filesUnder(trashFiles()),
                 (QStringList{QStringLiteral("low-tide.mp3"), QStringLiteral("morning-rain (2).mp3")}));
        QCOMPARE(filesUnder(trashInfo()), (QStringList{QStringLiteral("low-tide.mp3.trashinfo"),
                                                       QStringLiteral("morning-rain (2).mp3.trashinfo")}));
        // The info names where the file came from, so it can be put back.
        const QByteArray info = readFile(trashInfo() + QStringLiteral("/morning-rain (2).mp3.trashinfo"));
        QVERIFY2(info.startsWith("[Trash Info]\n"), info.constData());
        QString originalPath;
        for (const QByteArray &line : info.split('\n')) {
            if (line.startsWith("Path="))
                originalPath = QUrl::fromPercentEncoding(line.mid(5));
        }
        QCOMPARE(originalPath, pathOf(kSongs[4]));
        QVERIFY(info.contains("\nDeletionDate="));
        QCOMPARE(readFile(trashFiles() + QStringLiteral("/morning-rain (2).mp3")), contentOf(kSongs[4]));
        QCOMPARE(readFile(trashFiles() + QStringLiteral("/low-tide.mp3")), contentOf(kSongs[6]));

        // Kept tracks' files are untouched, the shared file included; the
        // copies are gone from their folder.
        for (const Song &song : kSongs) {
            if (song.file.isEmpty() || !song.onDisk || song.file.startsWith(QLatin1String("copies/")))
                continue;
            QCOMPARE(readFile(pathOf(song)), contentOf(song));
        }
        QVERIFY(filesUnder(musicFolder() + QStringLiteral("/copies")).isEmpty());

        QCOMPARE(namesAndLocations(), (QStringList{
                                          QStringLiteral("Morning Rain|") + pathOf(kSongs[0]),
                                          QStringLiteral("Low Tide|") + pathOf(kSongs[1]),
                                          QStringLiteral("Glass Bells|") + pathOf(kSongs[2]),
                                          QStringLiteral("Lost Demo|") + pathOf(kSongs[3]),
                                          QStringLiteral("Kestrel Radio|"),
                                          QStringLiteral("Unfinished Waltz|") + pathOf(kSongs[7]),
                                          QStringLiteral("Northern Lights|") + pathOf(kSongs[9]),
                                          QStringLiteral("Borrowed Time|") + pathOf(kSongs[10]),
                                          QStringLiteral("Far Shore|") + pathOf(kSongs[11]),
                                      }));
        QVERIFY(session().command(QStringLiteral("IDC_FS_okalert")));
    }

    void deadTracksLeaveTheLibraryAndTheirFilesAreNeverMade()
    {
        const QStringList trashBefore = filesUnder(trashFiles());
        const QStringList musicBefore = filesUnder(musicFolder());
        const int from = session().mark();
        QVERIFY(session().command(QStringLiteral("IDC_FS_deleteDeadTracks")));
        const int alert = session().waitFor(kAlertText, QStringLiteral("3 Dead track(s) have been deleted"), from);
        QVERIFY2(alert >= 0, qPrintable(session().since(from).join(QLatin1Char('\n'))));
        // The success end reloads the library under its own busy text.
        const int reload = session().waitFor(QStringLiteral("_root.activationtxt"),
                                             QStringLiteral("Refreshing Library List...."), alert);
        QVERIFY(reload >= 0);
        QVERIFY(session().waitFor(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), reload) >= 0);
        QCOMPARE(session().since(from, alert + 2),
                 (QStringList{
                     QStringLiteral("_root.activationtxt=Deleting dead tracks..."),
                     QStringLiteral("_root.enableactivationmovie=true"),
                     QStringLiteral("_root.disableactivationmovie=true"),
                     QStringLiteral("_root.alerttitle=Tidyfox"),
                     QStringLiteral("_root.alerttxt=3 Dead track(s) have been deleted"),
                     QStringLiteral("_root.showinfoalert=true"),
                 }));

        // Entries only: no file made, moved or deleted, and the stream stays;
        // so does the track whose drive is not connected.
        for (const int dead : {3, 7, 10})
            QVERIFY(!QFileInfo::exists(pathOf(kSongs[size_t(dead)])));
        QVERIFY(!QFileInfo::exists(musicFolder() + QStringLiteral("/elsewhere")));
        QCOMPARE(filesUnder(musicFolder()), musicBefore);
        QCOMPARE(filesUnder(trashFiles()), trashBefore);
        QCOMPARE(namesAndLocations(), (QStringList{
                                          QStringLiteral("Morning Rain|") + pathOf(kSongs[0]),
                                          QStringLiteral("Low Tide|") + pathOf(kSongs[1]),
                                          QStringLiteral("Glass Bells|") + pathOf(kSongs[2]),
                                          QStringLiteral("Kestrel Radio|"),
                                          QStringLiteral("Northern Lights|") + pathOf(kSongs[9]),
                                          QStringLiteral("Far Shore|") + pathOf(kSongs[11]),
                                      }));
        QVERIFY(session().command(QStringLiteral("IDC_FS_okalert")));
    }

    void aSecondRunFindsNothingLeft()
    {
        const int from = removeDuplicates(QStringLiteral("true,false,false,true,false,false,false,false"));
        QVERIFY(from >= 0);
        QVERIFY(session().find(kAlertText, QStringLiteral("0 Duplicate(s) have been deleted"), from) >= 0);
        QCOMPARE(int(namesAndLocations().size()), 6);
    }

    void aReviewedRemovalSparesWhatTheUserUntickedAndCarriesThePlaysOver()
    {
        // Two more "Morning Rain" by Ada, played 3 and 4 times, added by
        // another program while Tidyfox runs.
        std::int32_t spared = 0;
        std::int32_t goes = 0;
        std::int32_t keeper = 0;
        {
            LibraryBuilder builder;
            for (const QString &file : {QStringLiteral("again/a.mp3"), QStringLiteral("again/b.mp3")}) {
                QVERIFY(writeSong(musicFolder() + QLatin1Char('/') + file, "ID3" + file.toUtf8()));
                const tidyfox::library::TrackRecord t = builder.addFile(
                    kSongs[0].name, kSongs[0].artist, musicFolder() + QLatin1Char('/') + file, 4096, goes == 0 ? 3 : 4);
                (goes == 0 ? goes : spared) = t.databaseId;
            }
            for (const auto &t : builder.core().playlistTracks(builder.core().libraryPlaylistId()))
                keeper = t.location == pathOf(kSongs[0]) ? t.databaseId : keeper;
        }
        const int from = session().mark();
        QVERIFY(session().command(QStringLiteral("IDC_FS_findDuplicates"),
                                  QStringLiteral("true,false,false,true,false,false,false,false")));
        QVERIFY(session().waitFor(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), from) >= 0);
        QCOMPARE(session().since(from).first(), QStringLiteral("_root.activationtxt=Finding duplicates..."));
        QCOMPARE(int(namesAndLocations().size()), 8); // looking removes nothing

        const int removal = session().mark();
        QVERIFY(session().command(QStringLiteral("IDC_FS_removeReviewed"),
                                  QStringLiteral("false;true;%1:%2").arg(goes).arg(keeper)));
        QVERIFY(session().waitFor(kEnableButtons, QStringLiteral("1"), removal) >= 0);
        QVERIFY(session().find(kAlertText, QStringLiteral("1 Duplicate(s) have been deleted"), removal) >= 0);
        QVERIFY(!QFileInfo::exists(musicFolder() + QStringLiteral("/again/a.mp3")));
        QVERIFY(QFileInfo::exists(musicFolder() + QStringLiteral("/again/b.mp3")));
        QVERIFY(filesUnder(trashFiles()).contains(QStringLiteral("a.mp3")));
        const auto library = tidyfox::library::LibraryCore::open(defaultLibraryPath());
        QVERIFY(!library->track(goes));
        QVERIFY(library->track(spared));
        QCOMPARE(library->track(keeper)->playCount, 3);
        QCOMPARE(library->track(spared)->playCount, 4);
        QVERIFY(session().command(QStringLiteral("IDC_FS_okalert")));
    }

    // Another client of the library puts that removal back over the bus:
    // the file returns, the keeper gives the plays back, and the window,
    // told by the library, shows the track again.
    void aRestoreByAnotherClientShowsInTheWindow()
    {
        QDBusInterface library(QString::fromLatin1(tidyfox::protocol::kServiceName),
                               QString::fromLatin1(tidyfox::protocol::kObjectPath),
                               QString::fromLatin1(tidyfox::protocol::kInterface));
        const QDBusReply<QString> jobs = library.call(QStringLiteral("Jobs"));
        QVERIFY2(jobs.isValid(), qPrintable(jobs.error().message()));
        const auto history = tidyfox::protocol::decodeJobs(jobs.value());
        QCOMPARE(history.back().kind, QStringLiteral("duplicates"));
        QCOMPARE(history.back().files, 1);

        const int from = session().mark();
        const QDBusMessage answer = library.call(QStringLiteral("RestoreJob"), history.back().jobId);
        QCOMPARE(answer.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(answer.arguments().value(0).toInt(), 1);
        QVERIFY(session().waitFor(QStringLiteral("_root.activationtxt"), QStringLiteral("Refreshing Library List...."),
                                  from) >= 0);
        QVERIFY(QFileInfo::exists(musicFolder() + QStringLiteral("/again/a.mp3")));
        QVERIFY(!filesUnder(trashFiles()).contains(QStringLiteral("a.mp3")));
        QCOMPARE(int(namesAndLocations().size()), 8);
    }
};

QTEST_GUILESS_MAIN(E2eCleaning)
#include "tst_e2e_cleaning.moc"
