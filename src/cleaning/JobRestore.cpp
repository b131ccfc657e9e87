// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/JobRestore.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/RemovalJob.h"

namespace tidyfox::cleaning {

std::int32_t lastRestorableJob(libraryclient::LibraryClient &library)
{
    const auto jobs = library.listJobs();
    for (auto job = jobs.rbegin(); job != jobs.rend(); ++job) {
        if (!job->restored)
            return job->jobId;
    }
    return 0;
}

void restoreJob(CleaningHost &host, libraryclient::LibraryClient *library, std::int32_t jobId)
{
    QString reason;
    try {
        if (!library)
            throw RunFailure("not connected to the library");
        if (jobId <= 0)
            throw RunFailure("there is nothing to undo");
        const protocol::RestoreResult result = library->restoreJob(jobId);
        tellPlayerWaits(host, *library, jobId);
        if (!result.notRestored.isEmpty()) {
            host.setAlertDetail(
                QStringLiteral("These files stay in the trash, something else is at their place now: ") +
                result.notRestored.join(QStringLiteral(", ")));
        }
        endJobSucceeded(host, QString::number(result.restored) + QStringLiteral(" track(s) have been restored"));
        return;
    } catch (const std::exception &error) {
        reason = failureReason(error);
        qCDebug(lcCleaning) << "Restoring job" << jobId << "failed:" << error.what();
    }
    endFailedJob(host, QStringLiteral("The job could not be restored."), AfterFailure::ReopenGateButtonsAndReload,
                 reason);
}

} // namespace tidyfox::cleaning
