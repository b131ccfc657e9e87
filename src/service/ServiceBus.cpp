// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ServiceBus.h"

#include "protocol/BusNames.h"
#include "service/LibraryAdaptor.h"
#include "service/LibraryCore.h"
#include "service/LibraryPaths.h"
#include "service/LibraryStore.h"
#include "service/PlayerWatch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace tidyfox::library {

namespace {

constexpr int kQuitCallTimeoutMs = 10000;
constexpr int kQuitWaitMs = 5000;
constexpr int kBusWatchMs = 500;

void complain(const QString &line)
{
    std::fprintf(stderr, "tidyfox-library: %s\n", qPrintable(line));
}

// QtDBus wants an application object; the command line may not have made one.
std::unique_ptr<QCoreApplication> ensureApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "tidyfox-library";
    static char *argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

// SIGTERM, SIGINT and SIGHUP end the service the same way Quit does, so the
// program hears Quitting. The handler only writes to a pipe; the event loop
// reads it.
class TerminationWatch
{
public:
    explicit TerminationWatch(std::function<void()> onSignal)
    {
        if (::pipe2(s_fds, O_CLOEXEC) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(s_fds[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [onSignal = std::move(onSignal)] {
            char byte;
            if (::read(s_fds[0], &byte, 1) == 1)
                onSignal();
        });
        struct sigaction action = {};
        action.sa_handler = &TerminationWatch::handle;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : kSignals)
            sigaction(sig, &action, nullptr);
    }
    ~TerminationWatch()
    {
        if (!m_notifier)
            return;
        for (int sig : kSignals)
            std::signal(sig, SIG_DFL);
        m_notifier.reset();
        ::close(s_fds[0]);
        ::close(s_fds[1]);
    }
    TerminationWatch(const TerminationWatch &) = delete;
    TerminationWatch &operator=(const TerminationWatch &) = delete;

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
    static void handle(int)
    {
        const char byte = 1;
        [[maybe_unused]] auto written = ::write(s_fds[1], &byte, 1);
    }
    static inline int s_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

bool nameOwned(QDBusConnection &bus)
{
    return bus.interface()->isServiceRegistered(QString::fromLatin1(protocol::kServiceName)).value();
}

} // namespace

int serveLibrary(const QString &libraryPath)
{
    const auto ownApp = ensureApplication();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain(QStringLiteral("cannot reach the session bus: %1").arg(bus.lastError().message()));
        return 1;
    }
    if (nameOwned(bus)) {
        complain(QStringLiteral("the library is already served on this bus"));
        return 1;
    }

    const QString path = libraryPath.isEmpty() ? defaultLibraryPath() : libraryPath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    std::unique_ptr<LibraryCore> core;
    try {
        core = LibraryCore::open(path);
    } catch (const std::exception &e) {
        complain(QString::fromUtf8(e.what()));
        return 1;
    }

    // A linked library's changes reach the player's files when it quits.
    PlayerWatch playerWatch(dynamic_cast<LibraryStore *>(core.get()));
    LibraryAdaptor adaptor(std::move(core), path);
    // Before the name is claimed: whoever sees it may signal us at once.
    TerminationWatch termination([&adaptor] { adaptor.announceQuit(); });
    const QString objectPath = QString::fromLatin1(protocol::kObjectPath);
    if (!bus.registerObject(objectPath, &adaptor, QDBusConnection::ExportScriptableContents)) {
        complain(QStringLiteral("cannot offer the library on the session bus"));
        return 1;
    }
    // The object is in place before the name appears, so a client that sees
    // the name can call at once.
    const auto claimed = bus.interface()->registerService(QString::fromLatin1(protocol::kServiceName),
                                                          QDBusConnectionInterface::DontQueueService,
                                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!claimed.isValid() || claimed.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(objectPath);
        complain(QStringLiteral("the library is already served on this bus"));
        return 1;
    }

    QEventLoop loop;
    QObject::connect(&adaptor, &LibraryAdaptor::quitRequested, &loop, &QEventLoop::quit);
    // A session that ends takes its bus along; nobody could reach the
    // library any more, and the process would linger for good.
    bool busGone = false;
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &loop, [&] {
        if (bus.isConnected())
            return;
        busGone = true;
        loop.quit();
    });
    busWatch.start(kBusWatchMs);
    // The program's first wish is the library playlist; have it ready.
    QTimer::singleShot(0, &adaptor, &LibraryAdaptor::prepare);
    loop.exec();
    if (busGone) {
        complain(QStringLiteral("the session bus has gone; the library service stops"));
        return 0;
    }
    // A blocking call on the same connection also makes sure that Quitting
    // and the last replies have left before the process ends.
    bus.interface()->unregisterService(QString::fromLatin1(protocol::kServiceName));
    bus.unregisterObject(objectPath);
    return 0;
}

int quitService()
{
    const auto ownApp = ensureApplication();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain(QStringLiteral("cannot reach the session bus: %1").arg(bus.lastError().message()));
        return 1;
    }
    if (!nameOwned(bus)) {
        complain(QStringLiteral("no library service is running"));
        return 1;
    }
    const auto call = QDBusMessage::createMethodCall(QString::fromLatin1(protocol::kServiceName),
                                                     QString::fromLatin1(protocol::kObjectPath),
                                                     QString::fromLatin1(protocol::kInterface), QStringLiteral("Quit"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, kQuitCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        complain(QStringLiteral("the library service did not quit: %1").arg(reply.errorMessage()));
        return 1;
    }
    // Return once the service is gone, so that a following command finds the
    // library file free.
    const QDeadlineTimer deadline(kQuitWaitMs);
    while (nameOwned(bus) && !deadline.hasExpired())
        QThread::msleep(20);
    return 0;
}

} // namespace tidyfox::library
