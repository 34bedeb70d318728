// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorvel {

// SIGTERM and SIGHUP, delivered as a call from the event loop: a signal handler may do
// almost nothing, so it only writes to a pipe the loop watches. One at a time per process.
class EndSignals
{
public:
    explicit EndSignals(std::function<void()> onEnd);
    ~EndSignals();
    EndSignals(const EndSignals &) = delete;
    EndSignals &operator=(const EndSignals &) = delete;

private:
    void arrived();

    std::function<void()> m_onEnd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quorvel
