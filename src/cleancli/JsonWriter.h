// SPDX-License-Identifier: GPL-3.0-or-later
// One JSON document written as it is built, laid out exactly as
// QJsonDocument::toJson(Indented) lays it out (four spaces a level, the keys
// of each object given in sorted order by the caller), so that scripts see
// the same text as before without a tree of the whole report in memory.
#pragma once

#include "cleancli/OutputBuffer.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tidyfox::cleancli {

class JsonWriter
{
public:
    explicit JsonWriter(OutputBuffer &out) : m_out(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The next member's name; its value follows.
    void key(std::string_view name);

    // An element of an array, or the value after key().
    void value(std::int64_t number);
    void value(bool flag);
    // Three decimals: a share, as a match strength.
    void fraction(double number);
    void value(const QString &text);
    void value(std::string_view ascii);
    // ISO 8601 in UTC; null for an unknown date.
    void value(const QDateTime &date);
    void null();
    void ids(std::string_view name, const std::vector<std::int32_t> &ids);

    // Ends the document with its line break.
    void finish() { m_out.add('\n'); }

private:
    void open(char bracket);
    void close(char bracket);
    void element();

    OutputBuffer &m_out;
    std::vector<int> m_counts; // members so far, a level each
    bool m_afterKey = false;
};

} // namespace tidyfox::cleancli
