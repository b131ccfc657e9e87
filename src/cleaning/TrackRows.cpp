// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/TrackRows.h"

#include <algorithm>
#include <numeric>

namespace tidyfox::cleaning {

TrackRows::TrackRows(libraryclient::LibraryTrackList &tracks) : m_list(tracks)
{
    if (auto fetched = tracks.fetchedRows()) {
        m_table = std::move(fetched->table);
        m_rows = std::move(fetched->rows);
        return;
    }
    // What a cleaning run reads of a track, read once.
    protocol::TrackPayloadWriter payload;
    tracks.forEach([&](const libraryclient::TrackPtr &track) {
        protocol::TrackRecord record;
        record.databaseId = track->databaseId();
        record.name = track->name();
        record.artist = track->artist();
        record.album = track->album();
        record.kindAsString = track->kindText();
        record.time = track->time();
        record.bitRate = track->bitRate();
        record.sampleRate = track->sampleRate();
        record.size = track->size();
        record.dateAdded = track->dateAdded();
        record.playCount = track->playCount();
        record.skipCount = track->skipCount();
        record.rating = track->rating();
        record.playDate = track->playDate();
        const std::optional<QString> location = track->location();
        record.kind = location ? protocol::TrackKind::File : protocol::TrackKind::Url;
        record.location = location.value_or(QString());
        payload.add(record);
        m_objects.push_back(track);
        return true;
    });
    m_table = std::make_shared<const protocol::TrackTable>(payload.finish());
    m_rows.resize(m_objects.size());
    std::iota(m_rows.begin(), m_rows.end(), 0);
}

QString TrackRows::location(int index) const
{
    return hasFile(index) ? text(index, protocol::TrackText::Location) : QString();
}

QStringView TrackRows::locationView(int index, ViewBuffer &buffer) const
{
    if (!hasFile(index))
        return {};
    const QByteArrayView bytes = textBytes(index, protocol::TrackText::Location);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        buffer.ascii.assign(bytes.begin(), bytes.end());
        return QStringView(buffer.ascii.data(), qsizetype(buffer.ascii.size()));
    }
    buffer.other = location(index);
    return buffer.other;
}

libraryclient::TrackPtr TrackRows::track(int index)
{
    if (!m_objects.empty())
        return m_objects[static_cast<size_t>(index)];
    return m_list.item(row(index));
}

void TrackRows::forgetBefore(int index) const
{
    m_table->forgetRowsBefore(index < size() ? row(index) : m_table->count());
}

void TrackRows::forgetBetween(int from, int to) const
{
    if (from < to)
        m_table->forgetRows(row(from), to < size() ? row(to) : m_table->count());
}

} // namespace tidyfox::cleaning
