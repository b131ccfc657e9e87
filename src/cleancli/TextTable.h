// A plain table for a terminal: columns left-aligned under their headings,
// two spaces apart, the last one never padded; lines of their own (a blank
// line between groups, a folder's name) may sit between the rows.
//
// Cells are kept as UTF-8 in one buffer, with their widths in the units
// QString counts, so that a table of tens of thousands of rows costs a few
// allocations rather than one a cell.
#pragma once

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

    // The cells of a row follow, one call each, left to right.
    void beginRow();
    void cell(const QString &text);
    void cell(std::int64_t number);
    void cell(std::string_view ascii);

    void addLine(const QString &line);
    void render(OutputBuffer &out) const;

private:
    struct Span
    {
        std::uint32_t offset;
        std::uint32_t length; // bytes
        std::uint32_t width;  // QString units: what the column is padded by
    };
    struct Entry
    {
        std::uint32_t firstCell;
        std::uint32_t cells; // 0: a line of its own, its text in the first cell's span
    };

    void addCell(std::size_t width);

    std::vector<std::size_t> m_widths;
    std::string m_text;
    std::vector<Span> m_spans;
    std::vector<Entry> m_entries;
};

} // namespace tidyfox::cleancli
