// SPDX-License-Identifier: GPL-3.0-or-later
// A timer with the Interval/Enabled behaviour the window's logic is written
// for: setting the interval of a running timer restarts its count, enabling a
// running timer changes nothing, and it ticks until it is disabled.
#pragma once

#include <QObject>
#include <QTimer>

namespace tidyfox::window {

class IntervalTimer : public QObject
{
    Q_OBJECT
public:
    IntervalTimer(int designInterval, QObject *parent = nullptr) : QObject(parent)
    {
        m_timer.setInterval(designInterval);
        connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::timeout);
    }

    int interval() const { return m_timer.interval(); }
    void setInterval(int ms)
    {
        // QTimer restarts a running timer when its interval changes.
        m_timer.setInterval(ms);
    }
    bool isEnabled() const { return m_timer.isActive(); }
    void setEnabled(bool enabled)
    {
        if (enabled && !m_timer.isActive())
            m_timer.start();
        else if (!enabled)
            m_timer.stop();
    }

Q_SIGNALS:
    void timeout();

private:
    QTimer m_timer;
};

} // namespace tidyfox::window
