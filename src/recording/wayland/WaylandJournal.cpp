// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/wayland/WaylandJournal.h"

#include "common/Error.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandVirtualInput.h"
#include "recording/ReplayScheduler.h"

#include <deque>
#include <optional>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#include <unordered_set>

namespace quorvel {

namespace {

// As on X11: at high speed each batch waits for the compositor before the next.
constexpr std::size_t kHighSpeedBatch = 64;
constexpr std::size_t kRecordedSpeedBatch = 256;

std::int64_t monotonicUs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

struct Request
{
    bool highSpeed = false;
    std::vector<JournalEvent> events;
};

} // namespace

unsigned WaylandJournal::ReplayKeys::keycodeOf(const JournalEvent &event) const
{
    const auto it = ofKeysym.find(event.keysym);
    return it == ofKeysym.end() ? event.code : it->second;
}

WaylandJournal::ReplayKeys WaylandJournal::bindKeysyms(
    wayland::WaylandKeymap &keymap, const std::vector<JournalEvent> &events)
{
    ReplayKeys keys;
    std::vector<std::uint32_t> lacking;
    std::unordered_set<std::uint32_t> seen;
    for (const JournalEvent &e : events) {
        if (!e.isKey() || !e.keysym || !seen.insert(e.keysym).second)
            continue;
        // A symbol the layout types only with Shift would need a Shift the recording
        // does not hold.
        const wayland::WaylandKeymap::Binding b = keymap.findKeysym(e.keysym);
        if (b.valid() && !b.shift)
            keys.ofKeysym.emplace(e.keysym, b.keycode);
        else
            lacking.push_back(e.keysym);
    }
    const std::unordered_set<std::uint32_t> wanted(lacking.begin(), lacking.end());
    std::vector<unsigned> free;
    for (unsigned kc : keymap.spareKeys()) {
        const std::uint32_t bound = keymap.spareBinding(kc);
        if (wanted.contains(bound))
            keys.ofKeysym.emplace(bound, kc);
        else
            free.push_back(kc);
    }
    auto next = free.begin();
    for (const std::uint32_t keysym : lacking) {
        if (keys.ofKeysym.contains(keysym))
            continue;
        if (next == free.end())
            break; // the rest keep their keycodes
        keymap.bindSpare(*next, keysym);
        keys.ofKeysym.emplace(keysym, *next++);
        keys.rebound = true;
    }
    return keys;
}

struct WaylandJournal::Impl
{
    std::string unavailable;
    std::unique_ptr<wayland::WaylandConnection> connection;
    std::unique_ptr<wayland::WaylandVirtualInput> input;
    int epollFd = -1;
    int timerFd = -1;

    std::optional<ReplayScheduler> scheduler;
    ReplayKeys keys;
    std::deque<Request> queue;
    std::deque<bool> finished; // OnFinished calls to make

    void beginReplay(Request request);
    void replayTick();
    void endReplay(bool userCancel);
    void send(const JournalEvent &event);
    void lose(const Error &error);

