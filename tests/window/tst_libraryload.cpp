// SPDX-License-Identifier: GPL-3.0-or-later
// From the first start-up tick to a shown library, in process: the connection
// attempts and their timer, reconnecting, and the fill of the library model
// with its error handling.
#include "FaultyLibraryClient.h"
#include "WindowFixture.h"
#include "librarylist/LibraryListModel.h"
#include "widgets/TreeGrid.h"
#include "window/FaceView.h"
#include "window/IntervalTimer.h"
#include "window/JobStatus.h"

#include <QPushButton>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <algorithm>

using namespace tidyfox;
using tidyfox::window::MainWindowProbe;
using tidyfox::window::WindowState;

namespace {

library::TrackRecord track(const QString &name, const QString &artist = QStringLiteral("Artist"),
                           const QString &album = QStringLiteral("Album"))
{
    library::TrackRecord record;
    record.name = name;
    record.artist = artist;
    record.album = album;
    record.totalTimeMs = 187000;
    record.location = QStringLiteral("/music/") + name + QStringLiteral(".mp3");
    return record;
}

// The window with a fault plan between it and the library.
struct FaultyFixture : test::WindowFixture
{
    libraryclient::FaultPlanPtr plan = std::make_shared<libraryclient::FaultPlan>();
    std::shared_ptr<libraryclient::FaultyLibraryClient> last;

    window::MainWindow &makeFaulty()
    {
        window::WindowEnvironment env = environment();
        const libraryclient::LibraryClientFactory inner =
            libraryclient::FaultyLibraryClient::factory(env.createLibraryClient, plan);
        env.createLibraryClient = [this, inner] {
            last = std::dynamic_pointer_cast<libraryclient::FaultyLibraryClient>(inner());
            return last;
        };
        return make(std::move(env));
    }
};

const librarylist::LibraryListModel &shown(window::MainWindow &w)
{
    auto *model = dynamic_cast<librarylist::LibraryListModel *>(MainWindowProbe(w).libraryList().dataSource());
    if (!model)
        qFatal("the grid shows no library model");
    return *model;
}

} // namespace

class tst_LibraryLoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedAttemptsKeepTheBusyTextAndRetryEveryEightSeconds();
    void unusableLibraryIsToldOnceWhileTheRetriesGoOn();
    void attemptLoadsTheLibraryInOrder();
    void quittingLibraryReconnectsUnlessClosing();
    void unusableSourceIsReportedAndTheListStaysEmpty();
    void modelCutsTextsAndKeepsOrder();
    void readFailureIsReportedAndTheFillGoesOn();
    void deletedObjectsEndTheFillSilently();
    void nestedFillsAreDropped();
    void connectButtonReplacesTheObjectWithoutReloading();
};

void tst_LibraryLoad::failedAttemptsKeepTheBusyTextAndRetryEveryEightSeconds()
{
    test::WindowFixture f;
    f.failConnect = true;
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("start"), {});
    f.variables.clear();
    MainWindowProbe(w).tickStartTimer();
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::Connecting));
    QVERIFY(MainWindowProbe(w).startTimer().isEnabled());
    QCOMPARE(MainWindowProbe(w).startTimer().interval(), 8000);
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie")}));
    QCOMPARE(f.variables[0].second, QStringLiteral("Connecting to iTunes..."));
    // Meanwhile only help, exit and minimise are obeyed.
    w.handleFaceCommand(QStringLiteral("IDC_FS_about"), {});
    QVERIFY(MainWindowProbe(w).libraryList().isVisibleTo(&w));

    MainWindowProbe(w).tickStartTimer();
    QCOMPARE(MainWindowProbe(w).startTimer().interval(), 8000);
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::Connecting));

    f.failConnect = false;
    MainWindowProbe(w).tickStartTimer();
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::Connecting));
    QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());
}

