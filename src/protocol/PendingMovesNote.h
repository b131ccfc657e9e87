// SPDX-License-Identifier: GPL-3.0-or-later
// The note of files on their way to the trash, which a removal writes and the
// library service settles: a removal moves a copy's file first and removes its
// entry after, and a process killed between the two must not leave an entry
// whose file is in the trash. One line per note, fields separated by tabs,
// paths percent-encoded so that no name can break a line:
//   intend <databaseId> <location> <trashed path> <info path>
//   settle <databaseId>
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace tidyfox::protocol {

struct PendingMove
{
    std::int32_t databaseId = 0;
    QString location;
    QString trashedPath;
    QString infoPath;
};

QByteArray intendLine(const PendingMove &move);
QByteArray settleLine(std::int32_t databaseId);

// The moves noted and not settled, in the order noted. A line cut short by a
// kill is one whose move never began. Nothing for a note that is not there.
std::vector<PendingMove> openMoves(const QString &notePath);

// The note beside a library file: the default library's lies in Tidyfox's data
// folder, any other's next to it.
QString pendingMovesNoteOf(const QString &libraryPath);

} // namespace tidyfox::protocol
