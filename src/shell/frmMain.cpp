// The window itself: its controls, start-up, layout and exit.
#include "shell/frmMain.h"

#include "platform/TrashFileSystem.h"
#include "platform/SingleInstance.h"
#include "platform/UltraGrid.h"
#include "shell/CleaningHostAdapter.h"
#include "shell/MoviePlayer.h"
#include "shell/ShellLog.h"
#include "shell/VbTimer.h"
#include "shell/modMain.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <cstdlib>

namespace tidyfox::shell {

namespace {

constexpr int kWindowWidthPx = 450;
constexpr int kWindowHeightPx = 525;
constexpr int kGridLeftPx = 85;
constexpr int kGridTopPx = 196;
constexpr double kGridWidthTwips = 4400;
constexpr double kGridHeightTwips = 3435;

const QString kAboutDescription = QStringLiteral(
    "Tidyfox is an easy-to-use tool to clean up your iTunes library contents. You can remove duplicates using "
    "duplicate filter, and deleate dead tracks.");

} // namespace

frmMain::frmMain(WindowEnvironment environment, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_env(std::move(environment))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral(" Tidyfox"));
    for (const char *name : {"tidyfox.png", "tidyfox.svg"}) {
        const QString icon = m_env.applicationFolder + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(icon)) {
            setWindowIcon(QIcon(icon));
            break;
        }
    }

    // The three hidden buttons lie under the movie and are never seen; they
    // are created first so that everything else stacks above them.
    cmdConnect = new QPushButton(QStringLiteral("Connect"), this);
    cmdDisconnect = new QPushButton(QStringLiteral("Disconnect"), this);
    cmdLoadLibrary = new QPushButton(QStringLiteral("Load Library"), this);
    for (QPushButton *button : {cmdConnect, cmdDisconnect, cmdLoadLibrary}) {
        button->setGeometry(0, 0, 1, 1);
        button->setFocusPolicy(Qt::NoFocus);
    }
    cmdConnect->setObjectName(QStringLiteral("cmdConnect"));
    cmdDisconnect->setObjectName(QStringLiteral("cmdDisconnect"));
    cmdLoadLibrary->setObjectName(QStringLiteral("cmdLoadLibrary"));
    connect(cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(cmdDisconnect, &QPushButton::clicked, this, &frmMain::cmdDisconnect_Click);
    connect(cmdLoadLibrary, &QPushButton::clicked, this, &frmMain::cmdLoadLibrary_Click);

    LibraryGrid = new platform::UltraGrid(this);
    LibraryGrid->setObjectName(QStringLiteral("LibraryGrid"));
    LibraryGrid->setCaption(QStringLiteral("Library Contents"));

    Flash = new MoviePlayer(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    connect(Flash, &MoviePlayer::FSCommand, this, &frmMain::Flash_FSCommand);
    connect(Flash, &MoviePlayer::variableSet, this, &frmMain::MovieVariableSet);

    tmrStart = new VbTimer(8000, this);
    tmrStart->setObjectName(QStringLiteral("tmrStart"));
    tmrDuplicates = new VbTimer(2000, this);
    tmrDuplicates->setObjectName(QStringLiteral("tmrDuplicates"));
    tmrDeadtracks = new VbTimer(2000, this);
    tmrDeadtracks->setObjectName(QStringLiteral("tmrDeadtracks"));
    connect(tmrStart, &VbTimer::Timer, this, &frmMain::tmrStart_Timer);
    connect(tmrDuplicates, &VbTimer::Timer, this, &frmMain::tmrDuplicates_Timer);
    connect(tmrDeadtracks, &VbTimer::Timer, this, &frmMain::tmrDeadtracks_Timer);

    connectGridEvents();
    m_cleaningHost = std::make_unique<CleaningHostAdapter>(*this);
    modMain::setMainWindow(this);
}

frmMain::~frmMain()
{
    modMain::setMainWindow(nullptr);
}

bool frmMain::Form_Load()
{
    // The named mutex: created, never tested, held until the process ends.
    m_mutex = std::make_unique<platform::SingleInstance>(m_env.lockFolder, QStringLiteral("Vantorotidyfox"));
    QCoreApplication::setApplicationName(QStringLiteral("Tidyfox"));
    if (m_mutex->anotherInstanceRuns()) {
        if (m_env.showWarning)
            m_env.showWarning(QCoreApplication::applicationName(), QStringLiteral("Tidyfox is already running"));
        ExitApp();
        return false;
    }
    // The call time-out of the library connection is itunes::kBusyTimeoutMs.
    ArrangeWindow();
    ShowAboutInfo();
    StartHook();
    return true;
}

void frmMain::ArrangeWindow()
{
    double twipsX = m_env.twipsPerPixelX;
    double twipsY = m_env.twipsPerPixelY;
    if (twipsX <= 0 || twipsY <= 0) {
        const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const double dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
        const double dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
        twipsX = 1440.0 / (dpiX > 0 ? dpiX : 96.0);
        twipsY = 1440.0 / (dpiY > 0 ? dpiY : 96.0);
    }
    // Positions and sizes are worked out in twips, as single-precision values,
    // and placed in pixels.
    const auto toPxX = [twipsX](float twips) { return qRound(twips / twipsX); };
    const auto toPxY = [twipsY](float twips) { return qRound(twips / twipsY); };
    const float pxX = static_cast<float>(twipsX);
    const float pxY = static_cast<float>(twipsY);

    Flash->move(0, 0);
    Flash->raise();
    Flash->resize(toPxX(kWindowWidthPx * pxX), toPxY(kWindowHeightPx * pxY));
    setFixedSize(toPxX(kWindowWidthPx * pxX), toPxY(kWindowHeightPx * pxY));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Flash->LoadMovie(0, m_env.applicationFolder + QStringLiteral("/Main.qml"));
    LibraryGrid->setGeometry(toPxX(kGridLeftPx * pxX), toPxY(kGridTopPx * pxY), toPxX(static_cast<float>(kGridWidthTwips)),
                             toPxY(static_cast<float>(kGridHeightTwips)));
    LibraryGrid->setTwipsPerPixel(twipsX);
}

void frmMain::ShowAboutInfo()
{
    SetVariable(QStringLiteral("_root.aboutversion"), QStringLiteral("%1.%2.0.%3")
                                                          .arg(TIDYFOX_VERSION_MAJOR)
                                                          .arg(TIDYFOX_VERSION_MINOR)
                                                          .arg(TIDYFOX_VERSION_TWEAK));
    SetVariable(QStringLiteral("_root.aboutdescription"), kAboutDescription);
}

void frmMain::ExitApp()
{
    bClosing = true;
    StopHook();
    // Release what the program holds before the process goes: the library
    // connection above all, so the service sees us leave.
    oSelectedTrack.reset();
    oSelectedPlayList.reset();
    oLibrarySource.reset();
    iTunes.reset();
    if (m_env.endProcess)
        m_env.endProcess(0);
}

void frmMain::SetVariable(const QString &name, const QString &value)
{
    Flash->SetVariable(name, value);
}

void frmMain::DoEvents(int times)
{
    // A load yields millions of times, and asking the system for new input
    // costs a poll each time. Every yield runs what is already queued (the
    // movie's commands arrive that way); new input and timers are looked at
    // when a little time has passed since the last look, which no user can
    // tell apart from looking every time.
    constexpr qint64 kInputPollNs = 250'000;
    for (int i = 0; i < times; ++i) {
        if (m_lastInputPoll.isValid() && m_lastInputPoll.nsecsElapsed() < kInputPollNs) {
            QCoreApplication::sendPostedEvents();
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_lastInputPoll.start();
    }
}

WindowEnvironment makeDefaultEnvironment()
{
    WindowEnvironment env;
    env.applicationFolder = QCoreApplication::applicationDirPath();
    env.lockFolder = platform::defaultLockFolder();
    env.showWarning = [](const QString &title, const QString &text) {
        QMessageBox::warning(nullptr, title, text, QMessageBox::Ok);
    };
    env.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    env.endProcess = [](int code) {
        // Every window goes without further events; the kernel releases the
        // rest, the single-instance lock included.
        std::fflush(nullptr);
        std::quick_exit(code);
    };
    env.fileSystem = std::make_shared<platform::TrashFileSystem>();
    return env;
}

} // namespace tidyfox::shell
