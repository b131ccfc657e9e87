// SPDX-License-Identifier: GPL-3.0-or-later
#include "libraryclient/BusLibraryClient.h"

#include "libraryclient/CallTimeout.h"
#include "libraryclient/ClientLog.h"
#include "protocol/BusNames.h"
#include "protocol/JobListFormat.h"
#include "protocol/SealedMemoryFile.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QThread>
#include <atomic>

namespace tidyfox::libraryclient {

namespace {

const QString kService = QString::fromLatin1(protocol::kServiceName);

ClientError callFailed(const QString &what)
{
    return {kErrCallFailed, what};
}

// Gone, or a zombie that no one has reaped yet: either way it will never
// offer the library.
// Errors of the bus itself for a call the service received but never
// answered: it died during the call, or did not answer in time. (A service
// that was gone already never got the call: that is a plain failure.)
bool isNoAnswer(const QString &errorName)
{
    static const QStringList kNames = {
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"), QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.Timeout"), QStringLiteral("org.freedesktop.DBus.Error.TimedOut")};
    return kNames.contains(errorName);
}

// A call to a name that nobody owns (any longer).
bool isNameUnowned(const QString &errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

constexpr const char *kServiceStopped = "the library service stopped (it may have crashed); run the command again";

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line.at(close + 2) == 'Z';
}

} // namespace

// Hears one run of MakeFingerprints to its end: its signals, the service
// going, and the caller's wish to cancel.
class FingerprintListener : public QObject
{
    Q_OBJECT

public:
    FingerprintListener(QDBusConnection bus, const LibraryClient::FingerprintHandlers &handlers)
        : m_bus(std::move(bus)), m_handlers(handlers),
          m_watcher(kService, m_bus, QDBusServiceWatcher::WatchForUnregistration)
    {
        connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            m_gone = true;
            m_loop.quit();
        });
        for (const auto &[name, slot] : signalSlots())
            m_bus.connect(kService, path(), iface(), name, this, slot);
    }
    ~FingerprintListener() override
    {
        for (const auto &[name, slot] : signalSlots())
            m_bus.disconnect(kService, path(), iface(), name, this, slot);
    }

    // Runs the loop until the run ends; false when the service went first.
    bool wait()
    {
        if (!m_ended)
            m_loop.exec();
        return m_ended;
    }
    const protocol::FingerprintSummary &summary() const { return m_summary; }

private slots:
    void progress(int done, int total)
    {
        if (m_handlers.progress)
            m_handlers.progress(done, total);
        if (!m_cancelSent && m_handlers.cancelled && m_handlers.cancelled()) {
            m_cancelSent = true;
            m_bus.asyncCall(
                QDBusMessage::createMethodCall(kService, path(), iface(), QStringLiteral("CancelFingerprints")));
        }
    }
    void without(const QString &file, const QString &why)
    {
        if (m_handlers.without)
            m_handlers.without(file, why);
    }
    void made(int made, int without, int left)
    {
        m_summary = {made, without, left};
        m_ended = true;
        m_loop.quit();
    }

private:
    static QString path() { return QString::fromLatin1(protocol::kObjectPath); }
    static QString iface() { return QString::fromLatin1(protocol::kInterface); }
    static std::vector<std::pair<QString, const char *>> signalSlots()
    {
        return {{QStringLiteral("FingerprintProgress"), SLOT(progress(int, int))},
                {QStringLiteral("FingerprintMissing"), SLOT(without(QString, QString))},
                {QStringLiteral("FingerprintsMade"), SLOT(made(int, int, int))}};
    }

    QDBusConnection m_bus;
    const LibraryClient::FingerprintHandlers &m_handlers;
    QDBusServiceWatcher m_watcher;
    QEventLoop m_loop;
    protocol::FingerprintSummary m_summary;
    bool m_ended = false;
    bool m_gone = false;
    bool m_cancelSent = false;
};

namespace {

class DBusBackend final : public LibraryBackend
{
public:
    explicit DBusBackend(QDBusConnection connection) : m_bus(std::move(connection)) {}

