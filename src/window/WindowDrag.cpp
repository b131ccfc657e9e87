// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowDrag.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tidyfox::window {

namespace {

class PointerFollower : public QObject
{
public:
    PointerFollower(QPoint pressedAt, const std::function<void(QPoint)> &follow, QEventLoop &loop)
        : m_start(pressedAt), m_follow(follow), m_loop(loop)
    {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove:
            m_follow(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_start);
            return true;
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
    QPoint m_start;
    const std::function<void(QPoint)> &m_follow;
    QEventLoop &m_loop;
};

} // namespace

void followPointer(QWidget *window, QPoint pressedAt, const std::function<void(QPoint moved)> &follow)
{
    QEventLoop loop;
    PointerFollower follower(pressedAt, follow, loop);
    qApp->installEventFilter(&follower);
    window->grabMouse();
    loop.exec();
    window->releaseMouse();
    qApp->removeEventFilter(&follower);
}

void dragWindow(QWidget *window)
{
    if (!window || QGuiApplication::mouseButtons() == Qt::NoButton)
        return;
    QWindow *handle = window->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    const QPoint origin = window->pos();
    followPointer(window, QCursor::pos(), [&](QPoint moved) { window->move(origin + moved); });
}

} // namespace tidyfox::window
