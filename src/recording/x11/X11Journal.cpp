// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/x11/X11Journal.h"

#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "platform/x11/X11Connection.h"
#include "recording/JournalFile.h"
#include "recording/JournalWakeup.h"
#include "recording/RecordingBuilder.h"
#include "recording/ReplayQueue.h"
#include "recording/ReplayScheduler.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>

// Xlib's event names are macros that would rewrite JournalEventType's enumerators.
namespace xproto {
constexpr int keyPress = KeyPress, keyRelease = KeyRelease, buttonPress = ButtonPress,
              buttonRelease = ButtonRelease, motionNotify = MotionNotify;
}
#undef KeyPress
#undef KeyRelease
#undef ButtonPress
#undef ButtonRelease

#include <array>
#include <bitset>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

// How the two connections work together.
//
// The RECORD context is created on the control connection and enabled asynchronously on the
// data connection, which from then on only carries the recorded stream; the control
// connection disables it, sends the replayed input and owns the Esc grab.
//
// The stream is asynchronous, so whether an event belongs to the recording cannot be decided
// by when it is read. Every change of what the stream means (recording on or off, our own
// input starting or ending, a replay starting or ending) is instead written into the stream
// itself: a property change on a window of ours, whose PropertyNotify the context records in
// server order with the input events. Each such fence carries the state that holds after it.
// Replayed input goes out on the same connection as the fences, so it always falls between
// the replay's two fences.

namespace quorvel {

namespace {

constexpr int kWaitMs = 2000;

std::array<std::uint32_t, 256> readUnshiftedKeysyms(Display *display)
{
    std::array<std::uint32_t, 256> out {};
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    KeySym *syms =
        XGetKeyboardMapping(display, ::KeyCode(minCode), maxCode - minCode + 1, &perCode);
    if (!syms)
        return out;
    for (int code = minCode; code <= maxCode && code < 256; ++code)
        out[std::size_t(code)] =
            perCode > 0 ? std::uint32_t(syms[std::ptrdiff_t(code - minCode) * perCode]) : 0;
    XFree(syms);
    return out;
}

struct StreamState
{
    bool recording = false;
    bool suspended = false;
    bool replaying = false;
};

struct Fence
{
    std::uint64_t id = 0;
    StreamState state;
};

struct Datum
{
    int category = 0;
    std::vector<unsigned char> bytes;
};

} // namespace

struct X11Journal::Impl
{
    std::string unavailable;
    // X errors on either never end the process; see X11Connection.
    std::unique_ptr<x11::X11Connection> controlConnection;
    std::unique_ptr<x11::X11Connection> dataConnection;
    Display *control = nullptr;
    Display *data = nullptr;
    XRecordContext context = 0;
    Window fenceWindow = 0;
    Atom fenceAtom = 0;
    JournalWakeup wakeup;

    // The recorded stream.
    bool enabled = false;
    bool startOfData = false;
    bool endOfData = false;
    std::vector<Datum> incoming;
    std::deque<Fence> fences;
    std::uint64_t nextFenceId = 1;
    std::uint64_t appliedFenceId = 0;
    StreamState stream;

    // What the program wants the stream to mean from now on.
    bool recordingWanted = false;
    int suspendDepth = 0;

    std::optional<RecordingBuilder> builder;
    std::string recordPath;

    std::optional<ReplayScheduler> scheduler;
    ReplayQueue replays;
    std::array<std::uint32_t, 256> replayKeysyms {};
    std::unordered_map<std::uint32_t, std::uint8_t> replayCodeOf;
    std::bitset<256> escapeCodes;
    bool escapeGrabbed = false;
    int ownEscapesPending = 0; // Esc presses sent and not yet seen in the stream
    bool ownEscapeDown = false;
    bool cancelRequested = false;

    bool stopKeySeen = false;

    void open(const std::string &displayName);
    void close();

    static void intercept(XPointer closure, XRecordInterceptData *datum);
    void handleIncoming();
    void handleServerEvent(const unsigned char *bytes);
    void checkEscape(const CapturedEvent &event);
    bool waitForStream(const std::function<bool()> &done);

    StreamState wantedState() const
    {
        return { recordingWanted, suspendDepth > 0, scheduler.has_value() };
    }
    std::uint64_t sendFence();
    bool enable();
    void disable();
    void disableIfIdle();

    KeyTable recordingKeyTable();
    void beginReplay(ReplayQueue::Request request);
    void replayTick();
    void endReplay(bool userCancel);
    void send(const JournalEvent &event);
    void grabEscape(bool on);
    ::KeyCode replayCode(const JournalEvent &event) const;

