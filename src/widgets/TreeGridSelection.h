// SPDX-License-Identifier: GPL-3.0-or-later
// Rows and cells of the grid as its users see them, and the collections of
// selected ones. They are small values that name a row of the bound data. A
// row stays usable while the grid shows the same data in the same shape; once
// the data source is replaced or changes shape (or the grid goes), their
// calls throw GridError. Collections are taken when asked for, so a handler may deselect
// items while it walks them.
#pragma once

#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

namespace tidyfox::widgets {

class TreeGrid;
class GridCell;

class GridRow
{
public:
    GridRow() = default;

    int bandIndex() const { return m_band; }
    // Every field of the row counts, shown or hidden.
    int cellCount() const;
    GridCell cell(int position) const;
    bool isExpanded() const;
    void expand();
    void collapse();
    bool isSelected() const;
    void setSelected(bool selected);

    // The row in the bound data source (column 0).
    QModelIndex sourceIndex() const { return m_index; }
    // What the bound data holds for the row under role (its column 0).
    QVariant data(int role) const;
    bool operator==(const GridRow &other) const;

private:
    friend class TreeGrid;
    GridRow(TreeGrid *grid, const QModelIndex &sourceRow, int band);
    TreeGrid &grid() const;

    // A plain index: a selection of 100,000 rows must be cheap to hand out.
    QPointer<TreeGrid> m_grid;
    QModelIndex m_index;
    std::uint64_t m_generation = 0;
    int m_band = 0;
};

class GridCell
{
public:
    GridCell() = default;

    // The field's text, for hidden columns too.
    QString text() const;
    bool isSelected() const;
    // Selection is per row: deselecting a cell deselects its row.
    void setSelected(bool selected);
    GridRow row() const { return m_row; }
    int bandIndex() const { return m_row.bandIndex(); }
    int position() const { return m_position; }

    bool operator==(const GridCell &other) const { return m_row == other.m_row && m_position == other.m_position; }

private:
    friend class TreeGrid;
    friend class GridRow;
    GridCell(const GridRow &row, int position) : m_row(row), m_position(position) {}

    GridRow m_row;
    int m_position = 0;
};

// A 0-based collection that can also be walked with a range for.
template<typename T> class GridItems
{
public:
    GridItems() = default;
    explicit GridItems(std::vector<T> items) : m_items(std::move(items)) {}
    int count() const { return static_cast<int>(m_items.size()); }
    const T &item(int index) const;
    T &item(int index);
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<T> m_items;
};

using GridCells = GridItems<GridCell>;
using GridRows = GridItems<GridRow>;

// What is selected, in the grid's row order: one cell per selected row, in the
// column of the band that was activated last (or the band's first shown one).
class GridSelection
{
public:
    GridCells cells() const;
    GridRows rows() const;

private:
    friend class TreeGrid;
    explicit GridSelection(TreeGrid *grid) : m_grid(grid) {}
    TreeGrid *m_grid;
};

[[noreturn]] void throwItemOutOfRange(int index, int count);

template<typename T> const T &GridItems<T>::item(int index) const
{
    if (index < 0 || index >= count())
        throwItemOutOfRange(index, count());
    return m_items[static_cast<size_t>(index)];
}

template<typename T> T &GridItems<T>::item(int index)
{
    if (index < 0 || index >= count())
        throwItemOutOfRange(index, count());
    return m_items[static_cast<size_t>(index)];
}

} // namespace tidyfox::widgets
