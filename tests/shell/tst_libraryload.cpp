// From the first start-up tick to a shown library, in process: the connection
// attempts and their timer, reconnecting, and the fill of the library model
// with its error handling.
#include "WindowFixture.h"

#include "itunes/FaultyITunes.h"
#include "library/LibraryRecordset.h"
#include "platform/UltraGrid.h"
#include "shell/VbTimer.h"

#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace tidyfox;

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
    itunes::FaultPlanPtr plan = std::make_shared<itunes::FaultPlan>();
    std::shared_ptr<itunes::FaultyITunes> last;

    shell::frmMain &makeFaulty()
    {
        shell::WindowEnvironment env = environment();
        const itunes::ITunesFactory inner = itunes::FaultyITunes::factory(env.createITunes, plan);
        env.createITunes = [this, inner] {
            last = std::dynamic_pointer_cast<itunes::FaultyITunes>(inner());
            return last;
        };
        return make(std::move(env));
    }
};

const library::LibraryRecordset &shown(shell::frmMain &w)
{
    auto *model = dynamic_cast<library::LibraryRecordset *>(w.LibraryGrid->DataSource());
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
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.FLashCommand(QStringLiteral("start"), {});
    f.variables.clear();
    w.tmrStart_Timer();
    QVERIFY(w.bStarting);
    QVERIFY(w.tmrStart->Enabled());
    QCOMPARE(w.tmrStart->Interval(), 8000);
    QCOMPARE(f.names(),
             (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie")}));
    QCOMPARE(f.variables[0].second, QStringLiteral("Connecting to iTunes..."));
    // Meanwhile only help, exit and minimise are obeyed.
    w.FLashCommand(QStringLiteral("IDC_FS_about"), {});
    QVERIFY(w.LibraryGrid->isVisibleTo(&w));

    w.tmrStart_Timer();
    QCOMPARE(w.tmrStart->Interval(), 8000);
    QVERIFY(w.bStarting);

    f.failConnect = false;
    w.tmrStart_Timer();
    QVERIFY(!w.bStarting);
    QVERIFY(!w.tmrStart->Enabled());
}

void tst_LibraryLoad::attemptLoadsTheLibraryInOrder()
{
    test::WindowFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    f.core->addTrack(track(QStringLiteral("Two")));
    const library::PlaylistRecord mix = f.core->addPlaylist(QStringLiteral("Mix"));
    f.core->addPlaylist(QStringLiteral("Empty"));
    f.core->appendToPlaylist(mix.playlistId, {f.core->playlistTracks(f.core->libraryPlaylistId()).at(1).databaseId});
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.show();
    w.FLashCommand(QStringLiteral("start"), {});
    f.variables.clear();
    w.tmrStart_Timer();

    QCOMPARE(f.names(), (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie"),
                                     QStringLiteral("_root.activationtxt"), QStringLiteral("_root.disableactivationmovie"),
                                     QStringLiteral("_root.disableview2"), QStringLiteral("_root.enabledelete"),
                                     QStringLiteral("_root.disabledelete")}));
    QCOMPARE(f.variables[2].second, QStringLiteral("Loading Library Contents..."));
    QVERIFY(!w.bStarting);
    QVERIFY(!w.tmrStart->Enabled());
    QCOMPARE(w.tmrStart->Interval(), 2000);
    QVERIFY(w.iTunes);
    QVERIFY(w.oLibrarySource);

    const library::LibraryRecordset &model = shown(w);
    QCOMPARE(model.RecordCount(), 3);
    QCOMPARE(model.value(0, library::LibraryRecordset::PlayList_Name), QStringLiteral("Library"));
    QCOMPARE(model.value(1, library::LibraryRecordset::PlayList_Name), QStringLiteral("Mix"));
    QCOMPARE(model.tracks(0).RecordCount(), 2);
    QCOMPARE(model.tracks(1).RecordCount(), 1);
    QCOMPARE(model.tracks(1).value(0, library::LibraryTrackTable::TrackName), QStringLiteral("Two"));
    QCOMPARE(model.tracks(1).value(0, library::LibraryTrackTable::ItemID), QString::number(mix.playlistId));
    QCOMPARE(model.tracks(0).value(0, library::LibraryTrackTable::Time), QStringLiteral("3:07"));
    QCOMPARE(model.tracks(2).RecordCount(), 0);
    // Every playlist starts closed, and the grid lies in front of the movie.
    for (int row = 0; row < model.RecordCount(); ++row)
        QVERIFY(!w.LibraryGrid->view()->isExpanded(w.LibraryGrid->view()->model()->index(row, 0)));
    QCOMPARE(w.LibraryGrid->Caption(), QString());
}

void tst_LibraryLoad::quittingLibraryReconnectsUnlessClosing()
{
    FaultyFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    shell::frmMain &w = f.makeFaulty();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    QVERIFY(f.last);
    QVERIFY(!w.tmrStart->Enabled());

    f.last->raiseQuitting();
    QVERIFY(w.tmrStart->Enabled());
    QCOMPARE(w.tmrStart->Interval(), 2000);

    // The next attempt makes a new object and loads the library again.
    const auto first = f.last;
    f.core->addTrack(track(QStringLiteral("Two")));
    w.tmrStart_Timer();
    QVERIFY(f.last != first);
    QCOMPARE(shown(w).tracks(0).RecordCount(), 2);

    w.tmrStart->setEnabled(false);
    w.ExitApp();
    f.last->raiseQuitting();
    QVERIFY(!w.tmrStart->Enabled());
}

void tst_LibraryLoad::unusableSourceIsReportedAndTheListStaysEmpty()
{
    FaultyFixture f;
    f.plan->failCall(QStringLiteral("SourceID"));
    shell::frmMain &w = f.makeFaulty();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")),
             QStringLiteral("No library found, Use Add File(s)/Folder(s) to make your own library"));
    QVERIFY(f.names().contains(QStringLiteral("_root.showinfoalert")));
    QVERIFY(!w.bStarting);
    QVERIFY(!w.bFillingGrid);
    QVERIFY(!w.LibraryGrid->DataSource());
}

