#include "platform/UltraGridObjects.h"

#include "platform/GridError.h"
#include "platform/UltraGrid.h"

#include <numeric>

namespace tidyfox::platform {

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

int UGAppearance::checked(int color) const
{
    if (color != Unset && (color < 0 || color > 0xFFFFFF))
        invalidValue("a colour", color);
    return color;
}

void UGAppearance::setBackColor(int color)
{
    m_back = checked(color);
    m_grid->settingsChanged();
}

void UGAppearance::setBorderColor(int color)
{
    m_border = checked(color);
    m_grid->settingsChanged();
}

void UGAppearance::setForeColor(int color)
{
    m_fore = checked(color);
    m_grid->settingsChanged();
}

int UGOverride::set(int value, int highest)
{
    inRange("an override setting", value, highest);
    return value;
}

void UGOverride::setAllowColMoving(int value)
{
    m_colMoving = set(value, 2);
}

void UGOverride::setAllowColSwapping(int value)
{
    m_colSwapping = set(value, 2);
}

void UGOverride::setAllowDelete(int value)
{
    m_delete = set(value, 2);
}

void UGOverride::setAllowUpdate(int value)
{
    m_update = set(value, 2);
}

void UGOverride::setAllowColSizing(int value)
{
    m_colSizing = set(value, 3);
}

void UGOverride::setRowSelectors(int value)
{
    m_rowSelectors = set(value, 2);
    m_grid->settingsChanged();
}

void UGHeader::setCaption(const QString &caption)
{
    m_caption = caption;
    m_grid->settingsChanged();
}

UGColumn::UGColumn(UltraGrid *grid, int band, int position, const QString &caption, int width)
    : m_grid(grid), m_band(band), m_position(position), m_width(width), m_header(grid, caption)
{}

void UGColumn::setHidden(bool hidden)
{
    m_hidden = hidden;
    m_grid->settingsChanged();
}

void UGColumn::setActivation(int value)
{
    m_activation = inRange("Activation", value, 3);
}

void UGColumn::setDisplayEllipses(int value)
{
    m_ellipses = inRange("DisplayEllipses", value, 2);
    m_grid->settingsChanged();
}

void UGColumn::setWidth(int twips)
{
    m_width = inRange("Width", twips, 32767);
    m_grid->settingsChanged();
}

UGBand::UGBand(UltraGrid *grid, int index, const std::vector<QString> &captions)
    : m_grid(grid), m_index(index), m_override(grid)
{
    for (size_t i = 0; i < captions.size(); ++i)
        m_columns.push_back(std::unique_ptr<UGColumn>(
            new UGColumn(grid, index, static_cast<int>(i), captions[i], UltraGrid::kDefaultColumnWidth)));
    m_order.resize(captions.size());
    std::iota(m_order.begin(), m_order.end(), 0);
}

UGColumn &UGBand::Columns(int position)
{
    if (position < 0 || position >= ColumnCount())
        throw GridError(GridError::ColumnOutOfRange,
                        QStringLiteral("Band %1 has no column %2").arg(m_index).arg(position));
    return *m_columns[static_cast<size_t>(position)];
}

const UGColumn &UGBand::Columns(int position) const
{
    return const_cast<UGBand *>(this)->Columns(position);
}

void UGBand::Collapse()
{
    m_grid->collapseBand(m_index);
}

void UGScrollRegion::Scroll(int action)
{
    m_grid->scrollOneStep(action);
}

} // namespace tidyfox::platform
