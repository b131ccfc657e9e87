// The program's one window: the movie that is its whole face, the library grid
// laid over it, the three timers, and the window-level state every operation
// shares. Its operations are split over several files by subject
// (frmMain*.cpp); everything runs on the GUI thread and yields to the event
// loop only where the program's logic says so.
#pragma once

#include "itunes/ITunesInterface.h"

#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QPushButton;
class QEvent;

namespace tidyfox::platform {
class UltraGrid;
class UGCell;
class UGFlag;
class FileSystem;
class SingleInstance;
} // namespace tidyfox::platform

namespace tidyfox::library {
class LibraryRecordset;
}

namespace tidyfox::shell {

class MoviePlayer;
class VbTimer;
class CleaningHostAdapter;

// What the window takes from its surroundings. Tests replace these; the
// program uses the defaults from makeDefaultEnvironment().
struct WindowEnvironment
{
    QString applicationFolder;
    // Where the single-instance lock lives.
    QString lockFolder;
    // Creates the application object of the music library (connects to the
    // library service); throws itunes::ComError when it cannot.
    itunes::ITunesFactory createITunes;
    // The warning box of the previous-instance test.
    std::function<void(const QString &title, const QString &text)> showWarning;
    // Opens a document with the desktop's handler for it.
    std::function<bool(const QUrl &url)> openUrl;
    // Ends the process at once.
    std::function<void(int code)> endProcess;
    std::shared_ptr<platform::FileSystem> fileSystem;
    // Twips per pixel, horizontally and vertically; 0 means from the screen.
    double twipsPerPixelX = 0;
    double twipsPerPixelY = 0;
};

WindowEnvironment makeDefaultEnvironment();

class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(WindowEnvironment environment, QWidget *parent = nullptr);
    ~frmMain() override;

    // The window's load event. Returns false when this copy must end (another
    // copy runs); ExitApp has been called then.
    bool Form_Load();

    // Start-up, layout, exit.
    void ArrangeWindow();
    void ShowAboutInfo();
    void ExitApp();

    // The movie protocol.
    void Flash_FSCommand(const QString &command, const QString &args);
    QVariant FLashCommand(const QString &command, const QString &args);
    void HideGrid();
    void ShowGrid();

    // Feedback through the movie.
    void ShowBusy(const QString &text);
    void HideBusy();
    void UpdateTrackButtons();

    // Window procedures.
    void StartHook();
    void StopHook();
    void ScrollUp();
    void ScrollDown();

    // The connection with the music library.
    std::int16_t Connect2iTunes();
    void DisconnectFromiTunes();
    std::int16_t LoadSources();
    void tmrStart_Timer();
    void iTunes_OnQuittingEvent();
    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void cmdLoadLibrary_Click();

    // The library list.
    void FillGridWithSource(platform::UltraGrid &Grid, itunes::SourcePtr &iSource);
    void RefreshLibrarylist();

    // Grid events.
    void LibraryGrid_CellActivating(platform::UGCell &cell, platform::UGFlag &cancel);
    void LibraryGrid_DoubleClick();
    void LibraryGrid_KeyReleased(int keyCode, int shift);
    void LibraryGrid_RefuseRequest(platform::UGFlag &cancel);
    void LibraryGrid_ClearFlag(platform::UGFlag &flag);

    // Cleaning and the track view.
    void tmrDuplicates_Timer();
    void RemoveDuplicates(const QString &sFilter);
    void tmrDeadtracks_Timer();
    void DeleteDeadTracks();
    bool ViewSelectedLibraryTrack();

    // Controls.
    MoviePlayer *Flash = nullptr;
    platform::UltraGrid *LibraryGrid = nullptr;
    VbTimer *tmrStart = nullptr;
    VbTimer *tmrDuplicates = nullptr;
    VbTimer *tmrDeadtracks = nullptr;
    QPushButton *cmdConnect = nullptr;
    QPushButton *cmdDisconnect = nullptr;
    QPushButton *cmdLoadLibrary = nullptr;

    // Window-level state.
    bool bClosing = false;
    bool bStarting = false;
    bool bFillingGrid = false;
    bool bRemovingDuplicates = false;
    QString sDuplicateFilter;
    itunes::ITunesPtr iTunes;
    itunes::SourcePtr oLibrarySource;
    std::shared_ptr<library::LibraryRecordset> vRecordSet;
    itunes::PlaylistPtr oSelectedPlayList;
    itunes::TrackPtr oSelectedTrack;

    const WindowEnvironment &environment() const { return m_env; }

Q_SIGNALS:
    // Every movie variable assignment, in the order made.
    void MovieVariableSet(const QString &name, const QString &value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void SetVariable(const QString &name, const QString &value);
    void DoEvents(int times = 1);
    bool gridIsActiveControl() const;
    void connectGridEvents();
    void connectITunesEvents();

    WindowEnvironment m_env;
    std::unique_ptr<platform::SingleInstance> m_mutex;
    std::unique_ptr<CleaningHostAdapter> m_cleaningHost;
    bool m_movieHooked = false;
    bool m_mainHooked = false;
    bool m_attemptRunning = false;
    bool m_quitDuringAttempt = false;
    QElapsedTimer m_lastInputPoll;

    friend class CleaningHostAdapter;
};

} // namespace tidyfox::shell
