// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/JsonWriter.h"

namespace tidyfox::cleancli {

void JsonWriter::key(std::string_view name)
{
    element();
    m_out.add('"');
    m_out.add(name);
    m_out.add("\": ");
    m_afterKey = true;
}

void JsonWriter::value(std::int64_t number)
{
    element();
    m_out.addNumber(number);
}

void JsonWriter::fraction(double number)
{
    element();
    m_out.add(std::string_view(QByteArray::number(number, 'f', 3).constData()));
}

void JsonWriter::value(bool flag)
{
    element();
    m_out.add(flag ? "true" : "false");
}

void JsonWriter::value(const QString &text)
{
    element();
    m_out.addJsonString(text);
}

void JsonWriter::value(std::string_view ascii)
{
    element();
    m_out.add('"');
    m_out.add(ascii);
    m_out.add('"');
}

void JsonWriter::value(const QDateTime &date)
{
    if (date.isValid())
        value(date.toUTC().toString(Qt::ISODate));
    else
        null();
}

void JsonWriter::null()
{
    element();
    m_out.add("null");
}

void JsonWriter::ids(std::string_view name, const std::vector<std::int32_t> &ids)
{
    key(name);
    beginArray();
    for (std::int32_t id : ids)
        value(std::int64_t{id});
    endArray();
}

void JsonWriter::open(char bracket)
{
    element();
    m_out.add(bracket);
    m_out.add('\n');
    m_counts.push_back(0);
}

void JsonWriter::close(char bracket)
{
    if (m_counts.back() > 0)
        m_out.add('\n');
    m_counts.pop_back();
    m_out.addSpaces(4 * m_counts.size());
    m_out.add(bracket);
    m_out.writeIfFull();
}

// Before a member of an object or an element of an array: the separator
// from the one before and the indent. A value after its key has both.
void JsonWriter::element()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_counts.empty())
        return;
    if (m_counts.back()++ > 0)
        m_out.add(",\n");
    m_out.addSpaces(4 * m_counts.size());
}

} // namespace tidyfox::cleancli
