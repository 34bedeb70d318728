// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeySink.h"

#include "platform/x11/KeysymUnicode.h"
#include "platform/x11/VirtualKeys.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <poll.h>
#include <thread>
#include <unordered_set>

namespace quorvel::x11 {

namespace {
using namespace std::chrono_literals;
// Spare keys go back to the layout once typing has paused this long.
constexpr auto kSpareIdle = std::chrono::milliseconds(1000);
// How much of the text ahead a batch of spare bindings is chosen from.
constexpr std::size_t kLookAhead = 1024;
// How long a look at the keyboard that found no key down is taken as current.
constexpr auto kKeymapFresh = std::chrono::milliseconds(2);

// A window that has not answered its first ping in this time is taken as one that never
// answers; one that has answered before is only busy, and gets the longer time.
constexpr auto kFirstPingTimeout = std::chrono::milliseconds(1000);
constexpr auto kPingTimeout = std::chrono::milliseconds(5000);

struct PingReply
{
    Atom protocols, ping;
};

Bool isPingReply(Display *, XEvent *e, XPointer arg)
{
    const auto *match = reinterpret_cast<const PingReply *>(arg);
    return e->type == ClientMessage && e->xclient.message_type == match->protocols
        && e->xclient.format == 32 && Atom(e->xclient.data.l[0]) == match->ping;
}

bool isKeypad(KeyCode key)
{
    return key >= 0x60 && key <= 0x6F;
}
} // namespace

X11KeySink::X11KeySink(X11Connection &connection, X11Keyboard &keyboard)
    : m_connection(connection)
    , m_keyboard(keyboard)
{
}

X11KeySink::~X11KeySink()
{
    releaseAll();
}

int X11KeySink::modifierOf(KeyCode key)
{
    switch (key) {
    case 0x10:
    case 0xA0:
    case 0xA1:
        return ModShift;
    case 0x11:
    case 0xA2:
    case 0xA3:
        return ModCtrl;
    case 0x12:
    case 0xA4:
    case 0xA5:
        return ModAlt;
    default:
        return -1;
    }
}

X11KeySink::SpareSyms X11KeySink::spareSymsOf(unsigned long keysym)
{
    KeySym lower = 0, upper = 0;
    XConvertCase(keysym, &lower, &upper);
    if (lower != upper)
        return { lower, upper };
    return { keysym, keysym };
}

KeyScan X11KeySink::keyScan(char32_t ch)
{
    if (ch < 0x20 || ch == 0x7F)
        return controlKeyScan(ch);
    const X11Keyboard::Binding b = m_keyboard.findCharacter(ch);
    if (!b.valid())
        return {};
    const bool shift = (b.modifiers & ShiftMask) != 0;
    const bool level3 = (b.modifiers & ~ShiftMask) != 0;
    KeyCode identity = CharacterKey | KeyCode(b.keycode);
    if (shift)
        identity |= ShiftLevel;
    if (level3)
        identity |= LevelThree;
    return { identity, (shift ? 1 : 0) | (level3 ? 6 : 0) };
}

unsigned X11KeySink::scanCode(KeyCode key)
{
    if (key & CharacterKey)
        return unsigned(key & 0xFF);
    return m_keyboard.keycodeFor(virtualKeyToKeysym(key)) & 0xFF;
}

void X11KeySink::fake(unsigned keycode, bool press)
{
    if (keycode)
        XTestFakeKeyEvent(m_connection.display(), keycode, press ? True : False, CurrentTime);
}

unsigned X11KeySink::modifierKey(int modifier)
{
    switch (modifier) {
    case ModShift:
        return m_keyboard.shiftKey();
    case ModCtrl:
        return m_keyboard.controlKey();
    case ModAlt:
        return m_keyboard.altKey();
    default:
        return m_keyboard.level3Key();
    }
}

void X11KeySink::setPhysical(int modifier, bool down)
{
    if (m_physical[modifier] == down)
        return;
    if (down)
        m_physicalKey[modifier] = modifierKey(modifier);
    fake(m_physicalKey[modifier], down);
    m_physical[modifier] = down;
}

X11KeySink::Wanted X11KeySink::logicalWanted() const
{
    return { m_logical[ModShift] > 0, m_logical[ModCtrl] > 0, m_logical[ModAlt] > 0, false };
}

void X11KeySink::reconcile(const Wanted &wanted)
{
    for (int m : { ModShift, ModCtrl, ModAlt, ModLevel3 }) {
        if (m_physical[m] && !wanted[m])
            setPhysical(m, false);
    }
    // The order the sender presses them in.
    for (int m : { ModAlt, ModCtrl, ModShift, ModLevel3 }) {
        if (!m_physical[m] && wanted[m])
            setPhysical(m, true);
    }
    for (bool &t : m_tap)
        t = false;
}

void X11KeySink::releaseUnwanted()
{
    const Wanted logical = logicalWanted();
    for (int m : { ModShift, ModCtrl, ModAlt, ModLevel3 }) {
        if (m_physical[m] && !logical[m])
            setPhysical(m, false);
    }
}

void X11KeySink::keyEvent(KeyCode key, unsigned, bool, bool release)
{
    const int modifier = modifierOf(key);
    if (modifier >= 0) {
        int &count = m_logical[modifier];
        if (!release) {
            if (count++ == 0)
                m_tap[modifier] = true;
            return;
        }
        if (count == 0)
            return;
        if (--count == 0) {
            if (m_tap[modifier]) {
                // Pressed and released with no key between: the modifier key itself.
                Wanted wanted = logicalWanted();
                wanted[modifier] = true;
                reconcile(wanted);
            }
            setPhysical(modifier, false);
        }
        return;
    }

    if (release) {
        auto it = m_pressed.find(key);
        if (it == m_pressed.end())
            return;
        fake(it->second, false);
        if (auto used = m_spareUsed.find(it->second); used != m_spareUsed.end())
            used->second = m_lastSpareUse = Clock::now();
        m_pressed.erase(it);
        releaseUnwanted();
        return;
    }

    Wanted wanted = logicalWanted();
    unsigned keycode = 0;
    if (key & CharacterKey) {
        keycode = unsigned(key & 0xFF);
        if (key & LevelThree) {
            // The caller wraps level three in Ctrl+Alt, as Windows types AltGr; X wants
            // ISO_Level3_Shift instead, and the wrapping pair must not reach the target.
            if (m_logical[ModCtrl] > 0 && m_logical[ModAlt] > 0) {
                wanted[ModCtrl] = m_logical[ModCtrl] > 1;
                wanted[ModAlt] = m_logical[ModAlt] > 1;
            }
            wanted[ModLevel3] = true;
        }
    } else {
        const unsigned long keysym = virtualKeyToKeysym(key);
        if (!keysym)
            return;
        if (isKeypad(key)) {
            // Keypad digits stay digits whatever NumLock says.
            const X11Keyboard::Binding b = m_keyboard.findKeysym(keysym);
            keycode = b.keycode;
            if (b.modifiers & ShiftMask)
                wanted[ModShift] = true;
        } else {
            keycode = m_keyboard.keycodeFor(keysym);
        }
        if (!keycode) {
            keycode = spareFor({ keysym, keysym }, 0).first;
            if (keycode)
                m_spareUsed[keycode] = m_lastSpareUse = Clock::now();
        }
        if (!keycode)
            return;
    }
    reconcile(wanted);
    fake(keycode, true);
    m_pressed[key] = keycode;
}

void X11KeySink::typeCharacter(char32_t ch)
{
    const unsigned long keysym = unicodeToKeysym(ch);
    if (!keysym)
        return;
    const SpareSyms syms = spareSymsOf(keysym);
    const bool cased = syms.lower != syms.upper;
    const auto [keycode, shifted] = spareFor(syms, ch);
    if (!keycode)
        return;
    Wanted wanted = logicalWanted();
    if (cased) {
        const bool capsLocked = (m_keyboard.lockedModifiers() & LockMask) != 0;
        if ((keysym == syms.upper) != capsLocked)
            wanted[ModShift] = true;
    } else if (m_keyboard.spareBinding(keycode) != m_keyboard.spareShiftedBinding(keycode)) {
        // Two characters share the key: Shift picks one, whatever the caller holds.
        wanted[ModShift] = shifted;
    }
    reconcile(wanted);
    fake(keycode, true);
    fake(keycode, false);
    releaseUnwanted();
    XFlush(m_connection.display());
    m_spareUsed[keycode] = m_lastSpareUse = Clock::now();
}

void X11KeySink::expectText(std::u32string_view text)
{
    m_ahead.assign(text.substr(0, kLookAhead));
}

std::vector<X11KeySink::SpareSyms> X11KeySink::spareNeedsAhead(const SpareSyms &syms, char32_t ch)
{
    std::vector<SpareSyms> needs { syms };
    if (!ch)
        return needs;
    if (!advanceTo(m_ahead, ch))
        return needs;
    std::unordered_set<unsigned long> seen { syms.lower };
    for (const char32_t c : m_ahead) {
        if (c < 0x20 || m_keyboard.findCharacter(c).valid())
            continue;
        if (const unsigned long keysym = unicodeToKeysym(c)) {
            const SpareSyms need = spareSymsOf(keysym);
            if (seen.insert(need.lower).second)
                needs.push_back(need);
        }
    }
    return needs;
}

std::pair<unsigned, bool> X11KeySink::spareFor(const SpareSyms &syms, char32_t ch)
{
    const std::vector<unsigned> spares = m_keyboard.spareKeys();
    std::unordered_map<unsigned, SpareSyms> planned; // spare -> binding after this batch
    auto bindingOf = [&](unsigned kc) {
        auto it = planned.find(kc);
        return it != planned.end()
            ? it->second
            : SpareSyms { m_keyboard.spareBinding(kc), m_keyboard.spareShiftedBinding(kc) };
    };
    // Where a key types what is needed: -1 nowhere, 0 plain (or by case), 1 shifted.
    auto levelOn = [&](unsigned kc, const SpareSyms &need) {
        const SpareSyms bound = bindingOf(kc);
        if (!bound.lower)
            return -1;
        if (bound.lower == need.lower)
            return 0;
        const bool packed =
            bound.upper != bound.lower && spareSymsOf(bound.lower).upper == bound.lower;
        return packed && need.lower == need.upper && bound.upper == need.lower ? 1 : -1;
    };
    for (unsigned kc : spares) {
        const int level = levelOn(kc, syms);
        if (level == 0 || (level == 1 && ch))
            return { kc, level == 1 };
    }
    if (spares.empty())
        return { 0, false };

    const std::vector<SpareSyms> needs = spareNeedsAhead(syms, ch);
    std::unordered_map<unsigned long, std::size_t> firstNeed;
    for (std::size_t i = 0; i < needs.size(); ++i)
        firstNeed.emplace(needs[i].lower, i);
    // Held keys keep their binding; so does each binding the batch has reached.
    std::vector<unsigned> kept;
    for (const auto &[identity, kc] : m_pressed)
        kept.push_back(kc);
    auto isKept = [&](unsigned kc) {
        return std::find(kept.begin(), kept.end(), kc) != kept.end();
    };
    auto needRank = [&](unsigned long keysym) {
        auto it = firstNeed.find(keysym);
        return it == firstNeed.end() ? SIZE_MAX - 1 : it->second;
    };
    // Empty keys first, then bindings the text never wants again, then the one it wants last.
    auto evictionRank = [&](unsigned kc) -> std::size_t {
        const SpareSyms binding = bindingOf(kc);
        if (!binding.lower)
            return SIZE_MAX;
        return std::min(needRank(binding.lower), needRank(binding.upper));
    };

    auto lastUse = [&](unsigned kc) {
        auto it = m_spareUsed.find(kc);
        return it == m_spareUsed.end() ? Clock::time_point {} : it->second;
    };

    // Characters without case go two to a key (plain and shifted), twice as many per change;
    // a named key keeps a key of its own, since Shift would change what it does.
    std::vector<std::pair<unsigned, SpareSyms>> bindings;
    std::size_t halfFilled = SIZE_MAX; // the binding of this batch with room for a second
    for (const SpareSyms &need : needs) {
        auto bound = std::find_if(
            spares.begin(), spares.end(), [&](unsigned kc) { return levelOn(kc, need) >= 0; });
        if (bound != spares.end()) {
            kept.push_back(*bound);
            continue;
        }
        const bool packable = ch && need.lower == need.upper;
        if (packable && halfFilled != SIZE_MAX) {
            auto &[kc, pair] = bindings[halfFilled];
            pair.upper = need.lower;
            planned[kc] = pair;
            halfFilled = SIZE_MAX;
            continue;
        }
        unsigned victim = 0;
        std::size_t victimRank = 0;
        for (unsigned kc : spares) {
            if (isKept(kc))
                continue;
            const std::size_t rank = evictionRank(kc);
            if (!victim || rank > victimRank
                || (rank == victimRank && lastUse(kc) < lastUse(victim))) {
                victim = kc;
                victimRank = rank;
            }
        }
        if (!victim)
            break;
        planned[victim] = need;
        bindings.emplace_back(victim, need);
        kept.push_back(victim);
        if (packable)
            halfFilled = bindings.size() - 1;
    }
    if (bindings.empty())
        return { 0, false };
    rebind(bindings);
    return { bindings.front().first, false };
}

void X11KeySink::rebind(const std::vector<std::pair<unsigned, SpareSyms>> &bindings)
{
    Display *dpy = m_connection.display();
    // One wait for the whole batch: until the target has handled the keys these typed last.
    // A window that answers pings says when; any other gets the settle time after the last.
    Clock::time_point ready {};
    for (const auto &[kc, syms] : bindings) {
        auto it = m_spareUsed.find(kc);
        if (it != m_spareUsed.end())
            ready = std::max(ready, it->second + m_remapPause);
    }
    if (ready != Clock::time_point {} && !targetCaughtUp() && ready > Clock::now()) {
        XFlush(dpy);
        std::this_thread::sleep_until(ready);
    }
    std::vector<X11Keyboard::SpareBindingRequest> requests;
    requests.reserve(bindings.size());
    for (const auto &[kc, syms] : bindings)
        requests.push_back({ kc, syms.lower, syms.upper });
    m_keyboard.bindSpares(requests);
    XFlush(dpy);
    const auto now = Clock::now();
    for (const auto &binding : bindings)
        m_spareUsed[binding.first] = now;
    m_lastSpareUse = now;
}

unsigned long X11KeySink::pingableFocus()
{
    Display *dpy = m_connection.display();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    if (focus == m_focus)
        return m_focusPingable;
    m_focus = focus;
    m_focusPingable = 0;
    m_focusAnswered = false;
    const Atom ping = m_connection.atom("_NET_WM_PING");
    // The focus may sit on a child of the window that speaks the protocols.
    for (Window w = focus; w > PointerRoot && w != m_connection.root();) {
        Atom *protocols = nullptr;
        int count = 0;
        if (XGetWMProtocols(dpy, w, &protocols, &count)) {
            const bool answers = std::find(protocols, protocols + count, ping) != protocols + count;
            XFree(protocols);
            if (answers)
                m_focusPingable = w;
            break;
        }
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy, w, &root, &parent, &children, &n))
            break;
        if (children)
            XFree(children);
        w = parent;
    }
    return m_focusPingable;
}

