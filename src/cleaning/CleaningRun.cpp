// SPDX-License-Identifier: GPL-3.0-or-later
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

QString errorText(const std::exception &error)
{
    const auto *own = dynamic_cast<const Error *>(&error);
    return own ? own->description() : QString::fromUtf8(error.what());
}

QString failureReason(const std::exception &error)
{
    QString reason = errorText(error);
    if (!reason.isEmpty())
        reason[0] = reason[0].toUpper();
    return reason;
}

void endFailedJob(CleaningHost &host, const QString &alertText, AfterFailure after, const QString &reason)
{
    tryStep([&] { host.setAlertDetail(reason); });
    tryStep([&] { host.showAlert(alertText, AlertKind::Information, kAppTitle); });
    tryStep([&] { host.hideBusy(); });
    if (after == AfterFailure::KeepGate)
        return;
    tryStep([&] { host.reopenCommandGate(); });
    tryStep([&] { host.enableButtons(); });
    if (after == AfterFailure::ReopenGateButtonsAndReload)
        tryStep([&] { host.refreshLibraryList(); });
}

QString joinedDetail(const QString &reason, const QString &detail)
{
    if (reason.isEmpty() || detail.isEmpty())
        return reason + detail;
    return reason + (reason.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ")) + detail;
}

void endJobSucceeded(CleaningHost &host, const QString &alertText, const QString &detail)
{
    if (!detail.isEmpty())
        host.setAlertDetail(detail);
    host.hideBusy();
    host.showAlert(alertText, AlertKind::Information, kAppTitle);
    host.refreshLibraryList();
    host.reopenCommandGate();
    host.enableButtons();
}

} // namespace tidyfox::cleaning
