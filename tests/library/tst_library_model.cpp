// The library model: filling it in order, its item model (checked by Qt's
// model tester while it is filled), the fields' cut lengths by characters,
// the empty table, and field names without regard to case.
#include "LibraryTestData.h"
#include "library/LibraryRecordset.h"
#include "library/RecordsetError.h"
#include "library/TextCut.h"
#include "platform/GridRoles.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace tidyfox::library;
using namespace tidyfox::test;

namespace {

int errorNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RecordsetError &error) {
        return error.number();
    }
    return 0;
}

QString track(const LibraryRecordset &rs, int playlist, int row, int column)
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
    void fieldNamesIgnoreCase();
    void repeatedValuesReadBackPerRow();
};

void LibraryModelTest::filledInOrderUnderTheModelTester()
{
    LibraryRecordset rs;
    QAbstractItemModelTester tester(&rs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fillRecordset(rs, sampleLibrary());
    rs.MoveFirst();
    QCOMPARE(rs.currentRow(), 0);

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
    QCOMPARE(rs.headerData(4, Qt::Horizontal, tidyfox::platform::GridRoles::ChildHeaderRole).toString(),
             QStringLiteral("Time"));
    QCOMPARE(rs.headerData(0, Qt::Horizontal, tidyfox::platform::GridRoles::ChildColumnCountRole).toInt(), 7);
}

void LibraryModelTest::valuesAreCutByCharacters()
{
    LibraryRecordset rs;
    rs.AddNew();
    rs.setField(u"ID", QStringLiteral("1234567890"));
    rs.setField(u"PlayList_Name", QString(60, QChar(u'é')));
    LibraryTrackTable *tracks = rs.chapter(u"PlayList");
    tracks->AddNew();
    tracks->setField(u"ItemID", QStringLiteral("1234567890"));
    tracks->setField(u"TrackName", QString(100, QChar(u'ß')));
    tracks->setField(u"TrackID", QStringLiteral("98765432109"));
    tracks->setField(u"Time", QStringLiteral("1:23:45:678"));
    tracks->setField(u"Artist", QString(41, QChar(u'Ж')));
    tracks->setField(u"Album", QString(40, QChar(u'a')));

    QCOMPARE(rs.value(0, LibraryRecordset::ID), QStringLiteral("123456789"));
    QCOMPARE(rs.value(0, LibraryRecordset::PlayList_Name), QString(59, QChar(u'é')));
    QCOMPARE(tracks->value(0, LibraryTrackTable::ItemID), QStringLiteral("123456789"));
    QCOMPARE(tracks->value(0, LibraryTrackTable::TrackName), QString(99, QChar(u'ß')));
    QCOMPARE(tracks->value(0, LibraryTrackTable::TrackID), QStringLiteral("987654321"));
    QCOMPARE(tracks->value(0, LibraryTrackTable::Time), QStringLiteral("1:23:45:6"));
    QCOMPARE(tracks->value(0, LibraryTrackTable::Artist), QString(40, QChar(u'Ж')));
    QCOMPARE(tracks->value(0, LibraryTrackTable::Album), QString(40, QChar(u'a')));
    QCOMPARE(LibraryTrackTable::fieldWidth(LibraryTrackTable::Artist), 120);
    QCOMPARE(LibraryTrackTable::cutLength(LibraryTrackTable::Artist), 40);
    QCOMPARE(LibraryRecordset::fieldWidth(LibraryRecordset::PlayList_Name), 60);
    QCOMPARE(LibraryRecordset::cutLength(LibraryRecordset::PlayList_Name), 59);
}

void LibraryModelTest::cutNeverSplitsASurrogatePair()
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    QCOMPARE(LeftChars(QString(58, u'a') + smile + u'b', 59), QString(58, u'a') + smile);
    QCOMPARE(LeftChars(QString(59, u'a') + smile, 59), QString(59, u'a'));
    QCOMPARE(LeftChars(smile.repeated(70), 59), smile.repeated(59));
    QCOMPARE(LeftChars(QStringLiteral("abc"), 0), QString());
    QCOMPARE(LeftChars(QStringLiteral("abc"), 9), QStringLiteral("abc"));
    // A lone surrogate counts as one character.
    const QString lone = QString(QChar(0xD83D)) + u'x' + u'y';
    QCOMPARE(LeftChars(lone, 2), lone.left(2));

    LibraryRecordset rs;
    rs.AddNew();
    LibraryTrackTable *tracks = rs.chapter(u"PlayList");
    tracks->AddNew();
    tracks->setField(u"Artist", QString(39, u'x') + smile + u'y');
    QCOMPARE(tracks->value(0, LibraryTrackTable::Artist), QString(39, u'x') + smile);
    rs.setField(u"PlayList_Name", QString::fromUtf8("Caf\xC3\xA9 ") + smile.repeated(60));
    QCOMPARE(rs.value(0, LibraryRecordset::PlayList_Name), QString::fromUtf8("Caf\xC3\xA9 ") + smile.repeated(54));
}

