// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/portal/PortalJournal.h"

#include "common/Error.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "recording/JournalWakeup.h"
#include "recording/ReplayQueue.h"
#include "recording/ReplayScheduler.h"

#include <algorithm>
#include <optional>

namespace quorvel {

namespace {
constexpr unsigned kEvdevOffset = 8;
// Far enough past any desktop's top left corner for the pointer to end up in it.
constexpr double kToCorner = -1e6;
} // namespace

unsigned PortalJournal::evdevButton(unsigned xButton)
{
    switch (xButton) {
    case 1:
        return 0x110; // BTN_LEFT
    case 2:
        return 0x112; // BTN_MIDDLE
    case 3:
        return 0x111; // BTN_RIGHT
    case 8:
        return 0x113; // BTN_SIDE
    case 9:
        return 0x114; // BTN_EXTRA
    default:
        return 0;
    }
}

struct PortalJournal::Impl
{
    explicit Impl(portal::RemoteDesktopSession &s)
        : session(s)
    {
    }

    portal::RemoteDesktopSession &session;
    std::optional<xkb::LayoutKeys> layout;
    std::string unavailable;
    JournalWakeup wakeup;
    std::optional<ReplayScheduler> scheduler;
    ReplayQueue replays;
    double pointerX = 0;
    double pointerY = 0;

    void beginReplay(ReplayQueue::Request request);
    void replayTick();
    void endReplay(bool userCancel);
    void send(const JournalEvent &event);
    void abandon();
    void rearm() { wakeup.armFor(replays.hasEnds(), scheduler ? &*scheduler : nullptr); }
};

void PortalJournal::Impl::beginReplay(ReplayQueue::Request request)
{
    session.open();
    const bool pointer = std::any_of(request.events.begin(), request.events.end(),
        [](const JournalEvent &e) { return !e.isKey(); });
    if (pointer && !(session.devices() & portal::RemoteDesktopSession::Pointer))
        throw Error("The desktop did not grant Quorvel the pointer: a recording with the mouse "
                    "cannot be replayed.");
    scheduler.emplace(std::move(request.events), request.highSpeed);
    if (pointer) {
        session.pointerMotion(kToCorner, kToCorner);
        pointerX = pointerY = 0;
    }
    scheduler->start(monotonicUs());
}

void PortalJournal::Impl::send(const JournalEvent &event)
{
    switch (event.type) {
    case JournalEventType::KeyPress:
    case JournalEventType::KeyRelease: {
        std::optional<unsigned> key = event.keysym ? layout->keysym(event.keysym) : std::nullopt;
        if (!key && event.code >= kEvdevOffset)
            key = event.code - kEvdevOffset;
        if (key)
            session.keycode(*key, event.type == JournalEventType::KeyPress);
        break;
    }
    case JournalEventType::ButtonPress:
    case JournalEventType::ButtonRelease: {
        const bool press = event.type == JournalEventType::ButtonPress;
        if (const unsigned button = evdevButton(event.code)) {
            session.pointerButton(button, press);
        } else if (press && event.code >= 4 && event.code <= 7) {
            // The wheel: 4 and 5 up and down, 6 and 7 left and right, one step each.
            const bool horizontal = event.code >= 6;
            session.pointerAxisDiscrete(horizontal ? 1 : 0, event.code % 2 == 0 ? -1 : 1);
        }
        break;
    }
    case JournalEventType::Motion:
        session.pointerMotion(event.x - pointerX, event.y - pointerY);
        pointerX = event.x;
        pointerY = event.y;
        break;
    }
}

void PortalJournal::Impl::replayTick()
{
    const std::vector<JournalEvent> due = scheduler->takeBatch(monotonicUs());
    for (const JournalEvent &event : due)
        send(event);
    // At high speed each batch waits for the desktop before the next, as on X11.
    if (!due.empty() && scheduler->highSpeed())
        session.sync();
    if (scheduler->atEnd())
        endReplay(false);
}

void PortalJournal::Impl::endReplay(bool userCancel)
{
    const std::vector<JournalEvent> releases = scheduler->releaseHeld();
    scheduler.reset();
    // Said before anything can fail; raised only after the round trip below.
    replays.ended(userCancel);
    wakeup.armNow();
    for (const JournalEvent &release : releases)
        send(release);
    // The replay is over once the desktop has taken all of it.
    session.sync();
    if (!replays.empty())
        beginReplay(replays.pop());
}

// The portal failed: the replay ends as cancelled, the queued ones too.
void PortalJournal::Impl::abandon()
{
    if (scheduler) {
        scheduler.reset();
        replays.ended(true);
    }
    while (!replays.empty()) {
        replays.pop();
        replays.ended(true);
    }
    wakeup.armNow();
}

PortalJournal::PortalJournal(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout)
    : m_impl(std::make_unique<Impl>(session))
{
    try {
        m_impl->layout.emplace(layout);
    } catch (const Error &e) {
        m_impl->unavailable = std::string("Replaying is not possible: ") + e.what();
    }
}

PortalJournal::~PortalJournal()
{
    if (!m_impl->scheduler)
        return;
    try {
        for (const JournalEvent &release : m_impl->scheduler->releaseHeld())
            m_impl->send(release);
        m_impl->session.sync();
    } catch (const Error &) {
        // The portal is gone, and our keys with it.
    }
}

bool PortalJournal::available() const
{
    return m_impl->unavailable.empty();
}

const std::string &PortalJournal::unavailableReason() const
{
    return m_impl->unavailable;
}

void PortalJournal::StartRecording()
{
    throw Error(kRecordingUnavailable);
}

void PortalJournal::StartPlayBack()
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
    } catch (const Error &) {
        // Nothing follows a throw.
        m_impl->scheduler.reset();
        throw;
    }
    m_impl->wakeup.armNow();
}

void PortalJournal::cancelPlayBack()
{
    if (!m_impl->scheduler)
        return;
    try {
        m_impl->endReplay(true);
    } catch (const Error &) {
        m_impl->abandon();
    }
}

bool PortalJournal::isPlayingBack() const
{
    return m_impl->scheduler.has_value();
}

int PortalJournal::fileDescriptor() const
{
    return m_impl->wakeup.fileDescriptor();
}

void PortalJournal::processEvents()
{
    m_impl->wakeup.clear();
    try {
        if (m_impl->scheduler)
            m_impl->replayTick();
    } catch (const Error &) {
        m_impl->abandon();
    }
    m_impl->rearm();
    // Last, with everything settled: a handler may start another replay.
    m_impl->replays.raiseEnds(OnFinished);
}

} // namespace quorvel
