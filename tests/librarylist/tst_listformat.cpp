// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's presentation of the library: what shows and how, the same look
// after every load, every playlist closed after binding, and the alert when a
// setting fails.
#include "LibraryTestData.h"
#include "librarylist/LibraryListFormat.h"
#include "widgets/TreeGrid.h"

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTreeView>

using namespace tidyfox::librarylist;
using tidyfox::AlertKind;
using namespace tidyfox::widgets;
using tidyfox::test::sampleRecordset;

namespace {

struct Alert
{
    QString text;
    int kind;
    QString title;
};

struct Formatted
{
    Formatted()
    {
        // The window's grid: 4400 x 3435 twips at 15 twips per pixel.
        grid.setTwipsPerPixel(15);
        grid.resize(293, 229);
        grid.setCaption(QStringLiteral("Library Contents"));
    }
    bool format(const std::shared_ptr<LibraryListModel> &rs)
    {
        return formatLibraryList(grid, rs, [this](const QString &text, AlertKind kind, const QString &title) {
            alerts.push_back({text, static_cast<int>(kind), title});
        });
    }
    QModelIndex row(int playlist, int child = -1)
    {
        const QModelIndex top = grid.view()->model()->index(playlist, 0);
        return child < 0 ? top : grid.view()->model()->index(child, 0, top);
    }
    // The picture once the view has laid out its rows and scroll bars.
    QImage picture()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return grid.grab().toImage();
    }
    void show()
    {
        grid.show();
        if (!QTest::qWaitForWindowExposed(&grid))
            qFatal("the grid was not shown");
    }

    TreeGrid grid;
    std::vector<Alert> alerts;
};

} // namespace

class FormatGridTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void givesTheGridItsLook();
    void hiddenFieldsStayReadable();
    void everyLoadLooksTheSameAndStartsClosed();
    void aRefusedSettingEndsWithTheAlert();
    void emptyLibrary();
};

void FormatGridTest::givesTheGridItsLook()
{
    Formatted f;
    QVERIFY(f.format(sampleRecordset()));
    QVERIFY(f.alerts.empty());
    TreeGrid &g = f.grid;
    QCOMPARE(g.caption(), QString());
    QCOMPARE(g.viewStyle(), TreeGrid::ViewStyle::MultiBand);

    // Only the names, and the tracks' name, time, artist and album, show.
    QVERIFY(g.band(0).column(0).isHidden());
    QVERIFY(!g.band(0).column(1).isHidden());
    for (int c = 0; c < 7; ++c)
        QCOMPARE(g.band(1).column(c).isHidden(), c == 0 || c == 2 || c == 3);
    QCOMPARE(g.band(0).column(1).header().caption(), QStringLiteral("Library Play Lists"));
    QCOMPARE(g.band(1).column(1).header().caption(), QStringLiteral("Track Name"));
    QCOMPARE(g.band(1).column(4).header().caption(), QStringLiteral("Time"));
    QCOMPARE(g.band(1).column(5).header().caption(), QStringLiteral("Artist"));
    QCOMPARE(g.band(1).column(6).header().caption(), QStringLiteral("Album"));
    QCOMPARE(g.band(0).column(1).width(), 3500);
    QCOMPARE(g.band(1).column(1).width(), 1000);
    QCOMPARE(g.band(1).column(4).width(), 650);
    QCOMPARE(g.band(1).column(5).width(), TreeGrid::kDefaultColumnWidth);
    QCOMPARE(g.band(0).column(1).displayEllipses(), Ellipsis::Shown);
    QCOMPARE(g.band(1).column(6).activation(), CellActivation::NoEdit);
    QCOMPARE(g.band(0).settings().allowUpdate(), DataChange::Default);
    QCOMPARE(g.band(1).settings().allowUpdate(), DataChange::Refused);
    QCOMPARE(g.settings().allowColumnSizing(), ColumnSizing::Free);
    QCOMPARE(g.band(1).settings().rowAppearance().foreColor().value_or(QColor()), QColor(1, 82, 9));
    QVERIFY(!g.band(0).settings().rowAppearance().foreColor().has_value());
    QCOMPARE(g.band(0).settings().rowSelectorAppearance().backColor().value_or(QColor()), QColor(181, 209, 85));
    QCOMPARE(g.band(0).settings().rowSelectors(), RowSelectors::Shown);

    // On screen: the design-time caption is gone, the playlist band's header is green.
    f.show();
    QVERIFY(!g.findChild<QLabel *>()->isVisible());
    const QImage image = g.grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(0, 18, 11));
    QCOMPARE(image.pixelColor(1 + g.view()->indentation() + 11 + 2, 2), QColor(0, 118, 11));
}

