// Installing the window procedures, and the grid's one-step scrolling.
#include "shell/frmMain.h"

#include "platform/UltraGrid.h"
#include "shell/MoviePlayer.h"
#include "shell/modhook.h"

#include <QApplication>

namespace tidyfox::shell {

void frmMain::StartHook()
{
    if (!Flash)
        return;
    Flash->installEventFilter(this);
    m_movieHooked = true;
    // Wheel events go to the widget under the pointer; the window sees all of
    // them through the application.
    qApp->installEventFilter(this);
    m_mainHooked = true;
}

void frmMain::StopHook()
{
    if (m_movieHooked && Flash)
        Flash->removeEventFilter(this);
    if (m_mainHooked)
        qApp->removeEventFilter(this);
    m_movieHooked = false;
    m_mainHooked = false;
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (m_movieHooked && watched == Flash && modhook::MovieWindowProc(watched, event))
        return true;
    if (m_mainHooked && modhook::MainWindowProc(*this, watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool frmMain::gridIsActiveControl() const
{
    const QWidget *active = focusWidget();
    return active && (active == LibraryGrid || LibraryGrid->isAncestorOf(active));
}

void frmMain::ScrollUp()
{
    if (!gridIsActiveControl())
        return;
    try {
        LibraryGrid->ScrollRegions(0).Scroll(1);
    } catch (const platform::GridError &) {
    }
}

void frmMain::ScrollDown()
{
    if (!gridIsActiveControl())
        return;
    try {
        LibraryGrid->ScrollRegions(0).Scroll(0);
    } catch (const platform::GridError &) {
    }
}

} // namespace tidyfox::shell
