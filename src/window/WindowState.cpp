// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowState.h"

#include <array>

namespace tidyfox::window {

namespace {

// The phases that close the gate, and the commands that pass it anyway.
constexpr WindowState::Phase kGatedPhases[] = {WindowState::Phase::Connecting, WindowState::Phase::RemovingDuplicates,
                                               WindowState::Phase::RunningJob, WindowState::Phase::Listening};
constexpr std::array<const char *, 4> kAlwaysAdmitted = {"IDC_FS_help", "IDC_FS_exit", "IDC_FS_mini", "IDC_FS_maxi"};

} // namespace

bool WindowState::isAlwaysAdmitted(const QString &command)
{
    for (const char *admitted : kAlwaysAdmitted) {
        if (command == QLatin1String(admitted))
            return true;
    }
    return false;
}

bool WindowState::admits(const QString &command) const
{
    if (isAlwaysAdmitted(command))
        return true;
    if (isIn(Phase::Listening) && command == QLatin1String("IDC_FS_stopListening"))
        return true;
    for (const Phase phase : kGatedPhases) {
        if (isIn(phase))
            return false;
    }
    return true;
}

} // namespace tidyfox::window