    protocol::SourceRecord source() override
    {
        const auto args = call(QStringLiteral("Source"), {}, 3);
        return {args[0].toInt(), args[1].toInt(), args[2].toString()};
    }
    protocol::PlaylistRecord libraryPlaylist() override
    {
        const auto args = call(QStringLiteral("LibraryPlaylist"), {}, 3);
        protocol::PlaylistRecord playlist;
        playlist.playlistId = args[0].toInt();
        playlist.kind = args[1].toInt();
        playlist.name = args[2].toString();
        return playlist;
    }
    std::vector<protocol::PlaylistRecord> playlists() override
    {
        return decoded([&] { return protocol::decodePlaylists(bytes(QStringLiteral("Playlists"), {})); });
    }
    std::shared_ptr<const protocol::TrackTable> playlistTracks(std::int32_t playlistId) override
    {
        // A playlist can be tens of megabytes: taken from a memory file the
        // service hands over when the bus can pass one, else inline.
        if (!(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
            return table(QStringLiteral("PlaylistTracks"), {playlistId});
        const auto args = call(QStringLiteral("PlaylistTracksFile"), {playlistId}, 1);
        const auto file = qvariant_cast<QDBusUnixFileDescriptor>(args[0]);
        if (!file.isValid())
            throw callFailed(QStringLiteral("The library handed over no playlist"));
        return decoded([&] {
            auto mapped = protocol::SealedMemoryFile::map(file.fileDescriptor());
            return std::make_shared<const protocol::TrackTable>(std::move(mapped.bytes), std::move(mapped.keeper));
        });
    }
    std::shared_ptr<const protocol::TrackTable> firstTrack(std::int32_t playlistId, std::int32_t trackId) override
    {
        return table(QStringLiteral("FirstTrackByID"), {playlistId, trackId});
    }
    void deleteTrack(std::int32_t databaseId) override { call(QStringLiteral("DeleteTrack"), {databaseId}, 0); }
    std::vector<std::int32_t> fileTracksAt(const QString &path) override
    {
        const auto args = call(QStringLiteral("FileTracksAt"), {path}, 1);
        const auto ids = qdbus_cast<QList<int>>(args[0]);
        return {ids.begin(), ids.end()};
    }
    void deleteTrackMergingInto(std::int32_t databaseId, std::int32_t keeperId) override
    {
        call(QStringLiteral("DeleteTrackMergingInto"), {databaseId, keeperId}, 0);
    }
    std::int32_t beginJob(const QString &kind) override
    {
        return call(QStringLiteral("BeginJob"), {kind}, 1).constFirst().toInt();
    }
    void deleteTrackInJob(std::int32_t jobId, std::int32_t databaseId, const QString &trashedPath,
                          const QString &infoPath) override
    {
        call(QStringLiteral("DeleteTrackInJob"), {jobId, databaseId, trashedPath, infoPath}, 0);
    }
    void deleteTrackMergingIntoInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId,
                                     const QString &trashedPath, const QString &infoPath) override
    {
        call(QStringLiteral("DeleteTrackMergingIntoInJob"), {jobId, databaseId, keeperId, trashedPath, infoPath}, 0);
    }
    void deleteCopyInJob(std::int32_t jobId, std::int32_t databaseId, std::int32_t keeperId, const QString &trashedPath,
                         const QString &infoPath) override
    {
        call(QStringLiteral("DeleteCopyInJob"), {jobId, databaseId, keeperId, trashedPath, infoPath}, 0);
    }
    void removeTracksInJob(std::int32_t jobId, const std::vector<protocol::TrackRemoval> &removals, bool mergeHistory,
                           std::vector<bool> &removed) override
    {
        QList<int> databaseIds, keeperIds;
        QStringList trashedPaths, infoPaths;
        for (const protocol::TrackRemoval &removal : removals) {
            databaseIds << removal.databaseId;
            keeperIds << removal.keeperId;
            trashedPaths << removal.trashedPath;
            infoPaths << removal.infoPath;
        }
        const auto args = call(QStringLiteral("DeleteTracksInJob"),
                               {jobId, QVariant::fromValue(databaseIds), QVariant::fromValue(keeperIds), mergeHistory,
                                trashedPaths, infoPaths},
                               2);
        const auto answers = qdbus_cast<QList<int>>(args[0]);
        for (const int answer : answers)
            removed.push_back(answer != 0);
        if (const QString failure = args[1].toString(); !failure.isEmpty())
            throw callFailed(failure);
        if (answers.size() != databaseIds.size())
            throw callFailed(QStringLiteral("The library gave an unexpected answer to DeleteTracksInJob"));
    }
    std::vector<std::vector<std::int32_t>> fileTracksAtEach(const QStringList &paths) override
    {
        const auto args = call(QStringLiteral("FileTracksAtEach"), {paths}, 2);
        const auto ids = qdbus_cast<QList<int>>(args[0]);
        const auto counts = qdbus_cast<QList<int>>(args[1]);
        std::vector<std::vector<std::int32_t>> users;
        qsizetype at = 0;
        for (const int count : counts) {
            if (count < 0 || count > ids.size() - at)
                break;
            users.emplace_back(ids.begin() + at, ids.begin() + at + count);
            at += count;
        }
        if (users.size() != size_t(paths.size()) || at != ids.size())
            throw callFailed(QStringLiteral("The library gave an unexpected answer to FileTracksAtEach"));
        return users;
    }
    void removeFromPlaylistInJob(std::int32_t jobId, std::int32_t playlistId,
                                 const std::vector<std::int32_t> &databaseIds) override
    {
        const QList<int> ids(databaseIds.begin(), databaseIds.end());
        call(QStringLiteral("RemoveFromPlaylistInJob"), {jobId, playlistId, QVariant::fromValue(ids)}, 0);
    }
    void deletePlaylistInJob(std::int32_t jobId, std::int32_t playlistId) override
    {
        call(QStringLiteral("DeletePlaylistInJob"), {jobId, playlistId}, 0);
    }
    void endJob(std::int32_t jobId) override { call(QStringLiteral("EndJob"), {jobId}, 0); }
    std::vector<protocol::JobRecord> jobs() override
    {
        const QString text = call(QStringLiteral("Jobs"), {}, 1).constFirst().toString();
        return decoded([&] { return protocol::decodeJobs(text); });
    }
    protocol::RestoreResult restoreJob(std::int32_t jobId) override
    {
        const auto args = call(QStringLiteral("RestoreJob"), {jobId}, 2);
        return {args[0].toInt(), args[1].toStringList()};
    }
    protocol::FingerprintSummary makeFingerprints(const LibraryClient::FingerprintHandlers &handlers) override
    {
        FingerprintListener listener(m_bus, handlers);
        call(QStringLiteral("MakeFingerprints"), {}, 1);
        if (!listener.wait())
            throw callFailed(QString::fromLatin1(kServiceStopped));
        return listener.summary();
    }
    std::vector<protocol::SoundMatch> soundMatches() override
    {
        const QByteArray bytes = call(QStringLiteral("SoundMatches"), {}, 1).constFirst().toByteArray();
        return decoded([&] { return protocol::decodeSoundMatches(bytes); });
    }
    void quit() override { call(QStringLiteral("Quit"), {}, 0); }

private:
    QVariantList call(const QString &method, const QVariantList &args, int expected)
    {
        auto message = QDBusMessage::createMethodCall(kService, QString::fromLatin1(protocol::kObjectPath),
                                                      QString::fromLatin1(protocol::kInterface), method);
        message.setArguments(args);
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            if (reply.errorName() == QLatin1String(protocol::kErrorObjectDeleted))
                throw ClientError(kErrObjectDeleted, reply.errorMessage());
            // The bus's own words for a name nobody owns speak of .service
            // files, which tell a user nothing.
            const bool gone = isNameUnowned(reply.errorName()) || !nameOwned();
            if (isNoAnswer(reply.errorName()))
                throw NoAnswerError(gone ? QString::fromLatin1(kServiceStopped) : reply.errorMessage());
            throw callFailed(gone ? QString::fromLatin1(kServiceStopped) : reply.errorMessage());
        }
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != expected)
            throw callFailed(QStringLiteral("The library gave an unexpected answer to %1").arg(method));
        return reply.arguments();
    }
    bool nameOwned()
    {
        const QDBusReply<bool> owned = m_bus.interface()->isServiceRegistered(kService);
        return !owned.isValid() || owned.value();
    }
    QByteArray bytes(const QString &method, const QVariantList &args)
    {
        return call(method, args, 1).constFirst().toByteArray();
    }
    std::shared_ptr<const protocol::TrackTable> table(const QString &method, const QVariantList &args)
    {
        return decoded([&] { return std::make_shared<const protocol::TrackTable>(bytes(method, args)); });
    }
    template<typename Decode> static auto decoded(Decode &&decode) -> decltype(decode())
    {
        try {
            return decode();
        } catch (const protocol::LibraryError &e) {
            throw callFailed(QString::fromUtf8(e.what()));
        }
    }

