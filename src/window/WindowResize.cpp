// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowResize.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace tidyfox::window {

namespace {

constexpr int kGrip = 6;

// Follows the pointer with the window's edges until the button is released,
// for sessions whose window manager offers no resize of its own.
class PointerResize : public QObject
{
public:
    PointerResize(QWidget *window, Qt::Edges edges, QPoint pressedAt, QEventLoop &loop)
        : m_window(window), m_edges(edges), m_loop(loop), m_start(pressedAt), m_geometry(window->geometry())
    {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove:
            follow(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_start);
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
    void follow(QPoint moved)
    {
        const QSize least = m_window->minimumSize();
        QRect r = m_geometry;
        if (m_edges & Qt::RightEdge)
            r.setRight(std::max(r.left() + least.width() - 1, m_geometry.right() + moved.x()));
        if (m_edges & Qt::BottomEdge)
            r.setBottom(std::max(r.top() + least.height() - 1, m_geometry.bottom() + moved.y()));
        if (m_edges & Qt::LeftEdge)
            r.setLeft(std::min(r.right() - least.width() + 1, m_geometry.left() + moved.x()));
        if (m_edges & Qt::TopEdge)
            r.setTop(std::min(r.bottom() - least.height() + 1, m_geometry.top() + moved.y()));
        m_window->setGeometry(r);
    }

    QWidget *m_window;
    Qt::Edges m_edges;
    QEventLoop &m_loop;
    QPoint m_start;
    QRect m_geometry;
};

} // namespace

Qt::Edges resizeEdgesAt(const QWidget &window, QPoint pos)
{
    Qt::Edges edges;
    if (window.isMaximized() || window.isFullScreen() || !window.rect().contains(pos))
        return edges;
    if (pos.x() < kGrip)
        edges |= Qt::LeftEdge;
    if (pos.x() >= window.width() - kGrip)
        edges |= Qt::RightEdge;
    if (pos.y() < kGrip)
        edges |= Qt::TopEdge;
    if (pos.y() >= window.height() - kGrip)
        edges |= Qt::BottomEdge;
    return edges;
}

Qt::CursorShape resizeCursorFor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = bool(edges & Qt::LeftEdge) == bool(edges & Qt::TopEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    if (horizontal)
        return Qt::SizeHorCursor;
    if (vertical)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

void resizeWindow(QWidget *window, Qt::Edges edges, QPoint pressedAt)
{
    if (!window || !edges || QGuiApplication::mouseButtons() == Qt::NoButton)
        return;
    QWindow *handle = window->windowHandle();
    if (handle && handle->startSystemResize(edges))
        return;
    QEventLoop loop;
    PointerResize resize(window, edges, pressedAt, loop);
    qApp->installEventFilter(&resize);
    window->grabMouse();
    loop.exec();
    window->releaseMouse();
    qApp->removeEventFilter(&resize);
}

} // namespace tidyfox::window