    void rearm();
};

void X11Journal::Impl::open(const std::string &displayName)
{
    try {
        controlConnection = std::make_unique<x11::X11Connection>(displayName);
        dataConnection = std::make_unique<x11::X11Connection>(displayName);
        control = controlConnection->display();
        data = dataConnection->display();
    } catch (const Error &) {
        const char *shown = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        unavailable = std::string("Cannot open the X display")
            + (shown && *shown ? std::string(" ") + shown : std::string(" (DISPLAY is not set)"));
        close();
        return;
    }
    int major = 0, minor = 0, eventBase = 0, errorBase = 0;
    if (!XRecordQueryVersion(control, &major, &minor)) {
        unavailable = "Recording is not possible: this X server has no RECORD extension";
        close();
        return;
    }
    if (!XTestQueryExtension(control, &eventBase, &errorBase, &major, &minor)) {
        unavailable = "The X server has no XTEST extension";
        close();
        return;
    }

    XSetWindowAttributes attributes {};
    attributes.event_mask = PropertyChangeMask;
    fenceWindow = XCreateWindow(control, DefaultRootWindow(control), -10, -10, 1, 1, 0, 0,
        InputOnly, CopyFromParent, CWEventMask, &attributes);
    fenceAtom = XInternAtom(control, "_QUORVEL_JOURNAL_FENCE", False);

    // Device events are recorded whoever the clients are; naming our own client limits the
    // delivered events to the PropertyNotify fences on our window.
    XRecordRange *range = XRecordAllocRange();
    range->device_events.first = xproto::keyPress;
    range->device_events.last = xproto::motionNotify;
    range->delivered_events.first = PropertyNotify;
    range->delivered_events.last = PropertyNotify;
    XRecordClientSpec clients = fenceWindow;
    context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    // A replay goes on while some other client grabs the server.
    XTestGrabControl(control, True);
    XSync(control, False);
    if (!context) {
        unavailable = "Cannot create a RECORD context";
        close();
        return;
    }
    for (Display *display : { control, data })
        wakeup.watch(ConnectionNumber(display));
}

void X11Journal::Impl::close()
{
    if (control) {
        if (context)
            XRecordFreeContext(control, context);
        if (fenceWindow)
            XDestroyWindow(control, fenceWindow);
    }
    controlConnection.reset();
    dataConnection.reset();
    control = data = nullptr;
    context = 0;
    fenceWindow = 0;
}

void X11Journal::Impl::intercept(XPointer closure, XRecordInterceptData *datum)
{
    auto *self = reinterpret_cast<Impl *>(closure);
    Datum copy;
    copy.category = datum->category;
    if (datum->data && datum->data_len)
        copy.bytes.assign(datum->data, datum->data + std::size_t(datum->data_len) * 4);
    self->incoming.push_back(std::move(copy));
    XRecordFreeData(datum);
}

void X11Journal::Impl::handleIncoming()
{
    while (!incoming.empty()) {
        std::vector<Datum> batch;
        batch.swap(incoming);
        for (const Datum &datum : batch) {
            switch (datum.category) {
            case XRecordStartOfData:
                startOfData = true;
                break;
            case XRecordEndOfData:
                endOfData = true;
                break;
            case XRecordFromServer:
                for (std::size_t at = 0; at + sizeof(xEvent) <= datum.bytes.size();
                     at += sizeof(xEvent))
                    handleServerEvent(datum.bytes.data() + at);
                break;
            default:
                break;
            }
        }
    }
}

void X11Journal::Impl::handleServerEvent(const unsigned char *bytes)
{
    xEvent event;
    std::memcpy(&event, bytes, sizeof event);
    const int type = event.u.u.type & 0x7f;
    if (type == PropertyNotify) {
        if (event.u.property.window != fenceWindow || event.u.property.atom != fenceAtom
            || fences.empty())
            return;
        const Fence fence = fences.front();
        fences.pop_front();
        appliedFenceId = fence.id;
        if (stream.replaying && !fence.state.replaying) {
            ownEscapesPending = 0;
            ownEscapeDown = false;
        }
        stream = fence.state;
        if (stream.recording && builder && !builder->started())
            builder->start(event.u.property.time);
        return;
    }
    if (type < xproto::keyPress || type > xproto::motionNotify)
        return;
    CapturedEvent captured;
    captured.type = type == xproto::keyPress ? JournalEventType::KeyPress
        : type == xproto::keyRelease         ? JournalEventType::KeyRelease
        : type == xproto::buttonPress        ? JournalEventType::ButtonPress
        : type == xproto::buttonRelease      ? JournalEventType::ButtonRelease
                                             : JournalEventType::Motion;
    captured.code = event.u.u.detail;
    captured.x = event.u.keyButtonPointer.rootX;
    captured.y = event.u.keyButtonPointer.rootY;
    captured.time = event.u.keyButtonPointer.time;

    if (stream.suspended)
        return;
    if (stream.replaying) {
        checkEscape(captured);
        return;
    }
    if (stream.recording && builder && builder->started() && builder->add(captured))
        stopKeySeen = true;
}

void X11Journal::Impl::checkEscape(const CapturedEvent &event)
{
    if (!event.code || !escapeCodes[event.code] || !scheduler)
        return;
    if (event.type == JournalEventType::KeyRelease) {
        ownEscapeDown = false;
        return;
    }
    if (event.type != JournalEventType::KeyPress || ownEscapeDown)
        return; // the server's auto-repeat of an Esc we hold
    if (ownEscapesPending > 0) {
        --ownEscapesPending;
        ownEscapeDown = true;
        return;
    }
    cancelRequested = true;
}

bool X11Journal::Impl::waitForStream(const std::function<bool()> &done)
{
    const std::int64_t deadline = monotonicUs() + std::int64_t(kWaitMs) * 1000;
    for (;;) {
        XRecordProcessReplies(data);
        handleIncoming();
        if (done())
            return true;
        const std::int64_t left = deadline - monotonicUs();
        if (left <= 0)
            return false;
        pollfd pfd { ConnectionNumber(data), POLLIN, 0 };
        ::poll(&pfd, 1, int(left / 1000) + 1);
    }
}

std::uint64_t X11Journal::Impl::sendFence()
{
    Fence fence { nextFenceId++, wantedState() };
    fences.push_back(fence);
    const long value = long(fence.id & 0x7fffffff);
    XChangeProperty(control, fenceWindow, fenceAtom, XA_INTEGER, 32, PropModeReplace,
        reinterpret_cast<const unsigned char *>(&value), 1);
    return fence.id;
}

bool X11Journal::Impl::enable()
{
    if (enabled)
        return true;
    if (!control)
        return false;
    startOfData = endOfData = false;
    fences.clear();
    stream = {};
    if (!XRecordEnableContextAsync(
            data, context, &Impl::intercept, reinterpret_cast<XPointer>(this)))
        return false;
    XFlush(data);
    // Enabled once the server takes the request, however late; a second enable would be an
    // error. Until its start is confirmed no fence is sent, as it could precede the enable.
    enabled = true;
    return waitForStream([this] { return startOfData; });
}

void X11Journal::Impl::disable()
{
    if (!enabled)
        return;
    XRecordDisableContext(control, context);
    XSync(control, False);
    waitForStream([this] { return endOfData; });
    enabled = false;
    incoming.clear();
    fences.clear();
    stream = {};
    ownEscapesPending = 0;
    ownEscapeDown = false;
}

void X11Journal::Impl::disableIfIdle()
{
    if (!builder && !scheduler && replays.empty())
        disable();
}

KeyTable X11Journal::Impl::recordingKeyTable()
{
    KeyTable table;
    table.keysyms = readUnshiftedKeysyms(control);
    for (std::size_t code = 0; code < 256; ++code) {
        switch (table.keysyms[code]) {
        case XK_Control_L:
        case XK_Control_R:
            table.roles[code] = KeyRole::Control;
            break;
        case XK_Shift_L:
        case XK_Shift_R:
            table.roles[code] = KeyRole::Shift;
            break;
        case XK_F12:
            table.roles[code] = KeyRole::StopKey;
            break;
        default:
            break;
        }
    }
    return table;
}

::KeyCode X11Journal::Impl::replayCode(const JournalEvent &event) const
{
    // The keyboard may have changed since the recording: follow the symbol if the key no
    // longer carries it and some other key does.
    if (event.keysym == 0 || replayKeysyms[event.code] == event.keysym)
        return event.code;
    const auto it = replayCodeOf.find(event.keysym);
    return it == replayCodeOf.end() ? ::KeyCode(event.code) : ::KeyCode(it->second);
}

void X11Journal::Impl::grabEscape(bool on)
{
    if (on == escapeGrabbed || !control)
        return;
    const Window root = DefaultRootWindow(control);
    // Every modifier combination one by one, as the replay may hold any modifiers: one grab
    // for AnyModifier fails whole when the window manager holds a single combination (openbox
    // binds Alt+Escape), and then only that combination is left out.
    const unsigned allModifiers =
        ShiftMask | LockMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;
    if (on) {
        // Keeps the user's Esc from reaching the target as well; the cancel itself is seen
        // in the recorded stream, so it works also for a combination someone else holds.
        // A combination held elsewhere is refused with BadAccess and left out.
        x11::X11Connection::ErrorTrap trap(*controlConnection);
        for (std::size_t code = 0; code < 256; ++code)
            if (escapeCodes[code])
                for (unsigned mods = 0; mods <= allModifiers; ++mods)
                    XGrabKey(control, int(code), mods, root, False, GrabModeAsync, GrabModeAsync);
        trap.sync();
    } else {
        for (std::size_t code = 0; code < 256; ++code)
            if (escapeCodes[code])
                XUngrabKey(control, int(code), AnyModifier, root);
    }
    escapeGrabbed = on;
}

void X11Journal::Impl::send(const JournalEvent &event)
{
    switch (event.type) {
    case JournalEventType::KeyPress:
    case JournalEventType::KeyRelease: {
        const ::KeyCode code = replayCode(event);
        const bool press = event.type == JournalEventType::KeyPress;
        if (press && escapeCodes[code]) {
            // Our own Esc must reach the target, not our grab.
            const bool grabbed = escapeGrabbed;
            grabEscape(false);
            ++ownEscapesPending;
            XTestFakeKeyEvent(control, code, True, CurrentTime);
            grabEscape(grabbed);
        } else {
            XTestFakeKeyEvent(control, code, press, CurrentTime);
        }
        break;
    }
    case JournalEventType::ButtonPress:
    case JournalEventType::ButtonRelease:
        XTestFakeButtonEvent(
            control, event.code, event.type == JournalEventType::ButtonPress, CurrentTime);
        break;
    case JournalEventType::Motion:
        XTestFakeMotionEvent(control, DefaultScreen(control), event.x, event.y, CurrentTime);
        break;
    }
}

void X11Journal::Impl::beginReplay(ReplayQueue::Request request)
{
    replayKeysyms = readUnshiftedKeysyms(control);
    replayCodeOf.clear();
    escapeCodes.reset();
    for (std::size_t code = 8; code < 256; ++code) {
        const std::uint32_t sym = replayKeysyms[code];
        if (sym)
            replayCodeOf.emplace(sym, std::uint8_t(code));
        if (sym == XK_Escape)
            escapeCodes.set(code);
    }
    cancelRequested = false;
    scheduler.emplace(std::move(request.events), request.highSpeed);
    // Without the stream no Esc could cancel, but the replay is still wanted.
    if (enable())
        sendFence();
    grabEscape(true);
    XFlush(control);
    scheduler->start(monotonicUs());
}

void X11Journal::Impl::replayTick()
{
    const std::vector<JournalEvent> due = scheduler->takeBatch(monotonicUs());
    for (const JournalEvent &event : due)
        send(event);
    if (!due.empty()) {
        // At high speed wait for the server to take each batch before sending the next.
        if (scheduler->highSpeed())
            XSync(control, False);
        else
            XFlush(control);
    }
    if (scheduler->atEnd())
        endReplay(false);
}

void X11Journal::Impl::endReplay(bool userCancel)
{
    for (const JournalEvent &release : scheduler->releaseHeld())
        send(release);
    scheduler.reset();
    grabEscape(false);
    if (enabled)
        sendFence();
    XSync(control, False);
    cancelRequested = false;
    replays.ended(userCancel);
    if (!replays.empty()) {
        beginReplay(replays.pop());
    } else {
        disableIfIdle();
    }
    wakeup.armNow();
}

void X11Journal::Impl::rearm()
{
    const bool queued = control
        && (XEventsQueued(control, QueuedAlready) > 0 || XEventsQueued(data, QueuedAlready) > 0);
    wakeup.armFor(replays.hasEnds() || stopKeySeen || queued || !incoming.empty()
            || (scheduler && cancelRequested),
        scheduler ? &*scheduler : nullptr);
}

X11Journal::X11Journal(const std::string &displayName)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->open(displayName);
}

