// The cleaning jobs and the track view, as the window runs them.
#include "shell/frmMain.h"

#include "cleaning/DeadTrackDeletion.h"
#include "cleaning/DuplicateRemoval.h"
#include "cleaning/TrackInfo.h"
#include "platform/FileSystem.h"
#include "shell/CleaningHostAdapter.h"
#include "shell/MoviePlayer.h"
#include "shell/VbTimer.h"
#include "shell/modMain.h"

#include <QLocale>

namespace tidyfox::shell {

void CleaningHostAdapter::ShowAlert(const QString &text, int kind, const QString &title)
{
    modMain::ShowAlert(text, kind, title);
}

void CleaningHostAdapter::HideBusy()
{
    m_window.HideBusy();
}

void CleaningHostAdapter::RefreshLibrarylist()
{
    m_window.RefreshLibrarylist();
}

void CleaningHostAdapter::SetVariable(const QString &name, const QString &value)
{
    m_window.SetVariable(name, value);
}

void CleaningHostAdapter::ClearRemovingDuplicates()
{
    m_window.bRemovingDuplicates = false;
}

void CleaningHostAdapter::YieldOnce()
{
    m_window.DoEvents(1);
}

void frmMain::tmrDuplicates_Timer()
{
    tmrDuplicates->setEnabled(false);
    RemoveDuplicates(sDuplicateFilter);
}

void frmMain::RemoveDuplicates(const QString &sFilter)
{
    // Hold the application object for the whole run: a reconnect in a yield
    // replaces the window's reference, not this run's.
    const itunes::ITunesPtr library = iTunes;
    cleaning::RemoveDuplicates(*m_cleaningHost, library.get(), *m_env.fileSystem, sFilter);
}

void frmMain::tmrDeadtracks_Timer()
{
    tmrDeadtracks->setEnabled(false);
    DeleteDeadTracks();
}

void frmMain::DeleteDeadTracks()
{
    const itunes::SourcePtr source = oLibrarySource;
    cleaning::DeleteDeadTracks(*m_cleaningHost, source.get(), *m_env.fileSystem);
}

bool frmMain::ViewSelectedLibraryTrack()
{
    const QString text = cleaning::BuildTrackInfo(oSelectedTrack.get(), QLocale());
    if (text.isEmpty())
        return false;
    SetVariable(QStringLiteral("_root.trackinfo"), text);
    SetVariable(QStringLiteral("_root.showtracinfowin"), QStringLiteral("true"));
    return true;
}

} // namespace tidyfox::shell
