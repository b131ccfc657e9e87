// SPDX-License-Identifier: GPL-3.0-or-later
// The program's automation interface: the library service on the session bus.
//
// Creating it connects to org.tidyfox.Library, starting `tidyfox-library serve`
// from the application folder when no one offers that name, and throws
// ClientError when that fails. The quitting event fires when the service
// announces Quitting and also when its name vanishes from the bus (a crash or
// a kill), once per loss.
#pragma once

#include "libraryclient/LibraryObjects.h"

#include <memory>

namespace tidyfox::libraryclient {

class BusWatch;

class BusLibraryClient : public BackendLibraryClient
{
public:
    // How long creation waits for a service it started to appear.
    static constexpr int kStartWaitMs = 5000;

    // appDir: where tidyfox-library lives; empty for the application folder.
    explicit BusLibraryClient(const QString &appDir = {}, int startWaitMs = kStartWaitMs);
    ~BusLibraryClient() override;

    static LibraryClientFactory factory(const QString &appDir = {});

    // Starts the service when no one offers the library, without waiting for
    // it or telling of any trouble: it prepares the library while the caller
    // does other things, and creating a client later connects to it (or
    // starts it again and reports why it cannot).
    static void startServiceEarly(const QString &appDir = {});

private:
    std::unique_ptr<BusWatch> m_watch;
};

} // namespace tidyfox::libraryclient
