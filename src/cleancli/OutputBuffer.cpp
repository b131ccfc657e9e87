// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/OutputBuffer.h"

#include <charconv>

namespace tidyfox::cleancli {
namespace {

char hexDigit(unsigned value)
{
    return static_cast<char>(value < 10 ? '0' + value : 'a' + value - 10);
}

void addEscape(std::string &out, char16_t unit)
{
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(hexDigit((unit >> shift) & 0xfu));
}

void addUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
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
    m_bytes.push_back('"');
    const auto *unit = reinterpret_cast<const char16_t *>(text.constData());
    const auto *end = unit + text.size();
    while (unit != end) {
        const char16_t u = *unit++;
        if (u < 0x20 || u == '"' || u == '\\') {
            m_bytes.push_back('\\');
            switch (u) {
            case '"':
                m_bytes.push_back('"');
                break;
            case '\\':
                m_bytes.push_back('\\');
                break;
            case '\b':
                m_bytes.push_back('b');
                break;
            case '\f':
                m_bytes.push_back('f');
                break;
            case '\n':
                m_bytes.push_back('n');
                break;
            case '\r':
                m_bytes.push_back('r');
                break;
            case '\t':
                m_bytes.push_back('t');
                break;
            default:
                m_bytes.pop_back();
                addEscape(m_bytes, u);
            }
        } else if (QChar::isHighSurrogate(u) && unit != end && QChar::isLowSurrogate(*unit)) {
            addUtf8(m_bytes, QChar::surrogateToUcs4(u, *unit++));
        } else if (QChar::isSurrogate(u)) {
            // Half a pair cannot be UTF-8: written as the escape, as Qt does.
            addEscape(m_bytes, u);
        } else {
            addUtf8(m_bytes, u);
        }
    }
    m_bytes.push_back('"');
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