void tst_LibraryLoad::modelCutsTextsAndKeepsOrder()
{
    test::WindowFixture f;
    const QString longName = QString(70, QLatin1Char('n'));
    const QString longArtist = QStringLiteral("\u00e9") + QString(44, QLatin1Char('a'));
    f.core->addTrack(track(QString(120, QLatin1Char('t')), longArtist, QString(50, QLatin1Char('b'))));
    f.core->addPlaylist(longName);
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    const library::LibraryRecordset &model = shown(w);
    QCOMPARE(model.value(1, library::LibraryRecordset::PlayList_Name), QString(59, QLatin1Char('n')));
    const library::LibraryTrackTable &tracks = model.tracks(0);
    QCOMPARE(tracks.value(0, library::LibraryTrackTable::TrackName).size(), 99);
    QCOMPARE(tracks.value(0, library::LibraryTrackTable::Artist), longArtist.left(40));
    QCOMPARE(tracks.value(0, library::LibraryTrackTable::Album).size(), 40);
    QVERIFY(tracks.value(0, library::LibraryTrackTable::TrackPath).isEmpty());
}

void tst_LibraryLoad::readFailureIsReportedAndTheFillGoesOn()
{
    FaultyFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    f.core->addTrack(track(QStringLiteral("Two")));
    f.plan->failCall(QStringLiteral("Artist"), 0, 5, 1);
    shell::frmMain &w = f.makeFaulty();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    QVERIFY(f.names().contains(QStringLiteral("_root.showcriticalalert")));
    QCOMPARE(f.valueOf(QStringLiteral("_root.alerttxt")).section(QLatin1Char('\r'), 0, 0),
             QStringLiteral("An error occured while filling the Library list"));
    QVERIFY(f.valueOf(QStringLiteral("_root.alerttxt")).section(QLatin1Char('\r'), 1).startsWith(QStringLiteral("5:")));
    const library::LibraryTrackTable &tracks = shown(w).tracks(0);
    QCOMPARE(tracks.RecordCount(), 2);
    QVERIFY(tracks.value(0, library::LibraryTrackTable::Artist).isEmpty());
    QCOMPARE(tracks.value(0, library::LibraryTrackTable::Album), QStringLiteral("Album"));
    QCOMPARE(tracks.value(1, library::LibraryTrackTable::Artist), QStringLiteral("Artist"));
}

void tst_LibraryLoad::deletedObjectsEndTheFillSilently()
{
    FaultyFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    shell::frmMain &w = f.makeFaulty();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    QAbstractItemModel *before = w.LibraryGrid->DataSource();
    QVERIFY(before);

    f.plan->failCall(QStringLiteral("Album"), 0, itunes::kErrObjectDeleted, 1);
    f.variables.clear();
    w.RefreshLibrarylist();
    QCOMPARE(f.names(), (QStringList{QStringLiteral("_root.activationtxt"), QStringLiteral("_root.enableactivationmovie"),
                                     QStringLiteral("_root.disableactivationmovie")}));
    QCOMPARE(w.LibraryGrid->DataSource(), before);
    QVERIFY(!w.bFillingGrid);

    // With no source at all the fill ends the same way, and a later one runs.
    itunes::SourcePtr keep = w.oLibrarySource;
    w.oLibrarySource.reset();
    w.cmdLoadLibrary_Click();
    QCOMPARE(w.LibraryGrid->DataSource(), before);
    w.oLibrarySource = keep;
    w.cmdLoadLibrary_Click();
    QVERIFY(w.LibraryGrid->DataSource() != before);
}

void tst_LibraryLoad::nestedFillsAreDropped()
{
    test::WindowFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    QAbstractItemModel *before = w.LibraryGrid->DataSource();
    w.bFillingGrid = true;
    w.RefreshLibrarylist();
    QCOMPARE(w.LibraryGrid->DataSource(), before);
    QVERIFY(w.bFillingGrid);
}

void tst_LibraryLoad::connectButtonReplacesTheObjectWithoutReloading()
{
    test::WindowFixture f;
    f.core->addTrack(track(QStringLiteral("One")));
    shell::frmMain &w = f.make();
    QVERIFY(w.Form_Load());
    w.tmrStart_Timer();
    const itunes::ITunesPtr first = w.iTunes;
    QAbstractItemModel *before = w.LibraryGrid->DataSource();
    w.cmdConnect->click();
    QVERIFY(w.iTunes && w.iTunes != first);
    QCOMPARE(w.LibraryGrid->DataSource(), before);
    w.cmdDisconnect->click();
    QVERIFY(!w.iTunes);
}

QTEST_MAIN(tst_LibraryLoad)
#include "tst_libraryload.moc"
