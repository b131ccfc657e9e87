// SPDX-License-Identifier: GPL-3.0-or-later
// Who runs a cleaning job: the process that changes the library for it, and
// the bus client it changes it for. A job's lease names its holder, so that
// another program can tell a job under way from one whose holder died.
#pragma once

#include <QString>
#include <cstdint>

namespace tidyfox::library {

struct JobHolder
{
    QString client;  // the bus client's unique name; empty in the same process
    QString program; // as a person knows it: "tidyfox-clean", "tidyfox"
};

// This process as a lease names it: its number and when it started, since a
// later process may get the same number.
struct ProcessMark
{
    std::int64_t pid = 0;
    QString start; // boot and start time; empty when they cannot be read
};

ProcessMark thisProcess();
// Whether the process marked so is running now.
bool isRunning(const ProcessMark &mark);
// The name of the running process pid ("tidyfox-clean"), or empty.
QString programOf(std::int64_t pid);

} // namespace tidyfox::library
