// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/wayland/WaylandJournal.h"

#include "common/Error.h"
#include "platform/HotKeyRegistrar.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandVirtualInput.h"
#include "recording/JournalWakeup.h"
#include "recording/ReplayQueue.h"
#include "recording/ReplayScheduler.h"

#include <optional>
#include <unordered_set>

namespace quorvel {

namespace {
constexpr KeyCode kEscapeKey = 0x1B;
constexpr std::uint32_t kEscapeKeysym = 0xff1b;
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
    JournalWakeup wakeup;

    std::optional<ReplayScheduler> scheduler;
    ReplayKeys keys;
    ReplayQueue replays;
    HotKeyRegistrar *registrar = nullptr;
    int escape = 0; // the registration of Esc while a replay runs
    bool cancelRequested = false;

    void beginReplay(ReplayQueue::Request request);
    void replayTick();
    void endReplay(bool userCancel);
    void send(const JournalEvent &event);
    void lose(const Error &error);
    void bindEscape(bool on);

    void rearm();
};

void WaylandJournal::Impl::beginReplay(ReplayQueue::Request request)
{
    keys = bindKeysyms(input->keymap(), request.events);
    // Running from here on: a lost compositor ends it like any other replay.
    scheduler.emplace(std::move(request.events), request.highSpeed);
    if (keys.rebound)
        input->uploadKeymap();
    cancelRequested = false;
    bindEscape(true);
    scheduler->start(monotonicUs());
}

void WaylandJournal::Impl::send(const JournalEvent &event)
{
    switch (event.type) {
    case JournalEventType::KeyPress:
    case JournalEventType::KeyRelease: {
        const unsigned keycode = keys.keycodeOf(event);
        const bool press = event.type == JournalEventType::KeyPress;
        // Our own Esc must reach the target, not our binding: the compositor takes it while
        // the binding is gone.
        const bool ownEscape =
            press && escape && keycode == input->keymap().findKeysym(kEscapeKeysym).keycode;
        if (ownEscape)
            bindEscape(false);
        input->key(keycode, press);
        if (ownEscape) {
            connection->roundtrip();
            bindEscape(true);
        }
        break;
    }
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
    const std::vector<JournalEvent> due = scheduler->takeBatch(monotonicUs());
    for (const JournalEvent &event : due)
        send(event);
    if (!due.empty()) {
        // As on X11: at high speed each batch waits for the compositor before the next.
        if (scheduler->highSpeed())
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
    replays.ended(userCancel);
    wakeup.armNow();
    for (const JournalEvent &release : releases)
        send(release);
    bindEscape(false);
    cancelRequested = false;
    // The replay is over once the compositor has taken all of it.
    connection->roundtrip();
    if (!replays.empty())
        beginReplay(replays.pop());
}

// The compositor is gone: so are our devices and what they held.
void WaylandJournal::Impl::lose(const Error &error)
{
    if (scheduler) {
        scheduler.reset();
        replays.ended(true);
    }
    bindEscape(false);
    unavailable = error.what();
    if (connection)
        wakeup.unwatch(connection->fileDescriptor());
    input.reset();
    connection.reset();
    wakeup.armNow();
}

void WaylandJournal::Impl::bindEscape(bool on)
{
    if (!registrar || (escape != 0) == on)
        return;
    if (on) {
        escape = registrar->registerHotKey(0, kEscapeKey, [this](unsigned, KeyCode) {
            // Ended from our own processEvents, not inside the registrar's.
            cancelRequested = true;
            wakeup.armNow();
        });
    } else {
        registrar->unregisterHotKey(escape);
        escape = 0;
    }
}

void WaylandJournal::Impl::rearm()
{
    wakeup.armFor(
        replays.hasEnds() || (scheduler && cancelRequested), scheduler ? &*scheduler : nullptr);
}

WaylandJournal::WaylandJournal(const std::string &displayName)
    : m_impl(std::make_unique<Impl>())
{
    try {
        m_impl->connection = std::make_unique<wayland::WaylandConnection>(displayName);
        m_impl->input = std::make_unique<wayland::WaylandVirtualInput>(*m_impl->connection);
    } catch (const Error &e) {
        m_impl->unavailable = std::string("Replaying is not possible: ") + e.what();
        m_impl->input.reset();
        m_impl->connection.reset();
        return;
    }
    m_impl->wakeup.watch(m_impl->connection->fileDescriptor());
}

WaylandJournal::~WaylandJournal()
{
    m_impl->bindEscape(false);
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
    ReplayQueue::Request request = ReplayQueue::load(PlayBackFileName, HiSpeedPlayBack);
    if (m_impl->scheduler) {
        m_impl->replays.push(std::move(request));
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
    m_impl->wakeup.armNow();
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

void WaylandJournal::setCancelKeys(HotKeyRegistrar *registrar)
{
    m_impl->bindEscape(false);
    m_impl->registrar = registrar;
    if (m_impl->scheduler)
        m_impl->bindEscape(true);
}

bool WaylandJournal::isPlayingBack() const
{
    return m_impl->scheduler.has_value();
}

int WaylandJournal::fileDescriptor() const
{
    return m_impl->wakeup.fileDescriptor();
}

void WaylandJournal::processEvents()
{
    m_impl->wakeup.clear();
    try {
        if (m_impl->connection)
            m_impl->connection->processEvents();
        if (m_impl->scheduler && m_impl->cancelRequested)
            m_impl->endReplay(true);
        else if (m_impl->scheduler)
            m_impl->replayTick();
    } catch (const Error &e) {
        m_impl->lose(e);
    }
    m_impl->rearm();

    // Last, with everything settled: a handler may start another replay.
    m_impl->replays.raiseEnds(OnFinished);
}

} // namespace quorvel
