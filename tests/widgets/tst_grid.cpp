// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's members: bands and columns by position, errors, widths in twips,
// colours and the header row of each band, expansion, the selected-cells
// collection, scrolling and binding.
#include "GridTestModel.h"
#include "widgets/TreeGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

using namespace tidyfox::widgets;
using tidyfox::test::makeGridTestModel;

namespace {

int errorNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const GridError &error) {
        return error.number();
    }
    return 0;
}

QModelIndex viewRow(TreeGrid &grid, int row, int child = -1)
{
    QAbstractItemModel *rows = grid.view()->model();
    const QModelIndex top = rows->index(row, 0);
    return child < 0 ? top : rows->index(child, 0, top);
}

GridRow playlistRow(TreeGrid &grid, int playlist)
{
    grid.selection(); // rows are reached through the selection in the grid's API
    grid.view()->selectionModel()->select(viewRow(grid, playlist),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return grid.selection().rows().item(0);
}

} // namespace

class GridTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bandsAndColumnsByPosition();
    void callsThatCannotBeCarriedOutThrow();
    void widthsAreTwips();
    void eachBandPaintsItsOwnHeaderAndColours();
    void hiddenColumnsStayReadable();
    void rowsExpandAndBandCollapses();
    void selectedCellsInGridOrder();
    void scrollsOneRowPerStep();
    void rebindingStartsFreshBandsAndKeepsDataAlive();
    void captionBarAndViewStyle();
};

void GridTest::bandsAndColumnsByPosition()
{
    TreeGrid grid;
    auto model = makeGridTestModel(2, 3);
    grid.setDataSource(model);
    QCOMPARE(grid.bandCount(), 2);
    QCOMPARE(grid.band(0).columnCount(), 2);
    QCOMPARE(grid.band(1).columnCount(), 7);
    QCOMPARE(grid.band(1).column(4).position(), 4);
    QCOMPARE(grid.band(1).column(4).bandIndex(), 1);
    // Captions default to the model's field names; a child band without any are numbered.
    QCOMPARE(grid.band(0).column(1).header().caption(), QStringLiteral("PlayList_Name"));
    QCOMPARE(grid.band(1).column(4).header().caption(), QStringLiteral("5"));
    grid.band(1).column(1).header().setCaption(QStringLiteral("Track Name"));
    QCOMPARE(grid.band(1).column(1).header().caption(), QStringLiteral("Track Name"));

    GridSettings &o = grid.band(1).settings();
    o.setAllowColumnMoving(ColumnMoving::WithinBand);
    o.setAllowDelete(DataChange::Refused);
    o.setRowSelectors(RowSelectors::Shown);
    QCOMPARE(o.allowColumnMoving(), ColumnMoving::WithinBand);
    QCOMPARE(o.allowDelete(), DataChange::Refused);
    QCOMPARE(o.rowSelectors(), RowSelectors::Shown);
    QCOMPARE(grid.band(0).settings().rowSelectors(), RowSelectors::Default);
}

void GridTest::callsThatCannotBeCarriedOutThrow()
{
    TreeGrid grid;
    QCOMPARE(errorNumber([&] { grid.band(0); }), int(GridError::NoDataSource));
    auto model = makeGridTestModel(1, 1);
    grid.setDataSource(model);
    QCOMPARE(errorNumber([&] { grid.band(2); }), int(GridError::BandOutOfRange));
    QCOMPARE(errorNumber([&] { grid.band(-1); }), int(GridError::BandOutOfRange));
    QCOMPARE(errorNumber([&] { grid.band(0).column(2); }), int(GridError::ColumnOutOfRange));
    QCOMPARE(errorNumber([&] { grid.band(1).column(7); }), int(GridError::ColumnOutOfRange));
    QCOMPARE(errorNumber([&] { grid.appearance().setBackColor(QColor()); }), int(GridError::InvalidValue));
    QCOMPARE(errorNumber([&] { grid.band(0).settings().setRowSelectors(static_cast<RowSelectors>(3)); }),
             int(GridError::InvalidValue));
    QCOMPARE(errorNumber([&] { grid.scrollRegion(1); }), int(GridError::ItemOutOfRange));
    QCOMPARE(errorNumber([&] { grid.setStackOrder(static_cast<TreeGrid::StackOrder>(2)); }),
             int(GridError::InvalidValue));
    QCOMPARE(errorNumber([&] { grid.selection().cells().item(0); }), int(GridError::ItemOutOfRange));

    try {
        grid.band(5);
        QFAIL("no error");
    } catch (const GridError &error) {
        QCOMPARE(error.description(), QStringLiteral("The grid has no band 5"));
    }
}