    QDBusConnection m_bus;
};

} // namespace

// Hears the service's signals and its name coming and going.
class BusWatch : public QObject
{
    Q_OBJECT

public:
    BusWatch(QDBusConnection connection, LibraryBackend &backend, std::function<void()> onLoss,
             std::function<void(std::int32_t)> onRestored)
        : m_bus(std::move(connection)), m_backend(backend), m_onLoss(std::move(onLoss)),
          m_onRestored(std::move(onRestored)),
          m_watcher(kService, m_bus,
                    QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration)
    {
        connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &BusWatch::lost);
        connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { m_lost = false; });
        const QString path = QString::fromLatin1(protocol::kObjectPath);
        const QString iface = QString::fromLatin1(protocol::kInterface);
        m_bus.connect(kService, path, iface, QStringLiteral("Quitting"), this, SLOT(lost()));
        m_bus.connect(kService, path, iface, QStringLiteral("TrackDeleted"), this, SLOT(trackDeleted(int)));
        m_bus.connect(kService, path, iface, QStringLiteral("TracksDeleted"), this, SLOT(tracksDeleted(QList<int>)));
        m_bus.connect(kService, path, iface, QStringLiteral("Restored"), this, SLOT(restored(int)));
    }
    ~BusWatch() override
    {
        const QString path = QString::fromLatin1(protocol::kObjectPath);
        const QString iface = QString::fromLatin1(protocol::kInterface);
        m_bus.disconnect(kService, path, iface, QStringLiteral("Quitting"), this, SLOT(lost()));
        m_bus.disconnect(kService, path, iface, QStringLiteral("TrackDeleted"), this, SLOT(trackDeleted(int)));
        m_bus.disconnect(kService, path, iface, QStringLiteral("TracksDeleted"), this, SLOT(tracksDeleted(QList<int>)));
        m_bus.disconnect(kService, path, iface, QStringLiteral("Restored"), this, SLOT(restored(int)));
    }

