// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/QtTimers.h"

namespace quorvel {

QtTimers::QtTimers(
    ErrorDisplay &errors, std::function<void()> scanTick, std::function<void()> waitTick)
    : m_errors(errors)
    , m_scanTick(std::move(scanTick))
    , m_waitTick(std::move(waitTick))
{
    // Qt holds back a timer's next timeout while the slot of the last one still runs, so a
    // trigger whose run pumps for seconds would keep every other trigger waiting. The tick
    // runs from a queued call instead: the timer is free again, and its later timeouts reach
    // the scan inside the pumps of that run.
    connect(&m_scan, &QTimer::timeout, this, &QtTimers::queueScanTick);
    connect(&m_wait, &QTimer::timeout, this, [this] { m_waitTick(); });
}

void QtTimers::queueScanTick()
{
    if (m_scanQueued)
        return;
    m_scanQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scanQueued = false;
            // A timed wait may have switched the scan off since the tick was queued.
            if (m_scan.isActive())
                runGuarded(m_errors, m_scanTick);
        },
        Qt::QueuedConnection);
}

void QtTimers::scanSoon()
{
    // A timed wait holds the scan off, and a catalogue without a period has none.
    if (m_scan.isActive())
        queueScanTick();
}

void QtTimers::setScanInterval(int intervalMs)
{
    m_scanInterval = intervalMs;
}

void QtTimers::setScanTimerEnabled(bool enabled)
{
    if (enabled && m_scanInterval > 0) {
        m_scan.setInterval(m_scanInterval);
        m_scan.start();
    } else {
        m_scan.stop();
    }
}

void QtTimers::setWaitTimer(int intervalMs, bool enabled)
{
    m_wait.setInterval(intervalMs);
    if (enabled)
        m_wait.start();
    else
        m_wait.stop();
}

} // namespace quorvel