bool X11KeySink::targetCaughtUp()
{
    Display *dpy = m_connection.display();
    const Window window = pingableFocus();
    if (!window)
        return false;
    // Events reach a client in the order they happen, and it answers a ping only when it gets
    // to it: by then it has read every key before it on the keymap it had.
    if (!m_hearsPingReplies) {
        // Answers go to the root window, GTK's with SubstructureNotify, Qt's with
        // StructureNotify: both must reach us, whatever else selected on the root.
        XWindowAttributes root {};
        if (XGetWindowAttributes(dpy, m_connection.root(), &root)) {
            XSelectInput(dpy, m_connection.root(),
                root.your_event_mask | SubstructureNotifyMask | StructureNotifyMask);
        }
        m_hearsPingReplies = true;
    }
    PingReply match { Atom(m_connection.atom("WM_PROTOCOLS")),
        Atom(m_connection.atom("_NET_WM_PING")) };
    const long token = ++m_pingToken;
    XEvent e {};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = match.protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(match.ping);
    e.xclient.data.l[1] = token;
    e.xclient.data.l[2] = long(window);
    XSendEvent(dpy, window, False, NoEventMask, &e);
    XFlush(dpy);
    const auto deadline = Clock::now() + (m_focusAnswered ? kPingTimeout : kFirstPingTimeout);
    for (;;) {
        XEvent reply;
        while (XCheckIfEvent(dpy, &reply, &isPingReply, reinterpret_cast<XPointer>(&match))) {
            if (reply.xclient.data.l[1] == token)
                return m_focusAnswered = true;
        }
        if (Clock::now() > deadline) {
            if (!m_focusAnswered)
                m_focusPingable = 0;
            return false;
        }
        pollfd fd { ConnectionNumber(dpy), POLLIN, 0 };
        poll(&fd, 1, 2);
    }
}

