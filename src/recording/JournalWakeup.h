// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel {

class ReplayScheduler;

// The one descriptor a journal's owner watches: readable when a descriptor watched through it
// is, or when its timer falls due.
class JournalWakeup
{
public:
    JournalWakeup();
    ~JournalWakeup();
    JournalWakeup(const JournalWakeup &) = delete;
    JournalWakeup &operator=(const JournalWakeup &) = delete;

    int fileDescriptor() const { return m_epoll; }
    void watch(int fd);
    void unwatch(int fd);

    void armNow();
    // Due at once when now is true or the running replay goes at high speed, when its next
    // event is due at recorded speed; off when there is nothing to do.
    void armFor(bool now, const ReplayScheduler *running);
    // Takes a timer that fell due, so that it no longer makes the descriptor readable.
    void clear();

private:
    int m_epoll = -1;
    int m_timer = -1;
};

} // namespace quorvel