X11Journal::~X11Journal()
{
    if (m_impl->control) {
        if (m_impl->scheduler) {
            for (const JournalEvent &release : m_impl->scheduler->releaseHeld())
                m_impl->send(release);
            m_impl->scheduler.reset();
        }
        m_impl->grabEscape(false);
        m_impl->builder.reset();
        m_impl->disable();
        XSync(m_impl->control, False);
    }
    m_impl->close();
}

bool X11Journal::available() const
{
    return m_impl->unavailable.empty();
}

const std::string &X11Journal::unavailableReason() const
{
    return m_impl->unavailable;
}

void X11Journal::StartRecording()
{
    if (m_impl->builder)
        discardRecording();
    if (!available())
        throw Error(m_impl->unavailable);
    const std::string path = RecordFileName;
    if (path.empty())
        throw Error("No file name for the recording");
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    // The data folder of a fresh install does not exist until the first macro needs it.
    if (!makeFolders(folder.string()) || ::access(folder.c_str(), W_OK) != 0)
        throw Error("Cannot write the recording " + path + ": the folder " + folder.string()
            + " cannot be made or is not writable");

    m_impl->builder.emplace(KeyStrokesOnly, m_impl->recordingKeyTable());
    m_impl->recordPath = path;
    m_impl->recordingWanted = true;
    m_impl->stopKeySeen = false;
    if (!m_impl->enable()) {
        m_impl->builder.reset();
        m_impl->recordingWanted = false;
        throw Error("Cannot start recording: the X server does not deliver the input");
    }
    m_impl->sendFence();
    // Once the server has the fence, everything typed from now on is in the recording.
    XSync(m_impl->control, False);
}