void X11KeySink::unbindSpares()
{
    Display *dpy = m_connection.display();
    // Giving the keys back is no hurry, and a busy target may be slow to read its last ones
    // (a loaded machine took over 50 ms): unless it answers a ping, a much wider margin than
    // between two characters.
    Clock::time_point lastUse {};
    for (unsigned kc : m_keyboard.spareKeys()) {
        if (m_keyboard.spareBinding(kc))
            lastUse = std::max(lastUse, m_spareUsed[kc]);
    }
    if (lastUse == Clock::time_point {})
        return;
    const auto ready = lastUse + std::max<std::chrono::milliseconds>(m_remapPause * 5, 200ms);
    if (ready > Clock::now() && !targetCaughtUp()) {
        XFlush(dpy);
        std::this_thread::sleep_until(ready);
    }
    bool changed = false;
    for (unsigned kc : m_keyboard.spareKeys()) {
        if (!m_keyboard.spareBinding(kc) || isHeld(kc))
            continue;
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(dpy, int(kc), 1, &none, 1);
        m_keyboard.setSpareBinding(kc, 0);
        changed = true;
    }
    if (changed)
        XSync(dpy, False);
}

bool X11KeySink::isHeld(unsigned keycode) const
{
    return std::any_of(
        m_pressed.begin(), m_pressed.end(), [&](const auto &p) { return p.second == keycode; });
}