void GridTest::widthsAreTwips()
{
    TreeGrid grid;
    auto model = makeGridTestModel(1, 1);
    grid.setDataSource(model);
    grid.setTwipsPerPixel(15);
    grid.band(0).column(0).setHidden(true);
    grid.band(0).column(1).setWidth(1500);
    for (int c : {0, 2, 3})
        grid.band(1).column(c).setHidden(true);
    grid.band(1).column(1).setWidth(1500);
    grid.band(1).column(4).setWidth(750);
    QCOMPARE(grid.band(1).column(5).width(), TreeGrid::kDefaultColumnWidth);

    // The rows are as wide as the widest band: band 1 is indented twice (12 px
    // each) and holds 100 + 50 + 60 + 60 px of shown columns.
    const int indent = grid.view()->indentation();
    QCOMPARE(grid.view()->header()->sectionSize(0), 2 * indent + 100 + 50 + 60 + 60 + 1);
    grid.setTwipsPerPixel(12);
    QCOMPARE(grid.view()->header()->sectionSize(0), 2 * indent + 125 + 63 + 75 + 75 + 1);
    QCOMPARE(grid.band(1).column(4).width(), 750);
    QCOMPARE(grid.pixelsFromTwips(1440), 120);
    QCOMPARE(grid.twipsFromPixels(120), 1440);
}

void GridTest::eachBandPaintsItsOwnHeaderAndColours()
{
    TreeGrid grid;
    auto model = makeGridTestModel(2, 2);
    grid.setDataSource(model);
    grid.setTwipsPerPixel(15);
    grid.resize(500, 300);
    grid.appearance().setBorderColor(QColor(0, 18, 11));
    for (int band : {0, 1}) {
        GridSettings &o = grid.band(band).settings();
        o.setRowSelectors(RowSelectors::Shown);
        o.headerAppearance().setBackColor(QColor(0, 118, 11));
        o.headerAppearance().setForeColor(QColor(255, 255, 255));
    }
    grid.band(0).settings().rowAppearance().setBackColor(QColor(238, 253, 207));
    grid.band(0).settings().rowSelectorAppearance().setBackColor(QColor(181, 209, 85));
    grid.band(1).settings().rowAppearance().setBackColor(QColor(253, 253, 242));
    grid.band(1).settings().rowSelectorAppearance().setBackColor(QColor(200, 100, 50));
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.view()->expand(viewRow(grid, 0));

    const QImage image = grid.grab().toImage();
    const int h = grid.view()->visualRect(viewRow(grid, 0)).height();
    const int indent = grid.view()->indentation();
    const int selector = 11;
    // Grid coordinates: a 1 px border, band 0's header, then the rows.
    auto at = [&](int band, bool inSelector, int viewRowNumber) {
        const int x = 1 + (band + 1) * indent + (inSelector ? 3 : selector + 1);
        const int y = viewRowNumber < 0 ? 2 : 1 + h + viewRowNumber * h + 1;
        return image.pixelColor(x, y);
    };
    QCOMPARE(image.pixelColor(0, 0), QColor(0, 18, 11));
    QCOMPARE(at(0, false, -1), QColor(0, 118, 11));   // band 0 header
    QCOMPARE(at(0, true, 0), QColor(181, 209, 85));   // playlist row selector
    QCOMPARE(at(0, false, 0), QColor(238, 253, 207)); // playlist row
    QCOMPARE(at(1, false, 1), QColor(0, 118, 11));    // band 1's own header under the open playlist
    QCOMPARE(at(1, true, 2), QColor(200, 100, 50));   // track row selector
    QCOMPARE(at(1, false, 2), QColor(253, 253, 242)); // track row
    QCOMPARE(at(0, false, 4), QColor(238, 253, 207)); // the next playlist, after two tracks

    // The band 1 header row carries its captions in the header's text colour.
    bool whiteText = false;
    const int top = 1 + h + h;
    for (int y = top; y < top + h && !whiteText; ++y)
        for (int x = 1 + 2 * indent + selector; x < 1 + 2 * indent + selector + 60; ++x)
            whiteText = whiteText || image.pixelColor(x, y) == QColor(255, 255, 255);
    QVERIFY(whiteText);
}

