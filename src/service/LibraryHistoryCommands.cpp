// SPDX-License-Identifier: GPL-3.0-or-later
// history and restore: the library's record of removals, read and put back
// from the command line.
#include "service/LibraryCommands.h"
#include "service/LibraryStore.h"
#include "service/PlayerLink.h"

namespace tidyfox::library {

namespace {

QString when(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QStringLiteral("-");
}

} // namespace

int runHistory(const QString &libraryPath, const QStringList &args)
{
    const bool clear = args == QStringList{QStringLiteral("--clear")};
    if (!args.isEmpty() && !clear)
        return usage(QStringLiteral("history takes no arguments but --clear"));
    try {
        if (clear) {
            auto store = LibraryStore::open(libraryPath);
            const int jobs = int(store->jobs().size());
            store->clearJobs();
            printLine(QStringLiteral("Cleared %1 from the history; the trash keeps the files.")
                          .arg(count(jobs, "job", "jobs")));
            return kExitOk;
        }
        // One job a line: number, kind, start, end, tracks, files, restored.
        auto store = LibraryStore::openForReading(libraryPath);
        for (const JobRecord &job : store->jobs()) {
            printLine(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                          .arg(job.jobId)
                          .arg(job.kind, when(job.started), when(job.ended), count(job.tracks, "track", "tracks"),
                               count(job.files, "file", "files"),
                               QLatin1String(job.restored ? "restored" : "removed")));
        }
        return kExitOk;
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
        return kExitFailure;
    }
}

int runRestore(const QString &libraryPath, const QStringList &args)
{
    if (args.size() > 1)
        return usage(QStringLiteral("restore takes at most one JOB"));
    std::int32_t jobId = 0;
    if (!args.isEmpty()) {
        bool ok = false;
        jobId = args[0].toInt(&ok);
        if (!ok || jobId <= 0)
            return usage(QStringLiteral("restore needs a JOB number, not \"%1\"").arg(args[0]));
    }
    try {
        auto store = LibraryStore::open(libraryPath);
        if (jobId == 0) {
            const auto jobs = store->jobs();
            if (jobs.empty()) {
                reportError(QStringLiteral("The history is empty: there is nothing to restore."));
                return kExitFailure;
            }
            jobId = jobs.back().jobId;
        }
        const RestoreResult result = store->restoreJob(jobId);
        for (const QString &path : result.notRestored)
            reportError(QStringLiteral("%1: could not be put back; it stays in the trash").arg(path));
        QString line =
            QStringLiteral("Restored %1 of job %2.").arg(count(result.restored, "track", "tracks")).arg(jobId);
        if (!result.notRestored.isEmpty())
            line += QStringLiteral(" %1 in the trash.")
                        .arg(count(int(result.notRestored.size()), "file stays", "files stay"));
        printLine(line);
        reportPlayerWaits(*store);
        // The tracks are back; the exit code still tells a script that some
        // files are not.
        return result.notRestored.isEmpty() ? kExitOk : kExitFailure;
    } catch (const LibraryError &e) {
        reportError(QString::fromUtf8(e.what()));
        return kExitFailure;
    }
}

} // namespace tidyfox::library
