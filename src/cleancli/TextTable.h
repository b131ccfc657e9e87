// SPDX-License-Identifier: GPL-3.0-or-later
// A plain table for a terminal: columns left-aligned under their headings,
// two spaces apart, the last one never padded; lines of their own (a blank
// line between groups, a folder's name) may sit between the rows.
//
// Given the terminal's width, the table fits it: the widest of the columns
// that may be shortened are cut from the middle, down to each one's floor;
// when that is not enough the columns that may be left out go, in their
// order, named under the table, and then the shortened columns go below
// their floors down to their headings. Without a width every column is whole.
//
// Cells are kept as UTF-8 in one buffer, with their widths in terminal
// columns, so that a table of tens of thousands of rows costs a few
// allocations rather than one a cell.
#pragma once

#include "cleancli/CellText.h"
#include "cleancli/OutputBuffer.h"

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tidyfox::cleancli {

class TextTable
{
public:
    explicit TextTable(std::initializer_list<std::string_view> headings);

    // A column a narrow terminal may cut from the middle, to no less than
    // floor columns (or its heading) while others can be left out; below
    // that, the columns shrink in proportion to their floors.
    void setShortenable(std::size_t column, std::size_t floor = 12, CutBias bias = CutBias::Even);
    // Columns a narrow terminal may leave out, the first to go first.
    void setDroppable(std::vector<std::size_t> columns);

    // The cells of a row follow, one call each, left to right.
    void beginRow();
    void cell(const QString &text);
    void cell(std::int64_t number);
    void cell(std::string_view ascii);

    void addLine(const QString &line);
    // width: the terminal's columns; 0 for every column whole.
    void render(OutputBuffer &out, std::size_t width = 0) const;

private:
    struct Span
    {
        std::uint32_t offset;
        std::uint32_t length; // bytes
        std::uint32_t width;  // terminal columns: what the column is padded by
    };
    struct Entry
    {
        std::uint32_t firstCell;
        std::uint32_t cells; // 0: a line of its own, its text in the first cell's span
    };
    // How wide each column is shown; 0 for a column left out.
    std::vector<std::size_t> layoutFor(std::size_t width) const;
    // The shortenable columns of shown cut to fit room, none below its
    // hard floor.
    void shortenInto(std::vector<std::size_t> &shown, const std::vector<std::size_t> &hardFloors,
                     std::size_t room) const;
    void addSpan(std::size_t start, std::size_t width);
    std::string_view textOf(const Span &span) const;

    std::vector<std::size_t> m_widths;
    std::vector<bool> m_shortenable;
    std::vector<std::size_t> m_floors;
    std::vector<CutBias> m_biases;
    std::vector<std::size_t> m_droppable;
    std::string m_text;
    std::vector<Span> m_spans;
    std::vector<Entry> m_entries;
};

} // namespace tidyfox::cleancli
