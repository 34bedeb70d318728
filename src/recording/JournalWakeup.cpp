// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/JournalWakeup.h"

#include "recording/ReplayScheduler.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace quorvel {

JournalWakeup::JournalWakeup()
    : m_epoll(epoll_create1(EPOLL_CLOEXEC))
    , m_timer(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    watch(m_timer);
}

JournalWakeup::~JournalWakeup()
{
    if (m_timer >= 0)
        ::close(m_timer);
    if (m_epoll >= 0)
        ::close(m_epoll);
}

void JournalWakeup::watch(int fd)
{
    epoll_event ev {};
    ev.events = EPOLLIN;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
}

void JournalWakeup::unwatch(int fd)
{
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
}

void JournalWakeup::armNow()
{
    itimerspec due {};
    due.it_value.tv_nsec = 1;
    timerfd_settime(m_timer, 0, &due, nullptr);
}

void JournalWakeup::armFor(bool now, const ReplayScheduler *running)
{
    if (now || (running && running->highSpeed())) {
        armNow();
        return;
    }
    itimerspec due {};
    if (running) {
        // The schedule runs on monotonicUs(), which is CLOCK_MONOTONIC.
        const std::int64_t at = running->nextDueUs();
        due.it_value.tv_sec = at / 1000000;
        due.it_value.tv_nsec = (at % 1000000) * 1000;
        // All zero would disarm it.
        if (due.it_value.tv_sec == 0 && due.it_value.tv_nsec == 0)
            due.it_value.tv_nsec = 1;
    }
    timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &due, nullptr);
}

void JournalWakeup::clear()
{
    std::uint64_t expirations = 0;
    while (::read(m_timer, &expirations, sizeof expirations) > 0) { }
}

} // namespace quorvel