void X11Journal::StopRecording()
{
    if (!m_impl->builder)
        return;
    m_impl->recordingWanted = false;
    if (m_impl->enabled) {
        const std::uint64_t id = m_impl->sendFence();
        XSync(m_impl->control, False);
        m_impl->waitForStream([this, id] { return m_impl->appliedFenceId >= id; });
    }
    JournalRecording recording = m_impl->builder->finish();
    m_impl->builder.reset();
    m_impl->stopKeySeen = false;
    m_impl->disableIfIdle();
    m_impl->rearm();
    saveJournal(m_impl->recordPath, recording);
}

void X11Journal::discardRecording()
{
    if (!m_impl->builder)
        return;
    m_impl->recordingWanted = false;
    m_impl->builder.reset();
    m_impl->stopKeySeen = false;
    m_impl->disableIfIdle();
    m_impl->rearm();
}

void X11Journal::StartPlayBack()
{
    if (!available())
        throw Error(m_impl->unavailable);
    ReplayQueue::Request request = ReplayQueue::load(PlayBackFileName, HiSpeedPlayBack);
    if (m_impl->scheduler) {
        m_impl->replays.push(std::move(request));
        return;
    }
    m_impl->beginReplay(std::move(request));
    m_impl->wakeup.armNow();
}

void X11Journal::cancelPlayBack()
{
    if (m_impl->scheduler)
        m_impl->endReplay(true);
}

