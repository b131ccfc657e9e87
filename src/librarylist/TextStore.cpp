// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarylist/TextStore.h"

#include <QLatin1String>
#include <algorithm>
#include <cstring>

namespace tidyfox::librarylist {

std::uint16_t TextStore::lengthOf(QStringView text)
{
    const bool wide = std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xff; });
    return static_cast<std::uint16_t>(std::min<qsizetype>(text.size(), kUnits) | (wide ? kWide : 0));
}

std::uint32_t TextStore::reserve(std::uint32_t bytes)
{
    if (m_blocks.empty() || m_used + bytes > m_capacity) {
        m_capacity = std::min(kBlockSize, std::max({std::uint32_t(4096), 2 * m_capacity, bytes}));
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_capacity));
        m_used = 0;
    }
    const auto offset = static_cast<std::uint32_t>((m_blocks.size() - 1) * kBlockSize + m_used);
    m_used += bytes;
    return offset;
}

void TextStore::write(char *to, QStringView text, std::uint16_t length)
{
    const qsizetype units = length & kUnits;
    if (length & kWide) {
        std::memcpy(to, text.utf16(), size_t(units) * 2);
        return;
    }
    for (qsizetype i = 0; i < units; ++i)
        to[i] = static_cast<char>(text[i].unicode());
}

bool TextStore::equals(const char *from, std::uint16_t length, QStringView text)
{
    const qsizetype units = length & kUnits;
    if (units != text.size())
        return false;
    if (units == 0)
        return true;
    // UTF-16 is kept unaligned, so it is compared as bytes.
    if (length & kWide)
        return std::memcmp(from, text.utf16(), size_t(units) * 2) == 0;
    return QLatin1String(from, units) == text;
}

QString TextStore::read(const char *from, std::uint16_t length)
{
    const qsizetype units = length & kUnits;
    if (units == 0)
        return QString();
    if (!(length & kWide))
        return QString::fromLatin1(from, units);
    QString text(units, Qt::Uninitialized);
    std::memcpy(text.data(), from, size_t(units) * 2);
    return text;
}

} // namespace tidyfox::librarylist
