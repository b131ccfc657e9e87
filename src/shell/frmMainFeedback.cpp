// Alerts, the busy indicator and the track buttons, all through the movie.
#include "shell/frmMain.h"

namespace tidyfox::shell {

void frmMain::ShowBusy(const QString &text)
{
    SetVariable(QStringLiteral("_root.activationtxt"), text);
    SetVariable(QStringLiteral("_root.enableactivationmovie"), QStringLiteral("true"));
}

void frmMain::HideBusy()
{
    SetVariable(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"));
}

void frmMain::UpdateTrackButtons()
{
    const QString on = QStringLiteral("true");
    SetVariable(oSelectedTrack ? QStringLiteral("_root.enableview2") : QStringLiteral("_root.disableview2"), on);
    SetVariable(QStringLiteral("_root.enabledelete"), on);
    if (!oSelectedPlayList && !oSelectedTrack)
        SetVariable(QStringLiteral("_root.disabledelete"), on);
    else if (!oSelectedTrack)
        SetVariable(QStringLiteral("_root.enabledelete"), on);
}

} // namespace tidyfox::shell
