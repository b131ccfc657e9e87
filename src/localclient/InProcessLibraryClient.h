// SPDX-License-Identifier: GPL-3.0-or-later
// The automation interface over a library core in this process: the same
// objects and the same rules as the program's D-Bus client, without a service.
// tidyfox-clean works on a library file with it; tests and benchmarks use it
// in place of the service.
#pragma once

#include "libraryclient/LibraryObjects.h"
#include "service/LibraryCore.h"

#include <QObject>
#include <memory>

namespace tidyfox::libraryclient {

class InProcessLibraryClient : public BackendLibraryClient
{
public:
    // Opens the library at path (":memory:" for a private one); throws
    // ClientError when it cannot.
    explicit InProcessLibraryClient(const QString &path = QStringLiteral(":memory:"));
    // Shares a core that the caller also uses, e.g. to build the library.
    explicit InProcessLibraryClient(std::shared_ptr<library::LibraryCore> core);
    ~InProcessLibraryClient() override;

    library::LibraryCore &core();

    // A factory of application objects over one shared core: each creation is
    // a new connection with its own view of what it deleted.
    static LibraryClientFactory factory(std::shared_ptr<library::LibraryCore> core);

private:
    std::shared_ptr<library::LibraryCore> m_core;
    // Lives as long as this object: queued quitting events die with it.
    std::unique_ptr<QObject> m_eventContext;
};

} // namespace tidyfox::libraryclient
