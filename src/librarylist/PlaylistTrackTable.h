// SPDX-License-Identifier: GPL-3.0-or-later
// The child table of one playlist row of the library model: that playlist's
// tracks, in the order they were added. Every value is cut to its field's
// length before it is stored.
//
// A library can hold hundreds of thousands of these rows, so a row keeps 16
// bytes beside its text: where its values start in the model's text store
// (one after the other) and their lengths. A value equal to the one above it
// (the playlist ID in every row, an album's artist) is not stored again: the
// row says to read the row above, at most a few rows up.
#pragma once

#include "librarylist/TextStore.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>
#include <cstdint>
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
    void reserve(int tracks)
    {
        m_rows.reserve(static_cast<size_t>(std::max(tracks, 0)));
        m_fileMissing.reserve(static_cast<size_t>(std::max(tracks, 0)));
    }

    int trackCount() const { return static_cast<int>(m_rows.size()); }
    // A stored value; a field never written reads as a null text.
    QString value(int row, int field) const;
    bool fileMissing(int row) const { return m_fileMissing.at(static_cast<size_t>(row)); }

    PlaylistTrackTable(const PlaylistTrackTable &) = delete;
    PlaylistTrackTable &operator=(const PlaylistTrackTable &) = delete;

private:
    friend class LibraryListModel;
    PlaylistTrackTable(TextStore &texts, LibraryListModel *owner, int parentRow)
        : m_texts(texts), m_owner(owner), m_parentRow(parentRow)
    {}
    // The fields a row stores: TrackPath is never filled.
    static constexpr int kStored = FieldCount - 1;
    static int slotOf(int field) { return field < TrackPath ? field : field - 1; }

    // A length (TextStore's) may say the value is the row above's instead.
    static constexpr std::uint16_t kAbove = 0x4000;
    // How many rows in a row may say so: a read goes at most this far up.
    static constexpr int kLongestRun = 15;
    struct Row
    {
        std::uint32_t start = 0; // of the values the row stores
        std::array<std::uint16_t, kStored> length{};
    };
    struct Value
    {
        const char *bytes = nullptr;
        std::uint16_t length = 0;
    };
    Value valueAt(size_t row, int slot) const;

    TextStore &m_texts;
    LibraryListModel *m_owner;
    int m_parentRow;
    std::vector<Row> m_rows;
    std::vector<bool> m_fileMissing;
    // The last row's values, and how many rows above it said "as above".
    std::array<Value, kStored> m_last{};
    std::array<int, kStored> m_run{};
};

} // namespace tidyfox::librarylist
