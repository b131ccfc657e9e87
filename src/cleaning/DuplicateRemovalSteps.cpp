#include "cleaning/DuplicateRemovalSteps.h"

#include "cleaning/CleaningLog.h"
#include "cleaning/CleaningRun.h"

namespace tidyfox::cleaning {

bool isGone(libraryclient::LibraryTrack &track)
{
    try {
        track.databaseId();
        return false;
    } catch (const libraryclient::ClientError &error) {
        if (error.number() == libraryclient::kErrObjectDeleted)
            return true;
        throw;
    }
}

void putBack(system::FileSystem &fs, const system::TrashedFile &trashed, const QString &path)
{
    try {
        fs.restoreFromTrash(trashed, path);
    } catch (const system::TrashError &error) {
        qCWarning(lcCleaning) << "A removed copy's file stays in the trash:" << error.what();
    }
}

void endRemovalSucceeded(CleaningHost &host, int count)
{
    host.hideBusy();
    host.showAlert(QString::number(count) + QStringLiteral(" Duplicate(s) have been deleted"), AlertKind::Information,
                   kAppTitle);
    host.refreshLibraryList();
    host.reopenCommandGate();
    host.enableButtons();
}

void endRemovalFailed(CleaningHost &host, int count)
{
    endFailedJob(host,
                 QStringLiteral("Can not delete all duplicates.") + QLatin1Char('\r') + QString::number(count) +
                     QStringLiteral(" Duplicate track(s) have been deleted"),
                 AfterFailure::ReopenGateAndButtons);
}

} // namespace tidyfox::cleaning
