#include "platform/x11/X11KeySink.h"

#include "platform/x11/KeysymUnicode.h"
#include "platform/x11/VirtualKeys.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <thread>

namespace quorvel::x11 {

namespace {
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
// Spare keys go back to the layout once typing has paused this long.
constexpr auto kSpareIdle = std::chrono::milliseconds(1000);

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

KeyScan X11KeySink::keyScan(char32_t ch)
{
    // VkKeyScanA's answers for the control characters.
    switch (ch) {
    case U'\b':
        return { 0x08, 0 };
    case U'\t':
        return { 0x09, 0 };
    case U'\r':
        return { 0x0D, 0 };
    case U'\n':
        return { 0x0D, 2 };
    case 0x1B:
        return { 0x1B, 0 };
    case 0x7F:
        return { 0x08, 2 };
    default:
        break;
    }
    if (ch >= 1 && ch <= 26)
        return { KeyCode(0x40 + ch), 2 };
    if (ch < 0x20)
        return {};
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
        if (!keycode)
            keycode = bindSpare(keysym, keysym);
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
    KeySym lower = 0, upper = 0;
    XConvertCase(keysym, &lower, &upper);
    const bool cased = lower != upper;
    // A cased pair makes the key alphabetic, so CapsLock works on it as on any letter.
    const unsigned keycode = cased ? bindSpare(lower, upper) : bindSpare(keysym, keysym);
    if (!keycode)
        return;
    Wanted wanted = logicalWanted();
    if (cased) {
        const bool capsLocked = (m_keyboard.lockedModifiers() & LockMask) != 0;
        if ((keysym == upper) != capsLocked)
            wanted[ModShift] = true;
    }
    reconcile(wanted);
    fake(keycode, true);
    fake(keycode, false);
    releaseUnwanted();
    XFlush(m_connection.display());
    m_spareUsed[keycode] = m_lastSpareUse = Clock::now();
}

void X11KeySink::waitForTarget(unsigned spare)
{
    auto it = m_spareUsed.find(spare);
    if (it == m_spareUsed.end())
        return;
    const auto ready = it->second + m_remapPause;
    const auto now = Clock::now();
    if (ready > now) {
        XFlush(m_connection.display());
        std::this_thread::sleep_for(ready - now);
    }
}

unsigned X11KeySink::bindSpare(unsigned long lower, unsigned long upper)
{
    const std::vector<unsigned> spares = m_keyboard.spareKeys();
    if (spares.empty())
        return 0;
    unsigned chosen = 0;
    for (unsigned kc : spares) {
        if (m_keyboard.spareBinding(kc) == lower) {
            m_spareUsed[kc] = m_lastSpareUse = Clock::now();
            return kc;
        }
    }
    // A free spare, else the one used longest ago.
    for (unsigned kc : spares) {
        if (!m_keyboard.spareBinding(kc)) {
            chosen = kc;
            break;
        }
    }
    if (!chosen) {
        chosen = spares.front();
        for (unsigned kc : spares) {
            if (m_spareUsed[kc] < m_spareUsed[chosen])
                chosen = kc;
        }
        waitForTarget(chosen);
    }
    KeySym syms[2] = { KeySym(lower), KeySym(upper) };
    Display *dpy = m_connection.display();
    XChangeKeyboardMapping(dpy, int(chosen), 2, syms, 1);
    m_keyboard.setSpareBinding(chosen, lower);
    XSync(dpy, False);
    std::this_thread::sleep_for(m_remapPause);
    m_spareUsed[chosen] = m_lastSpareUse = Clock::now();
    return chosen;
}

void X11KeySink::unbindSpares()
{
    Display *dpy = m_connection.display();
    // Giving the keys back is no hurry, and a busy target may be slow to read its last ones
    // (a loaded machine took over 50 ms): a much wider margin than between two characters.
    Clock::time_point lastUse {};
    for (unsigned kc : m_keyboard.spareKeys()) {
        if (m_keyboard.spareBinding(kc))
            lastUse = std::max(lastUse, m_spareUsed[kc]);
    }
    if (lastUse == Clock::time_point {})
        return;
    const auto ready = lastUse + std::max<std::chrono::milliseconds>(m_remapPause * 20, 200ms);
    if (ready > Clock::now()) {
        XFlush(dpy);
        std::this_thread::sleep_until(ready);
    }
    bool changed = false;
    for (unsigned kc : m_keyboard.spareKeys()) {
        if (!m_keyboard.spareBinding(kc))
            continue;
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(dpy, int(kc), 1, &none, 1);
        m_keyboard.setSpareBinding(kc, 0);
        changed = true;
    }
    if (changed)
        XSync(dpy, False);
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
    for (int &c : m_logical)
        c = 0;
    for (bool &t : m_tap)
        t = false;
    for (int m : { ModShift, ModCtrl, ModAlt, ModLevel3 })
        setPhysical(m, false);
    XFlush(m_connection.display());
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
{
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
    char state[32] = {};
    XQueryKeymap(m_connection.display(), state);
    for (unsigned kc : keys) {
        if (kc < 256 && (state[kc / 8] & (1 << (kc % 8))))
            return true;
    }
    return false;
}

} // namespace quorvel::x11
