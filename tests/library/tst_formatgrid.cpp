// The grid's presentation of the library: what shows and how, the same look
// after every load, every playlist closed after binding, and the alert when a
// setting fails.
#include "LibraryTestData.h"
#include "library/FormatGrid.h"
#include "platform/UltraGrid.h"

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTreeView>

using namespace tidyfox::library;
using namespace tidyfox::platform;
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
    bool format(const std::shared_ptr<LibraryRecordset> &rs)
    {
        return FormatGrid(grid, rs, [this](const QString &text, int kind, const QString &title) {
            alerts.push_back({text, kind, title});
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

    UltraGrid grid;
    std::vector<Alert> alerts;
};

constexpr int rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

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
    UltraGrid &g = f.grid;
    QCOMPARE(g.Caption(), QString());
    QCOMPARE(g.ViewStyle(), 1);

    // Only the names, and the tracks' name, time, artist and album, show.
    QVERIFY(g.Bands(0).Columns(0).Hidden());
    QVERIFY(!g.Bands(0).Columns(1).Hidden());
    for (int c = 0; c < 7; ++c)
        QCOMPARE(g.Bands(1).Columns(c).Hidden(), c == 0 || c == 2 || c == 3);
    QCOMPARE(g.Bands(0).Columns(1).Header().Caption(), QStringLiteral("Library Play Lists"));
    QCOMPARE(g.Bands(1).Columns(1).Header().Caption(), QStringLiteral("Track Name"));
    QCOMPARE(g.Bands(1).Columns(4).Header().Caption(), QStringLiteral("Time"));
    QCOMPARE(g.Bands(1).Columns(5).Header().Caption(), QStringLiteral("Artist"));
    QCOMPARE(g.Bands(1).Columns(6).Header().Caption(), QStringLiteral("Album"));
    QCOMPARE(g.Bands(0).Columns(1).Width(), 3500);
    QCOMPARE(g.Bands(1).Columns(1).Width(), 1000);
    QCOMPARE(g.Bands(1).Columns(4).Width(), 650);
    QCOMPARE(g.Bands(1).Columns(5).Width(), UltraGrid::kDefaultColumnWidth);
    QCOMPARE(g.Bands(0).Columns(1).DisplayEllipses(), 1);
    QCOMPARE(g.Bands(1).Columns(6).Activation(), 3);
    QCOMPARE(g.Bands(0).Override().AllowUpdate(), 0);
    QCOMPARE(g.Bands(1).Override().AllowUpdate(), 2);
    QCOMPARE(g.Override().AllowColSizing(), 3);
    QCOMPARE(g.Bands(1).Override().RowAppearance().ForeColor(), rgb(1, 82, 9));
    QCOMPARE(g.Bands(0).Override().RowAppearance().ForeColor(), int(UGAppearance::Unset));
    QCOMPARE(g.Bands(0).Override().RowSelectorAppearance().BackColor(), rgb(181, 209, 85));
    QCOMPARE(g.Bands(0).Override().RowSelectors(), 2);

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
    const UGCells cells = f.grid.Selected().Cells();
    QCOMPARE(cells.Count(), 2);
    QCOMPARE(cells.Item(0).Value(), QStringLiteral("Café Nocturne"));
    QCOMPARE(cells.Item(0).Row().Cell(0).Value(), QStringLiteral("2"));
    QCOMPARE(cells.Item(0).Row().Cell(2).Value(), QStringLiteral("14"));
    QCOMPARE(cells.Item(0).Row().Cell(3).Value(), QString());
    QCOMPARE(cells.Item(1).Value(), QStringLiteral("Long listening"));
    QCOMPARE(cells.Item(1).Row().Cell(0).Value(), QStringLiteral("3"));
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
    f.grid.Bands(1).Columns(5).setWidth(2000);
    QVERIFY(f.format(sampleRecordset()));
    for (int p = 0; p < 4; ++p)
        QVERIFY(!f.grid.view()->isExpanded(f.row(p)));
    QCOMPARE(f.grid.Bands(1).Columns(5).Width(), UltraGrid::kDefaultColumnWidth);
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
    QCOMPARE(f.grid.Caption(), QString());
    QCOMPARE(f.grid.DataSource(), nullptr);
    QCOMPARE(f.grid.Override().AllowColSizing(), 0);
    QCOMPARE(f.grid.Appearance().BackColor(), int(UGAppearance::Unset));

    // A later load formats normally.
    QVERIFY(f.format(sampleRecordset()));
    QCOMPARE(f.alerts.size(), size_t(1));
}

void FormatGridTest::emptyLibrary()
{
    Formatted f;
    auto rs = std::make_shared<LibraryRecordset>();
    QVERIFY(f.format(rs));
    QVERIFY(f.alerts.empty());
    QCOMPARE(f.grid.view()->model()->rowCount(), 0);
    QCOMPARE(f.grid.Bands(1).Columns(4).Width(), 650);
}

QTEST_MAIN(FormatGridTest)
#include "tst_formatgrid.moc"
