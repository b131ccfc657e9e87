// SPDX-License-Identifier: GPL-3.0-or-later
// The child table of one playlist row of the library model: that playlist's
// tracks, in the order they were added.
//
// Rows are added at the end and written field by field, like this:
//     PlaylistTrackTable *tracks = recordset.chapter(u"Playlist");
//     tracks->addRow();
//     tracks->setField(u"ItemID", playlistId);
//     tracks->setField(u"TrackName", track.name());  ...
// Every value is cut to the field's length before it is stored.
//
// A library can hold hundreds of thousands of these rows, so a row keeps only
// offsets into one text buffer per table, and a value equal to the one above
// it (the playlist ID in every row, an album's artist) is stored once.
#pragma once

#include <QString>
#include <QStringView>
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

    // -1 for a name that is not a field; names are compared without regard to case.
    static int fieldIndex(QStringView name);
    static QString fieldName(int field);
    static int fieldWidth(int field);
    static int cutLength(int field);

    // Appends an empty row and makes it the current one.
    void addRow();
    // Writes a field of the current row; throws ListModelError without a
    // current row or for an unknown field.
    void setField(QStringView name, const QString &value);
    void setField(int field, const QString &value);
    QString field(QStringView name) const;
    // Makes the first row current; throws ListModelError when there is none.
    void moveFirst();

    int recordCount() const { return static_cast<int>(m_rows.size()); }
    int currentRow() const { return m_current; }
    // A stored value; a field never written reads as a null text.
    QString value(int row, int field) const;

    // Whether the current row's track has lost its file; beside the fields,
    // which keep their fixed set.
    void setFileMissing(bool missing);
    bool fileMissing(int row) const { return m_rows.at(static_cast<size_t>(row)).fileMissing; }

    PlaylistTrackTable(const PlaylistTrackTable &) = delete;
    PlaylistTrackTable &operator=(const PlaylistTrackTable &) = delete;

private:
    friend class LibraryListModel;
    PlaylistTrackTable(LibraryListModel *owner, int parentRow) : m_owner(owner), m_parentRow(parentRow) {}
    int checkedField(QStringView name) const;

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
    int m_current = -1;
};

} // namespace tidyfox::librarylist