void X11KeySink::flush()
{
    XFlush(m_connection.display());
}

void X11KeySink::releaseAll()
{
    for (const auto &[identity, keycode] : m_pressed)
        fake(keycode, false);
    m_pressed.clear();
    m_ahead.clear();
    for (int &c : m_logical)
        c = 0;
    for (bool &t : m_tap)
        t = false;
    for (int m : { ModShift, ModCtrl, ModAlt, ModLevel3 })
        setPhysical(m, false);
    // Typing is over only once the server has taken every key: until then the user's keys, or
    // another program's, would land between ours (a Ctrl pressed next would reach a capital
    // still queued).
    XSync(m_connection.display(), False);
    unbindSpares();
}

void X11KeySink::idle()
{
    if (m_lastSpareUse != Clock::time_point {} && Clock::now() - m_lastSpareUse > kSpareIdle) {
        m_lastSpareUse = {};
        unbindSpares();
    }
}

X11KeyboardState::X11KeyboardState(X11Connection &connection, X11Keyboard &keyboard)
    : m_connection(connection)
    , m_keyboard(keyboard)
    , m_side(XOpenDisplay(DisplayString(connection.display())))
{
}

X11KeyboardState::~X11KeyboardState()
{
    if (m_side)
        XCloseDisplay(m_side);
}

