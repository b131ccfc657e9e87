// SPDX-License-Identifier: GPL-3.0-or-later
// The real program and the real library service on a private bus, watched
// through the face variables the program sets: from start to a shown
// library, an empty library, a service that cannot be started, a service that
// quits or dies while the program runs, and a refresh.
#include "E2eSession.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tidyfox::e2e;

namespace {

const QString kConnecting = QStringLiteral("Connecting to iTunes...");
const QString kLoading = QStringLiteral("Loading Library Contents...");
const QString kRefreshing = QStringLiteral("Refreshing Library List....");

// What a start-up attempt that loads the library sets, from the first busy
// text to the track buttons of an empty selection.
const QStringList kStartupSequence = {
    QStringLiteral("_root.activationtxt=Connecting to iTunes..."),
    QStringLiteral("_root.enableactivationmovie=true"),
    QStringLiteral("_root.activationtxt=Loading Library Contents..."),
    QStringLiteral("_root.disableactivationmovie=true"),
    QStringLiteral("_root.disableview2=true"),
    QStringLiteral("_root.enabledelete=true"),
    QStringLiteral("_root.disabledelete=true"),
};

// A small library with a user playlist, so a load has more than one playlist
// to read.
void buildSmallLibrary()
{
    LibraryBuilder builder;
    const QString music = testRoot() + QStringLiteral("/music/");
    std::vector<std::int32_t> ids;
    for (int i = 0; i < 5; ++i) {
        ids.push_back(builder
                          .addFile(QStringLiteral("Song %1").arg(i), QStringLiteral("Artist %1").arg(i % 2),
                                   music + QStringLiteral("song%1.mp3").arg(i))
                          .databaseId);
    }
    const auto playlist = builder.core().addPlaylist(QStringLiteral("Evening"));
    builder.core().appendToPlaylist(playlist.playlistId, {ids[1], ids[3]});
}

} // namespace

