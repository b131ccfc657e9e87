// SPDX-License-Identifier: GPL-3.0-or-later
// The note on disk of each removed copy whose file is on its way to the
// trash (protocol/PendingMovesNote.h). A removal moves the file first and
// then removes the entry; a process killed between the two would leave an
// entry in the library with its file in the trash. The note is written once
// the file's place in the trash is reserved and before it moves, and settled
// once the entry is gone (or the file back). The library service puts right
// what a killed run left, when it starts and when the next job begins.
#pragma once

#include "protocol/PendingMovesNote.h"
#include "system/FileSystem.h"

#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

namespace tidyfox::cleaning {

class PendingRemovals
{
public:
    // path is the note's file; its folder is made when first needed.
    explicit PendingRemovals(QString path);

    // Before the file of the copy with this database id moves from location
    // to reserved. Throws RunFailure when the note cannot be written, so that
    // the file is not moved.
    void intend(std::int32_t databaseId, const QString &location, const system::TrashedFile &reserved);
    // The copy's entry is gone, or its file is back in place.
    void settle(std::int32_t databaseId);

    // The moves noted and not settled: files that may be in the trash while
    // their entries are still in the library.
    std::vector<protocol::PendingMove> openMoves() const;

private:
    void append(const QByteArray &line);

    QString m_path;
    QFile m_file;
};

} // namespace tidyfox::cleaning
