// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"
#include "platform/Timers.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace quorvel {

// The runner's clock on Qt timers: the trigger scan (Timer1) and the wait ticker (tmr1). What
// a scan raises is shown on errors.
class QtTimers : public QObject, public Timers
{
public:
    QtTimers(ErrorDisplay &errors, std::function<void()> scanTick, std::function<void()> waitTick);

    // 0 or less: the scan never runs, not even after a timed wait.
    void setScanInterval(int intervalMs);

    void setScanTimerEnabled(bool enabled) override;
    void setWaitTimer(int intervalMs, bool enabled) override;
    // One scan tick soon, as if the period had passed; nothing while the scan does not run.
    void scanSoon();

    const QTimer &scanTimer() const { return m_scan; }
    const QTimer &waitTimer() const { return m_wait; }

private:
    void queueScanTick();

    ErrorDisplay &m_errors;
    QTimer m_scan;
    QTimer m_wait;
    std::function<void()> m_scanTick;
    std::function<void()> m_waitTick;
    int m_scanInterval = 0;
    bool m_scanQueued = false;
};

} // namespace quorvel
