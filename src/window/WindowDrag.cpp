// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowDrag.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tidyfox::window {

namespace {

// Follows the pointer with the window until the button is released, for
// sessions whose window manager offers no move of its own.
class PointerDrag : public QObject
{
public:
    PointerDrag(QWidget *window, QEventLoop &loop) : m_window(window), m_loop(loop)
    {
        m_offset = QCursor::pos() - window->pos();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            m_window->move(mouse->globalPosition().toPoint() - m_offset);
            return true;
        }
        case QEvent::MouseButtonRelease:
            m_loop.quit();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }

private:
    QWidget *m_window;
    QEventLoop &m_loop;
    QPoint m_offset;
};

} // namespace

void dragWindow(QWidget *window)
{
    if (!window || QGuiApplication::mouseButtons() == Qt::NoButton)
        return;
    QWindow *handle = window->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    QEventLoop loop;
    PointerDrag drag(window, loop);
    qApp->installEventFilter(&drag);
    window->grabMouse();
    loop.exec();
    window->releaseMouse();
    qApp->removeEventFilter(&drag);
}

} // namespace tidyfox::window
