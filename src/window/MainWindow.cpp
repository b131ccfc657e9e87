// SPDX-License-Identifier: GPL-3.0-or-later
// The window itself: its controls, start-up, layout and exit.
#include "window/MainWindow.h"

#include "cleaning/PendingRemovals.h"
#include "librarylist/LibraryListFormat.h"
#include "system/SingleInstance.h"
#include "system/TrashFileSystem.h"
#include "widgets/TreeGrid.h"
#include "window/DeadTrackReviewModel.h"
#include "window/DeleteChoice.h"
#include "window/DuplicateReviewModel.h"
#include "window/FaceView.h"
#include "window/HelpWindow.h"
#include "window/InputFilters.h"
#include "window/IntervalTimer.h"
#include "window/JobHistoryModel.h"
#include "window/JobStatus.h"
#include "window/LibrarySourceName.h"
#include "window/ListBridge.h"
#include "window/TrackDetails.h"
#include "window/WindowCleaningHost.h"
#include "window/WindowLog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QQmlContext>
#include <QScreen>
#include <QStandardPaths>
#include <cstdlib>
#include <utility>

namespace tidyfox::window {

namespace {

constexpr int kWindowWidthPx = 450;
constexpr int kWindowHeightPx = 525;
constexpr int kListLeftPx = 85;
constexpr int kListTopPx = 196;
// The list's size is given in twips (1/1440 inch), so that it keeps its size
// on the page whatever the screen's resolution.
constexpr float kListWidthTwips = 4400;
constexpr float kListHeightTwips = 3435;

// Turns layout lengths in twips into pixels. Lengths pass through twips as
// single-precision values, which decides how they round at odd resolutions.
class TwipScale
{
public:
    TwipScale(double twipsPerPixelX, double twipsPerPixelY, const QScreen *screen)
    {
        if (twipsPerPixelX <= 0 || twipsPerPixelY <= 0) {
            const double dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
            const double dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
            twipsPerPixelX = 1440.0 / (dpiX > 0 ? dpiX : 96.0);
            twipsPerPixelY = 1440.0 / (dpiY > 0 ? dpiY : 96.0);
        }
        m_x = twipsPerPixelX;
        m_y = twipsPerPixelY;
    }

    double twipsPerPixelX() const { return m_x; }
    int widthFromTwips(float twips) const { return qRound(twips / m_x); }
    int heightFromTwips(float twips) const { return qRound(twips / m_y); }
    // A length in pixels as it comes out after a round trip through twips.
    int width(int pixels) const { return widthFromTwips(pixels * static_cast<float>(m_x)); }
    int height(int pixels) const { return heightFromTwips(pixels * static_cast<float>(m_y)); }

private:
    double m_x;
    double m_y;
};

const QString kAboutDescription = QStringLiteral(
    "Tidyfox is an easy-to-use tool to clean up your iTunes library contents. You can remove duplicates using "
    "duplicate filter, and deleate dead tracks.");

} // namespace

MainWindow::MainWindow(WindowEnvironment environment, QWidget *parent)
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

    // The three hidden buttons lie under the face and are never seen; they
    // are created first so that everything else stacks above them.
    m_connectButton = new QPushButton(QStringLiteral("Connect"), this);
    m_disconnectButton = new QPushButton(QStringLiteral("Disconnect"), this);
    m_loadLibraryButton = new QPushButton(QStringLiteral("Load Library"), this);
    for (QPushButton *button : {m_connectButton, m_disconnectButton, m_loadLibraryButton}) {
        button->setGeometry(0, 0, 1, 1);
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_connectButton->setObjectName(QStringLiteral("cmdConnect"));
    m_disconnectButton->setObjectName(QStringLiteral("cmdDisconnect"));
    m_loadLibraryButton->setObjectName(QStringLiteral("cmdLoadLibrary"));
    connect(m_connectButton, &QPushButton::clicked, this, &MainWindow::onConnectButton);
    connect(m_disconnectButton, &QPushButton::clicked, this, &MainWindow::onDisconnectButton);
    connect(m_loadLibraryButton, &QPushButton::clicked, this, &MainWindow::onLoadLibraryButton);

    m_libraryList = new widgets::TreeGrid(this);
    m_libraryList->setObjectName(QStringLiteral("LibraryGrid"));
    m_libraryList->setCaption(QStringLiteral("Library Contents"));

    m_face = new FaceView(this);
    m_face->setObjectName(QStringLiteral("Flash"));
    m_jobStatus = new JobStatus(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("jobStatus"), m_jobStatus);
    m_deadTrackReview = new DeadTrackReviewModel(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("deadTrackReview"), m_deadTrackReview);
    m_duplicateReview = new DuplicateReviewModel(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("duplicateReview"), m_duplicateReview);
    m_jobHistory = new JobHistoryModel(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("jobHistory"), m_jobHistory);
    m_deleteChoice = new DeleteChoice(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("deleteChoice"), m_deleteChoice);
    m_trackDetails = new TrackDetails(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("trackDetails"), m_trackDetails);
    m_listBridge = new ListBridge(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("libraryList"), m_listBridge);
    connect(m_listBridge, &ListBridge::searchTextChanged, this,
            [this](const QString &text) { librarylist::searchLibraryList(*m_libraryList, text); });
    // Once the face has finished with the key that moved its focus: taken in
    // the middle of it, the focus would go back to the face.
    connect(m_listBridge, &ListBridge::focusRequested, this, &MainWindow::focusList, Qt::QueuedConnection);
    m_sourceName = new LibrarySourceName(this);
    m_face->rootContext()->setContextProperty(QStringLiteral("librarySource"), m_sourceName);
    connect(m_face, &FaceView::commandSent, this, &MainWindow::handleFaceCommand);
    connect(m_face, &FaceView::variableSet, this, &MainWindow::faceVariableSet);

    m_startTimer = new IntervalTimer(8000, this);
    m_startTimer->setObjectName(QStringLiteral("tmrStart"));
    m_duplicatesTimer = new IntervalTimer(2000, this);
    m_duplicatesTimer->setObjectName(QStringLiteral("tmrDuplicates"));
    m_deadTracksTimer = new IntervalTimer(2000, this);
    m_deadTracksTimer->setObjectName(QStringLiteral("tmrDeadtracks"));
    connect(m_startTimer, &IntervalTimer::timeout, this, &MainWindow::onStartTimer);
    connect(m_duplicatesTimer, &IntervalTimer::timeout, this, &MainWindow::onDuplicatesTimer);
    connect(m_deadTracksTimer, &IntervalTimer::timeout, this, &MainWindow::onDeadTracksTimer);

    connectListEvents();
    m_cleaningHost = std::make_unique<WindowCleaningHost>(*this);
    if (!m_env.pendingRemovalsPath.isEmpty())
        m_pendingRemovals = std::make_unique<cleaning::PendingRemovals>(m_env.pendingRemovalsPath);
    m_wheel = std::make_unique<input::WheelForwarder>();
}

MainWindow::~MainWindow() = default;

bool MainWindow::start()
{
    // Held until the process ends; the kernel lets go of it even after a crash.
    m_singleInstance = std::make_unique<system::SingleInstance>(m_env.lockFolder, QStringLiteral("Vantorotidyfox"));
    QCoreApplication::setApplicationName(QStringLiteral("Tidyfox"));
    if (m_singleInstance->anotherInstanceRuns()) {
        if (m_env.showWarning)
            m_env.showWarning(QCoreApplication::applicationName(), QStringLiteral("Tidyfox is already running"));
        exitApp();
        return false;
    }
    if (m_env.publish)
        m_env.publish(*this);
    if (m_env.startLibraryEarly)
        m_env.startLibraryEarly();
    arrangeWindow();
    showAboutTexts();
    installInputFilters();
    return true;
}

void MainWindow::arrangeWindow()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const TwipScale scale(m_env.twipsPerPixelX, m_env.twipsPerPixelY, screen);

