// The grid's members: bands and columns by position, errors, widths in twips,
// colours and the header row of each band, expansion, the selected-cells
// collection, scrolling and binding.
#include "GridTestModel.h"
#include "platform/UltraGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

using namespace tidyfox::platform;
using tidyfox::test::makeGridTestModel;

namespace {

constexpr int rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

int errorNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const GridError &error) {
        return error.number();
    }
    return 0;
}

QModelIndex viewRow(UltraGrid &grid, int row, int child = -1)
{
    QAbstractItemModel *rows = grid.view()->model();
    const QModelIndex top = rows->index(row, 0);
    return child < 0 ? top : rows->index(child, 0, top);
}

UGRow playlistRow(UltraGrid &grid, int playlist)
{
    grid.Selected(); // rows are reached through the selection in the grid's API
    grid.view()->selectionModel()->select(viewRow(grid, playlist),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return grid.Selected().Rows().Item(0);
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
    UltraGrid grid;
    auto model = makeGridTestModel(2, 3);
    grid.setDataSource(model);
    QCOMPARE(grid.BandCount(), 2);
    QCOMPARE(grid.Bands(0).ColumnCount(), 2);
    QCOMPARE(grid.Bands(1).ColumnCount(), 7);
    QCOMPARE(grid.Bands(1).Columns(4).Position(), 4);
    QCOMPARE(grid.Bands(1).Columns(4).BandIndex(), 1);
    // Captions default to the model's field names; a child band without any are numbered.
    QCOMPARE(grid.Bands(0).Columns(1).Header().Caption(), QStringLiteral("PlayList_Name"));
    QCOMPARE(grid.Bands(1).Columns(4).Header().Caption(), QStringLiteral("5"));
    grid.Bands(1).Columns(1).Header().setCaption(QStringLiteral("Track Name"));
    QCOMPARE(grid.Bands(1).Columns(1).Header().Caption(), QStringLiteral("Track Name"));

    UGOverride &o = grid.Bands(1).Override();
    o.setAllowColMoving(1);
    o.setAllowDelete(2);
    o.setRowSelectors(2);
    QCOMPARE(o.AllowColMoving(), 1);
    QCOMPARE(o.AllowDelete(), 2);
    QCOMPARE(o.RowSelectors(), 2);
    QCOMPARE(grid.Bands(0).Override().RowSelectors(), 0);
}

void GridTest::callsThatCannotBeCarriedOutThrow()
{
    UltraGrid grid;
    QCOMPARE(errorNumber([&] { grid.Bands(0); }), int(GridError::NoDataSource));
    auto model = makeGridTestModel(1, 1);
    grid.setDataSource(model);
    QCOMPARE(errorNumber([&] { grid.Bands(2); }), int(GridError::BandOutOfRange));
    QCOMPARE(errorNumber([&] { grid.Bands(-1); }), int(GridError::BandOutOfRange));
    QCOMPARE(errorNumber([&] { grid.Bands(0).Columns(2); }), int(GridError::ColumnOutOfRange));
    QCOMPARE(errorNumber([&] { grid.Bands(1).Columns(7); }), int(GridError::ColumnOutOfRange));
    QCOMPARE(errorNumber([&] { grid.Appearance().setBackColor(0x1000000); }), int(GridError::InvalidValue));
    QCOMPARE(errorNumber([&] { grid.Bands(0).Override().setRowSelectors(3); }), int(GridError::InvalidValue));
    QCOMPARE(errorNumber([&] { grid.ScrollRegions(1); }), int(GridError::ItemOutOfRange));
    QCOMPARE(errorNumber([&] { grid.ZOrder(2); }), int(GridError::InvalidValue));
    QCOMPARE(errorNumber([&] { grid.Selected().Cells().Item(0); }), int(GridError::ItemOutOfRange));

    try {
        grid.Bands(5);
        QFAIL("no error");
    } catch (const GridError &error) {
        QCOMPARE(error.description(), QStringLiteral("The grid has no band 5"));
    }
}

void GridTest::widthsAreTwips()
{
    UltraGrid grid;
    auto model = makeGridTestModel(1, 1);
    grid.setDataSource(model);
    grid.setTwipsPerPixel(15);
    grid.Bands(0).Columns(0).setHidden(true);
    grid.Bands(0).Columns(1).setWidth(1500);
    for (int c : {0, 2, 3})
        grid.Bands(1).Columns(c).setHidden(true);
    grid.Bands(1).Columns(1).setWidth(1500);
    grid.Bands(1).Columns(4).setWidth(750);
    QCOMPARE(grid.Bands(1).Columns(5).Width(), UltraGrid::kDefaultColumnWidth);

    // The rows are as wide as the widest band: band 1 is indented twice (12 px
    // each) and holds 100 + 50 + 60 + 60 px of shown columns.
    const int indent = grid.view()->indentation();
    QCOMPARE(grid.view()->header()->sectionSize(0), 2 * indent + 100 + 50 + 60 + 60 + 1);
    grid.setTwipsPerPixel(12);
    QCOMPARE(grid.view()->header()->sectionSize(0), 2 * indent + 125 + 63 + 75 + 75 + 1);
    QCOMPARE(grid.Bands(1).Columns(4).Width(), 750);
    QCOMPARE(grid.pixelsFromTwips(1440), 120);
    QCOMPARE(grid.twipsFromPixels(120), 1440);
}

void GridTest::eachBandPaintsItsOwnHeaderAndColours()
{
    UltraGrid grid;
    auto model = makeGridTestModel(2, 2);
    grid.setDataSource(model);
    grid.setTwipsPerPixel(15);
    grid.resize(500, 300);
    grid.Appearance().setBorderColor(rgb(0, 18, 11));
    for (int band : {0, 1}) {
        UGOverride &o = grid.Bands(band).Override();
        o.setRowSelectors(2);
        o.HeaderAppearance().setBackColor(rgb(0, 118, 11));
        o.HeaderAppearance().setForeColor(rgb(255, 255, 255));
    }
    grid.Bands(0).Override().RowAppearance().setBackColor(rgb(238, 253, 207));
    grid.Bands(0).Override().RowSelectorAppearance().setBackColor(rgb(181, 209, 85));
    grid.Bands(1).Override().RowAppearance().setBackColor(rgb(253, 253, 242));
    grid.Bands(1).Override().RowSelectorAppearance().setBackColor(rgb(200, 100, 50));
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
    UltraGrid grid;
    auto model = makeGridTestModel(2, 2);
    grid.setDataSource(model);
    grid.Bands(0).Columns(0).setHidden(true);
    grid.Bands(1).Columns(0).setHidden(true);
    grid.Bands(1).Columns(2).setHidden(true);
    QVERIFY(grid.Bands(1).Columns(2).Hidden());

    grid.view()->selectionModel()->select(viewRow(grid, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.view()->expand(viewRow(grid, 1));
    grid.view()->selectionModel()->select(viewRow(grid, 1, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const UGCells cells = grid.Selected().Cells();
    QCOMPARE(cells.Count(), 2);
    QCOMPARE(cells.Item(0).Row().Cell(0).Value(), QStringLiteral("101"));
    QCOMPARE(cells.Item(1).Row().Cell(0).Value(), QStringLiteral("101"));
    QCOMPARE(cells.Item(1).Row().Cell(2).Value(), QStringLiteral("1001"));
    QCOMPARE(cells.Item(1).Row().CellCount(), 7);
    QCOMPARE(errorNumber([&] { cells.Item(1).Row().Cell(7); }), int(GridError::ColumnOutOfRange));
}

void GridTest::rowsExpandAndBandCollapses()
{
    UltraGrid grid;
    auto model = makeGridTestModel(3, 2);
    grid.setDataSource(model);
    UGRow first = playlistRow(grid, 0);
    QVERIFY(!first.Expanded());
    first.Expand();
    QVERIFY(first.Expanded());
    QVERIFY(grid.view()->isExpanded(viewRow(grid, 0)));
    playlistRow(grid, 2).Expand();
    first.Collapse();
    QVERIFY(!first.Expanded());

    first.Expand();
    grid.Bands(1).Collapse(); // tracks have nothing to close
    QVERIFY(first.Expanded());
    grid.Bands(0).Collapse();
    for (int p = 0; p < 3; ++p)
        QVERIFY(!grid.view()->isExpanded(viewRow(grid, p)));

    // A track row has nothing to open.
    first.Expand();
    grid.view()->selectionModel()->select(viewRow(grid, 0, 1),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    UGRow track = grid.Selected().Rows().Item(0);
    QCOMPARE(track.BandIndex(), 1);
    track.Expand();
    QVERIFY(!track.Expanded());
    track.Collapse();
}

void GridTest::selectedCellsInGridOrder()
{
    UltraGrid grid;
    auto model = makeGridTestModel(3, 2);
    grid.setDataSource(model);
    grid.view()->expand(viewRow(grid, 0));
    grid.Bands(0).Columns(0).setHidden(true);
    grid.Bands(1).Columns(0).setHidden(true);
    auto *selection = grid.view()->selectionModel();
    // Selected in another order than the rows are shown.
    selection->select(viewRow(grid, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(viewRow(grid, 0, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(viewRow(grid, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    UGCells cells = grid.Selected().Cells();
    QCOMPARE(cells.Count(), 3);
    QStringList values;
    for (const UGCell &cell : cells)
        values << cell.Value();
    // One cell per row, in each band's first shown column.
    QCOMPARE(values, (QStringList{"Playlist 0", "Track 0.1", "Playlist 2"}));
    QCOMPARE(cells.Item(1).BandIndex(), 1);
    QCOMPARE(cells.Item(1).Position(), 1);
    QVERIFY(cells.Item(1).Selected());

    // Deselecting while walking the collection taken before.
    for (UGCell &cell : cells)
        if (cell.BandIndex() == 0)
            cell.setSelected(false);
    QCOMPARE(cells.Count(), 3);
    const UGCells left = grid.Selected().Cells();
    QCOMPARE(left.Count(), 1);
    QCOMPARE(left.Item(0).Value(), QStringLiteral("Track 0.1"));
    QCOMPARE(errorNumber([&] { left.Item(1); }), int(GridError::ItemOutOfRange));
    QCOMPARE(errorNumber([&] { left.Item(-1); }), int(GridError::ItemOutOfRange));
}

void GridTest::scrollsOneRowPerStep()
{
    UltraGrid grid;
    auto model = makeGridTestModel(60, 0);
    grid.setDataSource(model);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QScrollBar *bar = grid.view()->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    // 1 moves one row toward the end, 0 one row toward the top.
    grid.ScrollRegions(0).Scroll(1);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(grid.view()->indexAt(QPoint(30, 2)), viewRow(grid, 1));
    grid.ScrollRegions(0).Scroll(1);
    grid.ScrollRegions(0).Scroll(0);
    QCOMPARE(bar->value(), 1);
    grid.ScrollRegions(0).Scroll(0);
    grid.ScrollRegions(0).Scroll(0); // already at the top
    QCOMPARE(bar->value(), 0);
    QCOMPARE(errorNumber([&] { grid.ScrollRegions(0).Scroll(2); }), int(GridError::InvalidValue));
}

void GridTest::rebindingStartsFreshBandsAndKeepsDataAlive()
{
    UltraGrid grid;
    // The rows the view shows (with a header row per open band) stay a sound model throughout.
    QAbstractItemModelTester tester(grid.view()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto model = makeGridTestModel(2, 2);
    std::weak_ptr<QStandardItemModel> watch = model;
    grid.setDataSource(model);
    model.reset();
    QVERIFY(!watch.expired()); // the grid holds the data it shows
    grid.Bands(0).Columns(0).setHidden(true);
    grid.Appearance().setBackColor(rgb(1, 2, 3));
    const UGRow row = playlistRow(grid, 1);
    QCOMPARE(row.Cell(1).Value(), QStringLiteral("Playlist 1"));

    // Rows added to the bound data: the settings stay, rows handed out before do not.
    auto *data = static_cast<QStandardItemModel *>(grid.DataSource());
    data->appendRow({new QStandardItem(QStringLiteral("200")), new QStandardItem(QStringLiteral("Added"))});
    QVERIFY(grid.Bands(0).Columns(0).Hidden());
    QCOMPARE(grid.view()->model()->rowCount(), 3);
    QCOMPARE(errorNumber([&] { row.Cell(1).Value(); }), int(GridError::RowNotAvailable));
    QCOMPARE(playlistRow(grid, 2).Cell(1).Value(), QStringLiteral("Added"));

    grid.setDataSource(nullptr);
    QVERIFY(watch.expired());
    QCOMPARE(errorNumber([&] { row.Cell(1).Value(); }), int(GridError::RowNotAvailable));
    QCOMPARE(errorNumber([&] { grid.Bands(0); }), int(GridError::NoDataSource));
    QCOMPARE(grid.DataSource(), nullptr);

    auto other = makeGridTestModel(1, 1);
    grid.setDataSource(other.get()); // not owned
    QVERIFY(!grid.Bands(0).Columns(0).Hidden());
    QCOMPARE(grid.Appearance().BackColor(), rgb(1, 2, 3));
    QCOMPARE(grid.view()->model()->rowCount(), 1);
    grid.setDataSource(nullptr);
}

void GridTest::captionBarAndViewStyle()
{
    QWidget window;
    auto *grid = new UltraGrid(&window);
    auto *sibling = new QWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    grid->setCaption(QStringLiteral("Library Contents"));
    QCOMPARE(grid->Caption(), QStringLiteral("Library Contents"));
    auto *label = grid->findChild<QLabel *>();
    QVERIFY(label && label->isVisible());
    grid->setCaption(QString());
    QVERIFY(!label->isVisible());

    grid->ZOrder(0);
    QCOMPARE(window.children().last(), grid);
    grid->ZOrder(1);
    QCOMPARE(window.children().last(), sibling);

    auto model = makeGridTestModel(2, 2);
    grid->setDataSource(model);
    QVERIFY(grid->view()->model()->hasChildren(viewRow(*grid, 0)));
    grid->Bands(1).Columns(2).setHidden(true);
    grid->setViewStyle(0); // band 0 only
    QVERIFY(!grid->view()->model()->hasChildren(viewRow(*grid, 0)));
    grid->setViewStyle(1);
    QCOMPARE(grid->view()->model()->rowCount(viewRow(*grid, 0)), 3); // the header row and two tracks
    QVERIFY(grid->Bands(1).Columns(2).Hidden());                     // settings survive the switch
    QCOMPARE(errorNumber([&] { grid->setViewStyle(2); }), int(GridError::InvalidValue));
}

QTEST_MAIN(GridTest)
#include "tst_grid.moc"
