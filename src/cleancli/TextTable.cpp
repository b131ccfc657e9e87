// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/TextTable.h"

#include <QStringList>
#include <algorithm>

namespace tidyfox::cleancli {
namespace {

// A tab or line break in a name would break the columns: every control
// character (Unicode's Cc) becomes a space.
bool isControl(char16_t u)
{
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}

constexpr std::size_t kGap = 2;

// text broken at blanks into lines of at most width columns (a word longer
// than that stays whole).
QStringList wrapped(const QString &text, std::size_t width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '))) {
        if (!line.isEmpty() && displayWidth(line) + 1 + displayWidth(word) > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    return lines;
}

} // namespace

TextTable::TextTable(std::initializer_list<std::string_view> headings)
{
    beginRow();
    for (std::string_view heading : headings)
        cell(heading);
    m_shortenable.assign(m_widths.size(), false);
    m_floors.assign(m_widths.size(), 0);
    m_biases.assign(m_widths.size(), CutBias::Even);
}

void TextTable::setShortenable(std::size_t column, std::size_t floor, CutBias bias)
{
    m_shortenable.at(column) = true;
    m_floors.at(column) = floor;
    m_biases.at(column) = bias;
}

void TextTable::setDroppable(std::vector<std::size_t> columns)
{
    m_droppable = std::move(columns);
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
        addSpan(start, static_cast<std::size_t>(text.size()));
        return;
    }
    QString cleaned = text;
    for (QChar &c : cleaned) {
        if (isControl(c.unicode()))
            c = QLatin1Char(' ');
    }
    const QByteArray utf8 = cleaned.toUtf8();
    m_text.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    addSpan(start, displayWidth(cleaned));
}

void TextTable::cell(std::int64_t number)
{
    const std::size_t start = m_text.size();
    m_text += std::to_string(number);
    addSpan(start, m_text.size() - start);
}

void TextTable::cell(std::string_view ascii)
{
    const std::size_t start = m_text.size();
    m_text.append(ascii);
    addSpan(start, ascii.size());
}

void TextTable::addSpan(std::size_t start, std::size_t width)
{
    m_spans.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(m_text.size() - start),
                       static_cast<std::uint32_t>(width)});
    const std::size_t column = m_entries.back().cells++;
    if (column >= m_widths.size())
        m_widths.resize(column + 1, 0);
    m_widths[column] = std::max(m_widths[column], width);
}

void TextTable::addLine(const QString &line)
{
    const QByteArray utf8 = line.toUtf8();
    m_entries.push_back({static_cast<std::uint32_t>(m_spans.size()), 0});
    m_spans.push_back({static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(utf8.size()),
                       static_cast<std::uint32_t>(displayWidth(line))});
    m_text.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string_view TextTable::textOf(const Span &span) const
{
    return std::string_view(m_text).substr(span.offset, span.length);
}

std::vector<std::size_t> TextTable::layoutFor(std::size_t width) const
{
    std::vector<std::size_t> shown = m_widths;
    if (width == 0)
        return shown;
    const std::size_t columns = shown.size();
    const Entry &headings = m_entries.front();
    std::vector<std::size_t> floors(columns, 0);
    std::vector<std::size_t> hardFloors(columns, 0);
    for (std::size_t i = 0; i < columns; ++i) {
        const std::size_t heading = i < headings.cells ? m_spans[headings.firstCell + i].width : 0;
        hardFloors[i] = m_shortenable[i] ? std::min(m_widths[i], std::max<std::size_t>(heading, 2)) : m_widths[i];
        floors[i] = m_shortenable[i] ? std::min(m_widths[i], std::max(heading, m_floors[i])) : m_widths[i];
    }
    // The room the shown columns need at their floors, gaps included.
    const auto least = [&](const std::vector<std::size_t> &at) {
        std::size_t sum = 0;
        std::size_t count = 0;
        for (std::size_t i = 0; i < columns; ++i) {
            if (shown[i] > 0) {
                sum += at[i];
                ++count;
            }
        }
        return sum + (count > 0 ? (count - 1) * kGap : 0);
    };
    for (std::size_t next = 0; least(floors) > width && next < m_droppable.size(); ++next)
        shown[m_droppable[next]] = 0;
    std::size_t fixed = least(hardFloors);
    for (std::size_t i = 0; i < columns; ++i) {
        if (shown[i] > 0 && m_shortenable[i])
            fixed -= hardFloors[i];
    }
    shortenInto(shown, hardFloors, width > fixed ? width - fixed : 0);
    return shown;
}

void TextTable::shortenInto(std::vector<std::size_t> &shown, const std::vector<std::size_t> &hardFloors,
                            std::size_t room) const
{
    // At level t a column is t percent of its floor wide (no wider than its
    // text, no narrower than its heading): the widest are cut first, and a
    // column with a higher floor keeps more.
    const auto widthAt = [&](std::size_t i, std::size_t t) {
        return std::min(m_widths[i], std::max(hardFloors[i], t * m_floors[i] / 100));
    };
    const auto widthUnder = [&](std::size_t t) {
        std::size_t sum = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (shown[i] > 0 && m_shortenable[i])
                sum += widthAt(i, t);
        }
        return sum;
    };
    std::size_t low = 0;
    std::size_t high = 100 * *std::max_element(m_widths.begin(), m_widths.end());
    while (low < high) {
        const std::size_t t = (low + high + 1) / 2;
        if (widthUnder(t) <= room)
            low = t;
        else
            high = t - 1;
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] > 0 && m_shortenable[i])
            shown[i] = widthAt(i, low);
    }
}

