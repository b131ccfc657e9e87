// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/TreeGridSelection.h"

#include "widgets/GridError.h"
#include "widgets/TreeGrid.h"

#include <QItemSelectionModel>
#include <QTreeView>

namespace tidyfox::widgets {

void throwItemOutOfRange(int index, int count)
{
    throw GridError(GridError::ItemOutOfRange,
                    QStringLiteral("Item %1 does not exist; the collection has %2 items").arg(index).arg(count));
}

GridRow::GridRow(TreeGrid *grid, const QModelIndex &sourceRow, int band)
    : m_grid(grid), m_index(sourceRow), m_generation(grid->m_generation), m_band(band)
{}

bool GridRow::operator==(const GridRow &other) const
{
    return m_grid == other.m_grid && m_generation == other.m_generation && m_index == other.m_index;
}

TreeGrid &GridRow::grid() const
{
    if (!m_grid || m_generation != m_grid->m_generation || !m_index.isValid())
        throw GridError(GridError::RowNotAvailable, QStringLiteral("The row is no longer in the grid"));
    return *m_grid;
}

int GridRow::cellCount() const
{
    grid();
    return m_index.model()->columnCount(m_index.parent());
}

QVariant GridRow::data(int role) const
{
    grid();
    return m_index.data(role);
}

GridCell GridRow::cell(int position) const
{
    if (position < 0 || position >= cellCount())
        throw GridError(GridError::ColumnOutOfRange, QStringLiteral("The row has no cell %1").arg(position));
    return GridCell(*this, position);
}

bool GridRow::isExpanded() const
{
    TreeGrid &g = grid();
    return g.view()->isExpanded(g.viewIndexOf(*this));
}

void GridRow::expand()
{
    TreeGrid &g = grid();
    g.view()->expand(g.viewIndexOf(*this));
}

void GridRow::collapse()
{
    TreeGrid &g = grid();
    g.view()->collapse(g.viewIndexOf(*this));
}

bool GridRow::isSelected() const
{
    TreeGrid &g = grid();
    return g.view()->selectionModel()->isSelected(g.viewIndexOf(*this));
}

void GridRow::setSelected(bool selected)
{
    TreeGrid &g = grid();
    const QModelIndex index = g.viewIndexOf(*this);
    if (!index.isValid())
        throw GridError(GridError::RowNotAvailable, QStringLiteral("The row is not shown in the grid"));
    g.view()->selectionModel()->select(index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                                  QItemSelectionModel::Rows);
}

QString GridCell::text() const
{
    const GridRow &row = m_row;
    if (m_position < 0 || m_position >= row.cellCount())
        throw GridError(GridError::ColumnOutOfRange, QStringLiteral("The row has no cell %1").arg(m_position));
    return row.sourceIndex().siblingAtColumn(m_position).data(Qt::DisplayRole).toString();
}

bool GridCell::isSelected() const
{
    return m_row.isSelected();
}

void GridCell::setSelected(bool selected)
{
    m_row.setSelected(selected);
}

GridCells GridSelection::cells() const
{
    return m_grid->selectedCells();
}

GridRows GridSelection::rows() const
{
    return m_grid->selectedRows();
}

} // namespace tidyfox::widgets