bool X11Journal::isRecording() const
{
    return m_impl->builder.has_value();
}

bool X11Journal::isPlayingBack() const
{
    return m_impl->scheduler.has_value();
}

std::size_t X11Journal::queuedPlayBacks() const
{
    return m_impl->replays.size();
}

void X11Journal::suspendCapture()
{
    if (++m_impl->suspendDepth == 1 && m_impl->enabled) {
        m_impl->sendFence();
        // The server must have the fence before the input we are about to send.
        XSync(m_impl->control, False);
    }
}

void X11Journal::resumeCapture()
{
    if (m_impl->suspendDepth == 0)
        return;
    if (--m_impl->suspendDepth == 0 && m_impl->enabled) {
        m_impl->sendFence();
        XFlush(m_impl->control);
    }
}

int X11Journal::fileDescriptor() const
{
    return m_impl->wakeup.fileDescriptor();
}

void X11Journal::processEvents()
{
    m_impl->wakeup.clear();
    if (m_impl->control) {
        while (XPending(m_impl->control) > 0) {
            XEvent event;
            XNextEvent(m_impl->control, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                if (m_impl->builder)
                    m_impl->builder->setKeyTable(m_impl->recordingKeyTable());
            }
        }
        XRecordProcessReplies(m_impl->data);
        m_impl->handleIncoming();
        if (m_impl->scheduler && m_impl->cancelRequested)
            m_impl->endReplay(true);
        else if (m_impl->scheduler)
            m_impl->replayTick();
    }
    m_impl->rearm();

    // Last, with everything else settled: a handler may start or stop anything.
    if (m_impl->stopKeySeen) {
        m_impl->stopKeySeen = false;
        if (OnStopKey)
            OnStopKey();
    }
    m_impl->replays.raiseEnds(OnFinished);
}

} // namespace quorvel