void tst_LibraryLoad::unusableLibraryIsToldOnceWhileTheRetriesGoOn()
{
    test::WindowFixture f;
    f.unusableLibrary = QStringLiteral("The file /x/library.db is not a Tidyfox library.");
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.handleFaceCommand(QStringLiteral("start"), {});
    for (int attempt = 0; attempt < 3; ++attempt) {
        MainWindowProbe(w).tickStartTimer();
        QCOMPARE(MainWindowProbe(w).startTimer().interval(), 8000);
    }
    QCOMPARE(f.names().count(QStringLiteral("_root.showcriticalalert")), 1);
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")), QStringLiteral("The music library cannot be opened."));
    auto *detail = MainWindowProbe(w).face().rootObject()->findChild<QObject *>(QStringLiteral("alertDetail"));
    QVERIFY(detail);
    QCOMPARE(detail->property("text").toString(), f.unusableLibrary);

    // Once the library opens, the next alert has no detail line.
    f.unusableLibrary.clear();
    MainWindowProbe(w).tickStartTimer();
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::Connecting));
    w.handleFaceCommand(QStringLiteral("IDC_FS_okfilter"),
                        QStringLiteral("false,false,false,false,false,false,false,false"));
    MainWindowProbe(w).tickDuplicatesTimer();
    QCOMPARE(detail->property("text").toString(), QString());
}

void tst_LibraryLoad::attemptLoadsTheLibraryInOrder()
{
    test::WindowFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    f.core->addTrack(track(QStringLiteral("Two")));
    const library::PlaylistRecord mix = f.core->addPlaylist(QStringLiteral("Mix"));
    f.core->addPlaylist(QStringLiteral("Empty"));
    f.core->appendToPlaylist(mix.playlistId, {f.core->playlistTracks(f.core->libraryPlaylistId()).at(1).databaseId});
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    w.show();
    w.handleFaceCommand(QStringLiteral("start"), {});
    f.variables.clear();
    QSignalSpy progress(&w.jobStatus(), &window::JobStatus::progressChanged);
    MainWindowProbe(w).tickStartTimer();

    // Progress travels beside the variables: each playlist's last track, then
    // the end (total 0) with the busy indicator.
    QVERIFY(progress.contains(QVariantList{QStringLiteral("Loading Library"), 2, 2}));
    QVERIFY(progress.contains(QVariantList{QStringLiteral("Loading Mix"), 1, 1}));
    QCOMPARE(progress.last(), (QVariantList{QString(), 0, 0}));
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie"),
                          QStringLiteral("_root.activationtxt"), QStringLiteral("_root.disableactivationmovie"),
                          QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                          QStringLiteral("_root.disabledelete")}));
    QCOMPARE(f.variables[2].second, QStringLiteral("Loading Library Contents..."));
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::Connecting));
    QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());
    QCOMPARE(MainWindowProbe(w).startTimer().interval(), 2000);
    QVERIFY(MainWindowProbe(w).library());
    QVERIFY(MainWindowProbe(w).librarySource());

    const librarylist::LibraryListModel &model = shown(w);
    QCOMPARE(model.playlistCount(), 3);
    QCOMPARE(model.value(0, librarylist::LibraryListModel::PlayList_Name), QStringLiteral("Library"));
    QCOMPARE(model.value(1, librarylist::LibraryListModel::PlayList_Name), QStringLiteral("Mix"));
    QCOMPARE(model.tracks(0).trackCount(), 2);
    QCOMPARE(model.tracks(1).trackCount(), 1);
    QCOMPARE(model.tracks(1).value(0, librarylist::PlaylistTrackTable::TrackName), QStringLiteral("Two"));
    QCOMPARE(model.tracks(1).value(0, librarylist::PlaylistTrackTable::ItemID), QString::number(mix.playlistId));
    QCOMPARE(model.tracks(0).value(0, librarylist::PlaylistTrackTable::Time), QStringLiteral("3:07"));
    QCOMPARE(model.tracks(2).trackCount(), 0);
    // Every playlist starts closed, and the grid lies in front of the face.
    for (int row = 0; row < model.playlistCount(); ++row)
        QVERIFY(!MainWindowProbe(w).libraryList().view()->isExpanded(
            MainWindowProbe(w).libraryList().view()->model()->index(row, 0)));
    QCOMPARE(MainWindowProbe(w).libraryList().caption(), QString());
}

