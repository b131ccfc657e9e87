// The connection with the music library: start-up attempts, retries,
// reconnecting when the library goes away, and the hidden buttons.
#include "shell/frmMain.h"

#include "itunes/Lookups.h"
#include "platform/UltraGrid.h"
#include "shell/VbTimer.h"
#include "shell/modMain.h"

#include <QPointer>

namespace tidyfox::shell {

namespace {
constexpr std::int16_t kConnected = 0;
constexpr std::int16_t kNoLibrarySource = 2;
constexpr std::int16_t kConnectFailed = 3;
} // namespace

std::int16_t frmMain::Connect2iTunes()
{
    try {
        DoEvents(1);
        itunes::ITunesPtr created = m_env.createITunes ? m_env.createITunes() : nullptr;
        if (!created)
            throw itunes::ComError(itunes::kErrCallFailed, QStringLiteral("The music library cannot be reached"));
        // The previous object is released and no longer reports to us.
        if (iTunes)
            iTunes->SetOnQuittingEvent({});
        iTunes = std::move(created);
        connectITunesEvents();
        iTunes->SetForceToForegroundOnDialog(true);
        DoEvents(4);
        return LoadSources();
    } catch (const itunes::ComError &) {
        return kConnectFailed;
    }
}

void frmMain::connectITunesEvents()
{
    QPointer<frmMain> self(this);
    iTunes->SetOnQuittingEvent([self] {
        if (self)
            self->iTunes_OnQuittingEvent();
    });
}

void frmMain::DisconnectFromiTunes()
{
    try {
        if (iTunes)
            iTunes->Quit();
    } catch (const itunes::ComError &) {
    }
    if (iTunes)
        iTunes->SetOnQuittingEvent({});
    iTunes.reset();
}

std::int16_t frmMain::LoadSources()
{
    return itunes::GetLibrarySource(iTunes.get(), oLibrarySource) ? kConnected : kNoLibrarySource;
}

void frmMain::tmrStart_Timer()
{
    // A tick that falls due while an attempt still yields would start a second
    // attempt inside the first; the running attempt decides what comes next.
    if (m_attemptRunning)
        return;
    m_attemptRunning = true;

    m_quitDuringAttempt = false;
    bStarting = true;
    ShowBusy(QStringLiteral("Connecting to iTunes..."));
    const std::int16_t result = Connect2iTunes();
    if (result == kConnectFailed) {
        tmrStart->setInterval(8000);
        m_attemptRunning = false;
        return;
    }
    if (result == kNoLibrarySource) {
        modMain::ShowAlert(QStringLiteral("No library found, Use Add File(s)/Folder(s) to make your own library"),
                           modMain::kAlertInformation, QStringLiteral("Tidyfox"));
    }
    tmrStart->setEnabled(false);
    tmrStart->setInterval(2000);
    SetVariable(QStringLiteral("_root.activationtxt"), QStringLiteral("Loading Library Contents..."));
    FillGridWithSource(*LibraryGrid, oLibrarySource);
    LibraryGrid->ZOrder(0);
    HideBusy();
    UpdateTrackButtons();
    bStarting = false;
    m_attemptRunning = false;
    // The library went away while this attempt ran: the attempt has turned
    // the timer off, so arm it again as the quitting event asked.
    if (m_quitDuringAttempt) {
        m_quitDuringAttempt = false;
        iTunes_OnQuittingEvent();
    }
}

void frmMain::iTunes_OnQuittingEvent()
{
    if (bClosing)
        return;
    if (m_attemptRunning)
        m_quitDuringAttempt = true;
    tmrStart->setInterval(2000);
    tmrStart->setEnabled(true);
}

void frmMain::cmdConnect_Click()
{
    Connect2iTunes();
}

void frmMain::cmdDisconnect_Click()
{
    DisconnectFromiTunes();
}

void frmMain::cmdLoadLibrary_Click()
{
    FillGridWithSource(*LibraryGrid, oLibrarySource);
}

} // namespace tidyfox::shell
