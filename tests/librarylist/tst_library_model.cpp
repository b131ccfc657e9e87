// SPDX-License-Identifier: GPL-3.0-or-later
// The library model: filling it in order, its item model (checked by Qt's
// model tester while it is filled), the fields' cut lengths by characters,
// the empty table, and repeated values stored once.
#include "LibraryTestData.h"
#include "librarylist/LibraryListModel.h"
#include "librarylist/TextCut.h"
#include "widgets/GridRoles.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace tidyfox::librarylist;
using namespace tidyfox::test;

namespace {

QString track(const LibraryListModel &rs, int playlist, int row, int column)
{
    return rs.index(row, column, rs.index(playlist, 0)).data().toString();
}

} // namespace

class LibraryModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filledInOrderUnderTheModelTester();
    void valuesAreCutByCharacters();
    void cutNeverSplitsASurrogatePair();
    void emptyTable();
    void repeatedValuesReadBackPerRow();
};

void LibraryModelTest::filledInOrderUnderTheModelTester()
{
    LibraryListModel rs;
    QAbstractItemModelTester tester(&rs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fillRecordset(rs, sampleLibrary());

    QCOMPARE(rs.rowCount(), 4);
    QCOMPARE(rs.columnCount(), 2);
    QCOMPARE(rs.index(1, 1).data().toString(), QStringLiteral("Favourites"));
    QCOMPARE(rs.index(3, 0).data().toString(), QStringLiteral("4"));
    const QModelIndex library = rs.index(0, 0);
    QCOMPARE(rs.rowCount(library), 4);
    QCOMPARE(rs.columnCount(library), 7);
    QCOMPARE(rs.rowCount(rs.index(3, 0)), 0);
    QVERIFY(!rs.hasChildren(rs.index(3, 0)));
    // Tracks in insertion order, every field by position.
    QCOMPARE(track(rs, 0, 0, 1), QStringLiteral("Morning Light"));
    QCOMPARE(track(rs, 0, 3, 1), QStringLiteral("Café Nocturne"));
    QCOMPARE(track(rs, 2, 1, 0), QStringLiteral("3"));
    QCOMPARE(track(rs, 2, 1, 2), QStringLiteral("13"));
    QCOMPARE(track(rs, 2, 1, 4), QStringLiteral("1:02:03"));
    QCOMPARE(track(rs, 2, 1, 5), QStringLiteral("The Larks"));
    QCOMPARE(track(rs, 2, 1, 6), QStringLiteral("Early"));
    // The ids as numbers, for the window to act on.
    QCOMPARE(rs.index(3, 1).data(LibraryListModel::PlaylistIdRole), QVariant(4));
    QVERIFY(!rs.index(3, 1).data(LibraryListModel::TrackIdRole).isValid());
    QCOMPARE(rs.index(1, 4, rs.index(2, 0)).data(LibraryListModel::PlaylistIdRole), QVariant(3));
    QCOMPARE(rs.index(1, 4, rs.index(2, 0)).data(LibraryListModel::TrackIdRole), QVariant(13));
    // TrackPath is never written.
    for (int p = 0; p < 3; ++p)
        for (int t = 0; t < rs.rowCount(rs.index(p, 0)); ++t)
            QVERIFY(rs.index(t, 3, rs.index(p, 0)).data().toString().isEmpty());

    const QModelIndex child = rs.index(1, 5, library);
    QCOMPARE(child.parent(), library);
    QVERIFY(child.internalPointer() != nullptr);
    QVERIFY(rs.flags(child) & Qt::ItemNeverHasChildren);
    QVERIFY(!(rs.flags(child) & Qt::ItemIsEditable));
    QCOMPARE(rs.headerData(1, Qt::Horizontal).toString(), QStringLiteral("PlayList_Name"));
    QCOMPARE(rs.headerData(4, Qt::Horizontal, tidyfox::widgets::GridRoles::ChildHeaderRole).toString(),
             QStringLiteral("Time"));
    QCOMPARE(rs.headerData(0, Qt::Horizontal, tidyfox::widgets::GridRoles::ChildColumnCountRole).toInt(), 7);
}

void LibraryModelTest::valuesAreCutByCharacters()
{
    LibraryListModel rs;
    PlaylistTrackTable *tracks = &rs.addPlaylist(QStringLiteral("1234567890"), QString(60, QChar(u'é')));
    tracks->addTrack({QStringLiteral("1234567890"), QString(100, QChar(u'ß')), QStringLiteral("98765432109"),
                      QStringLiteral("1:23:45:678"), QString(41, QChar(u'Ж')), QString(40, QChar(u'a'))});

    QCOMPARE(rs.value(0, LibraryListModel::ID), QStringLiteral("123456789"));
    QCOMPARE(rs.value(0, LibraryListModel::PlayList_Name), QString(59, QChar(u'é')));
    QCOMPARE(tracks->value(0, PlaylistTrackTable::ItemID), QStringLiteral("123456789"));
    QCOMPARE(tracks->value(0, PlaylistTrackTable::TrackName), QString(99, QChar(u'ß')));
    QCOMPARE(tracks->value(0, PlaylistTrackTable::TrackID), QStringLiteral("987654321"));
    QCOMPARE(tracks->value(0, PlaylistTrackTable::Time), QStringLiteral("1:23:45:6"));
    QCOMPARE(tracks->value(0, PlaylistTrackTable::Artist), QString(40, QChar(u'Ж')));
    QCOMPARE(tracks->value(0, PlaylistTrackTable::Album), QString(40, QChar(u'a')));
    QCOMPARE(PlaylistTrackTable::fieldWidth(PlaylistTrackTable::Artist), 120);
    QCOMPARE(PlaylistTrackTable::cutLength(PlaylistTrackTable::Artist), 40);
    QCOMPARE(LibraryListModel::fieldWidth(LibraryListModel::PlayList_Name), 60);
    QCOMPARE(LibraryListModel::cutLength(LibraryListModel::PlayList_Name), 59);
}

void LibraryModelTest::cutNeverSplitsASurrogatePair()
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    QCOMPARE(leftChars(QString(58, u'a') + smile + u'b', 59), QString(58, u'a') + smile);
    QCOMPARE(leftChars(QString(59, u'a') + smile, 59), QString(59, u'a'));
    QCOMPARE(leftChars(smile.repeated(70), 59), smile.repeated(59));
    QCOMPARE(leftChars(QStringLiteral("abc"), 0), QString());
    QCOMPARE(leftChars(QStringLiteral("abc"), 9), QStringLiteral("abc"));
    // A lone surrogate counts as one character.
    const QString lone = QString(QChar(0xD83D)) + u'x' + u'y';
    QCOMPARE(leftChars(lone, 2), lone.left(2));

    LibraryListModel rs;
    PlaylistTrackTable &tracks =
        rs.addPlaylist(QStringLiteral("1"), QString::fromUtf8("Caf\xC3\xA9 ") + smile.repeated(60));
    PlaylistTrackTable::Track track;
    track.artist = QString(39, u'x') + smile + u'y';
    tracks.addTrack(track);
    QCOMPARE(tracks.value(0, PlaylistTrackTable::Artist), QString(39, u'x') + smile);
    QCOMPARE(rs.value(0, LibraryListModel::PlayList_Name), QString::fromUtf8("Caf\xC3\xA9 ") + smile.repeated(54));
}

