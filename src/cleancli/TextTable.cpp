#include "cleancli/TextTable.h"

#include <algorithm>

namespace tidyfox::cleancli {
namespace {

// A tab or line break in a name would break the columns: every control
// character (Unicode's Cc) becomes a space.
bool isControl(char16_t u)
{
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}

} // namespace

TextTable::TextTable(std::initializer_list<std::string_view> headings)
{
    beginRow();
    for (std::string_view heading : headings)
        cell(heading);
}

void TextTable::beginRow()
{
    m_entries.push_back({static_cast<std::uint32_t>(m_spans.size()), 0});
}

void TextTable::cell(const QString &text)
{
    const auto *unit = reinterpret_cast<const char16_t *>(text.constData());
    const auto *end = unit + text.size();
    bool plain = true;
    for (const auto *u = unit; u != end && plain; ++u)
        plain = *u < 0x7f && !isControl(*u);
    const std::size_t start = m_text.size();
    if (plain) {
        for (const auto *u = unit; u != end; ++u)
            m_text.push_back(static_cast<char>(*u));
    } else {
        QString cleaned = text;
        for (QChar &c : cleaned) {
            if (isControl(c.unicode()))
                c = QLatin1Char(' ');
        }
        const QByteArray utf8 = cleaned.toUtf8();
        m_text.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    m_spans.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(m_text.size() - start), 0});
    addCell(static_cast<std::size_t>(text.size()));
}

void TextTable::cell(std::int64_t number)
{
    const std::size_t start = m_text.size();
    m_text += std::to_string(number);
    m_spans.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(m_text.size() - start), 0});
    addCell(m_text.size() - start);
}

void TextTable::cell(std::string_view ascii)
{
    m_spans.push_back({static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(ascii.size()), 0});
    m_text.append(ascii);
    addCell(ascii.size());
}

void TextTable::addCell(std::size_t width)
{
    m_spans.back().width = static_cast<std::uint32_t>(width);
    const std::size_t column = m_entries.back().cells++;
    if (column >= m_widths.size())
        m_widths.resize(column + 1, 0);
    m_widths[column] = std::max(m_widths[column], width);
}

void TextTable::addLine(const QString &line)
{
    const QByteArray utf8 = line.toUtf8();
    m_entries.push_back({static_cast<std::uint32_t>(m_spans.size()), 0});
    m_spans.push_back({static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(utf8.size()), 0});
    m_text.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

void TextTable::render(OutputBuffer &out) const
{
    const auto text = [this](const Span &span) { return std::string_view(m_text).substr(span.offset, span.length); };
    for (const Entry &entry : m_entries) {
        if (entry.cells == 0) {
            out.add(text(m_spans[entry.firstCell]));
            out.add('\n');
            continue;
        }
        for (std::uint32_t i = 0; i < entry.cells; ++i) {
            const Span &span = m_spans[entry.firstCell + i];
            out.add(text(span));
            if (i + 1 == entry.cells)
                break;
            // Padded in the units the cell was measured in: a character of
            // several bytes is one of them.
            out.addSpaces(m_widths[i] - span.width + 2);
        }
        out.add('\n');
        out.writeIfFull();
    }
}

} // namespace tidyfox::cleancli
