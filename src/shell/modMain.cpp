#include "shell/modMain.h"

#include "cleaning/TrackInfo.h"
#include "shell/MoviePlayer.h"
#include "shell/frmMain.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace tidyfox::shell::modMain {

namespace {

QPointer<frmMain> g_window;

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

void setMainWindow(frmMain *window)
{
    g_window = window;
}

void ShowAlert(const QString &text, int kind, const QString &title)
{
    if (!g_window)
        return;
    g_window->HideGrid();
    g_window->Flash->SetVariable(QStringLiteral("_root.alerttitle"), title);
    g_window->Flash->SetVariable(QStringLiteral("_root.alerttxt"), text);
    QString trigger;
    switch (kind) {
    case kAlertCritical:
        trigger = QStringLiteral("_root.showcriticalalert");
        break;
    case kAlertExclamation:
        trigger = QStringLiteral("_root.showexclaminationalert");
        break;
    case kAlertInformation:
        trigger = QStringLiteral("_root.showinfoalert");
        break;
    default:
        return;
    }
    g_window->Flash->SetVariable(trigger, QStringLiteral("true"));
}

void DragWindow(QWidget *window)
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

QString FormatFileSize(float size)
{
    return cleaning::FormatFileSize(size, QLocale());
}

} // namespace tidyfox::shell::modMain