void tst_LibraryLoad::quittingLibraryReconnectsUnlessClosing()
{
    FaultyFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    window::MainWindow &w = f.makeFaulty();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    QVERIFY(f.last);
    QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());

    f.last->raiseQuitting();
    QVERIFY(MainWindowProbe(w).startTimer().isEnabled());
    QCOMPARE(MainWindowProbe(w).startTimer().interval(), 2000);

    // The next attempt makes a new object and loads the library again.
    const auto first = f.last;
    f.core->addTrack(track(QStringLiteral("Two")));
    MainWindowProbe(w).tickStartTimer();
    QVERIFY(f.last != first);
    QCOMPARE(shown(w).tracks(0).trackCount(), 2);

    MainWindowProbe(w).startTimer().setEnabled(false);
    MainWindowProbe(w).exitApp();
    f.last->raiseQuitting();
    QVERIFY(!MainWindowProbe(w).startTimer().isEnabled());
}

void tst_LibraryLoad::unusableSourceIsReportedAndTheListStaysEmpty()
{
    FaultyFixture f;
    f.plan->failCall(QStringLiteral("sourceId"));
    window::MainWindow &w = f.makeFaulty();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")),
             QStringLiteral("No library found, Use Add File(s)/Folder(s) to make your own library"));
    QVERIFY(f.names().contains(QStringLiteral("_root.showinfoalert")));
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::Connecting));
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::LoadingList));
    QVERIFY(!MainWindowProbe(w).libraryList().dataSource());
}

void tst_LibraryLoad::modelCutsTextsAndKeepsOrder()
{
    test::WindowFixture f;
    const QString longName = QString(70, QLatin1Char('n'));
    const QString longArtist = QStringLiteral("\u00e9") + QString(44, QLatin1Char('a'));
    f.core->addTrack(track(QString(120, QLatin1Char('t')), longArtist, QString(50, QLatin1Char('b'))));
    f.core->addPlaylist(longName);
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    const librarylist::LibraryListModel &model = shown(w);
    QCOMPARE(model.value(1, librarylist::LibraryListModel::PlayList_Name), QString(59, QLatin1Char('n')));
    const librarylist::PlaylistTrackTable &tracks = model.tracks(0);
    QCOMPARE(tracks.value(0, librarylist::PlaylistTrackTable::TrackName).size(), 99);
    QCOMPARE(tracks.value(0, librarylist::PlaylistTrackTable::Artist), longArtist.left(40));
    QCOMPARE(tracks.value(0, librarylist::PlaylistTrackTable::Album).size(), 40);
    QVERIFY(tracks.value(0, librarylist::PlaylistTrackTable::TrackPath).isEmpty());
}

void tst_LibraryLoad::readFailureIsReportedAndTheFillGoesOn()
{
    FaultyFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    f.core->addTrack(track(QStringLiteral("Two")));
    f.plan->failCall(QStringLiteral("artist"), 0, 5, 1);
    window::MainWindow &w = f.makeFaulty();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    QVERIFY(f.names().contains(QStringLiteral("_root.showcriticalalert")));
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")).section(QLatin1Char('\r'), 0, 0),
             QStringLiteral("An error occured while filling the Library list"));
    QVERIFY(f.valueOf(QStringLiteral("_root.alerttxt")).section(QLatin1Char('\r'), 1).startsWith(QStringLiteral("5:")));
    const librarylist::PlaylistTrackTable &tracks = shown(w).tracks(0);
    QCOMPARE(tracks.trackCount(), 2);
    QVERIFY(tracks.value(0, librarylist::PlaylistTrackTable::Artist).isEmpty());
    QCOMPARE(tracks.value(0, librarylist::PlaylistTrackTable::Album), QStringLiteral("Album"));
    QCOMPARE(tracks.value(1, librarylist::PlaylistTrackTable::Artist), QStringLiteral("Artist"));
}

