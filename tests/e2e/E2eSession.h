// SPDX-License-Identifier: GPL-3.0-or-later
// One run of the real program against the real library service, both on the
// test's private session bus: prepares the library file, starts `tidyfox`,
// records every face variable it sets (MovieVariableSet on
// org.tidyfox.Tidyfox.MainWindow), sends it face commands (FLashCommand) and
// stops the program and the service at the end.
//
// Everything waits on signals, processes or files, never for a fixed time;
// each wait gives up after a generous timeout so that a hang fails the test
// instead of stalling it.
#pragma once

#include "protocol/BusNames.h"
#include "service/LibraryCore.h"
#include "service/ServiceBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace tidyfox::e2e {

inline constexpr int kWaitMs = 30000;

inline const QString kProgramService = QStringLiteral("org.tidyfox.Tidyfox");
inline const QString kProgramPath = QStringLiteral("/MainWindow");
inline const QString kProgramInterface = QStringLiteral("org.tidyfox.Tidyfox.MainWindow");

// The folder the build stages the program, its service, face and help in.
inline QString appDir()
{
    return QStringLiteral(TIDYFOX_APP_DIR);
}

inline QString toolPath()
{
    return appDir() + QStringLiteral("/tidyfox-library");
}

// The private temporary root the test wrapper made for this test.
inline QString testRoot()
{
    const QString root = qEnvironmentVariable("TIDYFOX_TEST_ROOT");
    return root.isEmpty() ? QDir::tempPath() : root;
}

inline QString dataHome()
{
    return qEnvironmentVariable("XDG_DATA_HOME");
}

// The library the service opens when no --library is given.
inline QString defaultLibraryPath()
{
    return dataHome() + QStringLiteral("/tidyfox/library.db");
}

// Removes the library file with its journal, so that the next one starts
// afresh.
inline void removeLibrary(const QString &path = defaultLibraryPath())
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

inline QString trashFiles()
{
    return dataHome() + QStringLiteral("/Trash/files");
}

inline QString trashInfo()
{
    return dataHome() + QStringLiteral("/Trash/info");
}

// Handles events until done() holds or the time is up.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = kWaitMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // processEvents returns at once when nothing is pending; a child
        // process or a file may still be on its way.
        if (!done())
            QThread::msleep(1);
    }
    return true;
}

// Runs `tidyfox-library args...` to its end. Returns its exit code, -1 when it
// crashed or hung.
inline int runTool(const QStringList &args, QString *out = nullptr, QString *err = nullptr)
{
    QProcess tool;
    tool.start(toolPath(), args);
    if (!tool.waitForFinished(kWaitMs)) {
        tool.kill();
        tool.waitForFinished();
        return -1;
    }
    if (out)
        *out = QString::fromUtf8(tool.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

// `tidyfox-library list` of the library at path: one line a track, fields
// database ID, track ID, name, artist, album, location separated by tabs.
inline QStringList listLibrary(const QString &path = defaultLibraryPath())
{
    QString out;
    if (runTool({QStringLiteral("--library"), path, QStringLiteral("list")}, &out) != 0)
        return {QStringLiteral("<list failed>")};
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

inline bool libraryServed()
{
    return QDBusConnection::sessionBus()
        .interface()
        ->isServiceRegistered(QString::fromLatin1(protocol::kServiceName))
        .value();
}

inline bool programServed()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kProgramService).value();
}

// The process that owns the library's bus name; 0 when there is none.
inline qint64 servicePid()
{
    const auto reply =
        QDBusConnection::sessionBus().interface()->servicePid(QString::fromLatin1(protocol::kServiceName));
    return reply.isValid() ? qint64(reply.value()) : 0;
}

// Asks a running service to quit and waits until its name has left the bus.
inline bool stopService()
{
    if (!libraryServed())
        return true;
    runTool({QStringLiteral("quit")});
    return waitUntil([] { return !libraryServed(); });
}

// A library file built with the library core; closed (and so handed over to
// the service) when the builder goes.
class LibraryBuilder
{
public:
    explicit LibraryBuilder(const QString &path = defaultLibraryPath())
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        m_core = library::LibraryCore::open(path);
        m_core->begin();
    }
    ~LibraryBuilder()
    {
        if (m_core)
            m_core->commit();
    }
    LibraryBuilder(const LibraryBuilder &) = delete;
    LibraryBuilder &operator=(const LibraryBuilder &) = delete;

    // A file track at location (which may or may not exist).
    library::TrackRecord addFile(const QString &name, const QString &artist, const QString &location,
                                 std::int32_t size = 4096, std::int32_t playCount = 0)
    {
        library::TrackRecord t;
        t.name = name;
        t.artist = artist;
        t.album = QStringLiteral("Album of ") + artist;
        t.kindAsString = QStringLiteral("MPEG audio file");
        t.totalTimeMs = 187000;
        t.time = QStringLiteral("3:07");
        t.bitRate = 192;
        t.sampleRate = 44100;
        t.size = size;
        t.location = location;
        t.playCount = playCount;
        return m_core->addTrack(std::move(t));
    }

    library::TrackRecord addStream(const QString &name, const QString &url)
    {
        library::TrackRecord t;
        t.kind = library::TrackKind::Url;
        t.name = name;
        t.kindAsString = QStringLiteral("Internet audio stream");
        t.location = url;
        return m_core->addTrack(std::move(t));
    }

    library::LibraryCore &core() { return *m_core; }

private:
    std::unique_ptr<library::LibraryCore> m_core;
};

