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
    if (!date.isValid()) {
        null();
        return;
    }
    // The UTC time to the second, as Qt::ISODate writes it, written here:
    // a review of a million tracks writes hundreds of thousands of dates,
    // and Qt's formatter was a tenth of its time.
    const std::int64_t ms = date.toMSecsSinceEpoch();
    const std::int64_t seconds = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    std::int64_t days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    const std::int64_t ofDay = seconds - days * 86400;
    // Days since 1970-01-01 to the civil date (the proleptic Gregorian
    // calendar, as Qt counts it), by eras of 400 years.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t ofEra = days - era * 146097;
    const std::int64_t yearOfEra = (ofEra - ofEra / 1460 + ofEra / 36524 - ofEra / 146096) / 365;
    const std::int64_t ofYear = ofEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * ofYear + 2) / 153;
    const std::int64_t day = ofYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    // Years of other widths are left to Qt's own rules.
    if (year < 1000 || year > 9999) {
        value(date.toUTC().toString(Qt::ISODate));
        return;
    }
    char text[] = "0000-00-00T00:00:00Z";
    const auto put = [&text](int at, int digits, std::int64_t number) {
        for (int d = at + digits - 1; d >= at; --d, number /= 10)
            text[d] = char('0' + number % 10);
    };
    put(0, 4, year);
    put(5, 2, month);
    put(8, 2, day);
    put(11, 2, ofDay / 3600);
    put(14, 2, ofDay / 60 % 60);
    put(17, 2, ofDay % 60);
    value(std::string_view(text, 20));
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
