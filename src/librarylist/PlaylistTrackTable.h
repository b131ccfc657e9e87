// SPDX-License-Identifier: GPL-3.0-or-later
// The child table of one playlist row of the library model: that playlist's
// tracks, in the order they were added. Every value is cut to its field's
// length before it is stored.
//
// A library can hold hundreds of thousands of these rows, so a row keeps only
// offsets into one text buffer per table, a value equal to the one above it
// (the playlist ID in every row, an album's artist) is stored once, and a
// value all of whose characters are Latin-1 (most of a library's names) takes
// a byte a character.
#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tidyfox::librarylist {

class LibraryListModel;

class PlaylistTrackTable
{
public:
    enum Field { ItemID, TrackName, TrackID, TrackPath, Time, Artist, Album, FieldCount };

    static QString fieldName(int field);
    static int fieldWidth(int field);
    static int cutLength(int field);

    // One track as the list shows it (TrackPath is never filled); whether
    // its file is lost stands beside the fields, which keep their fixed set.
    struct Track
    {
        QString itemId; // its playlist's ID
        QString name;
        QString trackId;
        QString time;
        QString artist;
        QString album;
        bool fileMissing = false;
    };
    void addTrack(const Track &track);
    // Room for this many rows in all, known before they are added: a large
    // playlist's rows are then not copied as they grow.
    void reserve(int tracks) { m_rows.reserve(static_cast<size_t>(std::max(tracks, 0))); }

    int trackCount() const { return static_cast<int>(m_rows.size()); }
    // A stored value; a field never written reads as a null text.
    QString value(int row, int field) const;
    bool fileMissing(int row) const { return m_rows.at(static_cast<size_t>(row)).fileMissing; }

    PlaylistTrackTable(const PlaylistTrackTable &) = delete;
    PlaylistTrackTable &operator=(const PlaylistTrackTable &) = delete;

private:
    friend class LibraryListModel;
    PlaylistTrackTable(LibraryListModel *owner, int parentRow) : m_owner(owner), m_parentRow(parentRow) {}
    // The fields a row stores: TrackPath is never filled.
    static constexpr int kStored = FieldCount - 1;
    static int slotOf(int field) { return field < TrackPath ? field : field - 1; }
    // Stores a value of the last row; one equal to the row above's is kept once.
    void setField(int field, const QString &value);

    // A value's length in UTF-16 units (a cut value has at most 2 * 149 of
    // them), and whether it is kept as UTF-16 rather than Latin-1.
    static constexpr std::uint16_t kWide = 0x8000;
    struct Row
    {
        std::array<std::uint32_t, kStored> offset{};
        std::array<std::uint16_t, kStored> length{};
        bool fileMissing = false;
    };

    LibraryListModel *m_owner;
    int m_parentRow;
    std::vector<Row> m_rows;
    // The text lives in blocks that never move: growing the table never copies
    // what is stored. An offset is block * kBlockSize + position in bytes, a
    // value never straddles two blocks, and a UTF-16 value starts at an even
    // position. Blocks start small and double up to kBlockSize, so a playlist
    // of a few tracks takes little room.
    static constexpr std::uint32_t kBlockSize = 1u << 17;
    const char *bytes(std::uint32_t offset) const { return m_blocks[offset / kBlockSize].get() + offset % kBlockSize; }
    bool equal(std::uint32_t offset, std::uint16_t length, QStringView text) const;
    std::uint32_t store(QStringView text, bool wide);
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::uint32_t m_used = 0;     // in the last block
    std::uint32_t m_capacity = 0; // of the last block
};

} // namespace tidyfox::librarylist
