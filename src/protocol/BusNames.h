// SPDX-License-Identifier: GPL-3.0-or-later
// The names under which the two processes meet on the session bus. They are
// published (scripts and tests call them), so they never change.
#pragma once

namespace tidyfox::protocol {

// The library service. Its interface is described in org.tidyfox.Library.xml.
inline constexpr const char *kServiceName = "org.tidyfox.Library";
inline constexpr const char *kObjectPath = "/Library";
inline constexpr const char *kInterface = "org.tidyfox.Library";
inline constexpr const char *kErrorObjectDeleted = "org.tidyfox.Library.Error.ObjectDeleted";
inline constexpr const char *kErrorFailed = "org.tidyfox.Library.Error.Failed";

// The program's automation surface, described in
// org.tidyfox.Tidyfox.MainWindow.xml.
inline constexpr const char *kWindowServiceName = "org.tidyfox.Tidyfox";
inline constexpr const char *kWindowObjectPath = "/MainWindow";
inline constexpr const char *kWindowInterface = "org.tidyfox.Tidyfox.MainWindow";

} // namespace tidyfox::protocol
