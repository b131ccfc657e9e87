// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/TreeGridSettings.h"

#include "widgets/GridError.h"
#include "widgets/TreeGrid.h"

#include <numeric>

namespace tidyfox::widgets {

namespace {

[[noreturn]] void invalidValue(const char *what, int value)
{
    throw GridError(GridError::InvalidValue,
                    QStringLiteral("Invalid value %1 for %2").arg(value).arg(QString::fromLatin1(what)));
}

int inRange(const char *what, int value, int highest)
{
    if (value < 0 || value > highest)
        invalidValue(what, value);
    return value;
}

} // namespace

QColor GridAppearance::checked(const QColor &color)
{
    if (!color.isValid())
        throw GridError(GridError::InvalidValue, QStringLiteral("Invalid colour"));
    return color;
}

void GridAppearance::setBackColor(const QColor &color)
{
    m_back = checked(color);
    m_grid->settingsChanged();
}

void GridAppearance::setBorderColor(const QColor &color)
{
    m_border = checked(color);
    m_grid->settingsChanged();
}

void GridAppearance::setForeColor(const QColor &color)
{
    m_fore = checked(color);
    m_grid->settingsChanged();
}

int GridSettings::set(int value, int highest)
{
    inRange("an override setting", value, highest);
    return value;
}

void GridSettings::setAllowColumnMoving(ColumnMoving setting)
{
    const int value = static_cast<int>(setting);
    m_colMoving = set(value, 2);
}

void GridSettings::setAllowColumnSwapping(ColumnMoving setting)
{
    const int value = static_cast<int>(setting);
    m_colSwapping = set(value, 2);
}

void GridSettings::setAllowDelete(DataChange setting)
{
    const int value = static_cast<int>(setting);
    m_delete = set(value, 2);
}

void GridSettings::setAllowUpdate(DataChange setting)
{
    const int value = static_cast<int>(setting);
    m_update = set(value, 2);
}

void GridSettings::setAllowColumnSizing(ColumnSizing setting)
{
    const int value = static_cast<int>(setting);
    m_colSizing = set(value, 3);
}

void GridSettings::setRowSelectors(RowSelectors setting)
{
    const int value = static_cast<int>(setting);
    m_rowSelectors = set(value, 2);
    m_grid->settingsChanged();
}

void GridColumnHeader::setCaption(const QString &caption)
{
    m_caption = caption;
    m_grid->settingsChanged();
}

GridColumn::GridColumn(TreeGrid *grid, int band, int position, const QString &caption, int width)
    : m_grid(grid), m_band(band), m_position(position), m_width(width), m_header(grid, caption)
{}

void GridColumn::setHidden(bool hidden)
{
    m_hidden = hidden;
    m_grid->settingsChanged();
}

void GridColumn::setActivation(CellActivation setting)
{
    const int value = static_cast<int>(setting);
    m_activation = inRange("Activation", value, 3);
}

void GridColumn::setDisplayEllipses(Ellipsis setting)
{
    const int value = static_cast<int>(setting);
    m_ellipses = inRange("DisplayEllipses", value, 2);
    m_grid->settingsChanged();
}

void GridColumn::setWidth(int twips)
{
    m_width = inRange("Width", twips, 32767);
    m_grid->settingsChanged();
}

GridBand::GridBand(TreeGrid *grid, int index, const std::vector<QString> &captions)
    : m_grid(grid), m_index(index), m_override(grid)
{
    for (size_t i = 0; i < captions.size(); ++i)
        m_columns.push_back(std::unique_ptr<GridColumn>(
            new GridColumn(grid, index, static_cast<int>(i), captions[i], TreeGrid::kDefaultColumnWidth)));
    m_order.resize(captions.size());
    std::iota(m_order.begin(), m_order.end(), 0);
}

GridColumn &GridBand::column(int position)
{
    if (position < 0 || position >= columnCount())
        throw GridError(GridError::ColumnOutOfRange,
                        QStringLiteral("Band %1 has no column %2").arg(m_index).arg(position));
    return *m_columns[static_cast<size_t>(position)];
}

const GridColumn &GridBand::column(int position) const
{
    return const_cast<GridBand *>(this)->column(position);
}

void GridBand::collapse()
{
    m_grid->collapseBand(m_index);
}

void GridScrollRegion::scroll(ScrollStep step)
{
    m_grid->scrollOneStep(static_cast<int>(step));
}

} // namespace tidyfox::widgets