void tst_LibraryLoad::deletedObjectsEndTheFillSilently()
{
    FaultyFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    window::MainWindow &w = f.makeFaulty();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    QAbstractItemModel *before = MainWindowProbe(w).libraryList().dataSource();
    QVERIFY(before);

    f.plan->failCall(QStringLiteral("album"), 0, libraryclient::kErrObjectDeleted, 1);
    f.variables.clear();
    MainWindowProbe(w).refreshLibraryList();
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie"),
                          QStringLiteral("_root.disableactivationmovie")}));
    QCOMPARE(MainWindowProbe(w).libraryList().dataSource(), before);
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::LoadingList));

    // With no source at all the fill ends the same way, and a later one runs.
    libraryclient::SourcePtr keep = MainWindowProbe(w).librarySource();
    MainWindowProbe(w).librarySource().reset();
    MainWindowProbe(w).loadLibraryButton().click();
    QCOMPARE(MainWindowProbe(w).libraryList().dataSource(), before);
    MainWindowProbe(w).librarySource() = keep;
    MainWindowProbe(w).loadLibraryButton().click();
    QVERIFY(MainWindowProbe(w).libraryList().dataSource() != before);
}

void tst_LibraryLoad::nestedFillsAreDropped()
{
    test::WindowFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    QAbstractItemModel *before = MainWindowProbe(w).libraryList().dataSource();
    MainWindowProbe(w).state().enter(WindowState::Phase::LoadingList);
    MainWindowProbe(w).refreshLibraryList();
    QCOMPARE(MainWindowProbe(w).libraryList().dataSource(), before);
    QVERIFY(MainWindowProbe(w).state().isIn(WindowState::Phase::LoadingList));
    MainWindowProbe(w).state().leave(WindowState::Phase::LoadingList);

    // A flood of refreshes, queued as the face sends them, runs one refresh
    // after the running one instead of nesting one handler per command.
    const QString refresh = QStringLiteral("IDC_FS_refreshList2");
    for (int i = 0; i < 20000; ++i)
        QMetaObject::invokeMethod(
            &w, [&w, refresh] { w.handleFaceCommand(refresh, {}); }, Qt::QueuedConnection);
    f.variables.clear();
    w.handleFaceCommand(refresh, {});
    QCoreApplication::processEvents();
    const auto refreshes = std::count_if(f.variables.cbegin(), f.variables.cend(), [](const auto &v) {
        return v.second == QLatin1String("Refreshing Library List....");
    });
    QCOMPARE(refreshes, 2);
    QVERIFY(!MainWindowProbe(w).state().isIn(WindowState::Phase::LoadingList));
}

void tst_LibraryLoad::connectButtonReplacesTheObjectWithoutReloading()
{
    test::WindowFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    window::MainWindow &w = f.make();
    QVERIFY(w.start());
    MainWindowProbe(w).tickStartTimer();
    const libraryclient::LibraryClientPtr first = MainWindowProbe(w).library();
    QAbstractItemModel *before = MainWindowProbe(w).libraryList().dataSource();
    MainWindowProbe(w).connectButton().click();
    QVERIFY(MainWindowProbe(w).library() && MainWindowProbe(w).library() != first);
    QCOMPARE(MainWindowProbe(w).libraryList().dataSource(), before);
    MainWindowProbe(w).disconnectButton().click();
    QVERIFY(!MainWindowProbe(w).library());
}

QTEST_MAIN(tst_LibraryLoad)
#include "tst_libraryload.moc"