void TextTable::render(OutputBuffer &out, std::size_t width) const
{
    const std::vector<std::size_t> shown = layoutFor(width);
    std::size_t lastShown = 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
        lastShown = shown[i] > 0 ? i : lastShown;
    // A cell wider than its column is cut; text that fits is copied as it is.
    const auto addCut = [&out, this](const Span &span, std::size_t columns, CutBias bias) {
        if (span.width <= columns) {
            out.add(textOf(span));
            return std::size_t{span.width};
        }
        const QString cut = cutInMiddle(QString::fromUtf8(textOf(span).data(), qsizetype(span.length)), columns, bias);
        const QByteArray utf8 = cut.toUtf8();
        out.add(std::string_view(utf8.constData(), std::size_t(utf8.size())));
        return displayWidth(cut);
    };
    for (const Entry &entry : m_entries) {
        if (entry.cells == 0) {
            const Span &span = m_spans[entry.firstCell];
            addCut(span, width > 0 ? std::max<std::size_t>(width, 2) : span.width, CutBias::KeepTail);
            out.add('\n');
            continue;
        }
        bool first = true;
        std::size_t pad = 0;
        for (std::uint32_t i = 0; i < entry.cells; ++i) {
            if (shown[i] == 0)
                continue;
            if (!first)
                out.addSpaces(pad);
            first = false;
            const std::size_t used = addCut(m_spans[entry.firstCell + i], shown[i], m_biases[i]);
            if (i == lastShown || i + 1 == entry.cells)
                break;
            pad = shown[i] - used + kGap;
        }
        out.add('\n');
        out.writeIfFull();
    }
    // Said, so that nobody looks for a column in vain.
    QStringList left;
    const Entry &headings = m_entries.front();
    for (std::size_t i = 0; i < shown.size() && i < headings.cells; ++i) {
        if (shown[i] == 0) {
            const std::string_view heading = textOf(m_spans[headings.firstCell + i]);
            left << QString::fromUtf8(heading.data(), qsizetype(heading.size()));
        }
    }
    if (left.isEmpty())
        return;
    const QString note = QStringLiteral("(not shown to fit the terminal: %1; --wide shows every column)")
                             .arg(left.join(QStringLiteral(", ")));
    for (const QString &line : wrapped(note, width)) {
        const QByteArray utf8 = line.toUtf8();
        out.add(std::string_view(utf8.constData(), std::size_t(utf8.size())));
        out.add('\n');
    }
}

} // namespace tidyfox::cleancli
