// The movie's commands: the gate, the command table and the yields.
#include "shell/frmMain.h"

#include "platform/UltraGrid.h"
#include "shell/VbTimer.h"
#include "shell/modMain.h"

#include <QUrl>

namespace tidyfox::shell {

void frmMain::Flash_FSCommand(const QString &command, const QString &args)
{
    const QString sCommand = command;
    const QString sArgs = args;

    // While the library loads or duplicates are removed only help, exit and
    // minimise get through; everything else is dropped, not queued.
    const bool alwaysAllowed = sCommand == QLatin1String("IDC_FS_help") || sCommand == QLatin1String("IDC_FS_exit") ||
                               sCommand == QLatin1String("IDC_FS_mini");
    if (!alwaysAllowed && (bStarting || bRemovingDuplicates))
        return;

    if (sCommand == QLatin1String("start")) {
        tmrStart->setInterval(1000);
        tmrStart->setEnabled(true);
    } else if (sCommand == QLatin1String("IDC_FS_transfer") || sCommand == QLatin1String("IDC_FS_cancel") ||
               sCommand == QLatin1String("IDC_FS_exitTrackInfoWindow") ||
               sCommand == QLatin1String("IDC_FS_listNameCanceld") ||
               sCommand == QLatin1String("IDC_FS_don'tDeleteFromLibrary") ||
               sCommand == QLatin1String("IDC_FS_don'tDeleteFromhard") ||
               sCommand == QLatin1String("IDC_FS_don'tRemoveDuplicateFromlibrary") ||
               sCommand == QLatin1String("IDC_FS_don'tRemoveDuplicateFromhard") ||
               sCommand == QLatin1String("IDC_FS_okalert")) {
        ShowGrid();
    } else if (sCommand == QLatin1String("IDC_FS_about") || sCommand == QLatin1String("IDC_FS_removeDuplicate")) {
        HideGrid();
    } else if (sCommand == QLatin1String("IDC_FS_exit")) {
        ExitApp();
        return;
    } else if (sCommand == QLatin1String("IDC_FS_mini")) {
        setWindowState(windowState() | Qt::WindowMinimized);
    } else if (sCommand == QLatin1String("IDC_FS_help")) {
        // Nothing is reported when the help cannot be opened.
        if (m_env.openUrl)
            m_env.openUrl(QUrl::fromLocalFile(m_env.applicationFolder + QStringLiteral("/Help.html")));
    } else if (sCommand == QLatin1String("IDC_FS_drag")) {
        modMain::DragWindow(this);
    } else if (sCommand == QLatin1String("IDC_FS_okfilter")) {
        bRemovingDuplicates = true;
        SetVariable(QStringLiteral("_root.disablebtns"), QStringLiteral("1"));
        ShowBusy(QStringLiteral("Removing Duplicates..."));
        sDuplicateFilter = sArgs;
        tmrDuplicates->setEnabled(true);
        ShowGrid();
    } else if (sCommand == QLatin1String("IDC_FS_deleteDeadTracks")) {
        ShowBusy(QStringLiteral("Deleting dead tracks..."));
        DoEvents(3);
        tmrDeadtracks->setEnabled(true);
    } else if (sCommand == QLatin1String("IDC_FS_viewTrack2")) {
        if (ViewSelectedLibraryTrack())
            HideGrid();
    } else if (sCommand == QLatin1String("IDC_FS_refreshList2")) {
        RefreshLibrarylist();
    }

    DoEvents(4);
}

QVariant frmMain::FLashCommand(const QString &command, const QString &args)
{
    Flash_FSCommand(command, args);
    return {};
}

void frmMain::HideGrid()
{
    LibraryGrid->setVisible(false);
}

void frmMain::ShowGrid()
{
    LibraryGrid->setVisible(true);
}

} // namespace tidyfox::shell
