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
#include <cstdint>
#include <vector>

namespace tidyfox::platform {

class UltraGrid;
class UGCell;

class UGRow
{
public:
    UGRow() = default;

    int BandIndex() const { return m_band; }
    // Every field of the row counts, shown or hidden.
    int CellCount() const;
    UGCell Cell(int position) const;
    bool Expanded() const;
    void Expand();
    void Collapse();
    bool Selected() const;
    void setSelected(bool selected);

    // The row in the bound data source (column 0).
    QModelIndex sourceIndex() const { return m_index; }
    bool operator==(const UGRow &other) const;

private:
    friend class UltraGrid;
    UGRow(UltraGrid *grid, const QModelIndex &sourceRow, int band);
    UltraGrid &grid() const;

    // A plain index: a selection of 100,000 rows must be cheap to hand out.
    QPointer<UltraGrid> m_grid;
    QModelIndex m_index;
    std::uint64_t m_generation = 0;
    int m_band = 0;
};

class UGCell
{
public:
    UGCell() = default;

    // The field's text, for hidden columns too.
    QString Value() const;
    bool Selected() const;
    // Selection is per row: deselecting a cell deselects its row.
    void setSelected(bool selected);
    UGRow Row() const { return m_row; }
    int BandIndex() const { return m_row.BandIndex(); }
    int Position() const { return m_position; }

    bool operator==(const UGCell &other) const { return m_row == other.m_row && m_position == other.m_position; }

private:
    friend class UltraGrid;
    friend class UGRow;
    UGCell(const UGRow &row, int position) : m_row(row), m_position(position) {}

    UGRow m_row;
    int m_position = 0;
};

// A 0-based collection that can also be walked with a range for.
template<typename T> class UGCollection
{
public:
    UGCollection() = default;
    explicit UGCollection(std::vector<T> items) : m_items(std::move(items)) {}
    int Count() const { return static_cast<int>(m_items.size()); }
    const T &Item(int index) const;
    T &Item(int index);
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<T> m_items;
};

using UGCells = UGCollection<UGCell>;
using UGRows = UGCollection<UGRow>;

// What is selected, in the grid's row order: one cell per selected row, in the
// column of the band that was activated last (or the band's first shown one).
class UGSelected
{
public:
    UGCells Cells() const;
    UGRows Rows() const;

private:
    friend class UltraGrid;
    explicit UGSelected(UltraGrid *grid) : m_grid(grid) {}
    UltraGrid *m_grid;
};

[[noreturn]] void throwItemOutOfRange(int index, int count);

template<typename T> const T &UGCollection<T>::Item(int index) const
{
    if (index < 0 || index >= Count())
        throwItemOutOfRange(index, Count());
    return m_items[static_cast<size_t>(index)];
}

template<typename T> T &UGCollection<T>::Item(int index)
{
    if (index < 0 || index >= Count())
        throwItemOutOfRange(index, Count());
    return m_items[static_cast<size_t>(index)];
}

} // namespace tidyfox::platform
