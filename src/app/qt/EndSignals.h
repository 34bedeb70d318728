// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorvel {

// SIGTERM and SIGHUP, delivered as a call from the event loop: a signal handler may do
// almost nothing, so it only writes to a pipe the loop watches. They are caught from the
// start, before there is a loop: until watch(), a signal waits in the pipe, whose descriptor
// long waits of the start can watch too. One at a time per process.
class EndSignals
{
public:
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals &) = delete;
    EndSignals &operator=(const EndSignals &) = delete;

    // Readable once a signal has come and is not yet handled.
    int fileDescriptor() const;
    bool pending() const;
    // onEnd runs from the event loop for every signal, one that came before included.
    void watch(std::function<void()> onEnd);
    // Before the loop's application goes.
    void unwatch();

private:
    void arrived();

    std::function<void()> m_onEnd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quorvel
