// SPDX-License-Identifier: GPL-3.0-or-later
// The library service on the session bus: owns org.tidyfox.Library and offers
// the library there until it is told to quit.
#pragma once

#include <QString>

namespace tidyfox::library {

// Serves the library at libraryPath until quit; returns the process exit code
// (non-zero when the name is already owned or the library cannot be opened).
int serveLibrary(const QString &libraryPath);

// Asks a running service to quit; returns the exit code (non-zero when no
// service runs).
int quitService();

} // namespace tidyfox::library
