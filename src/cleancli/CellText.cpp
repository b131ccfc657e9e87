// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/CellText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tidyfox::cleancli {
namespace {

// Wide and fullwidth characters: Hangul Jamo, CJK, Hangul syllables, the
// fullwidth forms and the emoji blocks a song title may hold.
constexpr std::array<std::pair<char32_t, char32_t>, 15> kWide = {{
    {0x1100, 0x115f},
    {0x2e80, 0x303e},
    {0x3041, 0x33ff},
    {0x3400, 0x4dbf},
    {0x4e00, 0x9fff},
    {0xa000, 0xa4cf},
    {0xac00, 0xd7a3},
    {0xf900, 0xfaff},
    {0xfe30, 0xfe4f},
    {0xff00, 0xff60},
    {0xffe0, 0xffe6},
    {0x1f300, 0x1f64f},
    {0x1f900, 0x1f9ff},
    {0x20000, 0x2fffd},
    {0x30000, 0x3fffd},
}};

std::size_t widthOf(char32_t c)
{
    if (c < 0x300)
        return 1;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        break;
    }
    for (const auto &[first, last] : kWide) {
        if (c < first)
            break;
        if (c <= last)
            return 2;
    }
    return 1;
}

// The code point that starts at i, and where the next one starts.
std::pair<char32_t, qsizetype> codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text[i + 1]), i + 2};
    return {c.unicode(), i + 1};
}

// The code point that ends just before i, and where it starts.
std::pair<char32_t, qsizetype> codePointBefore(QStringView text, qsizetype i)
{
    const QChar c = text[i - 1];
    if (c.isLowSurrogate() && i >= 2 && text[i - 2].isHighSurrogate())
        return {QChar::surrogateToUcs4(text[i - 2], c), i - 2};
    return {c.unicode(), i - 1};
}

} // namespace

std::size_t displayWidth(QStringView text)
{
    std::size_t width = 0;
    for (qsizetype i = 0; i < text.size();) {
        const auto [c, next] = codePointAt(text, i);
        width += widthOf(c);
        i = next;
    }
    return width;
}

QString cutInMiddle(QStringView text, std::size_t width, CutBias bias)
{
    if (displayWidth(text) <= width)
        return text.toString();
    const std::size_t room = width - 1; // the ellipsis takes one column
    const std::size_t headRoom = bias == CutBias::Even ? (room + 1) / 2 : std::max<std::size_t>(room / 4, 1);
    const std::size_t tailRoom = room - headRoom;
    qsizetype headEnd = 0;
    for (std::size_t used = 0; headEnd < text.size();) {
        const auto [c, next] = codePointAt(text, headEnd);
        if (used + widthOf(c) > headRoom)
            break;
        used += widthOf(c);
        headEnd = next;
    }
    qsizetype tailStart = text.size();
    for (std::size_t used = 0; tailStart > headEnd;) {
        const auto [c, start] = codePointBefore(text, tailStart);
        if (used + widthOf(c) > tailRoom)
            break;
        used += widthOf(c);
        tailStart = start;
    }
    return text.left(headEnd).toString() + QChar(0x2026) + text.mid(tailStart).toString();
}

} // namespace tidyfox::cleancli