// Writes a small file standing in for a song; its text tells it apart.
inline bool writeSong(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct FaceVariable
{
    QString name;
    QString value;
    qint64 atNs = 0; // when it arrived, on the session's clock
};

class E2eSession : public QObject
{
    Q_OBJECT
public:
    E2eSession()
    {
        m_clock.start();
        m_subscribed = QDBusConnection::sessionBus().connect(QString(), kProgramPath, kProgramInterface,
                                                             QStringLiteral("MovieVariableSet"), this,
                                                             SLOT(onMovieVariableSet(QString, QString)));
    }

    ~E2eSession() override
    {
        stop();
        QDBusConnection::sessionBus().disconnect(QString(), kProgramPath, kProgramInterface,
                                                 QStringLiteral("MovieVariableSet"), this,
                                                 SLOT(onMovieVariableSet(QString, QString)));
    }

    E2eSession(const E2eSession &) = delete;
    E2eSession &operator=(const E2eSession &) = delete;

    bool subscribed() const { return m_subscribed; }

    // Starts the program (the staged one unless told otherwise) with this
    // process's environment, and waits until it offers its interface.
    bool start(const QString &program = appDir() + QStringLiteral("/tidyfox"))
    {
        m_program.setProcessChannelMode(QProcess::ForwardedChannels);
        m_program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        m_program.start(program, {});
        if (!m_program.waitForStarted(kWaitMs))
            return false;
        return waitUntil([this] { return programServed() || !running(); }) && running();
    }

    bool running() const { return m_program.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_program.processId(); }
    QProcess &process() { return m_program; }

    // Ends the program through its exit command (which gets no reply), then
    // the service. Kills a program that does not end.
    void stop()
    {
        if (running()) {
            QDBusMessage call = QDBusMessage::createMethodCall(kProgramService, kProgramPath, kProgramInterface,
                                                               QStringLiteral("FLashCommand"));
            call << QStringLiteral("IDC_FS_exit") << QString();
            QDBusConnection::sessionBus().send(call);
            if (!waitUntil([this] { return !running(); }, 10000)) {
                m_program.kill();
                m_program.waitForFinished(5000);
            }
        }
        stopService();
    }

    // Sends a face command and returns when its handler has returned, with
    // the variables it set recorded; false when the call failed.
    bool command(const QString &name, const QString &args = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kProgramService, kProgramPath, kProgramInterface,
                                                           QStringLiteral("FLashCommand"));
        call << name << args;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 120000);
        // The handler's variables reached the bus before its reply, but the
        // waiting call left them in the queue: take them in now.
        QCoreApplication::processEvents();
        if (reply.type() == QDBusMessage::ErrorMessage) {
            m_lastError = reply.errorMessage();
            return false;
        }
        return true;
    }

    // Sends a face command without waiting for its handler: the variables
    // it sets are recorded as they arrive, which a waiting call would hold up.
    bool post(const QString &name, const QString &args = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kProgramService, kProgramPath, kProgramInterface,
                                                           QStringLiteral("FLashCommand"));
        call << name << args;
        call.setAutoStartService(false);
        return QDBusConnection::sessionBus().send(call);
    }

    QString lastError() const { return m_lastError; }

    // Everything recorded so far, in the order set.
    const std::vector<FaceVariable> &variables() const { return m_variables; }
    int mark() const { return int(m_variables.size()); }

    // The index of the first (name, value) at or after from; -1 when none.
    int find(const QString &name, const QString &value, int from = 0) const
    {
        for (int i = std::max(0, from); i < int(m_variables.size()); ++i) {
            if (m_variables[size_t(i)].name == name && m_variables[size_t(i)].value == value)
                return i;
        }
        return -1;
    }

    // Waits until (name, value) is set at or after from; its index or -1.
    int waitFor(const QString &name, const QString &value, int from = 0, int timeoutMs = kWaitMs)
    {
        int at = -1;
        waitUntil([&] { return (at = find(name, value, from)) >= 0; }, timeoutMs);
        return at;
    }

    // A busy-text change, the commonest thing to wait for.
    int waitForBusyText(const QString &text, int from = 0, int timeoutMs = kWaitMs)
    {
        return waitFor(QStringLiteral("_root.activationtxt"), text, from, timeoutMs);
    }

    // The names and values set from index from on, "name=value" each.
    QStringList since(int from, int to = -1) const
    {
        QStringList out;
        const int end = to < 0 ? int(m_variables.size()) : std::min(to, int(m_variables.size()));
        for (int i = std::max(0, from); i < end; ++i)
            out << m_variables[size_t(i)].name + QLatin1Char('=') + m_variables[size_t(i)].value;
        return out;
    }

    qint64 nsAt(int index) const { return m_variables[size_t(index)].atNs; }
    qint64 nowNs() const { return m_clock.nsecsElapsed(); }

    // Waits for a start-up attempt to load the library and update the buttons,
    // the last thing before the command gate opens; the index of the hidden
    // busy indicator or -1.
    int waitForLoaded(int from = 0, int timeoutMs = kWaitMs)
    {
        const int loading = waitForBusyText(QStringLiteral("Loading Library Contents..."), from, timeoutMs);
        if (loading < 0)
            return -1;
        const int hidden =
            waitFor(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"), loading, timeoutMs);
        if (hidden < 0)
            return -1;
        // UpdateTrackButtons with nothing selected ends with this.
        if (waitFor(QStringLiteral("_root.disabledelete"), QStringLiteral("true"), hidden, timeoutMs) < 0)
            return -1;
        return hidden;
    }

private Q_SLOTS:
    void onMovieVariableSet(const QString &name, const QString &value)
    {
        m_variables.push_back({name, value, m_clock.nsecsElapsed()});
    }

private:
    QProcess m_program;
    QElapsedTimer m_clock;
    std::vector<FaceVariable> m_variables;
    QString m_lastError;
    bool m_subscribed = false;
};

// A line of /proc/<pid>/status such as "VmRSS:" or "VmHWM:", in MB; -1 when
// the process is gone.
inline double statusMb(qint64 pid, const char *key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// CPU time (user and system) a process has used so far, in ms; -1 when it is
// gone. Benchmarks set it beside wall times, which other load on the machine
// stretches.
inline double cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which may hold blanks: state is
    // field 3, utime field 14, stime field 15.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(fields[11].toLongLong() + fields[12].toLongLong());
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Sends SIGKILL to pid and waits until the library's name has left the bus.
inline bool killService(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), SIGKILL) != 0)
        return false;
    return waitUntil([] { return !libraryServed(); });
}

} // namespace tidyfox::e2e