private slots:
    // Quitting, and then the name going, is one loss: the program hears it
    // once, and again only after the service has come back.
    void lost()
    {
        if (m_lost)
            return;
        m_lost = true;
        qCDebug(lcLibraryClient) << "the library service has gone";
        m_onLoss();
    }
    // Another client deleted a track: our collections must not offer it.
    void trackDeleted(int databaseId) { m_backend.markDeleted(databaseId); }
    void tracksDeleted(const QList<int> &databaseIds)
    {
        for (const int databaseId : databaseIds)
            m_backend.markDeleted(databaseId);
    }
    // A client put a job back: its tracks are there again.
    void restored(int jobId) { m_onRestored(jobId); }

private:
    QDBusConnection m_bus;
    LibraryBackend &m_backend;
    std::function<void()> m_onLoss;
    std::function<void(std::int32_t)> m_onRestored;
    QDBusServiceWatcher m_watcher;
    bool m_lost = false;
};

namespace {

QDBusConnection connectedBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw callFailed(QStringLiteral("The session bus is not available: %1").arg(bus.lastError().message()));
    return bus;
}

bool served(QDBusConnection &bus)
{
    return bus.interface()->isServiceRegistered(kService).value();
}

// An installed Tidyfox leaves starting the service to the bus (its activation
// file names the installed program); a build or a copy elsewhere starts the
// one beside it, so it never talks to another version's service.
bool installedHere(const QString &dir)
{
    return QDir(dir) == QDir(QStringLiteral(TIDYFOX_INSTALLED_APPDIR));
}

bool activatedByBus(QDBusConnection &bus, const QString &dir)
{
    if (!installedHere(dir))
        return false;
    const QDBusReply<QStringList> names = bus.interface()->activatableServiceNames();
    if (!names.isValid() || !names.value().contains(kService))
        return false;
    const QDBusReply<void> started = bus.interface()->startService(kService);
    if (!started.isValid()) {
        qCDebug(lcLibraryClient) << "bus activation failed:" << started.error().message();
        return false;
    }
    return served(bus);
}

