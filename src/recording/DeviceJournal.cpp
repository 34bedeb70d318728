// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/DeviceJournal.h"

#include "common/Error.h"
#include "platform/HotKeyRegistrar.h"
#include "recording/JournalWakeup.h"
#include "recording/ReplayInput.h"
#include "recording/ReplayQueue.h"
#include "recording/ReplayScheduler.h"

#include <optional>
#include <vector>

namespace quorvel {

namespace {
constexpr KeyCode kEscapeKey = 0x1B;
} // namespace

unsigned evdevButton(unsigned xButton)
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

struct DeviceJournal::Impl
{
    std::unique_ptr<ReplayInput> input;
    std::string unavailable;
    JournalWakeup wakeup;

    std::optional<ReplayScheduler> scheduler;
    ReplayQueue replays;
    HotKeyRegistrar *registrar = nullptr;
    bool bound = false; // Esc is registered, as far as the desktop let us
    std::vector<int> escapes; // the registrations of Esc while a replay runs
    bool cancelRequested = false;

    void beginReplay(ReplayQueue::Request request);
    void replayTick();
    void endReplay(bool userCancel);
    void send(const JournalEvent &event);
    void fail(const Error &error);
    void bindEscape(bool on, bool now = false);
    void rearm();
};

void DeviceJournal::Impl::beginReplay(ReplayQueue::Request request)
{
    input->prepare(request.events);
    scheduler.emplace(std::move(request.events), request.highSpeed);
    cancelRequested = false;
    bindEscape(true);
    scheduler->start(monotonicUs());
}

void DeviceJournal::Impl::send(const JournalEvent &event)
{
    // Our own Esc must reach the target, not our binding: the desktop hands it on while the
    // binding is gone.
    const bool ownEscape =
        !escapes.empty() && event.type == JournalEventType::KeyPress && input->isEscape(event);
    if (ownEscape)
        bindEscape(false, true);
    input->send(event);
    if (ownEscape) {
        input->settle();
        bindEscape(true);
    }
}

void DeviceJournal::Impl::replayTick()
{
    const std::vector<JournalEvent> due = scheduler->takeBatch(monotonicUs());
    for (const JournalEvent &event : due)
        send(event);
    if (!due.empty()) {
        // As on X11: at high speed each batch waits for the desktop before the next.
        if (scheduler->highSpeed())
            input->sync();
        else
            input->flush();
    }
    if (scheduler->atEnd())
        endReplay(false);
}

void DeviceJournal::Impl::endReplay(bool userCancel)
{
    const std::vector<JournalEvent> releases = scheduler->releaseHeld();
    scheduler.reset();
    // Said before anything can fail, so that a lost desktop cannot swallow it; raised only
    // after the round trip below.
    replays.ended(userCancel);
    wakeup.armNow();
    for (const JournalEvent &release : releases)
        send(release);
    bindEscape(false);
    cancelRequested = false;
    // The replay is over once the desktop has taken all of it.
    input->sync();
    if (!replays.empty())
        beginReplay(replays.pop());
}

// The running replay and the queued ones end as cancelled; a device that cannot go on is
// dropped, and replay is no longer available.
void DeviceJournal::Impl::fail(const Error &error)
{
    if (scheduler) {
        scheduler.reset();
        replays.ended(true);
    }
    while (!replays.empty()) {
        replays.pop();
        replays.ended(true);
    }
    bindEscape(false);
    cancelRequested = false;
    if (input && !input->survivesFailure()) {
        unavailable = error.what();
        if (input->fileDescriptor() >= 0)
            wakeup.unwatch(input->fileDescriptor());
        input.reset();
    }
    wakeup.armNow();
}

// now: the desktop lets go of Esc before this returns, for a key that must pass.
void DeviceJournal::Impl::bindEscape(bool on, bool now)
{
    if (!registrar || bound == on)
        return;
    bound = on;
    if (!on) {
        for (const int id : escapes)
            registrar->unregisterHotKey(id);
        escapes.clear();
        if (now)
            registrar->giveBackNow();
        return;
    }
    // With every modifier, as the replay may hold any; a combination the desktop keeps for
    // itself is left out.
    constexpr unsigned all = hotkeymod::Alt | hotkeymod::Control | hotkeymod::Shift;
    std::vector<HotKeyCombination> keys;
    for (unsigned modifiers = 0; modifiers <= all; ++modifiers)
        keys.push_back({ modifiers, kEscapeKey });
    const HotKeyPress cancel = [this](unsigned, KeyCode) {
        // Ended from our own processEvents, not inside the registrar's.
        cancelRequested = true;
        wakeup.armNow();
    };
    for (const int id : registrar->registerHotKeys(keys, cancel)) {
        if (id)
            escapes.push_back(id);
    }
}

void DeviceJournal::Impl::rearm()
{
    wakeup.armFor(
        replays.hasEnds() || (scheduler && cancelRequested), scheduler ? &*scheduler : nullptr);
}

DeviceJournal::DeviceJournal(std::unique_ptr<ReplayInput> input, std::string unavailable)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->input = std::move(input);
    m_impl->unavailable = std::move(unavailable);
    if (!m_impl->input && m_impl->unavailable.empty())
        m_impl->unavailable = "Replaying is not possible on this desktop";
    if (m_impl->input && m_impl->input->fileDescriptor() >= 0)
        m_impl->wakeup.watch(m_impl->input->fileDescriptor());
}

DeviceJournal::~DeviceJournal()
{
    m_impl->bindEscape(false);
    if (m_impl->scheduler && m_impl->input) {
        try {
            for (const JournalEvent &release : m_impl->scheduler->releaseHeld())
                m_impl->input->send(release);
            m_impl->input->sync();
        } catch (const Error &) {
            // The desktop is gone, and our keys with it.
        }
    }
}

ReplayInput *DeviceJournal::input() const
{
    return m_impl->input.get();
}

bool DeviceJournal::available() const
{
    return m_impl->input && m_impl->unavailable.empty();
}

const std::string &DeviceJournal::unavailableReason() const
{
    return m_impl->unavailable;
}

void DeviceJournal::StartRecording()
{
    throw Error(kRecordingUnavailable);
}

void DeviceJournal::StartPlayBack()
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
        m_impl->bindEscape(false);
        if (!m_impl->input->survivesFailure())
            m_impl->fail(e);
        throw;
    }
    m_impl->wakeup.armNow();
}

void DeviceJournal::cancelPlayBack()
{
    if (!m_impl->scheduler)
        return;
    try {
        m_impl->endReplay(true);
    } catch (const Error &e) {
        m_impl->fail(e);
    }
}

void DeviceJournal::setCancelKeys(HotKeyRegistrar *registrar)
{
    m_impl->bindEscape(false);
    m_impl->registrar = registrar;
    if (m_impl->scheduler)
        m_impl->bindEscape(true);
}

bool DeviceJournal::isPlayingBack() const
{
    return m_impl->scheduler.has_value();
}

int DeviceJournal::fileDescriptor() const
{
    return m_impl->wakeup.fileDescriptor();
}

void DeviceJournal::processEvents()
{
    m_impl->wakeup.clear();
    try {
        if (m_impl->input)
            m_impl->input->processEvents();
        if (m_impl->scheduler && m_impl->cancelRequested)
            m_impl->endReplay(true);
        else if (m_impl->scheduler)
            m_impl->replayTick();
    } catch (const Error &e) {
        m_impl->fail(e);
    }
    m_impl->rearm();
    // Last, with everything settled: a handler may start another replay.
    m_impl->replays.raiseEnds(OnFinished);
}

} // namespace quorvel
