// SPDX-License-Identifier: GPL-3.0-or-later
// The text of every row of the library list, in blocks shared by all its
// playlists' tables. A value all of whose characters are Latin-1 (most of a
// library's names) takes a byte a character, any other two. Nothing stored
// moves or goes until the store does.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

namespace tidyfox::librarylist {

class TextStore
{
public:
    // A value's length as its row keeps it: its UTF-16 units (a cut value
    // has at most 2 * 149 of them) and whether it is kept as UTF-16.
    static constexpr std::uint16_t kWide = 0x8000;
    static constexpr std::uint16_t kUnits = 0x3fff;
    static std::uint16_t lengthOf(QStringView text);
    static std::uint32_t bytesOf(std::uint16_t length) { return (length & kUnits) * ((length & kWide) ? 2u : 1u); }

    TextStore() = default;
    TextStore(const TextStore &) = delete;
    TextStore &operator=(const TextStore &) = delete;

    // Room for this many bytes in one piece (at most kBlockSize); its offset.
    std::uint32_t reserve(std::uint32_t bytes);
    char *at(std::uint32_t offset) { return m_blocks[offset / kBlockSize].get() + offset % kBlockSize; }
    const char *at(std::uint32_t offset) const { return m_blocks[offset / kBlockSize].get() + offset % kBlockSize; }

    // Writes text as length says, and reads it back or compares it there.
    static void write(char *to, QStringView text, std::uint16_t length);
    static bool equals(const char *from, std::uint16_t length, QStringView text);
    static QString read(const char *from, std::uint16_t length);

    static constexpr std::uint32_t kBlockSize = 1u << 17;

private:
    // An offset is block * kBlockSize + position in bytes. Blocks start small
    // and double up to kBlockSize, so a list of a few tracks takes little room.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::uint32_t m_used = 0;     // in the last block
    std::uint32_t m_capacity = 0; // of the last block
};

} // namespace tidyfox::librarylist
