#include "library/FormatGrid.h"

#include "library/LibraryRecordset.h"
#include "platform/UltraGrid.h"

namespace tidyfox::library {

namespace {

constexpr int rgb(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

} // namespace

bool FormatGrid(platform::UltraGrid &Grid, const std::shared_ptr<LibraryRecordset> &vRecordSet,
                const AlertFunction &showAlert)
{
    try {
        // Grid and binding.
        Grid.setCaption(QString());
        Grid.setViewStyle(1);
        Grid.setViewStyleBand(0);
        Grid.Refresh();
        Grid.setDataSource(nullptr);
        Grid.setDataSource(std::shared_ptr<QAbstractItemModel>(vRecordSet));
        Grid.Refresh();
        Grid.Bands(0).Collapse();

        // Hidden columns: the IDs and the path, still readable by the event handlers.
        Grid.Bands(0).Columns(0).setHidden(true);
        Grid.Bands(1).Columns(0).setHidden(true);
        Grid.Bands(1).Columns(2).setHidden(true);
        Grid.Bands(1).Columns(3).setHidden(true);

        // No shown cell can be edited.
        Grid.Bands(0).Columns(1).setActivation(3);
        Grid.Bands(1).Columns(1).setActivation(3);
        Grid.Bands(1).Columns(4).setActivation(3);
        Grid.Bands(1).Columns(5).setActivation(3);
        Grid.Bands(1).Columns(6).setActivation(3);

        Grid.Bands(0).Columns(1).setDisplayEllipses(1);
        Grid.Bands(1).Columns(1).setDisplayEllipses(1);

        Grid.Bands(0).Columns(1).Header().setCaption(QStringLiteral("Library Play Lists"));
        Grid.Bands(1).Columns(1).Header().setCaption(QStringLiteral("Track Name"));

        Grid.Bands(0).Override().setAllowColMoving(1);
        Grid.Bands(1).Override().setAllowColMoving(1);
        Grid.Bands(0).Override().setAllowColSwapping(1);
        Grid.Bands(1).Override().setAllowColSwapping(1);
        Grid.Bands(0).Override().setAllowDelete(2);
        Grid.Bands(1).Override().setAllowDelete(2);
        Grid.Bands(1).Override().setAllowUpdate(2);

        Grid.Override().setAllowColSizing(3);

        // Widths in twips.
        Grid.Bands(0).Columns(1).setWidth(3500);
        Grid.Bands(1).Columns(1).setWidth(1000);
        Grid.Bands(1).Columns(4).setWidth(650);

        Grid.Appearance().setBackColor(rgb(255, 255, 255));
        Grid.Appearance().setBorderColor(rgb(0, 18, 11));
        Grid.Bands(0).Override().RowAppearance().setBackColor(rgb(238, 253, 207));
        Grid.Bands(1).Override().RowAppearance().setBackColor(rgb(253, 253, 242));
        Grid.Bands(1).Override().RowAppearance().setForeColor(rgb(1, 82, 9));
        Grid.Bands(0).Override().HeaderAppearance().setBackColor(rgb(0, 118, 11));
        Grid.Bands(0).Override().HeaderAppearance().setForeColor(rgb(255, 255, 255));
        Grid.Bands(1).Override().HeaderAppearance().setBackColor(rgb(0, 118, 11));
        Grid.Bands(1).Override().HeaderAppearance().setForeColor(rgb(255, 255, 255));
        Grid.Bands(1).Override().RowSelectorAppearance().setBackColor(rgb(253, 253, 242));
        Grid.Bands(0).Override().RowSelectorAppearance().setBackColor(rgb(181, 209, 85));

        Grid.Bands(1).Override().setRowSelectors(2);
        Grid.Bands(0).Override().setRowSelectors(2);
        return true;
    } catch (const platform::GridError &error) {
        showAlert(QStringLiteral("An error occured while formatting library List") + QLatin1Char('\r') +
                      QString::number(error.number()) + QLatin1Char(':') + error.description(),
                  16, QStringLiteral("Tidyfox"));
        return false;
    }
}

} // namespace tidyfox::library
