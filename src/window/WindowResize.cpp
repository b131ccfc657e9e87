// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowResize.h"

#include "window/WindowDrag.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace tidyfox::window {

namespace {

constexpr int kGrip = 6;

// The window's geometry when a drag of edges that started at geometry has
// moved by moved, never below the window's least size.
QRect resized(const QWidget &window, QRect geometry, Qt::Edges edges, QPoint moved)
{
    const QSize least = window.minimumSize();
    QRect r = geometry;
    if (edges & Qt::RightEdge)
        r.setRight(std::max(r.left() + least.width() - 1, geometry.right() + moved.x()));
    if (edges & Qt::BottomEdge)
        r.setBottom(std::max(r.top() + least.height() - 1, geometry.bottom() + moved.y()));
    if (edges & Qt::LeftEdge)
        r.setLeft(std::min(r.right() - least.width() + 1, geometry.left() + moved.x()));
    if (edges & Qt::TopEdge)
        r.setTop(std::min(r.bottom() - least.height() + 1, geometry.top() + moved.y()));
    return r;
}

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
    const QRect geometry = window->geometry();
    followPointer(window, pressedAt,
                  [&](QPoint moved) { window->setGeometry(resized(*window, geometry, edges, moved)); });
}

} // namespace tidyfox::window