void LibraryModelTest::emptyTable()
{
    LibraryRecordset rs;
    QAbstractItemModelTester tester(&rs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(rs.RecordCount(), 0);
    QCOMPARE(rs.rowCount(), 0);
    QCOMPARE(errorNumber([&] { rs.MoveFirst(); }), int(RecordsetError::NoRows));
    QCOMPARE(errorNumber([&] { rs.setField(u"ID", QStringLiteral("1")); }), int(RecordsetError::NoCurrentRow));
    QCOMPARE(rs.chapter(u"PlayList"), nullptr);

    rs.AddNew();
    LibraryTrackTable *tracks = rs.chapter(u"PlayList");
    QVERIFY(tracks);
    QCOMPARE(errorNumber([&] { tracks->MoveFirst(); }), int(RecordsetError::NoRows));
    QCOMPARE(errorNumber([&] { tracks->setField(u"TrackName", QStringLiteral("x")); }),
             int(RecordsetError::NoCurrentRow));
    QVERIFY(rs.value(0, LibraryRecordset::ID).isNull());
}

void LibraryModelTest::fieldNamesIgnoreCase()
{
    LibraryRecordset rs;
    rs.AddNew();
    rs.setField(u"id", QStringLiteral("7"));
    rs.setField(u"PLAYLIST_NAME", QStringLiteral("Road"));
    QCOMPARE(rs.field(u"Id"), QStringLiteral("7"));
    QCOMPARE(rs.field(u"playlist_name"), QStringLiteral("Road"));
    QCOMPARE(rs.chapter(u"Playlist"), rs.chapter(u"PLAYLIST"));
    QCOMPARE(errorNumber([&] { rs.setField(u"Name", QStringLiteral("x")); }), int(RecordsetError::UnknownField));
    QCOMPARE(errorNumber([&] { rs.chapter(u"Tracks"); }), int(RecordsetError::UnknownField));

    LibraryTrackTable *tracks = rs.chapter(u"playlist");
    tracks->AddNew();
    tracks->setField(u"trackname", QStringLiteral("Song"));
    QCOMPARE(tracks->field(u"TRACKNAME"), QStringLiteral("Song"));
    QCOMPARE(errorNumber([&] { tracks->setField(u"Genre", QStringLiteral("x")); }), int(RecordsetError::UnknownField));
}

void LibraryModelTest::repeatedValuesReadBackPerRow()
{
    LibraryRecordset rs;
    rs.AddNew();
    LibraryTrackTable *tracks = rs.chapter(u"PlayList");
    const QStringList artists{"A", "A", "B", "A", "", "A"};
    for (const QString &artist : artists) {
        tracks->AddNew();
        tracks->setField(u"ItemID", QStringLiteral("5"));
        tracks->setField(u"Artist", artist);
    }
    // The current row may be written again; only it changes.
    tracks->setField(u"Artist", QStringLiteral("C"));
    QStringList read;
    for (int r = 0; r < tracks->RecordCount(); ++r) {
        read << tracks->value(r, LibraryTrackTable::Artist);
        QCOMPARE(tracks->value(r, LibraryTrackTable::ItemID), QStringLiteral("5"));
    }
    QCOMPARE(read, (QStringList{"A", "A", "B", "A", "", "C"}));
    tracks->MoveFirst();
    QCOMPARE(tracks->field(u"Artist"), QStringLiteral("A"));
}

QTEST_MAIN(LibraryModelTest)
#include "tst_library_model.moc"
