// SPDX-License-Identifier: GPL-3.0-or-later
// Resizing the frameless window from its edges and corners.
#pragma once

#include <QPoint>
#include <QSize>
#include <Qt>

class QWidget;

namespace tidyfox::window {

// The edges a press at pos (in the window) would move: those within a few
// pixels of it, none while the window system holds it maximised.
Qt::Edges resizeEdgesAt(const QWidget &window, QPoint pos);

// The pointer shape over those edges.
Qt::CursorShape resizeCursorFor(Qt::Edges edges);

// Resizes the window with the pointer until the button is released: by the
// window manager when it offers that, otherwise by following the pointer,
// never below the window's minimum size. pressedAt is where the button went
// down, on the screen: the pointer may have moved on since.
void resizeWindow(QWidget *window, Qt::Edges edges, QPoint pressedAt);

} // namespace tidyfox::window
