// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/EndSignals.h"

#include "common/Error.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace quorvel {

namespace {

int s_pipe[2] = { -1, -1 };

void noteSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const auto written = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}

constexpr int kSignals[] = { SIGTERM, SIGHUP };

} // namespace

EndSignals::EndSignals()
{
    if (s_pipe[0] >= 0)
        throw Error("Signals are already watched");
    if (::pipe2(s_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        throw Error("Cannot watch the end signals");
    struct sigaction action
    {
    };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

int EndSignals::fileDescriptor() const
{
    return s_pipe[0];
}

bool EndSignals::pending() const
{
    pollfd p { s_pipe[0], POLLIN, 0 };
    return ::poll(&p, 1, 0) > 0;
}

void EndSignals::watch(std::function<void()> onEnd)
{
    m_onEnd = std::move(onEnd);
    m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { arrived(); });
}

void EndSignals::unwatch()
{
    m_notifier.reset();
    m_onEnd = nullptr;
}

EndSignals::~EndSignals()
{
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    m_notifier.reset();
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void EndSignals::arrived()
{
    char buffer[64];
    while (::read(s_pipe[0], buffer, sizeof buffer) > 0) { }
    if (m_onEnd)
        m_onEnd();
}

} // namespace quorvel
