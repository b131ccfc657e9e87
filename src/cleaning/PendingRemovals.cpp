// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/PendingRemovals.h"

#include "cleaning/CleaningRun.h"

#include <QDir>
#include <QFileInfo>

namespace tidyfox::cleaning {

PendingRemovals::PendingRemovals(QString path) : m_path(std::move(path)) {}

void PendingRemovals::append(const QByteArray &line)
{
    if (!m_file.isOpen()) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            throw RunFailure("the note of pending removals cannot be opened");
    }
    // Flushed at once: what reaches the kernel outlives a killed process.
    if (m_file.write(line) != line.size() || !m_file.flush())
        throw RunFailure("the note of pending removals cannot be written");
}

void PendingRemovals::intend(std::int32_t databaseId, const QString &location, const system::TrashedFile &reserved)
{
    append(protocol::intendLine({databaseId, location, reserved.trashedPath, reserved.infoPath}));
}

void PendingRemovals::settle(std::int32_t databaseId)
{
    append(protocol::settleLine(databaseId));
}

std::vector<protocol::PendingMove> PendingRemovals::openMoves() const
{
    return protocol::openMoves(m_path);
}

} // namespace tidyfox::cleaning
