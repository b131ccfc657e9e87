#include "platform/UltraGridSelection.h"

#include "platform/GridError.h"
#include "platform/UltraGrid.h"

#include <QItemSelectionModel>
#include <QTreeView>

namespace tidyfox::platform {

void throwItemOutOfRange(int index, int count)
{
    throw GridError(GridError::ItemOutOfRange,
                    QStringLiteral("Item %1 does not exist; the collection has %2 items").arg(index).arg(count));
}

UGRow::UGRow(UltraGrid *grid, const QModelIndex &sourceRow, int band)
    : m_grid(grid), m_index(sourceRow), m_generation(grid->m_generation), m_band(band)
{}

bool UGRow::operator==(const UGRow &other) const
{
    return m_grid == other.m_grid && m_generation == other.m_generation && m_index == other.m_index;
}

UltraGrid &UGRow::grid() const
{
    if (!m_grid || m_generation != m_grid->m_generation || !m_index.isValid())
        throw GridError(GridError::RowNotAvailable, QStringLiteral("The row is no longer in the grid"));
    return *m_grid;
}

int UGRow::CellCount() const
{
    grid();
    return m_index.model()->columnCount(m_index.parent());
}

UGCell UGRow::Cell(int position) const
{
    if (position < 0 || position >= CellCount())
        throw GridError(GridError::ColumnOutOfRange, QStringLiteral("The row has no cell %1").arg(position));
    return UGCell(*this, position);
}

bool UGRow::Expanded() const
{
    UltraGrid &g = grid();
    return g.view()->isExpanded(g.viewIndexOf(*this));
}

void UGRow::Expand()
{
    UltraGrid &g = grid();
    g.view()->expand(g.viewIndexOf(*this));
}

void UGRow::Collapse()
{
    UltraGrid &g = grid();
    g.view()->collapse(g.viewIndexOf(*this));
}

bool UGRow::Selected() const
{
    UltraGrid &g = grid();
    return g.view()->selectionModel()->isSelected(g.viewIndexOf(*this));
}

void UGRow::setSelected(bool selected)
{
    UltraGrid &g = grid();
    const QModelIndex index = g.viewIndexOf(*this);
    if (!index.isValid())
        throw GridError(GridError::RowNotAvailable, QStringLiteral("The row is not shown in the grid"));
    g.view()->selectionModel()->select(index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                                  QItemSelectionModel::Rows);
}

QString UGCell::Value() const
{
    const UGRow &row = m_row;
    if (m_position < 0 || m_position >= row.CellCount())
        throw GridError(GridError::ColumnOutOfRange, QStringLiteral("The row has no cell %1").arg(m_position));
    return row.sourceIndex().siblingAtColumn(m_position).data(Qt::DisplayRole).toString();
}

bool UGCell::Selected() const
{
    return m_row.Selected();
}

void UGCell::setSelected(bool selected)
{
    m_row.setSelected(selected);
}

UGCells UGSelected::Cells() const
{
    return m_grid->selectedCells();
}

UGRows UGSelected::Rows() const
{
    return m_grid->selectedRows();
}

} // namespace tidyfox::platform
