// SPDX-License-Identifier: GPL-3.0-or-later
// The tracks of a collection as rows of one table, read where they lie: a
// walk over a library of a million tracks reads what it needs of each row
// without an object, a location or a copy of any text per track. The
// library's own collections are fetched as such a table; any other is read
// once, track by track, into a table of its own (its texts as UTF-8, as the
// library's tables keep them: a text that UTF-8 cannot carry as it is, a lone
// surrogate or a leading byte order mark, reads as it would from the
// library).
#pragma once

#include "libraryclient/LibraryClient.h"
#include "protocol/LibraryBusFormat.h"

#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tidyfox::cleaning {

class TrackRows
{
public:
    // The tracks a walk of tracks would visit now, in its order. Throws what
    // the collection's reads throw.
    explicit TrackRows(libraryclient::LibraryTrackList &tracks);

    int size() const { return static_cast<int>(m_rows.size()); }
    const protocol::TrackTable &table() const { return *m_table; }
    // The row in table() of the track at index.
    int row(int index) const { return m_rows[static_cast<size_t>(index)]; }

    std::int32_t databaseId(int index) const { return m_table->databaseId(row(index)); }
    // False for a track without a file (a stream).
    bool hasFile(int index) const { return m_table->kind(row(index)) != protocol::TrackKind::Url; }
    // The path of the track's file; empty for a stream and for a track whose
    // file the library lost.
    QString location(int index) const;
    // The same as a view, valid until the next call: a walk over every
    // track reads its location without a copy on the heap where the bytes
    // are ASCII, as nearly all are.
    QStringView locationView(int index) const { return locationView(index, m_view); }
    // Where a view's text is kept: a second thread that walks the rows
    // brings its own.
    struct ViewBuffer
    {
        std::u16string ascii;
        QString other;
    };
    QStringView locationView(int index, ViewBuffer &buffer) const;
    QString text(int index, protocol::TrackText which) const { return m_table->text(row(index), which); }
    QByteArrayView textBytes(int index, protocol::TrackText which) const
    {
        return m_table->textBytes(row(index), which);
    }

    // The object of the track at index, for what only an object does (ask
    // whether it is still there, remove it).
    libraryclient::TrackPtr track(int index);

    // A walk in index order is past the tracks before index: see
    // TrackTable::forgetRowsBefore.
    void forgetBefore(int index) const;
    // The same for the tracks from from up to to: see TrackTable::forgetRows.
    void forgetBetween(int from, int to) const;

private:
    libraryclient::LibraryTrackList &m_list;
    std::shared_ptr<const protocol::TrackTable> m_table;
    std::vector<int> m_rows;
    // For a collection read track by track: its objects, by index.
    std::vector<libraryclient::TrackPtr> m_objects;
    mutable ViewBuffer m_view;
};

} // namespace tidyfox::cleaning
