// SPDX-License-Identifier: GPL-3.0-or-later
// Installing the input filters, and the list's one-row scrolling.
#include "widgets/TreeGrid.h"
#include "window/FaceView.h"
#include "window/InputFilters.h"
#include "window/ListBridge.h"
#include "window/MainWindow.h"
#include "window/WindowLog.h"
#include "window/WindowResize.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>
#include <QTreeView>

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

void MainWindow::focusList()
{
    // While the keyboard leaves the list, the face's stand-in for it gets
    // the focus for a moment: that is no way back in.
    if (m_leavingList || !m_libraryList->isVisible())
        return;
    m_libraryList->view()->setFocus(Qt::TabFocusReason);
    // Said here too: a window the window system has not made active gets
    // no focus events.
    m_listBridge->setFocused(true);
}

bool MainWindow::followListFocus(QObject *watched, QEvent *event)
{
    if (watched != m_libraryList->view())
        return false;
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        m_listBridge->setFocused(event->type() == QEvent::FocusIn);
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool shift = key->modifiers() & Qt::ShiftModifier;
    const bool forward = key->key() == Qt::Key_Tab && !shift;
    if (!forward && key->key() != Qt::Key_Backtab && key->key() != Qt::Key_Tab)
        return false;
    // The list lies in the face's tab order where its well is: the face's
    // next control after it (or before it) takes the keyboard.
    m_leavingList = true;
    m_face->setFocus(Qt::OtherFocusReason);
    m_leavingList = false;
    m_listBridge->setFocused(false);
    if (QQuickItem *root = m_face->rootObject())
        QMetaObject::invokeMethod(root, "focusFromList", Q_ARG(QVariant, forward));
    return true;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_windowFiltered && followListFocus(watched, event))
        return true;
    if (m_faceFiltered && watched == m_face && input::isBlockedFaceEvent(watched, event))
        return true;
    // The window's edges and corners resize it; the face goes right up to
    // them, so it is the face that is pressed there.
    if (m_faceFiltered && watched == m_face &&
        (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const Qt::Edges edges = m_unmaximised.isEmpty()
                                    ? resizeEdgesAt(*this, m_face->mapTo(this, mouse->position().toPoint()))
                                    : Qt::Edges();
        if (event->type() == QEvent::MouseMove && mouse->buttons() == Qt::NoButton) {
            if (edges)
                m_face->setCursor(resizeCursorFor(edges));
            else
                m_face->unsetCursor();
        } else if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton && edges) {
            resizeWindow(this, edges, mouse->globalPosition().toPoint());
            return true;
        }
    }
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
    } catch (const widgets::GridError &error) {
        qCDebug(lcWindow) << "The list did not scroll:" << error.what();
    }
}

void MainWindow::scrollListDown()
{
    if (!listIsActiveControl())
        return;
    try {
        m_libraryList->scrollRegion(0).scroll(widgets::ScrollStep::LineDown);
    } catch (const widgets::GridError &error) {
        qCDebug(lcWindow) << "The list did not scroll:" << error.what();
    }
}

} // namespace tidyfox::window
