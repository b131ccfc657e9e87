// SPDX-License-Identifier: GPL-3.0-or-later
// What the user does in the grid: activating cells by mouse and keyboard (and
// refusing that), extended selection, double-click, key release, opening rows,
// and the header, Delete and F2 gestures, which must change nothing when
// refused and never touch the data in any case.
#include "GridTestModel.h"
#include "widgets/GridHeaderBar.h"
#include "widgets/TreeGrid.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <memory>

using namespace tidyfox::widgets;
using tidyfox::test::makeGridTestModel;

namespace {

// Band 0 shows ID (50 px) and the name (100 px), band 1 seven 50 px columns;
// no row selectors, so a band's cells start after its indentation.
struct GridFixture
{
    explicit GridFixture(int playlists = 3, int tracks = 2) : model(makeGridTestModel(playlists, tracks))
    {
        grid.setDataSource(model);
        grid.setTwipsPerPixel(15);
        grid.band(0).column(0).setWidth(750);
        grid.band(0).column(1).setWidth(1500);
        for (int c = 0; c < 7; ++c)
            grid.band(1).column(c).setWidth(750);
        grid.resize(600, 300);
        grid.show();
        if (!QTest::qWaitForWindowExposed(&grid))
            qFatal("the grid was not shown");
    }

    QTreeView *view() { return grid.view(); }
    QWidget *viewport() { return grid.view()->viewport(); }
    QModelIndex row(int playlist, int child = -1)
    {
        const QModelIndex top = view()->model()->index(playlist, 0);
        return child < 0 ? top : view()->model()->index(child, 0, top);
    }
    QPoint cell(const QModelIndex &index, int span)
    {
        const int band = index.parent().isValid() ? 1 : 0;
        const int indent = view()->indentation();
        const int x = (band + 1) * indent + (band == 0 && span == 1 ? 50 + 50 : 50 * span + 25);
        return {x, view()->visualRect(index).center().y()};
    }
    GridHeaderBar *headerBar() { return grid.findChild<GridHeaderBar *>(); }
    QPoint headerCell(int span) { return {view()->indentation() + (span == 0 ? 25 : 100), headerBar()->height() / 2}; }
    void click(const QModelIndex &index, int span, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(viewport(), Qt::LeftButton, modifiers, cell(index, span));
    }
    void drag(QWidget *widget, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(widget, Qt::LeftButton, modifiers, from);
        QTest::mouseMove(widget, (from + to) / 2);
        QTest::mouseMove(widget, to);
        QTest::mouseRelease(widget, Qt::LeftButton, modifiers, to);
    }
    QStringList selectedValues()
    {
        QStringList values;
        for (const GridCell &c : grid.selection().cells())
            values << c.text();
        return values;
    }

    std::shared_ptr<QStandardItemModel> model;
    TreeGrid grid;
};

// What the window does with the refusable gestures.
void refuseLikeTheWindow(TreeGrid &grid, int &requests)
{
    grid.setColumnMoveGuard([&requests](const GridColumn &, const GridColumn &) {
        ++requests;
        return false;
    });
    QObject::connect(&grid, &TreeGrid::rowDeletionRequested, &grid, [&requests] { ++requests; });
    QObject::connect(&grid, &TreeGrid::editRequested, &grid, [&requests] { ++requests; });
}

} // namespace

class GridGestureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clickAsksBeforeActivating();
    void refusedActivationChangesNothing();
    void keyboardMovesSkipHeaderRows();
    void shiftArrowsSelectAcrossPlaylists();
    void doubleClickAndMarker();
    void keyReleaseReportsKeyAndShift();
    void refusedGesturesChangeNothing();
    void unhandledGesturesNeverTouchData();
    void headerEdgeResizes();
};

void GridGestureTest::clickAsksBeforeActivating()
{
    GridFixture f;
    struct Seen
    {
        QString value;
        int band;
        int position;
        bool alreadySelected;
        bool alreadyActive;
    };
    std::vector<Seen> seen;
    connect(&f.grid, &TreeGrid::cellActivating, this, [&](const GridCell &cell) {
        seen.push_back(
            {cell.text(), cell.bandIndex(), cell.position(), cell.row().isSelected(), f.grid.activeCell() == cell});
    });

    f.click(f.row(1), 1);
    QCOMPARE(seen.size(), size_t(1));
    QCOMPARE(seen[0].value, QStringLiteral("Playlist 1"));
    QCOMPARE(seen[0].band, 0);
    QCOMPARE(seen[0].position, 1);
    QVERIFY(!seen[0].alreadySelected);
    QVERIFY(!seen[0].alreadyActive);
    QCOMPARE(f.grid.activeCell().text(), QStringLiteral("Playlist 1"));
    QCOMPARE(f.selectedValues(), QStringList{"Playlist 1"});

    f.click(f.row(1), 1); // already the active cell
    QCOMPARE(seen.size(), size_t(1));
    f.click(f.row(1), 0); // another cell of the row
    QCOMPARE(seen.size(), size_t(2));
    QCOMPARE(seen[1].value, QStringLiteral("101"));
    QCOMPARE(f.selectedValues(), QStringList{"101"});
}