QString appFolder(const QString &appDir)
{
    return appDir.isEmpty() ? QCoreApplication::applicationDirPath() : appDir;
}

// Where a service this program starts writes what it has to say: it runs on
// detached from the program, and its last complaint is the reason it could not
// serve when it stops at once.
QString serviceLogPath()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/tidyfox-library.log");
}

// The service's last complaint in its log, without the program name.
QString lastComplaint(const QString &logPath)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    const QByteArray prefix("tidyfox-library: ");
    QString complaint;
    for (const QByteArray &line : log.read(64 * 1024).split('\n')) {
        if (line.startsWith(prefix))
            complaint = QString::fromUtf8(line.mid(prefix.size())).trimmed();
    }
    return complaint;
}

// The service beside the program, detached; its process id.
qint64 spawnService(const QString &dir, const QString &logPath)
{
    const QString program = dir + QStringLiteral("/tidyfox-library");
    if (!QFileInfo(program).isExecutable())
        throw callFailed(QStringLiteral("The library service %1 is missing").arg(program));
    QProcess service;
    service.setProgram(program);
    service.setArguments({QStringLiteral("serve")});
    service.setStandardOutputFile(QProcess::nullDevice());
    service.setStandardErrorFile(logPath);
    qint64 pid = 0;
    if (!service.startDetached(&pid))
        throw callFailed(QStringLiteral("The library service %1 could not be started").arg(program));
    qCDebug(lcLibraryClient) << "started" << program << "as" << pid;
    return pid;
}

// The service the window started as it came up, until a client waits for it: a
// second one started before the first has its name would only find the name
// taken, and would empty the log the first writes to.
std::atomic<qint64> earlyStartedService{0};

void startService(QDBusConnection &bus, const QString &appDir, int waitMs)
{
    const QString dir = appFolder(appDir);
    if (activatedByBus(bus, dir))
        return;
    const QString logPath = serviceLogPath();
    qint64 pid = earlyStartedService.exchange(0);
    if (pid == 0 || processGone(pid))
        pid = spawnService(dir, logPath);
    const QDeadlineTimer deadline(waitMs);
    while (!served(bus)) {
        // Someone else may win the race for the name; only give up when ours
        // has died and no one offers the library.
        if (processGone(pid) && !served(bus)) {
            if (const QString reason = lastComplaint(logPath); !reason.isEmpty())
                throw ClientError(kErrLibraryUnusable, reason);
            throw callFailed(QStringLiteral("The library service stopped before offering the library"));
        }
        if (deadline.hasExpired())
            throw callFailed(QStringLiteral("The library service did not appear on the bus in time"));
        QThread::msleep(20);
    }
}

} // namespace

BusLibraryClient::BusLibraryClient(const QString &appDir, int startWaitMs)
    : BackendLibraryClient(std::make_shared<DBusBackend>(connectedBus()))
{
    QDBusConnection bus = connectedBus();
    m_watch = std::make_unique<BusWatch>(
        bus, *backend(), [this] { raiseQuitting(); }, [this](std::int32_t jobId) { raiseRestored(jobId); });
    if (!served(bus))
        startService(bus, appDir, startWaitMs);
}

BusLibraryClient::~BusLibraryClient() = default;

void BusLibraryClient::startServiceEarly(const QString &appDir)
{
    try {
        QDBusConnection bus = connectedBus();
        if (served(bus))
            return;
        const QString dir = appFolder(appDir);
        if (installedHere(dir)) {
            // The bus starts the installed service; the reply is not awaited.
            bus.send(QDBusMessage::createMethodCall(
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("StartServiceByName"))
                     << kService << 0u);
            return;
        }
        earlyStartedService = spawnService(dir, serviceLogPath());
    } catch (const ClientError &e) {
        // Creating a client tells of it.
        qCDebug(lcLibraryClient) << "the library service was not started early:" << e.what();
    }
}

LibraryClientFactory BusLibraryClient::factory(const QString &appDir)
{
    return [appDir] { return std::make_shared<BusLibraryClient>(appDir); };
}

} // namespace tidyfox::libraryclient

#include "BusLibraryClient.moc"
