// SPDX-License-Identifier: GPL-3.0-or-later
// The child table of one playlist row of the library model: that playlist's
// tracks, in the order they were added. Every value is cut to its field's
// length before it is stored.
//
// A library can hold hundreds of thousands of these rows, so a row keeps only
// offsets into one text buffer per table, and a value equal to the one above
// it (the playlist ID in every row, an album's artist) is stored once.
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
    // Stores a value of the last row; one equal to the row above's is kept once.
    void setField(int field, const QString &value);

    struct Row
    {
        std::array<std::uint32_t, FieldCount> offset{};
        // In UTF-16 units; a cut value has at most 2 * 149 of them.
        std::array<std::uint16_t, FieldCount> length{};
        bool fileMissing = false;
    };

    LibraryListModel *m_owner;
    int m_parentRow;
    std::vector<Row> m_rows;
    // The text lives in blocks that never move: growing the table never copies
    // what is stored. An offset is block * kBlockSize + position, and a value
    // never straddles two blocks. Blocks start small and double up to
    // kBlockSize, so a playlist of a few tracks takes little room.
    static constexpr std::uint32_t kBlockSize = 1u << 16;
    const char16_t *text(std::uint32_t offset) const
    {
        return m_blocks[offset / kBlockSize].get() + offset % kBlockSize;
    }
    std::uint32_t store(const char16_t *text, std::uint16_t length);
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    std::uint32_t m_used = 0;     // in the last block
    std::uint32_t m_capacity = 0; // of the last block
};

} // namespace tidyfox::librarylist