void GridTest::hiddenColumnsStayReadable()
{
    TreeGrid grid;
    auto model = makeGridTestModel(2, 2);
    grid.setDataSource(model);
    grid.band(0).column(0).setHidden(true);
    grid.band(1).column(0).setHidden(true);
    grid.band(1).column(2).setHidden(true);
    QVERIFY(grid.band(1).column(2).isHidden());

    grid.view()->selectionModel()->select(viewRow(grid, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.view()->expand(viewRow(grid, 1));
    grid.view()->selectionModel()->select(viewRow(grid, 1, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const GridCells cells = grid.selection().cells();
    QCOMPARE(cells.count(), 2);
    QCOMPARE(cells.item(0).row().cell(0).text(), QStringLiteral("101"));
    QCOMPARE(cells.item(1).row().cell(0).text(), QStringLiteral("101"));
    QCOMPARE(cells.item(1).row().cell(2).text(), QStringLiteral("1001"));
    QCOMPARE(cells.item(1).row().cellCount(), 7);
    QCOMPARE(errorNumber([&] { cells.item(1).row().cell(7); }), int(GridError::ColumnOutOfRange));
}

void GridTest::rowsExpandAndBandCollapses()
{
    TreeGrid grid;
    auto model = makeGridTestModel(3, 2);
    grid.setDataSource(model);
    GridRow first = playlistRow(grid, 0);
    QVERIFY(!first.isExpanded());
    first.expand();
    QVERIFY(first.isExpanded());
    QVERIFY(grid.view()->isExpanded(viewRow(grid, 0)));
    playlistRow(grid, 2).expand();
    first.collapse();
    QVERIFY(!first.isExpanded());

    first.expand();
    grid.band(1).collapse(); // tracks have nothing to close
    QVERIFY(first.isExpanded());
    grid.band(0).collapse();
    for (int p = 0; p < 3; ++p)
        QVERIFY(!grid.view()->isExpanded(viewRow(grid, p)));

    // A track row has nothing to open.
    first.expand();
    grid.view()->selectionModel()->select(viewRow(grid, 0, 1),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    GridRow track = grid.selection().rows().item(0);
    QCOMPARE(track.bandIndex(), 1);
    track.expand();
    QVERIFY(!track.isExpanded());
    track.collapse();
}

void GridTest::selectedCellsInGridOrder()
{
    TreeGrid grid;
    auto model = makeGridTestModel(3, 2);
    grid.setDataSource(model);
    grid.view()->expand(viewRow(grid, 0));
    grid.band(0).column(0).setHidden(true);
    grid.band(1).column(0).setHidden(true);
    auto *selection = grid.view()->selectionModel();
    // Selected in another order than the rows are shown.
    selection->select(viewRow(grid, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(viewRow(grid, 0, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(viewRow(grid, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    GridCells cells = grid.selection().cells();
    QCOMPARE(cells.count(), 3);
    QStringList values;
    for (const GridCell &cell : cells)
        values << cell.text();
    // One cell per row, in each band's first shown column.
    QCOMPARE(values, (QStringList{"Playlist 0", "Track 0.1", "Playlist 2"}));
    QCOMPARE(cells.item(1).bandIndex(), 1);
    QCOMPARE(cells.item(1).position(), 1);
    QVERIFY(cells.item(1).isSelected());

    // Deselecting while walking the collection taken before.
    for (GridCell &cell : cells)
        if (cell.bandIndex() == 0)
            cell.setSelected(false);
    QCOMPARE(cells.count(), 3);
    const GridCells left = grid.selection().cells();
    QCOMPARE(left.count(), 1);
    QCOMPARE(left.item(0).text(), QStringLiteral("Track 0.1"));
    QCOMPARE(errorNumber([&] { left.item(1); }), int(GridError::ItemOutOfRange));
    QCOMPARE(errorNumber([&] { left.item(-1); }), int(GridError::ItemOutOfRange));
}

void GridTest::scrollsOneRowPerStep()
{
    TreeGrid grid;
    auto model = makeGridTestModel(60, 0);
    grid.setDataSource(model);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QScrollBar *bar = grid.view()->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    // 1 moves one row toward the end, 0 one row toward the top.
    grid.scrollRegion(0).scroll(ScrollStep::LineDown);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(grid.view()->indexAt(QPoint(30, 2)), viewRow(grid, 1));
    grid.scrollRegion(0).scroll(ScrollStep::LineDown);
    grid.scrollRegion(0).scroll(ScrollStep::LineUp);
    QCOMPARE(bar->value(), 1);
    grid.scrollRegion(0).scroll(ScrollStep::LineUp);
    grid.scrollRegion(0).scroll(ScrollStep::LineUp); // already at the top
    QCOMPARE(bar->value(), 0);
    QCOMPARE(errorNumber([&] { grid.scrollRegion(0).scroll(static_cast<ScrollStep>(2)); }),
             int(GridError::InvalidValue));
}

void GridTest::rebindingStartsFreshBandsAndKeepsDataAlive()
{
    TreeGrid grid;
    // The rows the view shows (with a header row per open band) stay a sound model throughout.
    QAbstractItemModelTester tester(grid.view()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto model = makeGridTestModel(2, 2);
    std::weak_ptr<QStandardItemModel> watch = model;
    grid.setDataSource(model);
    model.reset();
    QVERIFY(!watch.expired()); // the grid holds the data it shows
    grid.band(0).column(0).setHidden(true);
    grid.appearance().setBackColor(QColor(1, 2, 3));
    const GridRow row = playlistRow(grid, 1);
    QCOMPARE(row.cell(1).text(), QStringLiteral("Playlist 1"));

    // Rows added to the bound data: the settings stay, rows handed out before do not.
    auto *data = static_cast<QStandardItemModel *>(grid.dataSource());
    data->appendRow({new QStandardItem(QStringLiteral("200")), new QStandardItem(QStringLiteral("Added"))});
    QVERIFY(grid.band(0).column(0).isHidden());
    QCOMPARE(grid.view()->model()->rowCount(), 3);
    QCOMPARE(errorNumber([&] { row.cell(1).text(); }), int(GridError::RowNotAvailable));
    QCOMPARE(playlistRow(grid, 2).cell(1).text(), QStringLiteral("Added"));

    grid.setDataSource(nullptr);
    QVERIFY(watch.expired());
    QCOMPARE(errorNumber([&] { row.cell(1).text(); }), int(GridError::RowNotAvailable));
    QCOMPARE(errorNumber([&] { grid.band(0); }), int(GridError::NoDataSource));
    QCOMPARE(grid.dataSource(), nullptr);

    auto other = makeGridTestModel(1, 1);
    grid.setDataSource(other.get()); // not owned
    QVERIFY(!grid.band(0).column(0).isHidden());
    QCOMPARE(grid.appearance().backColor().value_or(QColor()), QColor(1, 2, 3));
    QCOMPARE(grid.view()->model()->rowCount(), 1);
    grid.setDataSource(nullptr);
}

void GridTest::captionBarAndViewStyle()
{
    QWidget window;
    auto *grid = new TreeGrid(&window);
    auto *sibling = new QWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    grid->setCaption(QStringLiteral("Library Contents"));
    QCOMPARE(grid->caption(), QStringLiteral("Library Contents"));
    auto *label = grid->findChild<QLabel *>();
    QVERIFY(label && label->isVisible());
    grid->setCaption(QString());
    QVERIFY(!label->isVisible());

    grid->setStackOrder(TreeGrid::StackOrder::Front);
    QCOMPARE(window.children().last(), grid);
    grid->setStackOrder(TreeGrid::StackOrder::Back);
    QCOMPARE(window.children().last(), sibling);

    auto model = makeGridTestModel(2, 2);
    grid->setDataSource(model);
    QVERIFY(grid->view()->model()->hasChildren(viewRow(*grid, 0)));
    grid->band(1).column(2).setHidden(true);
    grid->setViewStyle(TreeGrid::ViewStyle::SingleBand); // band 0 only
    QVERIFY(!grid->view()->model()->hasChildren(viewRow(*grid, 0)));
    grid->setViewStyle(TreeGrid::ViewStyle::MultiBand);
    QCOMPARE(grid->view()->model()->rowCount(viewRow(*grid, 0)), 3); // the header row and two tracks
    QVERIFY(grid->band(1).column(2).isHidden());                     // settings survive the switch
    QCOMPARE(errorNumber([&] { grid->setViewStyle(static_cast<TreeGrid::ViewStyle>(2)); }),
             int(GridError::InvalidValue));
}

QTEST_MAIN(GridTest)
#include "tst_grid.moc"
