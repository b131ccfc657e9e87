// SPDX-License-Identifier: GPL-3.0-or-later
// Moving the frameless window by the pointer.
#pragma once

class QWidget;

namespace tidyfox::window {

// Moves the window with the pointer until the button is released: by the
// window manager when it offers that, otherwise by following the pointer.
void dragWindow(QWidget *window);

} // namespace tidyfox::window
