// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts, the busy indicator and the track buttons, all through the face.
#include "widgets/TreeGrid.h"
#include "window/AlertWording.h"
#include "window/FaceView.h"
#include "window/JobStatus.h"
#include "window/ListBridge.h"
#include "window/MainWindow.h"

namespace tidyfox::window {

void MainWindow::showBusy(const QString &text)
{
    setVariable(QStringLiteral("_root.activationtxt"), text);
    setVariable(QStringLiteral("_root.enableactivationmovie"), QStringLiteral("true"));
}

void MainWindow::hideBusy()
{
    m_jobStatus->endProgress();
    setVariable(QStringLiteral("_root.disableactivationmovie"), QStringLiteral("true"));
}

void MainWindow::updateTrackButtons()
{
    const QString on = QStringLiteral("true");
    setVariable(m_selectedTrack ? QStringLiteral("_root.enableview2") : QStringLiteral("_root.disableview2"), on);
    setVariable(QStringLiteral("_root.enabledelete"), on);
    if (!m_selectedPlaylist && !m_selectedTrack)
        setVariable(QStringLiteral("_root.disabledelete"), on);
    else if (!m_selectedTrack)
        setVariable(QStringLiteral("_root.enabledelete"), on);
}

void MainWindow::showAlert(const QString &text, AlertKind kind, const QString &title, const QString &detail)
{
    hideList();
    // An alert is answered from the keyboard too, wherever the keyboard was.
    m_face->setFocus(Qt::OtherFocusReason);
    m_jobStatus->setAlertDetail(withoutInternalIds(detail));
    m_jobStatus->setUndoJob(0);
    setVariable(QStringLiteral("_root.alerttitle"), title);
    setVariable(QStringLiteral("_root.alerttxt"), withoutInternalIds(text));
    switch (kind) {
    case AlertKind::Critical:
        setVariable(QStringLiteral("_root.showcriticalalert"), QStringLiteral("true"));
        break;
    case AlertKind::Warning:
        setVariable(QStringLiteral("_root.showexclaminationalert"), QStringLiteral("true"));
        break;
    case AlertKind::Information:
        setVariable(QStringLiteral("_root.showinfoalert"), QStringLiteral("true"));
        break;
    }
}

void MainWindow::setVariable(const QString &name, const QString &value)
{
    m_face->setVariable(name, value);
}

void MainWindow::hideList()
{
    // The panel that covers the list takes the keyboard from it: hidden
    // with the focus, the list would hand it to whatever comes next.
    if (listIsActiveControl()) {
        m_face->setFocus(Qt::OtherFocusReason);
        m_listBridge->setFocused(false);
    }
    m_libraryList->setVisible(false);
}

void MainWindow::showList()
{
    m_libraryList->setVisible(true);
}

} // namespace tidyfox::window
