// A plain table for a terminal: columns left-aligned under their headings,
// two spaces apart, the last one never padded; lines of their own (a blank
// line between groups, a folder's name) may sit between the rows.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tidyfox::cleancli {

class TextTable
{
public:
    explicit TextTable(QStringList headings);

    void addRow(QStringList cells);
    void addLine(const QString &line);
    QString render() const;

private:
    struct Entry
    {
        QStringList cells; // empty for a line of its own
        QString line;
    };

    QStringList m_headings;
    std::vector<Entry> m_entries;
};

} // namespace tidyfox::cleancli