    m_face->move(0, 0);
    m_face->raise();
    m_face->resize(scale.width(kWindowWidthPx), scale.height(kWindowHeightPx));
    // The first size is also the least: the face is laid out for it and
    // grows from there.
    m_firstSize = QSize(scale.width(kWindowWidthPx), scale.height(kWindowHeightPx));
    setMinimumSize(m_firstSize);
    resize(m_firstSize);
    if (const QScreen *primary = QGuiApplication::primaryScreen()) {
        const QRect area = primary->availableGeometry();
        move(area.center() - rect().center());
    }
    m_face->loadScene(0, m_env.applicationFolder + QStringLiteral("/Main.qml"));
    m_firstListGeometry = QRect(scale.width(kListLeftPx), scale.height(kListTopPx),
                                scale.widthFromTwips(kListWidthTwips), scale.heightFromTwips(kListHeightTwips));
    m_libraryList->setGeometry(m_firstListGeometry);
    m_libraryList->setTwipsPerPixel(scale.twipsPerPixelX());
}

void MainWindow::toggleMaximised()
{
    // Done by hand rather than asked of the window manager: a frameless
    // window is maximised the same way with any manager, or none.
    if (!m_unmaximised.isEmpty()) {
        setGeometry(std::exchange(m_unmaximised, QRect()));
        return;
    }
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_unmaximised = geometry();
    setGeometry(screen->availableGeometry());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_firstSize.isEmpty())
        return;
    // The face fills the window and widens its well by as much as the window
    // grew; the list lies in the well.
    m_face->resize(size());
    const QSize grown = (size() - m_firstSize).expandedTo(QSize(0, 0));
    m_libraryList->setGeometry(m_firstListGeometry.adjusted(0, 0, grown.width(), grown.height()));
}

void MainWindow::openHelp()
{
    // Nothing is reported when the help cannot be opened either way.
    const QString page = m_env.applicationFolder + QStringLiteral("/Help.html");
    if (m_env.openUrl && m_env.openUrl(QUrl::fromLocalFile(page)))
        return;
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        m_helpWindow->setWindowIcon(windowIcon());
    }
    if (!m_helpWindow->showPage(page))
        qCDebug(lcWindow) << "no help page at" << page;
}

void MainWindow::showAboutTexts()
{
    setVariable(
        QStringLiteral("_root.aboutversion"),
        QStringLiteral("%1.%2.0.%3").arg(TIDYFOX_VERSION_MAJOR).arg(TIDYFOX_VERSION_MINOR).arg(TIDYFOX_VERSION_TWEAK));
    setVariable(QStringLiteral("_root.aboutdescription"), kAboutDescription);
}

void MainWindow::exitApp()
{
    m_state.enter(WindowState::Phase::Closing);
    removeInputFilters();
    // Release what the program holds before the process goes: the library
    // connection above all, so the service sees us leave.
    m_selectedTrack.reset();
    m_selectedPlaylist.reset();
    m_librarySource.reset();
    m_library.reset();
    if (m_env.endProcess)
        m_env.endProcess(0);
}

void MainWindow::yieldToEvents(int times)
{
    // A load yields millions of times, and asking the system for new input
    // costs a poll each time. Every yield runs what is already queued (the
    // face's commands arrive that way); new input and timers are looked at
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
    env.lockFolder = system::defaultLockFolder();
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
    env.fileSystem = std::make_shared<system::TrashFileSystem>();
    env.pendingRemovalsPath = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                              QStringLiteral("/tidyfox/pending-removals");
    return env;
}

} // namespace tidyfox::window
