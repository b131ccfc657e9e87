// SPDX-License-Identifier: GPL-3.0-or-later
// What tidyfox-clean prints, gathered in one buffer of UTF-8 and written in
// large blocks: a report of tens of thousands of tracks is a few megabytes,
// and building it as QStrings first cost more than finding the tracks.
#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tidyfox::cleancli {

class OutputBuffer
{
public:
    // stream null: everything stays in the buffer (see bytes()).
    explicit OutputBuffer(std::FILE *stream);
    ~OutputBuffer();
    OutputBuffer(const OutputBuffer &) = delete;
    OutputBuffer &operator=(const OutputBuffer &) = delete;

    void add(std::string_view ascii) { m_bytes.append(ascii); }
    void add(char c) { m_bytes.push_back(c); }
    void addNumber(std::int64_t value);
    void addSpaces(std::size_t count) { m_bytes.append(count, ' '); }
    // text as a JSON string, quotes included, escaped as QJsonDocument does.
    void addJsonString(const QString &text);

    // Writes what is gathered when it has grown past a block.
    void writeIfFull()
    {
        if (m_bytes.size() >= kBlock)
            flush();
    }
    void flush();
    const std::string &bytes() const { return m_bytes; }

private:
    static constexpr std::size_t kBlock = 256 * 1024;

    std::FILE *m_stream;
    std::string m_bytes;
};

} // namespace tidyfox::cleancli
