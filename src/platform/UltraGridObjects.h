// The grid's settings objects: bands, their columns and headers, overrides,
// appearances, the scroll region, and the flag handed to event handlers.
// They belong to the grid (UltraGrid::Bands, Override, Appearance,
// ScrollRegions) and live until the grid is bound to another data source
// (bands and columns) or destroyed (the rest). Every setter checks its value
// and throws GridError for one the grid does not know.
//
// Value meanings (0 always means "the grid's default"):
//   AllowColMoving, AllowColSwapping  0 = yes, 1 = yes (within the band), 2 = no
//   AllowDelete, AllowUpdate          0 = no, 1 = yes, 2 = no (the grid never deletes or
//                                     edits data itself; the requests are raised regardless)
//   AllowColSizing                    0 = free, 1 = fixed, 2 = free, 3 = free
//   RowSelectors                      0 = hidden, 1 = hidden, 2 = shown
//   Activation                        0 = allow edit, 1 = allow edit, 2 = disabled, 3 = no edit;
//                                     no cell is ever edited, and every value lets a cell become active
//   DisplayEllipses                   0 = clip, 1 = "..." for text that does not fit, 2 = clip
#pragma once

#include <QString>
#include <memory>
#include <vector>

namespace tidyfox::platform {

class UltraGrid;

// The boolean argument of an event (a cancel flag or a "go on" flag).
class UGFlag
{
public:
    explicit UGFlag(bool value = false) : m_value(value) {}
    bool value() const { return m_value; }
    void setValue(bool value) { m_value = value; }

private:
    bool m_value;
};

// Colours are red + 256 * green + 65536 * blue; Unset leaves the grid's default.
class UGAppearance
{
public:
    static constexpr int Unset = -1;

    int BackColor() const { return m_back; }
    void setBackColor(int color);
    int BorderColor() const { return m_border; }
    void setBorderColor(int color);
    int ForeColor() const { return m_fore; }
    void setForeColor(int color);

    UGAppearance(const UGAppearance &) = delete;
    UGAppearance &operator=(const UGAppearance &) = delete;

private:
    friend class UltraGrid;
    friend class UGOverride;
    explicit UGAppearance(UltraGrid *grid) : m_grid(grid) {}
    int checked(int color) const;

    UltraGrid *m_grid;
    int m_back = Unset;
    int m_border = Unset;
    int m_fore = Unset;
};

class UGOverride
{
public:
    int AllowColMoving() const { return m_colMoving; }
    void setAllowColMoving(int value);
    int AllowColSwapping() const { return m_colSwapping; }
    void setAllowColSwapping(int value);
    int AllowDelete() const { return m_delete; }
    void setAllowDelete(int value);
    int AllowUpdate() const { return m_update; }
    void setAllowUpdate(int value);
    int AllowColSizing() const { return m_colSizing; }
    void setAllowColSizing(int value);
    int RowSelectors() const { return m_rowSelectors; }
    void setRowSelectors(int value);

    UGAppearance &RowAppearance() { return m_row; }
    UGAppearance &HeaderAppearance() { return m_header; }
    UGAppearance &RowSelectorAppearance() { return m_rowSelector; }
    const UGAppearance &RowAppearance() const { return m_row; }
    const UGAppearance &HeaderAppearance() const { return m_header; }
    const UGAppearance &RowSelectorAppearance() const { return m_rowSelector; }

    UGOverride(const UGOverride &) = delete;
    UGOverride &operator=(const UGOverride &) = delete;

private:
    friend class UltraGrid;
    friend class UGBand;
    explicit UGOverride(UltraGrid *grid) : m_grid(grid), m_row(grid), m_header(grid), m_rowSelector(grid) {}
    int set(int value, int highest);

    UltraGrid *m_grid;
    int m_colMoving = 0;
    int m_colSwapping = 0;
    int m_delete = 0;
    int m_update = 0;
    int m_colSizing = 0;
    int m_rowSelectors = 0;
    UGAppearance m_row;
    UGAppearance m_header;
    UGAppearance m_rowSelector;
};

class UGHeader
{
public:
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    UGHeader(const UGHeader &) = delete;
    UGHeader &operator=(const UGHeader &) = delete;

private:
    friend class UGColumn;
    UGHeader(UltraGrid *grid, const QString &caption) : m_grid(grid), m_caption(caption) {}

    UltraGrid *m_grid;
    QString m_caption;
};

class UGColumn
{
public:
    // The column's place in its band's fields (0-based); never changes.
    int Position() const { return m_position; }
    int BandIndex() const { return m_band; }

    bool Hidden() const { return m_hidden; }
    void setHidden(bool hidden);
    int Activation() const { return m_activation; }
    void setActivation(int value);
    int DisplayEllipses() const { return m_ellipses; }
    void setDisplayEllipses(int value);
    // In twips.
    int Width() const { return m_width; }
    void setWidth(int twips);
    UGHeader &Header() { return m_header; }
    const UGHeader &Header() const { return m_header; }

    UGColumn(const UGColumn &) = delete;
    UGColumn &operator=(const UGColumn &) = delete;

private:
    friend class UGBand;
    friend class UltraGrid;
    UGColumn(UltraGrid *grid, int band, int position, const QString &caption, int width);

    UltraGrid *m_grid;
    int m_band;
    int m_position;
    bool m_hidden = false;
    int m_activation = 0;
    int m_ellipses = 0;
    int m_width;
    UGHeader m_header;
};

class UGBand
{
public:
    int Index() const { return m_index; }
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    // By position; throws GridError for a position the band does not have.
    UGColumn &Columns(int position);
    const UGColumn &Columns(int position) const;
    UGOverride &Override() { return m_override; }
    const UGOverride &Override() const { return m_override; }
    // Collapses every row of the band.
    void Collapse();

    // Columns in the order they are shown (positions); a column move changes it.
    const std::vector<int> &displayOrder() const { return m_order; }

    UGBand(const UGBand &) = delete;
    UGBand &operator=(const UGBand &) = delete;

private:
    friend class UltraGrid;
    UGBand(UltraGrid *grid, int index, const std::vector<QString> &captions);

    UltraGrid *m_grid;
    int m_index;
    std::vector<std::unique_ptr<UGColumn>> m_columns;
    std::vector<int> m_order;
    UGOverride m_override;
};

class UGScrollRegion
{
public:
    // One step: action 0 scrolls up one row (toward the top), 1 down one row.
    void Scroll(int action);

    UGScrollRegion(const UGScrollRegion &) = delete;
    UGScrollRegion &operator=(const UGScrollRegion &) = delete;

private:
    friend class UltraGrid;
    explicit UGScrollRegion(UltraGrid *grid) : m_grid(grid) {}

    UltraGrid *m_grid;
};

} // namespace tidyfox::platform
