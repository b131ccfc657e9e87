// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/LibraryListFormat.h"

#include "librarylist/LibraryListModel.h"
#include "librarylist/PlaylistTrackTable.h"
#include "widgets/TreeGrid.h"

#include <QColor>

namespace tidyfox::librarylist {

using widgets::CellActivation;
using widgets::ColumnMoving;
using widgets::ColumnSizing;
using widgets::DataChange;
using widgets::Ellipsis;
using widgets::RowSelectors;

bool formatLibraryList(widgets::TreeGrid &grid, const std::shared_ptr<LibraryListModel> &model,
                       const AlertFunction &showAlert)
{
    try {
        // The grid and its binding.
        grid.setCaption(QString());
        grid.setViewStyle(widgets::TreeGrid::ViewStyle::MultiBand);
        grid.setViewStyleBand(widgets::TreeGrid::BandLayout::Vertical);
        grid.refresh();
        grid.setDataSource(nullptr);
        grid.setDataSource(std::shared_ptr<QAbstractItemModel>(model));
        grid.refresh();
        grid.band(0).collapse();

        // Hidden columns: the IDs and the path, still readable by the event handlers.
        grid.band(0).column(0).setHidden(true);
        grid.band(1).column(0).setHidden(true);
        grid.band(1).column(2).setHidden(true);
        grid.band(1).column(3).setHidden(true);

        // No shown cell can be edited.
        grid.band(0).column(1).setActivation(CellActivation::NoEdit);
        grid.band(1).column(1).setActivation(CellActivation::NoEdit);
        grid.band(1).column(4).setActivation(CellActivation::NoEdit);
        grid.band(1).column(5).setActivation(CellActivation::NoEdit);
        grid.band(1).column(6).setActivation(CellActivation::NoEdit);

        grid.band(0).column(1).setDisplayEllipses(Ellipsis::Shown);
        grid.band(1).column(1).setDisplayEllipses(Ellipsis::Shown);
        // No text is cut mid-letter: the other shown columns end in an
        // ellipsis too, and the list shows the whole text in a tip.
        for (const int column : {4, 5, 6})
            grid.band(1).column(column).setDisplayEllipses(Ellipsis::Shown);

        grid.band(0).column(1).header().setCaption(QStringLiteral("Library Play Lists"));
        grid.band(1).column(1).header().setCaption(QStringLiteral("Track Name"));

        grid.band(0).settings().setAllowColumnMoving(ColumnMoving::WithinBand);
        grid.band(1).settings().setAllowColumnMoving(ColumnMoving::WithinBand);
        grid.band(0).settings().setAllowColumnSwapping(ColumnMoving::WithinBand);
        grid.band(1).settings().setAllowColumnSwapping(ColumnMoving::WithinBand);
        grid.band(0).settings().setAllowDelete(DataChange::Refused);
        grid.band(1).settings().setAllowDelete(DataChange::Refused);
        grid.band(1).settings().setAllowUpdate(DataChange::Refused);

        grid.settings().setAllowColumnSizing(ColumnSizing::Free);

        // Widths in twips.
        grid.band(0).column(1).setWidth(3500);
        grid.band(1).column(1).setWidth(1000);
        grid.band(1).column(4).setWidth(650);

        grid.appearance().setBackColor(QColor(255, 255, 255));
        grid.appearance().setBorderColor(QColor(0, 18, 11));
        grid.band(0).settings().rowAppearance().setBackColor(QColor(238, 253, 207));
        grid.band(1).settings().rowAppearance().setBackColor(QColor(253, 253, 242));
        grid.band(1).settings().rowAppearance().setForeColor(QColor(1, 82, 9));
        grid.band(0).settings().headerAppearance().setBackColor(QColor(0, 118, 11));
        grid.band(0).settings().headerAppearance().setForeColor(QColor(255, 255, 255));
        grid.band(1).settings().headerAppearance().setBackColor(QColor(0, 118, 11));
        grid.band(1).settings().headerAppearance().setForeColor(QColor(255, 255, 255));
        grid.band(1).settings().rowSelectorAppearance().setBackColor(QColor(253, 253, 242));
        grid.band(0).settings().rowSelectorAppearance().setBackColor(QColor(181, 209, 85));

        grid.band(1).settings().setRowSelectors(RowSelectors::Shown);
        grid.band(0).settings().setRowSelectors(RowSelectors::Shown);
        return true;
    } catch (const widgets::GridError &error) {
        showAlert(QStringLiteral("An error occured while formatting library List") + QLatin1Char('\r') +
                      QString::number(error.number()) + QLatin1Char(':') + error.description(),
                  AlertKind::Critical, QStringLiteral("Tidyfox"));
        return false;
    }
}

void searchLibraryList(widgets::TreeGrid &grid, const QString &text)
{
    grid.filterRows(text, {LibraryListModel::PlayList_Name},
                    {PlaylistTrackTable::TrackName, PlaylistTrackTable::Artist, PlaylistTrackTable::Album});
}

} // namespace tidyfox::librarylist
