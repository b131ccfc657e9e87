// SPDX-License-Identifier: GPL-3.0-or-later
// What the window does with raw input before widgets see it: no context menu
// over the face, and the mouse wheel moving the library list three rows a notch.
#pragma once

#include <functional>

class QEvent;
class QObject;
class QWidget;

namespace tidyfox::window::input {

// True when the event must not reach the face (a right-button press or the
// menu key); their releases pass.
bool isBlockedFaceEvent(QObject *target, QEvent *event);

// Turns wheel events anywhere in the window into one-row steps of the list,
// three a notch.
class WheelForwarder
{
public:
    enum class Direction { Up, Down };
    using Scroll = std::function<void(Direction)>;

    // Steps the list for a wheel turn while the list is the active control.
    // True when the event must not scroll anything else.
    bool handle(QWidget &window, QWidget &list, QObject *target, QEvent *event, const Scroll &scroll);

private:
    // An unaccepted wheel event travels on to the parent widgets; it is
    // still one turn and steps the list only once.
    const QEvent *m_lastEvent = nullptr;
    const QObject *m_lastTarget = nullptr;
};

} // namespace tidyfox::window::input