class E2eStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(stopService());
        removeLibrary();
    }

    void cleanup() { QVERIFY(stopService()); }

    void startsTheServiceAndShowsTheLibraryInOrder()
    {
        buildSmallLibrary();
        QVERIFY(!libraryServed());
        E2eSession session;
        QVERIFY(session.subscribed());
        QVERIFY(session.start());

        const int connecting = session.waitForBusyText(kConnecting);
        QVERIFY2(connecting >= 0, qPrintable(session.since(0).join(QLatin1Char('\n'))));
        QVERIFY(session.waitForLoaded(connecting) >= 0);
        QCOMPARE(session.since(connecting, connecting + int(kStartupSequence.size())), kStartupSequence);
        // The program started the service from its own folder, on the
        // library in the data folder.
        QVERIFY(libraryServed());
        QCOMPARE(int(listLibrary().size()), 5);
        // Nothing else happens once the library is shown: no alert, no
        // second attempt.
        QCOMPARE(session.find(QStringLiteral("_root.showinfoalert"), QStringLiteral("true")), -1);
        QCOMPARE(session.find(QStringLiteral("_root.showcriticalalert"), QStringLiteral("true")), -1);
        QCOMPARE(session.find(QStringLiteral("_root.activationtxt"), kConnecting, connecting + 1), -1);
    }

    void showsALibraryWithNoTracks()
    {
        // A library file with its source and library playlist but no track.
        {
            LibraryBuilder builder;
        }
        E2eSession session;
        QVERIFY(session.start());
        const int connecting = session.waitForBusyText(kConnecting);
        QVERIFY(connecting >= 0);
        QVERIFY(session.waitForLoaded(connecting) >= 0);
        QCOMPARE(session.since(connecting, connecting + int(kStartupSequence.size())), kStartupSequence);
        QCOMPARE(session.find(QStringLiteral("_root.showcriticalalert"), QStringLiteral("true")), -1);
        QVERIFY(listLibrary().isEmpty());

        // The gate is open: a refresh of the empty library runs and ends.
        const int before = session.mark();
        QVERIFY(session.command(QStringLiteral("IDC_FS_refreshList2")));
        QCOMPARE(session.since(before).mid(0, 3), (QStringList{QStringLiteral("_root.activationtxt=") + kRefreshing,
                                                               QStringLiteral("_root.enableactivationmovie=true"),
                                                               QStringLiteral("_root.disableactivationmovie=true")}));
    }

    void refreshShowsItsBusyTextAndHidesIt()
    {
        buildSmallLibrary();
        E2eSession session;
        QVERIFY(session.start());
        QVERIFY(session.waitForLoaded() >= 0);

        const int before = session.mark();
        // The command returns once the refill has finished.
        QVERIFY2(session.command(QStringLiteral("IDC_FS_refreshList2")), qPrintable(session.lastError()));
        QCOMPARE(session.since(before), (QStringList{QStringLiteral("_root.activationtxt=") + kRefreshing,
                                                     QStringLiteral("_root.enableactivationmovie=true"),
                                                     QStringLiteral("_root.disableactivationmovie=true")}));
    }

    void busyTextStaysWhileTheServiceCannotBeStarted()
    {
        // The program, its face and face in a folder without the service.
        QTemporaryDir folder(testRoot() + QStringLiteral("/noservice-XXXXXX"));
        QVERIFY(folder.isValid());
        const QDir app(appDir());
        for (const QString &name : {QStringLiteral("tidyfox"), QStringLiteral("Main.qml")})
            QVERIFY(QFile::copy(app.filePath(name), folder.filePath(name)));
        QVERIFY(QFile::setPermissions(folder.filePath(QStringLiteral("tidyfox")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QDir().mkpath(folder.filePath(QStringLiteral("face")));
        for (const QString &part : QDir(app.filePath(QStringLiteral("face"))).entryList(QDir::Files))
            QVERIFY(QFile::copy(app.filePath(QStringLiteral("face/") + part),
                                folder.filePath(QStringLiteral("face/") + part)));
        buildSmallLibrary();

        E2eSession session;
        QVERIFY(session.start(folder.filePath(QStringLiteral("tidyfox"))));
        const int connecting = session.waitForBusyText(kConnecting);
        QVERIFY(connecting >= 0);
        QVERIFY(session.waitFor(QStringLiteral("_root.enableactivationmovie"), QStringLiteral("true"), connecting) >=
                0);
        QCOMPARE(session.since(connecting, connecting + 2),
                 (QStringList{QStringLiteral("_root.activationtxt=") + kConnecting,
                              QStringLiteral("_root.enableactivationmovie=true")}));

        // The failed attempt ends quietly: the busy text stays, nothing is
        // loaded. (The next attempt comes eight seconds later; its arming is
        // checked inside the program's own tests.)
        QCOMPARE(
            session.waitFor(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), connecting, 3000),
            -1);
        QCOMPARE(session.find(QStringLiteral("_root.activationtxt"), kLoading), -1);
        QVERIFY(!libraryServed());

        // Still starting: the gate drops a refresh, but obeys exit.
        const int before = session.mark();
        QVERIFY(session.command(QStringLiteral("IDC_FS_refreshList2")));
        QCOMPARE(session.find(QStringLiteral("_root.activationtxt"), kRefreshing, before), -1);
        session.stop();
        QVERIFY(!session.running());
        QCOMPARE(session.process().exitStatus(), QProcess::NormalExit);
    }

    void reconnectsAndReloadsWhenTheServiceQuitsOrDies()
    {
        buildSmallLibrary();
        E2eSession session;
        QVERIFY(session.start());
        QVERIFY(session.waitForLoaded() >= 0);
        const qint64 firstPid = servicePid();
        QVERIFY(firstPid > 0);

        // Told to quit: a new attempt about two seconds later starts the
        // service again and reloads the library.
        int before = session.mark();
        QVERIFY(stopService());
        int connecting = session.waitForBusyText(kConnecting, before);
        QVERIFY2(connecting >= 0, qPrintable(session.since(before).join(QLatin1Char('\n'))));
        QVERIFY(session.waitForLoaded(connecting) >= 0);
        QCOMPARE(session.since(connecting, connecting + int(kStartupSequence.size())), kStartupSequence);
        const qint64 secondPid = servicePid();
        QVERIFY(secondPid > 0);
        QVERIFY(secondPid != firstPid);

        // Killed: the vanished name counts as quitting.
        before = session.mark();
        QVERIFY(killService(secondPid));
        connecting = session.waitForBusyText(kConnecting, before);
        QVERIFY2(connecting >= 0, qPrintable(session.since(before).join(QLatin1Char('\n'))));
        QVERIFY(session.waitForLoaded(connecting) >= 0);
        QCOMPARE(session.since(connecting, connecting + int(kStartupSequence.size())), kStartupSequence);
        QVERIFY(libraryServed());
        QVERIFY(servicePid() != secondPid);
        QCOMPARE(int(listLibrary().size()), 5);

        // One reconnect for each loss, no more.
        QCOMPARE(session.find(QStringLiteral("_root.activationtxt"), kConnecting, connecting + 1), -1);
    }
};

QTEST_GUILESS_MAIN(E2eStartup)
#include "tst_e2e_startup.moc"