void GridGestureTest::refusedActivationChangesNothing()
{
    GridFixture f;
    f.click(f.row(0), 1);
    int asked = 0;
    f.grid.setActivationGuard([&](const GridCell &) {
        ++asked;
        return false;
    });
    f.click(f.row(2), 1);
    QTest::keyClick(f.view(), Qt::Key_Down);
    QTest::keyClick(f.view(), Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(f.view(), Qt::Key_Left);
    QCOMPARE(asked, 4);
    QCOMPARE(f.selectedValues(), QStringList{"Playlist 0"});
    QCOMPARE(f.grid.activeCell().text(), QStringLiteral("Playlist 0"));
    QCOMPARE(f.view()->currentIndex(), f.row(0));
}

void GridGestureTest::keyboardMovesSkipHeaderRows()
{
    GridFixture f;
    f.view()->expand(f.row(0));
    f.click(f.row(0), 1);
    std::vector<QString> names;
    connect(&f.grid, &TreeGrid::cellActivating, this,
            [&](const GridCell &cell) { names.push_back(cell.row().cell(1).text()); });

    QTest::keyClick(f.view(), Qt::Key_Down);
    QCOMPARE(f.view()->currentIndex(), f.row(0, 1)); // past band 1's header row
    QCOMPARE(f.grid.activeCell().bandIndex(), 1);
    QCOMPARE(f.grid.activeCell().position(), 0);
    QTest::keyClick(f.view(), Qt::Key_Right);
    QCOMPARE(f.grid.activeCell().position(), 1);
    QCOMPARE(f.grid.activeCell().text(), QStringLiteral("Track 0.0"));
    QTest::keyClick(f.view(), Qt::Key_Up);
    QCOMPARE(f.view()->currentIndex(), f.row(0));
    QCOMPARE(names, (std::vector<QString>{"Track 0.0", "Track 0.0", "Playlist 0"}));
    QCOMPARE(f.selectedValues(), QStringList{"Playlist 0"});
}

void GridGestureTest::shiftArrowsSelectAcrossPlaylists()
{
    GridFixture f;
    f.grid.band(1).column(0).setHidden(true);
    f.view()->expand(f.row(0));
    f.click(f.row(0, 2), 0); // the last track of playlist 0
    QTest::keyClick(f.view(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(f.view(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(f.selectedValues(), (QStringList{"Track 0.1", "101", "102"}));
    std::vector<int> bands;
    for (const GridCell &cell : f.grid.selection().cells())
        bands.push_back(cell.bandIndex());
    QCOMPARE(bands, (std::vector<int>{1, 0, 0}));

    f.click(f.row(0), 1, Qt::ControlModifier);
    QCOMPARE(f.grid.selection().cells().count(), 4);
    QCOMPARE(f.grid.selection().cells().item(0).text(), QStringLiteral("Playlist 0"));
}

void GridGestureTest::doubleClickAndMarker()
{
    GridFixture f;
    QSignalSpy dblClicks(&f.grid, &TreeGrid::doubleClicked);
    int activations = 0;
    connect(&f.grid, &TreeGrid::cellActivating, this, [&] { ++activations; });
    // The first click of a double-click, then the second press as a double-click.
    f.click(f.row(1), 1);
    QTest::mouseDClick(f.viewport(), Qt::LeftButton, {}, f.cell(f.row(1), 1));
    QCOMPARE(dblClicks.count(), 1);
    QCOMPARE(activations, 1);
    QVERIFY(!f.view()->isExpanded(f.row(1))); // opening is the handler's business

    // The marker left of a playlist opens and closes it without activating anything.
    const QPoint marker(f.view()->indentation() / 2, f.cell(f.row(0), 1).y());
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, marker);
    QVERIFY(f.view()->isExpanded(f.row(0)));
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, marker);
    QVERIFY(!f.view()->isExpanded(f.row(0)));
    QCOMPARE(activations, 1);
    QCOMPARE(f.selectedValues(), QStringList{"Playlist 1"});
}

void GridGestureTest::keyReleaseReportsKeyAndShift()
{
    GridFixture f;
    QSignalSpy released(&f.grid, &TreeGrid::keyReleased);
    QTest::keyClick(f.view(), Qt::Key_A, Qt::ShiftModifier);
    QTest::keyClick(f.view(), Qt::Key_Down, Qt::ControlModifier);
    // The modifier keys report their own releases too.
    std::vector<std::pair<int, int>> keys;
    for (const QList<QVariant> &args : released)
        keys.emplace_back(args.at(0).toInt(), args.at(1).toInt());
    QVERIFY(std::find(keys.begin(), keys.end(), std::pair<int, int>(Qt::Key_A, 1)) != keys.end());
    QVERIFY(std::find(keys.begin(), keys.end(), std::pair<int, int>(Qt::Key_Down, 2)) != keys.end());
    QCOMPARE(keys.size(), size_t(4));
}

void GridGestureTest::refusedGesturesChangeNothing()
{
    GridFixture f;
    f.view()->expand(f.row(0));
    f.click(f.row(0, 1), 1);
    f.view()->setFocus();
    int requests = 0;
    refuseLikeTheWindow(f.grid, requests);
    const QImage before = f.grid.grab().toImage();

    f.drag(f.headerBar(), f.headerCell(0), f.headerCell(1));
    const QModelIndex bandHeader = f.row(0, 0);
    f.drag(f.viewport(), f.cell(bandHeader, 1), f.cell(bandHeader, 4));
    f.drag(f.viewport(), f.cell(bandHeader, 4), f.cell(bandHeader, 2), Qt::ControlModifier);
    QTest::keyClick(f.view(), Qt::Key_Delete);
    QTest::keyClick(f.view(), Qt::Key_F2);

    QCOMPARE(requests, 5);
    QCOMPARE(f.grid.band(0).displayOrder(), (std::vector<int>{0, 1}));
    QCOMPARE(f.grid.band(1).displayOrder(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    QCOMPARE(f.model->rowCount(), 3);
    QCOMPARE(f.model->rowCount(f.model->index(0, 0)), 2);
    QVERIFY(f.viewport()->findChildren<QLineEdit *>().isEmpty()); // no editor opened
    QCOMPARE(f.grid.grab().toImage(), before);
}

void GridGestureTest::unhandledGesturesNeverTouchData()
{
    GridFixture f;
    f.view()->expand(f.row(0));
    f.click(f.row(0, 1), 1);
    int deletes = 0;
    connect(&f.grid, &TreeGrid::rowDeletionRequested, this, [&](const GridRows &rows, int band) {
        ++deletes;
        QCOMPARE(rows.count(), 1);
        QCOMPARE(band, 1);
    });
    int edits = 0;
    connect(&f.grid, &TreeGrid::editRequested, this, [&](const GridCell &cell) {
        ++edits;
        QCOMPARE(cell.text(), QStringLiteral("Track 0.0"));
        QCOMPARE(cell.position(), 1);
    });

    // Nobody refuses: the columns move (a swap with Ctrl) ...
    f.drag(f.headerBar(), f.headerCell(0), f.headerCell(1));
    QCOMPARE(f.grid.band(0).displayOrder(), (std::vector<int>{1, 0}));
    const QModelIndex bandHeader = f.row(0, 0);
    f.drag(f.viewport(), f.cell(bandHeader, 1), f.cell(bandHeader, 4), Qt::ControlModifier);
    QCOMPARE(f.grid.band(1).displayOrder(), (std::vector<int>{0, 4, 2, 3, 1, 5, 6}));
    // ... but not where the band forbids it.
    f.grid.band(1).settings().setAllowColumnMoving(ColumnMoving::Never);
    f.drag(f.viewport(), f.cell(bandHeader, 0), f.cell(bandHeader, 3));
    QCOMPARE(f.grid.band(1).displayOrder(), (std::vector<int>{0, 4, 2, 3, 1, 5, 6}));

    // ... and nothing is deleted or edited.
    QTest::keyClick(f.view(), Qt::Key_Delete);
    QTest::keyClick(f.view(), Qt::Key_F2);
    QCOMPARE(deletes, 1);
    QCOMPARE(edits, 1);
    QCOMPARE(f.model->rowCount(f.model->index(0, 0)), 2);
    QCOMPARE(f.model->index(0, 1, f.model->index(0, 0)).data().toString(), QStringLiteral("Track 0.0"));
    QVERIFY(f.viewport()->findChildren<QLineEdit *>().isEmpty()); // no editor opened
}

void GridGestureTest::headerEdgeResizes()
{
    GridFixture f;
    const int edge = f.view()->indentation() + 150; // right edge of the name column
    const int y = f.headerBar()->height() / 2;
    f.drag(f.headerBar(), {edge, y}, {edge + 30, y});
    QCOMPARE(f.grid.band(0).column(1).width(), (100 + 30) * 15);

    f.grid.settings().setAllowColumnSizing(ColumnSizing::Fixed);
    f.drag(f.headerBar(), {edge + 30, y}, {edge + 60, y});
    QCOMPARE(f.grid.band(0).column(1).width(), (100 + 30) * 15);
}

QTEST_MAIN(GridGestureTest)
#include "tst_grid_gestures.moc"
