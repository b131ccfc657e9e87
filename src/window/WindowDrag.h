// SPDX-License-Identifier: GPL-3.0-or-later
// Moving the frameless window by the pointer.
#pragma once

#include <QPoint>
#include <functional>

class QWidget;

namespace tidyfox::window {

// Moves the window with the pointer until the button is released: by the
// window manager when it offers that, otherwise by following the pointer.
void dragWindow(QWidget *window);

// Follows the pointer over window until the button is released, for sessions
// whose window manager offers no move or resize of its own: follow gets how
// far the pointer has moved from pressedAt (global coordinates). Other presses
// meanwhile go nowhere.
void followPointer(QWidget *window, QPoint pressedAt, const std::function<void(QPoint moved)> &follow);

} // namespace tidyfox::window
