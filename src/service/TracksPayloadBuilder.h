// SPDX-License-Identifier: GPL-3.0-or-later
// One playlist's payload on its way into a memory file: the tracks' bytes go
// there in pieces, so that a large playlist is held neither as records nor as
// bytes, and where each track's record starts is noted when asked.
#pragma once

#include "protocol/LibraryBusFormat.h"
#include "protocol/SealedMemoryFile.h"
#include "service/PayloadRecords.h"

#include <memory>

namespace tidyfox::library {

class TracksPayloadBuilder
{
public:
    explicit TracksPayloadBuilder(bool noteRecords = false);

    void add(const protocol::TrackBytes &track);
    // A record taken from another payload (not noted).
    void addRecord(QByteArrayView record);
    // other's tracks after these; other is used up.
    void append(TracksPayloadBuilder &other);

    std::shared_ptr<const protocol::SealedMemoryFile> seal();
    // Once sealed, when noted.
    std::shared_ptr<const PayloadRecords> records() const { return m_records; }

private:
    void flush(qsizetype atLeast);

    protocol::MemoryFileWriter m_file;
    protocol::TrackPayloadWriter m_writer;
    std::shared_ptr<PayloadRecords> m_records;
    std::uint64_t m_written = 0; // into m_file
};

} // namespace tidyfox::library