void X11KeyboardState::query(Display *display, Clock::time_point now)
{
    XQueryKeymap(display, m_keymap);
    m_queried = now;
}

bool X11KeyboardState::isKeyDown(KeyCode key)
{
    std::vector<unsigned> keys;
    switch (key) {
    case 0x10:
        keys = m_keyboard.modifierKeys(ShiftMask);
        break;
    case 0x11:
        keys = m_keyboard.modifierKeys(ControlMask);
        break;
    case 0x12:
        keys = m_keyboard.modifierKeys(m_keyboard.altMask());
        break;
    default:
        keys = m_keyboard.keycodesFor(virtualKeyToKeysym(key));
        break;
    }
    if (keys.empty())
        return false;
    auto down = [&] {
        return std::any_of(keys.begin(), keys.end(),
            [&](unsigned kc) { return kc < 256 && (m_keymap[kc / 8] & (1 << (kc % 8))); });
    };
    // Asked before every key typed: even a quick answer each time would bound the typing pace.
    // A fresh answer that no key is down stands for a moment.
    const auto now = Clock::now();
    if (now - m_queried > kKeymapFresh)
        query(m_side ? m_side : m_connection.display(), now);
    if (!down())
        return false;
    // The side connection may not yet see the release of a key we typed ourselves; asked
    // after everything we sent, the typing connection's answer is the last word.
    query(m_connection.display(), now);
    return down();
}

} // namespace quorvel::x11
