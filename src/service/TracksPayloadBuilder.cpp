// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/TracksPayloadBuilder.h"

namespace tidyfox::library {

namespace {

constexpr qsizetype kPiece = qsizetype(1) << 20;
// The magic and the count before the first record.
constexpr qsizetype kHeadBytes = 8;

} // namespace

TracksPayloadBuilder::TracksPayloadBuilder(bool noteRecords)
    : m_records(noteRecords ? std::make_shared<PayloadRecords>() : nullptr)
{}

void TracksPayloadBuilder::add(const protocol::TrackBytes &track)
{
    if (m_records)
        m_records->add(track.databaseId, m_written + std::uint64_t(m_writer.pending().size()));
    m_writer.add(track);
    flush(kPiece);
}

void TracksPayloadBuilder::addRecord(QByteArrayView record)
{
    m_writer.addRecord(record);
    flush(kPiece);
}

void TracksPayloadBuilder::flush(qsizetype atLeast)
{
    if (m_writer.pending().size() < atLeast)
        return;
    m_file.append(m_writer.pending());
    m_written += std::uint64_t(m_writer.pending().size());
    m_writer.clearPending();
}

void TracksPayloadBuilder::append(TracksPayloadBuilder &other)
{
    flush(0);
    const std::uint32_t tracks = other.m_writer.count();
    const auto records = other.m_records;
    const auto theirs = other.seal();
    const std::uint64_t shift = m_written - std::uint64_t(kHeadBytes);
    m_file.appendFrom(*theirs, kHeadBytes);
    m_written += std::uint64_t(theirs->size() - kHeadBytes);
    m_writer.countAppended(tracks);
    if (m_records && records)
        m_records->append(*records, shift);
}

std::shared_ptr<const protocol::SealedMemoryFile> TracksPayloadBuilder::seal()
{
    flush(0);
    m_file.overwrite(0, m_writer.head());
    if (m_records)
        m_records->finish(m_written);
    return m_file.seal();
}

} // namespace tidyfox::library
