// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces shared by the two cleaning jobs.
#pragma once

#include "cleaning/CleaningHost.h"
#include "common/Error.h"

#include <cstdint>

namespace tidyfox::cleaning {

// A job cannot go on; the message is for the log, the user sees the job's
// failure alert.
class RunFailure : public Error
{
public:
    static constexpr std::int32_t kNumber = 33001;
    explicit RunFailure(const char *message) : Error(kNumber, QString::fromUtf8(message)) {}
};

// What a job gives back once it ends early; a job that changes the library
// piece by piece shows what did change.
enum class AfterFailure { KeepGate, ReopenGateAndButtons, ReopenGateButtonsAndReload };

// Why a job stopped, in the error's own words for a person ("The disk holding
// the library ... is full."); empty for an error that has none.
QString failureReason(const std::exception &error);
// The same in the error's own words as they stand, for a line after a
// program's name ("tidyfox-clean: the library service stopped ...").
QString errorText(const std::exception &error);

// The end of a job that stopped early: its alert with the reason on the line
// under it, the busy indicator off and, for a job that closed the command
// gate, the gate and the buttons back. Each step runs on its own, so that a
// refused alert never keeps the gate shut.
void endFailedJob(CleaningHost &host, const QString &alertText, AfterFailure after, const QString &reason);

// The end of a job that went to its end: the busy indicator off, its alert
// (with detail, when there is any, on the line under it), the library
// reloaded, the gate and the buttons back.
void endJobSucceeded(CleaningHost &host, const QString &alertText, const QString &detail = {});

// Why a job stopped and what else it has to say, for the line under its alert.
QString joinedDetail(const QString &reason, const QString &detail);

} // namespace tidyfox::cleaning
