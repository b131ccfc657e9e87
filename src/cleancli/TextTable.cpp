#include "cleancli/TextTable.h"

#include <algorithm>

namespace tidyfox::cleancli {

TextTable::TextTable(QStringList headings) : m_headings(std::move(headings)) {}

void TextTable::addRow(QStringList cells)
{
    // A tab or line break in a name would break the columns.
    for (QString &cell : cells) {
        for (QChar &c : cell) {
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char(' ');
        }
    }
    m_entries.push_back({std::move(cells), {}});
}

void TextTable::addLine(const QString &line)
{
    m_entries.push_back({{}, line});
}

QString TextTable::render() const
{
    std::vector<qsizetype> widths;
    for (const QString &heading : m_headings)
        widths.push_back(heading.size());
    for (const Entry &entry : m_entries) {
        for (qsizetype i = 0; i < entry.cells.size() && i < qsizetype(widths.size()); ++i)
            widths[size_t(i)] = std::max(widths[size_t(i)], entry.cells.at(i).size());
    }
    const auto renderRow = [&](const QStringList &cells) {
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i + 1 == cells.size())
                line += cells.at(i);
            else
                line += cells.at(i).leftJustified(widths[size_t(i)]) + QStringLiteral("  ");
        }
        return line + QLatin1Char('\n');
    };
    QString text = renderRow(m_headings);
    for (const Entry &entry : m_entries)
        text += entry.cells.isEmpty() ? entry.line + QLatin1Char('\n') : renderRow(entry.cells);
    return text;
}

} // namespace tidyfox::cleancli
