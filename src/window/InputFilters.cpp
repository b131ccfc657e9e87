// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/InputFilters.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tidyfox::window::input {

namespace {
constexpr double kEighthsPerNotch = 120.0;
constexpr int kRowsPerNotch = 3;

bool isInside(const QObject *object, const QObject *ancestor)
{
    for (const QObject *o = object; o; o = o->parent()) {
        if (o == ancestor)
            return true;
    }
    return false;
}
} // namespace

bool isBlockedFaceEvent(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return static_cast<QMouseEvent *>(event)->button() == Qt::RightButton;
    case QEvent::KeyPress:
        return static_cast<QKeyEvent *>(event)->key() == Qt::Key_Menu;
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

bool WheelForwarder::handle(QWidget &window, QWidget &list, QObject *target, QEvent *event, const Scroll &scroll)
{
    if (event->type() != QEvent::Wheel || !isInside(target, &window))
        return false;
    const auto *wheel = static_cast<QWheelEvent *>(event);
    if (wheel->angleDelta().y() == 0)
        return false;
    const bool passedOn =
        event == m_lastEvent && m_lastTarget && target != m_lastTarget && isInside(m_lastTarget, target);
    m_lastEvent = event;
    m_lastTarget = target;
    if (passedOn)
        return false;
    const bool overList = isInside(target, &list);
    QWidget *active = window.focusWidget();
    if (active && isInside(active, &list)) {
        // A notch is 120 eighths of a degree; a turn away from the user moves up.
        const double notches = wheel->angleDelta().y() / kEighthsPerNotch;
        const Direction direction = notches >= 0 ? Direction::Up : Direction::Down;
        // Three rows a notch, as the desktop scrolls its lists; a turn of less
        // than a notch (a fine-grained wheel or a touchpad) still moves a row.
        const int steps = std::max(1, int(std::lround(std::abs(notches) * kRowsPerNotch)));
        for (int i = 0; i < steps; ++i)
            scroll(direction);
        return overList || target == &window;
    }
    // The list scrolls only through the step above, never by itself.
    return overList;
}

} // namespace tidyfox::window::input
