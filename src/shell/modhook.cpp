#include "shell/modhook.h"

#include "platform/UltraGrid.h"
#include "shell/frmMain.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace tidyfox::shell::modhook {

namespace {
constexpr double kWheelDelta = 120.0;

bool isInside(const QObject *object, const QObject *ancestor)
{
    for (const QObject *o = object; o; o = o->parent()) {
        if (o == ancestor)
            return true;
    }
    return false;
}
} // namespace

std::int16_t HiWord(std::int32_t value)
{
    return static_cast<std::int16_t>((static_cast<std::uint32_t>(value) >> 16) & 0xFFFFu);
}

bool MovieWindowProc(QObject *, QEvent *event)
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

bool MainWindowProc(frmMain &window, QObject *target, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !isInside(target, &window))
        return false;
    const auto *wheel = static_cast<QWheelEvent *>(event);
    if (wheel->angleDelta().y() == 0)
        return false;
    // An unaccepted wheel event travels on to the parent widgets; it is still
    // one message and scrolls once.
    static const QEvent *lastEvent = nullptr;
    static const QObject *lastTarget = nullptr;
    const bool passedOn = event == lastEvent && lastTarget && target != lastTarget && isInside(lastTarget, target);
    lastEvent = event;
    lastTarget = target;
    if (passedOn)
        return false;
    const bool overGrid = isInside(target, window.LibraryGrid);
    QWidget *active = window.focusWidget();
    if (active && isInside(active, window.LibraryGrid)) {
        // The message's word layout: the wheel delta in the high word.
        const std::int32_t wParam = static_cast<std::int32_t>(static_cast<std::uint32_t>(wheel->angleDelta().y()) << 16);
        if (HiWord(wParam) / kWheelDelta >= 0)
            window.ScrollDown();
        else
            window.ScrollUp();
        return overGrid || target == &window;
    }
    // The grid scrolls only through the step above, never by itself.
    return overGrid;
}

} // namespace tidyfox::shell::modhook
