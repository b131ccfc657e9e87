#include "cleaning/CleaningRun.h"

#include "cleaning/CleaningLog.h"

namespace tidyfox::cleaning {

namespace {

template<typename Step> void tryStep(Step step)
{
    try {
        step();
    } catch (const std::exception &error) {
        qCDebug(lcCleaning) << "Ending a cleaning job:" << error.what();
    } catch (...) {
        qCDebug(lcCleaning) << "Ending a cleaning job failed";
    }
}

} // namespace

void endFailedJob(CleaningHost &host, const QString &alertText, AfterFailure after)
{
    tryStep([&] { host.showAlert(alertText, AlertKind::Information, kAppTitle); });
    tryStep([&] { host.hideBusy(); });
    if (after == AfterFailure::KeepGate)
        return;
    tryStep([&] { host.reopenCommandGate(); });
    tryStep([&] { host.enableButtons(); });
}

} // namespace tidyfox::cleaning
