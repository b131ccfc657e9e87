// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one window: the QML face that fills it, the library list laid
// over it, the three timers, and the window's state that every operation
// shares. Its operations are split over several files by subject
// (MainWindow*.cpp); everything runs on the GUI thread and yields to the event
// loop only where the program's logic says so.
#pragma once

#include "cleaning/ReviewedRemoval.h"
#include "common/AlertKind.h"
#include "libraryclient/LibraryClient.h"
#include "window/WindowState.h"

#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QPushButton;
class QEvent;

namespace tidyfox::widgets {
class TreeGrid;
class GridCell;
} // namespace tidyfox::widgets

namespace tidyfox::cleaning {
class PendingRemovals;
} // namespace tidyfox::cleaning

namespace tidyfox::system {
class FileSystem;
class SingleInstance;
} // namespace tidyfox::system

namespace tidyfox::librarylist {
class LibraryListModel;
}

namespace tidyfox::window {

namespace input {
class WheelForwarder;
}

class FaceView;
class IntervalTimer;
class WindowCleaningHost;
class MainWindowProbe;
class JobStatus;
class DeadTrackReviewModel;
class DeleteChoice;
class HelpWindow;
class ListBridge;
class TrackDetails;
class LibrarySourceName;
class JobHistoryModel;
class DuplicateReviewModel;
class MainWindow;

// What the window takes from its surroundings. Tests replace these; the
// program uses the defaults from makeDefaultEnvironment().
struct WindowEnvironment
{
    QString applicationFolder;
    // Where the single-instance lock lives.
    QString lockFolder;
    // Creates the application object of the music library (connects to the
    // library service); throws libraryclient::ClientError when it cannot.
    libraryclient::LibraryClientFactory createLibraryClient;
    // Has the library made ready while the window lays itself out and waits
    // for its first connection tick (the service starts building what the
    // list will ask for); never waits and never fails: the tick connects and
    // tells of any trouble as ever. Empty does nothing.
    std::function<void()> startLibraryEarly;
    // The warning box of the previous-instance test.
    std::function<void(const QString &title, const QString &text)> showWarning;
    // Opens a document with the desktop's handler for it.
    std::function<bool(const QUrl &url)> openUrl;
    // Ends the process at once.
    std::function<void(int code)> endProcess;
    // Offers the window to other programs (on the session bus); called once
    // this copy knows it is the only one, before the face gets its first
    // variable, so that a client watching from the start sees every one.
    std::function<void(MainWindow &window)> publish;
    std::shared_ptr<system::FileSystem> fileSystem;
    // The note of removed copies' files on their way to the trash (see
    // cleaning::PendingRemovals); empty keeps none.
    QString pendingRemovalsPath;
    // Twips per pixel, horizontally and vertically; 0 means from the screen.
    double twipsPerPixelX = 0;
    double twipsPerPixelY = 0;
};

WindowEnvironment makeDefaultEnvironment();

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(WindowEnvironment environment, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Takes the single-instance lock, lays the window out, hands the face its
    // about texts and starts listening to input. Returns false when another
    // copy runs; this copy has then been ended.
    bool start();

    // Carries out one command of the face (or of a bus client) and returns
    // once its handler has.
    void handleFaceCommand(const QString &command, const QString &args);

    // How far the job under way is, and why the last one stopped.
    JobStatus &jobStatus() const { return *m_jobStatus; }

Q_SIGNALS:
    // Every face variable assignment, in the order made.
    void faceVariableSet(const QString &name, const QString &value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class WindowCleaningHost;
    // The tests' door into the window (tests/support/MainWindowProbe.h).
    friend class MainWindowProbe;

    // Start-up, layout, exit.
    void arrangeWindow();
    // Fills the screen's free area, or goes back to the size and place before.
    void toggleMaximised();
    void showAboutTexts();
    void exitApp();

    // The face.
    void runFaceCommand(const QString &command, const QString &args);
    void setVariable(const QString &name, const QString &value);
    void hideList();
    void showList();
    void showBusy(const QString &text);
    void hideBusy();
    void updateTrackButtons();
    // Hides the list and shows the face's alert panel of that kind; returns at once.
    // detail is the line under the text (why a job stopped); every alert
    // without one clears the previous one's.
    void showAlert(const QString &text, AlertKind kind, const QString &title, const QString &detail = {});

    // Input.
    void installInputFilters();
    void removeInputFilters();
    void scrollListUp();
    void scrollListDown();
    bool listIsActiveControl() const;
    void yieldToEvents(int times = 1);

    // The connection with the library.
    enum class Connection { Connected, NoLibrarySource, Failed };
    Connection connectToLibrary();
    void disconnectFromLibrary();
    Connection loadLibrarySource();
    void showSourceName();
    void onStartTimer();
    void onLibraryQuitting();
    // Another client put a job back: the list shows what is there now.
    void onLibraryRestored(std::int32_t jobId);
    void onConnectButton();
    void onDisconnectButton();
    void onLoadLibraryButton();
    void watchLibraryQuitting();
    void tellUnusableLibraryOnce();

    // The library list.
    void fillListFromSource(widgets::TreeGrid &list, libraryclient::SourcePtr &source);
    // The help page, with the desktop's program for it or in a window of our own.
    void openHelp();
    // The keyboard into the list from the face's tab order, and out of it by
    // Tab; the face hears when the list has it.
    void focusList();
    bool followListFocus(QObject *watched, QEvent *event);
    void refreshLibraryList();
    void connectListEvents();
    void onListCellActivating(const widgets::GridCell &cell);
    void onListDoubleClick();
    void onListKeyReleased(int keyCode, int shift);

    // Cleaning and the track view.
    void onDuplicatesTimer();
    void removeDuplicates(const QString &filterText);
    void onDeadTracksTimer();
    void deleteDeadTracks();
    void findDeadTracks();
    void findDuplicates(const QString &filterText);
    // Makes the fingerprints the library lacks, telling how far in the busy
    // text; false when stopped ("IDC_FS_stopListening").
    bool listenToTracks(libraryclient::LibraryClient &library);
    bool viewSelectedTrack();

    // The window's own jobs (undo, the Delete button): the gate shut, the
    // buttons off and the busy text on while job runs; job ends them.
    void runLibraryJob(const QString &busyText, const std::function<void()> &job);
    void showHistory();
    void restoreJob(const QString &args);
    void undoLast();
    // The database ids of those of the playlist's tracks still there.
    std::vector<std::int32_t> selectedTrackIds(const libraryclient::PlaylistPtr &playlist,
                                               const std::vector<std::int32_t> &trackIds);
    void offerDeletion();
    void deleteSelectedTracks(const QString &args, bool withFiles);
    void removeFromPlaylist(const QString &args);
    void deletePlaylist(const QString &args);

    WindowEnvironment m_env;
    WindowState m_state;

    FaceView *m_face = nullptr;
    JobStatus *m_jobStatus = nullptr;
    DeadTrackReviewModel *m_deadTrackReview = nullptr;
    DuplicateReviewModel *m_duplicateReview = nullptr;
    JobHistoryModel *m_jobHistory = nullptr;
    DeleteChoice *m_deleteChoice = nullptr;
    ListBridge *m_listBridge = nullptr;
    TrackDetails *m_trackDetails = nullptr;
    HelpWindow *m_helpWindow = nullptr;
    LibrarySourceName *m_sourceName = nullptr;
    widgets::TreeGrid *m_libraryList = nullptr;
    IntervalTimer *m_startTimer = nullptr;
    IntervalTimer *m_duplicatesTimer = nullptr;
    IntervalTimer *m_deadTracksTimer = nullptr;
    // Hidden 1 x 1 buttons under the face: connect, disconnect and reload by
    // a click, for automation.
    QPushButton *m_connectButton = nullptr;
    QPushButton *m_disconnectButton = nullptr;
    QPushButton *m_loadLibraryButton = nullptr;

    QString m_duplicateFilter;
    // The tracks a dead-track review confirmed, for the next deletion.
    std::optional<std::vector<std::int32_t>> m_reviewedDeadTracks;
    // The copies a duplicate review confirmed, for the next removal.
    std::optional<cleaning::ReviewedRemoval> m_reviewedRemoval;
    cleaning::ShownCopies m_shownCopies; // of the last duplicate review
    // Why the library service could not open the library at the last
    // attempt, and the reason the user was last told.
    QString m_unusableLibrary;
    QString m_toldUnusableLibrary;
    libraryclient::LibraryClientPtr m_library;
    // Jobs this window restored, whose Restored signal is still to come.
    std::set<std::int32_t> m_restoredHere;
    libraryclient::SourcePtr m_librarySource;
    std::shared_ptr<librarylist::LibraryListModel> m_listModel;
    libraryclient::PlaylistPtr m_selectedPlaylist;
    libraryclient::TrackPtr m_selectedTrack;

    std::unique_ptr<system::SingleInstance> m_singleInstance;
    std::unique_ptr<WindowCleaningHost> m_cleaningHost;
    std::unique_ptr<cleaning::PendingRemovals> m_pendingRemovals;
    std::unique_ptr<input::WheelForwarder> m_wheel;
    // The window and the list as first laid out; the list grows with the
    // window from there.
    QSize m_firstSize;
    QRect m_firstListGeometry;
    // Where the window was before it was maximised; empty while it is not.
    QRect m_unmaximised;
    bool m_faceFiltered = false;
    bool m_stopListening = false;
    bool m_leavingList = false;
    bool m_windowFiltered = false;
    QElapsedTimer m_lastInputPoll;
    // Face commands whose handler is running, and those waiting for it.
    int m_commandDepth = 0;
    std::deque<std::pair<QString, QString>> m_waitingCommands;
};

} // namespace tidyfox::window
