// SPDX-License-Identifier: GPL-3.0-or-later
// The job lease, and what a killed run left behind: one cleaning job changes
// the library at a time, and the next one begins with every file of an
// interrupted removal in one place.
#include "protocol/PendingMovesNote.h"
#include "service/LibraryStore.h"
#include "service/RestoreFiles.h"
#include "service/ServiceLog.h"
#include "service/Transaction.h"
#include "service/TrashPlace.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace tidyfox::library {

QString LibraryStore::jobUnderWay(const JobHolder *asking)
{
    auto q = m_db.query("SELECT l.job_id, l.holder_pid, l.holder_start, l.holder_client, l.program, l.started_utc"
                        " FROM job_lease l JOIN journal_jobs j ON j.job_id = l.job_id"
                        " WHERE j.ended_utc IS NULL AND j.restored = 0");
    if (!q.next())
        return {};
    const ProcessMark mark{q.int64(1), q.text(2)};
    const ProcessMark me = thisProcess();
    // A holder begins a new job in place of its own last one: one that did
    // not end (its end was refused, say) must not shut it out for good.
    if (asking && mark.pid == me.pid && mark.start == me.start && q.text(3) == asking->client)
        return {};
    if (!isRunning(mark)) {
        qCDebug(lcService) << "job" << q.int64(0) << "lost its holder, process" << mark.pid;
        return {};
    }
    const QString started = QDateTime::fromSecsSinceEpoch(q.int64(5)).toLocalTime().toString(QStringLiteral("HH:mm"));
    return QStringLiteral("another clean-up is running: job %1, started %2 by %3")
        .arg(q.int64(0))
        .arg(started, q.text(4).isEmpty() ? QStringLiteral("another program") : q.text(4));
}

void LibraryStore::takeJobLease(std::int32_t jobId, const JobHolder &holder)
{
    const ProcessMark me = thisProcess();
    const QString program = holder.program.isEmpty() ? programOf(me.pid) : holder.program;
    m_db.query("INSERT OR REPLACE INTO job_lease(lease, job_id, holder_pid, holder_start, holder_client, program,"
               " started_utc) VALUES(1, ?1, ?2, ?3, ?4, ?5, ?6)")
        .bind(1, jobId)
        .bind(2, me.pid)
        .bind(3, me.start)
        .bind(4, holder.client)
        .bind(5, program)
        .bind(6, QDateTime::currentSecsSinceEpoch())
        .run();
}

void LibraryStore::releaseJobLease(const QString &client)
{
    const ProcessMark me = thisProcess();
    Transaction transaction(*this);
    m_db.query("DELETE FROM job_lease WHERE holder_pid = ?1 AND holder_start = ?2 AND holder_client = ?3")
        .bind(1, me.pid)
        .bind(2, me.start)
        .bind(3, client)
        .run();
    const bool held = m_db.changes() > 0;
    transaction.commit();
    // A client that left in the middle of its job (killed, say) may have
    // left a file in the trash whose entry stayed.
    if (held)
        settlePendingMoves();
}

int LibraryStore::settlePendingMoves()
{
    if (!QFileInfo::exists(protocol::pendingMovesNoteOf(path())))
        return 0;
    {
        // A job under way has moves of its own in flight.
        Transaction transaction(*this);
        const bool underWay = !jobUnderWay(nullptr).isEmpty();
        transaction.commit();
        if (underWay)
            return 0;
    }
    return putBackPendingMoves();
}

int LibraryStore::putBackPendingMoves()
{
    const QString notePath = protocol::pendingMovesNoteOf(path());
    if (!QFileInfo::exists(notePath))
        return 0;
    int putBack = 0;
    for (const protocol::PendingMove &move : protocol::openMoves(notePath)) {
        auto q = m_db.query("SELECT 1 FROM tracks WHERE database_id = ?1 AND kind = 1 AND location = ?2");
        if (!q.bind(1, move.databaseId).bind(2, move.location).next())
            continue; // the entry went: its file belongs in the trash
        if (!whyNotTrashPlace(move.trashedPath, move.infoPath, move.location, false).isEmpty()) {
            qCWarning(lcService) << "The note of pending moves names a place outside the trash:" << move.trashedPath;
            continue;
        }
        RestoreFile file(move.location, move.trashedPath, move.infoPath, std::nullopt);
        if (file.bringBack() == FileReturn::Back)
            ++putBack;
    }
    // Emptied, not removed: a program that keeps the note open appends to
    // the same file.
    QFile note(notePath);
    if (!note.resize(0))
        qCWarning(lcService) << "The note of pending moves cannot be emptied:" << note.errorString();
    if (putBack > 0)
        qCInfo(lcService) << putBack << "file(s) of an interrupted removal went back from the trash";
    return putBack;
}

} // namespace tidyfox::library