    void armNow();
    void rearm();
};

void WaylandJournal::Impl::beginReplay(Request request)
{
    keys = bindKeysyms(input->keymap(), request.events);
    // Running from here on: a lost compositor ends it like any other replay.
    scheduler.emplace(std::move(request.events), request.highSpeed);
    if (keys.rebound)
        input->uploadKeymap();
    scheduler->start(monotonicUs());
}

void WaylandJournal::Impl::send(const JournalEvent &event)
{
    switch (event.type) {
    case JournalEventType::KeyPress:
    case JournalEventType::KeyRelease:
        input->key(keys.keycodeOf(event), event.type == JournalEventType::KeyPress);
        break;
    case JournalEventType::ButtonPress:
    case JournalEventType::ButtonRelease:
        input->button(event.code, event.type == JournalEventType::ButtonPress);
        break;
    case JournalEventType::Motion:
        input->moveTo(event.x, event.y);
        break;
    }
}

void WaylandJournal::Impl::replayTick()
{
    std::vector<JournalEvent> due;
    const bool fast = scheduler->highSpeed();
    scheduler->takeDue(monotonicUs(), fast ? kHighSpeedBatch : kRecordedSpeedBatch, due);
    for (const JournalEvent &event : due)
        send(event);
    if (!due.empty()) {
        if (fast)
            connection->roundtrip();
        else
            input->flush();
    }
    if (scheduler->atEnd())
        endReplay(false);
}

void WaylandJournal::Impl::endReplay(bool userCancel)
{
    const std::vector<JournalEvent> releases = scheduler->releaseHeld();
    scheduler.reset();
    // Said before anything can fail, so that a lost compositor cannot swallow it; raised only
    // after the roundtrip below.
    finished.push_back(userCancel);
    if (userCancel) {
        finished.insert(finished.end(), queue.size(), true);
        queue.clear();
    }
    armNow();
    for (const JournalEvent &release : releases)
        send(release);
    // The replay is over once the compositor has taken all of it.
    connection->roundtrip();
    if (!queue.empty()) {
        Request next = std::move(queue.front());
        queue.pop_front();
        beginReplay(std::move(next));
    }
}

// The compositor is gone: so are our devices and what they held.
void WaylandJournal::Impl::lose(const Error &error)
{
    if (scheduler) {
        scheduler.reset();
        finished.push_back(true);
    }
    finished.insert(finished.end(), queue.size(), true);
    queue.clear();
    unavailable = error.what();
    if (connection)
        epoll_ctl(epollFd, EPOLL_CTL_DEL, connection->fileDescriptor(), nullptr);
    input.reset();
    connection.reset();
    armNow();
}

void WaylandJournal::Impl::armNow()
{
    itimerspec due {};
    due.it_value.tv_nsec = 1;
    timerfd_settime(timerFd, 0, &due, nullptr);
}

void WaylandJournal::Impl::rearm()
{
    itimerspec due {};
    if (!finished.empty() || (scheduler && scheduler->highSpeed())) {
        armNow();
        return;
    }
    if (scheduler) {
        const std::int64_t at = scheduler->nextDueUs();
        due.it_value.tv_sec = at / 1000000;
        due.it_value.tv_nsec = (at % 1000000) * 1000;
        if (due.it_value.tv_sec == 0 && due.it_value.tv_nsec == 0)
            due.it_value.tv_nsec = 1;
    }
    timerfd_settime(timerFd, TFD_TIMER_ABSTIME, &due, nullptr);
}

WaylandJournal::WaylandJournal(const std::string &displayName)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->epollFd = epoll_create1(EPOLL_CLOEXEC);
    m_impl->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    epoll_event ev {};
    ev.events = EPOLLIN;
    epoll_ctl(m_impl->epollFd, EPOLL_CTL_ADD, m_impl->timerFd, &ev);
    try {
        m_impl->connection = std::make_unique<wayland::WaylandConnection>(displayName);
        m_impl->input = std::make_unique<wayland::WaylandVirtualInput>(*m_impl->connection);
    } catch (const Error &e) {
        m_impl->unavailable = std::string("Replaying is not possible: ") + e.what();
        m_impl->input.reset();
        m_impl->connection.reset();
        return;
    }
    epoll_event wl {};
    wl.events = EPOLLIN;
    epoll_ctl(m_impl->epollFd, EPOLL_CTL_ADD, m_impl->connection->fileDescriptor(), &wl);
}

WaylandJournal::~WaylandJournal()
{
    if (m_impl->scheduler && m_impl->input) {
        try {
            for (const JournalEvent &release : m_impl->scheduler->releaseHeld())
                m_impl->send(release);
            m_impl->input->flush();
        } catch (const Error &) {
            // The compositor is gone, and our keys with it.
        }
    }
    m_impl->input.reset();
    m_impl->connection.reset();
    ::close(m_impl->timerFd);
    ::close(m_impl->epollFd);
}

bool WaylandJournal::available() const
{
    return m_impl->unavailable.empty();
}

const std::string &WaylandJournal::unavailableReason() const
{
    return m_impl->unavailable;
}

void WaylandJournal::StartRecording()
{
    throw Error(kRecordingUnavailable);
}

void WaylandJournal::StartPlayBack()
{
    if (!available())
        throw Error(m_impl->unavailable);
    JournalParseResult parsed = loadJournal(PlayBackFileName);
    if (!parsed.recording)
        throw Error(parsed.error);
    Request request { HiSpeedPlayBack, std::move(parsed.recording->events) };
    if (m_impl->scheduler) {
        m_impl->queue.push_back(std::move(request));
        return;
    }
    try {
        m_impl->beginReplay(std::move(request));
    } catch (const Error &e) {
        // Nothing follows a throw.
        m_impl->scheduler.reset();
        m_impl->lose(e);
        throw;
    }
    m_impl->armNow();
}

void WaylandJournal::cancelPlayBack()
{
    if (!m_impl->scheduler)
        return;
    try {
        m_impl->endReplay(true);
    } catch (const Error &e) {
        m_impl->lose(e);
    }
}

bool WaylandJournal::isPlayingBack() const
{
    return m_impl->scheduler.has_value();
}

int WaylandJournal::fileDescriptor() const
{
    return m_impl->epollFd;
}

void WaylandJournal::processEvents()
{
    std::uint64_t expirations = 0;
    while (::read(m_impl->timerFd, &expirations, sizeof expirations) > 0) { }
    try {
        if (m_impl->connection)
            m_impl->connection->processEvents();
        if (m_impl->scheduler)
            m_impl->replayTick();
    } catch (const Error &e) {
        m_impl->lose(e);
    }
    m_impl->rearm();

    // Last, with everything settled: a handler may start another replay.
    while (!m_impl->finished.empty()) {
        const bool userCancel = m_impl->finished.front();
        m_impl->finished.pop_front();
        if (OnFinished)
            OnFinished(userCancel);
    }
}

} // namespace quorvel