void LibraryModelTest::emptyTable()
{
    LibraryListModel rs;
    QAbstractItemModelTester tester(&rs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(rs.playlistCount(), 0);
    QCOMPARE(rs.rowCount(), 0);
    QVERIFY(rs.value(0, LibraryListModel::ID).isNull());

    const PlaylistTrackTable &tracks = rs.addPlaylist(QString(), QString());
    QCOMPARE(tracks.trackCount(), 0);
    QVERIFY(!rs.hasChildren(rs.index(0, 0)));
    QVERIFY(rs.value(0, LibraryListModel::ID).isEmpty());
}

void LibraryModelTest::repeatedValuesReadBackPerRow()
{
    LibraryListModel rs;
    PlaylistTrackTable &tracks = rs.addPlaylist(QStringLiteral("5"), QStringLiteral("Road"));
    const QStringList artists{"A", "A", "B", "A", "", "A"};
    for (const QString &artist : artists) {
        PlaylistTrackTable::Track track;
        track.itemId = QStringLiteral("5");
        track.artist = artist;
        tracks.addTrack(track);
    }
    QStringList read;
    for (int r = 0; r < tracks.trackCount(); ++r) {
        read << tracks.value(r, PlaylistTrackTable::Artist);
        QCOMPARE(tracks.value(r, PlaylistTrackTable::ItemID), QStringLiteral("5"));
        QVERIFY(tracks.value(r, PlaylistTrackTable::TrackPath).isNull());
    }
    QCOMPARE(read, artists);

    // The same tracks in two more playlists, one in reverse, their names
    // Latin-1 and not by turns: every value reads back in every table, over
    // enough text to fill many blocks.
    const int count = 30000;
    const auto nameOf = [](int i) {
        return QStringLiteral("Song %1 ").arg(i) + QString(i % 80, QChar(i % 3 ? u'\u00e9' : u'\u0416'));
    };
    PlaylistTrackTable &forward = rs.addPlaylist(QStringLiteral("6"), QStringLiteral("All"));
    PlaylistTrackTable &backward = rs.addPlaylist(QStringLiteral("7"), QStringLiteral("Back"));
    for (int i = 0; i < count; ++i) {
        PlaylistTrackTable::Track track;
        track.itemId = QStringLiteral("6");
        track.name = nameOf(i);
        track.trackId = QString::number(i);
        track.album = QStringLiteral("Album %1").arg(i / 40);
        forward.addTrack(track);
        track.itemId = QStringLiteral("7");
        track.name = nameOf(count - 1 - i);
        track.trackId = QString::number(count - 1 - i);
        backward.addTrack(track);
    }
    for (int i = 0; i < count; ++i) {
        QCOMPARE(forward.value(i, PlaylistTrackTable::TrackName), nameOf(i));
        QCOMPARE(backward.value(count - 1 - i, PlaylistTrackTable::TrackName), nameOf(i));
        QCOMPARE(backward.value(count - 1 - i, PlaylistTrackTable::TrackID), QString::number(i));
        QCOMPARE(backward.value(i, PlaylistTrackTable::Album), QStringLiteral("Album %1").arg(i / 40));
        QCOMPARE(backward.value(i, PlaylistTrackTable::ItemID), QStringLiteral("7"));
    }
    QCOMPARE(tracks.value(0, PlaylistTrackTable::Artist), QStringLiteral("A"));
}

QTEST_MAIN(LibraryModelTest)
#include "tst_library_model.moc"
