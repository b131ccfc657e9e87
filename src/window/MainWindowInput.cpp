// Installing the input filters, and the list's one-row scrolling.
#include "widgets/TreeGrid.h"
#include "window/FaceView.h"
#include "window/InputFilters.h"
#include "window/MainWindow.h"

#include <QApplication>

namespace tidyfox::window {

void MainWindow::installInputFilters()
{
    if (!m_face)
        return;
    m_face->installEventFilter(this);
    m_faceFiltered = true;
    // Wheel events go to the widget under the pointer; the window sees all of
    // them through the application.
    qApp->installEventFilter(this);
    m_windowFiltered = true;
}

void MainWindow::removeInputFilters()
{
    if (m_faceFiltered && m_face)
        m_face->removeEventFilter(this);
    if (m_windowFiltered)
        qApp->removeEventFilter(this);
    m_faceFiltered = false;
    m_windowFiltered = false;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_faceFiltered && watched == m_face && input::isBlockedFaceEvent(watched, event))
        return true;
    if (m_windowFiltered) {
        const auto scroll = [this](input::WheelForwarder::Direction direction) {
            if (direction == input::WheelForwarder::Direction::Up)
                scrollListUp();
            else
                scrollListDown();
        };
        if (m_wheel->handle(*this, *m_libraryList, watched, event, scroll))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::listIsActiveControl() const
{
    const QWidget *active = focusWidget();
    return active && (active == m_libraryList || m_libraryList->isAncestorOf(active));
}

void MainWindow::scrollListUp()
{
    if (!listIsActiveControl())
        return;
    try {
        m_libraryList->scrollRegion(0).scroll(widgets::ScrollStep::LineUp);
    } catch (const widgets::GridError &) {
    }
}

void MainWindow::scrollListDown()
{
    if (!listIsActiveControl())
        return;
    try {
        m_libraryList->scrollRegion(0).scroll(widgets::ScrollStep::LineDown);
    } catch (const widgets::GridError &) {
    }
}

} // namespace tidyfox::window