void FormatGridTest::hiddenFieldsStayReadable()
{
    Formatted f;
    QVERIFY(f.format(sampleRecordset()));
    f.grid.view()->expand(f.row(1));
    f.grid.view()->selectionModel()->select(f.row(1, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.grid.view()->selectionModel()->select(f.row(2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const GridCells cells = f.grid.selection().cells();
    QCOMPARE(cells.count(), 2);
    QCOMPARE(cells.item(0).text(), QStringLiteral("Café Nocturne"));
    QCOMPARE(cells.item(0).row().cell(0).text(), QStringLiteral("2"));
    QCOMPARE(cells.item(0).row().cell(2).text(), QStringLiteral("14"));
    QCOMPARE(cells.item(0).row().cell(3).text(), QString());
    QCOMPARE(cells.item(1).text(), QStringLiteral("Long listening"));
    QCOMPARE(cells.item(1).row().cell(0).text(), QStringLiteral("3"));
}

void FormatGridTest::everyLoadLooksTheSameAndStartsClosed()
{
    Formatted f;
    f.show();
    QVERIFY(f.format(sampleRecordset()));
    const QImage first = f.picture();

    // The user opens playlists and changes a column; the next load formats a new model.
    f.grid.view()->expand(f.row(0));
    f.grid.view()->expand(f.row(2));
    f.grid.band(1).column(5).setWidth(2000);
    QVERIFY(f.format(sampleRecordset()));
    for (int p = 0; p < 4; ++p)
        QVERIFY(!f.grid.view()->isExpanded(f.row(p)));
    QCOMPARE(f.grid.band(1).column(5).width(), TreeGrid::kDefaultColumnWidth);
    QCOMPARE(f.picture(), first);

    // And formatting the same model again.
    auto same = sampleRecordset();
    QVERIFY(f.format(same));
    QVERIFY(f.format(same));
    QCOMPARE(f.picture(), first);
    QVERIFY(f.alerts.empty());

    // The look of an opened playlist, for a person to check.
    if (const QString folder = qEnvironmentVariable("TIDYFOX_GRID_SHOTS"); !folder.isEmpty()) {
        f.grid.view()->expand(f.row(0));
        f.grid.view()->selectionModel()->select(f.row(0, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QDir().mkpath(folder);
        QVERIFY(f.grid.grab().save(folder + QStringLiteral("/formatted-grid.png")));
    }
}

void FormatGridTest::aRefusedSettingEndsWithTheAlert()
{
    Formatted f;
    // With no model the first band setting fails; what came before it stays.
    QVERIFY(!f.format(nullptr));
    QCOMPARE(f.alerts.size(), size_t(1));
    QCOMPARE(
        f.alerts[0].text,
        QStringLiteral("An error occured while formatting library List\r30001:No data source is bound to the grid"));
    QCOMPARE(f.alerts[0].kind, 16);
    QCOMPARE(f.alerts[0].title, QStringLiteral("Tidyfox"));
    QCOMPARE(f.grid.caption(), QString());
    QCOMPARE(f.grid.dataSource(), nullptr);
    QCOMPARE(f.grid.settings().allowColumnSizing(), ColumnSizing::Default);
    QVERIFY(!f.grid.appearance().backColor().has_value());

    // A later load formats normally.
    QVERIFY(f.format(sampleRecordset()));
    QCOMPARE(f.alerts.size(), size_t(1));
}

void FormatGridTest::emptyLibrary()
{
    Formatted f;
    auto rs = std::make_shared<LibraryListModel>();
    QVERIFY(f.format(rs));
    QVERIFY(f.alerts.empty());
    QCOMPARE(f.grid.view()->model()->rowCount(), 0);
    QCOMPARE(f.grid.band(1).column(4).width(), 650);
}

QTEST_MAIN(FormatGridTest)
#include "tst_listformat.moc"
