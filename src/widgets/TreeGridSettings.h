// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's settings objects: bands, their columns and headers, overrides,
// appearances and the scroll region.
// They belong to the grid (TreeGrid::Bands, Override, Appearance,
// ScrollRegions) and live until the grid is bound to another data source
// (bands and columns) or destroyed (the rest). Every setter checks its value
// and throws GridError for one the grid does not know.
//
// Each setting is a named enum; Default always means "the grid's default".
// A value outside its enum throws GridError.
#pragma once

#include <QColor>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace tidyfox::widgets {

class TreeGrid;

// Dragging a header onto another moves (or, with Ctrl, swaps) the column.
enum class ColumnMoving { Default = 0, WithinBand = 1, Never = 2 };
// Deleting rows and editing cells: the grid never changes its data itself and
// raises the requests whatever the setting; Refused is what the owner says.
enum class DataChange { Default = 0, Allowed = 1, Refused = 2 };
// Dragging a header's right edge: only Fixed stops it.
enum class ColumnSizing { Default = 0, Fixed = 1, Synchronised = 2, Free = 3 };
enum class RowSelectors { Default = 0, Hidden = 1, Shown = 2 };
// Every value lets a cell become active; no cell is ever edited.
enum class CellActivation { Default = 0, AllowEdit = 1, Disabled = 2, NoEdit = 3 };
// Shown draws "..." at the end of text that does not fit; the others clip it.
enum class Ellipsis { Default = 0, Shown = 1, Clipped = 2 };
enum class ScrollStep { LineUp = 0, LineDown = 1 };

// A colour not set leaves the grid's default.
class GridAppearance
{
public:
    std::optional<QColor> backColor() const { return m_back; }
    void setBackColor(const QColor &color);
    std::optional<QColor> borderColor() const { return m_border; }
    void setBorderColor(const QColor &color);
    std::optional<QColor> foreColor() const { return m_fore; }
    void setForeColor(const QColor &color);

    GridAppearance(const GridAppearance &) = delete;
    GridAppearance &operator=(const GridAppearance &) = delete;

private:
    friend class TreeGrid;
    friend class GridSettings;
    explicit GridAppearance(TreeGrid *grid) : m_grid(grid) {}
    static QColor checked(const QColor &color);

    TreeGrid *m_grid;
    std::optional<QColor> m_back;
    std::optional<QColor> m_border;
    std::optional<QColor> m_fore;
};

class GridSettings
{
public:
    ColumnMoving allowColumnMoving() const { return ColumnMoving(m_colMoving); }
    void setAllowColumnMoving(ColumnMoving value);
    ColumnMoving allowColumnSwapping() const { return ColumnMoving(m_colSwapping); }
    void setAllowColumnSwapping(ColumnMoving value);
    DataChange allowDelete() const { return DataChange(m_delete); }
    void setAllowDelete(DataChange value);
    DataChange allowUpdate() const { return DataChange(m_update); }
    void setAllowUpdate(DataChange value);
    ColumnSizing allowColumnSizing() const { return ColumnSizing(m_colSizing); }
    void setAllowColumnSizing(ColumnSizing value);
    RowSelectors rowSelectors() const { return RowSelectors(m_rowSelectors); }
    void setRowSelectors(RowSelectors value);

    GridAppearance &rowAppearance() { return m_row; }
    GridAppearance &headerAppearance() { return m_header; }
    GridAppearance &rowSelectorAppearance() { return m_rowSelector; }
    const GridAppearance &rowAppearance() const { return m_row; }
    const GridAppearance &headerAppearance() const { return m_header; }
    const GridAppearance &rowSelectorAppearance() const { return m_rowSelector; }

    GridSettings(const GridSettings &) = delete;
    GridSettings &operator=(const GridSettings &) = delete;

private:
    friend class TreeGrid;
    friend class GridBand;
    explicit GridSettings(TreeGrid *grid) : m_grid(grid), m_row(grid), m_header(grid), m_rowSelector(grid) {}
    int set(int value, int highest);

    TreeGrid *m_grid;
    int m_colMoving = 0;
    int m_colSwapping = 0;
    int m_delete = 0;
    int m_update = 0;
    int m_colSizing = 0;
    int m_rowSelectors = 0;
    GridAppearance m_row;
    GridAppearance m_header;
    GridAppearance m_rowSelector;
};

class GridColumnHeader
{
public:
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    GridColumnHeader(const GridColumnHeader &) = delete;
    GridColumnHeader &operator=(const GridColumnHeader &) = delete;

private:
    friend class GridColumn;
    GridColumnHeader(TreeGrid *grid, const QString &caption) : m_grid(grid), m_caption(caption) {}

    TreeGrid *m_grid;
    QString m_caption;
};

class GridColumn
{
public:
    // The column's place in its band's fields (0-based); never changes.
    int position() const { return m_position; }
    int bandIndex() const { return m_band; }

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    CellActivation activation() const { return CellActivation(m_activation); }
    void setActivation(CellActivation value);
    Ellipsis displayEllipses() const { return Ellipsis(m_ellipses); }
    void setDisplayEllipses(Ellipsis value);
    // In twips.
    int width() const { return m_width; }
    void setWidth(int twips);
    GridColumnHeader &header() { return m_header; }
    const GridColumnHeader &header() const { return m_header; }

    GridColumn(const GridColumn &) = delete;
    GridColumn &operator=(const GridColumn &) = delete;

private:
    friend class GridBand;
    friend class TreeGrid;
    GridColumn(TreeGrid *grid, int band, int position, const QString &caption, int width);

    TreeGrid *m_grid;
    int m_band;
    int m_position;
    bool m_hidden = false;
    int m_activation = 0;
    int m_ellipses = 0;
    int m_width;
    GridColumnHeader m_header;
};

class GridBand
{
public:
    int index() const { return m_index; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    // By position; throws GridError for a position the band does not have.
    GridColumn &column(int position);
    const GridColumn &column(int position) const;
    GridSettings &settings() { return m_override; }
    const GridSettings &settings() const { return m_override; }
    // Collapses every row of the band.
    void collapse();

    // Columns in the order they are shown (positions); a column move changes it.
    const std::vector<int> &displayOrder() const { return m_order; }

    GridBand(const GridBand &) = delete;
    GridBand &operator=(const GridBand &) = delete;

private:
    friend class TreeGrid;
    GridBand(TreeGrid *grid, int index, const std::vector<QString> &captions);

    TreeGrid *m_grid;
    int m_index;
    std::vector<std::unique_ptr<GridColumn>> m_columns;
    std::vector<int> m_order;
    GridSettings m_override;
};

class GridScrollRegion
{
public:
    // One row toward the top or toward the end.
    void scroll(ScrollStep step);

    GridScrollRegion(const GridScrollRegion &) = delete;
    GridScrollRegion &operator=(const GridScrollRegion &) = delete;

private:
    friend class TreeGrid;
    explicit GridScrollRegion(TreeGrid *grid) : m_grid(grid) {}

    TreeGrid *m_grid;
};

} // namespace tidyfox::widgets
