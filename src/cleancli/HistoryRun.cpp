// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/HistoryRun.h"

#include "cleancli/Reports.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/JobRestore.h"
#include "localclient/InProcessLibraryClient.h"

#include <QFileInfo>

namespace tidyfox::cleancli {
namespace {

QString count(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

int runHistory(libraryclient::LibraryClient &library, const CleanStreams &streams)
{
    const std::vector<protocol::JobRecord> jobs = library.listJobs();
    OutputBuffer out(streams.out);
    historyText(out, jobs, streams.width);
    return kExitOk;
}

int runRestore(const CleanOptions &options, libraryclient::LibraryClient &library, const CleanStreams &streams)
{
    const std::int32_t jobId = options.jobId != 0 ? options.jobId : cleaning::lastRestorableJob(library);
    if (jobId == 0) {
        write(streams.err, QStringLiteral("tidyfox-clean: the history has no job to restore\n"));
        return kExitSomeFailed;
    }
    const protocol::RestoreResult result = library.restoreJob(jobId);
    for (const QString &path : result.notRestored)
        write(streams.err, QStringLiteral("tidyfox-clean: %1: could not be put back (something else is there now); "
                                          "it stays in the trash\n")
                               .arg(path));
    QString line = QStringLiteral("Restored %1 of job %2.").arg(count(result.restored, "track", "tracks")).arg(jobId);
    if (!result.notRestored.isEmpty())
        line +=
            QStringLiteral(" %1 in the trash.").arg(count(int(result.notRestored.size()), "file stays", "files stay"));
    write(streams.out, line + QLatin1Char('\n'));
    // A player's library takes the restore later (it runs, or its file cannot be written now).
    for (const protocol::JobRecord &job : library.listJobs()) {
        if (job.jobId == jobId && !job.playerWaiting.isEmpty())
            write(streams.err, QStringLiteral("tidyfox-clean: ") + job.playerWaiting + QLatin1Char('\n'));
    }
    return result.notRestored.isEmpty() ? kExitOk : kExitSomeFailed;
}

int clearHistory(const QString &libraryPath, const CleanStreams &streams)
{
    // A mistyped path must not make an empty library.
    if (!QFileInfo(libraryPath).isFile()) {
        write(streams.err, QStringLiteral("tidyfox-clean: no library file at %1\n").arg(libraryPath));
        return kExitSomeFailed;
    }
    try {
        libraryclient::InProcessLibraryClient library(libraryPath);
        const int jobs = int(library.core().jobs().size());
        library.core().clearJobs();
        write(streams.out, QStringLiteral("Cleared %1 from the history; the trash keeps the files.\n")
                               .arg(count(jobs, "job", "jobs")));
        return kExitOk;
    } catch (const std::exception &error) {
        write(streams.err, QStringLiteral("tidyfox-clean: ") + cleaning::errorText(error) + QLatin1Char('\n'));
        return kExitSomeFailed;
    }
}

} // namespace tidyfox::cleancli
