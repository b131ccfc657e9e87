// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/OutputBuffer.h"

#include <charconv>

namespace tidyfox::cleancli {
namespace {

char hexDigit(unsigned value)
{
    return static_cast<char>(value < 10 ? '0' + value : 'a' + value - 10);
}

char *putEscape(char *out, char16_t unit)
{
    *out++ = '\\';
    *out++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4)
        *out++ = hexDigit((unit >> shift) & 0xfu);
    return out;
}

char *putUtf8(char *out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xc0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xe0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        *out++ = static_cast<char>(0x80 | (c & 0x3f));
    } else {
        *out++ = static_cast<char>(0xf0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        *out++ = static_cast<char>(0x80 | (c & 0x3f));
    }
    return out;
}

// The escape of a unit JSON does not take as it is, or null.
char shortEscape(char16_t unit)
{
    switch (unit) {
    case '"':
        return '"';
    case '\\':
        return '\\';
    case '\b':
        return 'b';
    case '\f':
        return 'f';
    case '\n':
        return 'n';
    case '\r':
        return 'r';
    case '\t':
        return 't';
    default:
        return 0;
    }
}

} // namespace

OutputBuffer::OutputBuffer(std::FILE *stream) : m_stream(stream)
{
    m_bytes.reserve(kBlock + kBlock / 4);
}

OutputBuffer::~OutputBuffer()
{
    flush();
}

void OutputBuffer::addNumber(std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    m_bytes.append(digits, end);
}

void OutputBuffer::addJsonString(const QString &text)
{
    // Room for the longest text it can become (an escape of six bytes a
    // unit), written through a pointer: a review of a million tracks writes
    // over a million texts, and a check for room at every byte was most of
    // their cost.
    const std::size_t at = m_bytes.size();
    m_bytes.resize(at + 2 + std::size_t(text.size()) * 6);
    char *out = m_bytes.data() + at;
    *out++ = '"';
    const auto *unit = reinterpret_cast<const char16_t *>(text.constData());
    const auto *end = unit + text.size();
    while (unit != end) {
        const char16_t u = *unit++;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *out++ = static_cast<char>(u);
        } else if (u < 0x80) {
            if (const char escape = shortEscape(u)) {
                *out++ = '\\';
                *out++ = escape;
            } else {
                out = putEscape(out, u);
            }
        } else if (QChar::isHighSurrogate(u) && unit != end && QChar::isLowSurrogate(*unit)) {
            out = putUtf8(out, QChar::surrogateToUcs4(u, *unit++));
        } else if (QChar::isSurrogate(u)) {
            // Half a pair cannot be UTF-8: written as the escape, as Qt does.
            out = putEscape(out, u);
        } else {
            out = putUtf8(out, u);
        }
    }
    *out++ = '"';
    m_bytes.resize(std::size_t(out - m_bytes.data()));
}

void OutputBuffer::flush()
{
    if (!m_stream || m_bytes.empty())
        return;
    std::fwrite(m_bytes.data(), 1, m_bytes.size(), m_stream);
    std::fflush(m_stream);
    m_bytes.clear();
}

} // namespace tidyfox::cleancli
