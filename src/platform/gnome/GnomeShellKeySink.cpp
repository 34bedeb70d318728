// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gnome/GnomeShellKeySink.h"

#include "common/Error.h"
#include "common/Text.h"
#include "platform/gnome/GnomeShell.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <systemd/sd-bus.h>
#include <thread>

namespace quorvel::gnome {

namespace {

// Keys of one call: a shell that stops to handle a call of many keys lets nothing else run.
constexpr std::size_t kBatch = 64;
// Key events between two looks at the programs' queues: the calls in flight and this many
// keys fill about a twentieth of a queue.
constexpr int kPaceEvery = 256;
// Calls in flight: enough to keep the shell busy while we build the next.
constexpr int kInFlight = 4;
// Marks unanswered, one every kPaceEvery key events, before typing waits: the shell holds at
// most a few hundred keys more than the programs' queues show, so that a program which stops
// reading is seen before its queue fills. Enough to keep it busy for the two frames a mark
// takes.
constexpr int kMarksAhead = 3;
constexpr auto kReplyWait = std::chrono::seconds(30);
// Bytes of text in one call: the shell commits it to the program in one Wayland message, and a
// message of more than 4,096 bytes is not sent at all.
constexpr std::size_t kTextChunk = 4000;
constexpr std::uint32_t kKeysymV = 'v';
constexpr unsigned kRightShift = 54; // evdev
// The key the shell presses for a line end in a text, and Space (evdev).
constexpr unsigned kEnterKey = 28;
constexpr unsigned kSpaceKey = 57;
// Ctrl, Shift, Alt, AltGr and Super of either side (evdev).
constexpr unsigned kModifierKeys[] = { 29, 97, 42, 54, 56, 100, 125, 126 };

void appendUtf8(std::string &out, char32_t ch)
{
    if (ch < 0x80) {
        out += char(ch);
    } else if (ch < 0x800) {
        out += char(0xC0 | (ch >> 6));
        out += char(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += char(0xE0 | (ch >> 12));
        out += char(0x80 | ((ch >> 6) & 0x3F));
        out += char(0x80 | (ch & 0x3F));
    } else {
        out += char(0xF0 | (ch >> 18));
        out += char(0x80 | ((ch >> 12) & 0x3F));
        out += char(0x80 | ((ch >> 6) & 0x3F));
        out += char(0x80 | (ch & 0x3F));
    }
}

bool isScalarValue(char32_t ch)
{
    return ch != 0 && ch <= 0x10FFFF && (ch < 0xD800 || ch > 0xDFFF);
}

// The modifier bits of the seat's state (Shift, Control, Mod1) a virtual key's press shows.
unsigned modifierMaskOf(KeyCode key)
{
    switch (key) {
    case vk::Shift:
    case 0xA0:
    case 0xA1:
        return 1;
    case vk::Control:
    case 0xA2:
    case 0xA3:
        return 4;
    case vk::Menu:
    case 0xA4:
    case 0xA5:
        return 8;
    default:
        return 0;
    }
}

// Shift held around a character of no key types its capital, as on a key of its own.
char32_t shifted(char32_t ch)
{
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    return utf8 ? char32_t(towupper_l(wint_t(ch), utf8)) : ch;
}

} // namespace

GnomeShellKeySink::GnomeShellKeySink(dbus::Bus bus)
    : m_bus(std::move(bus))
{
    const std::uint32_t version = interfaceVersion(m_bus).value_or(0);
    m_marks = version >= kDeliveredVersion;
    m_linesInText = version >= kLinesVersion;
    m_layoutChanged = m_bus.matchSignal(std::string("type='signal',sender='") + kShellName
            + "',interface='" + kShellInterface + "',member='LayoutChanged'",
        [this](sd_bus_message *) { m_layoutStale = true; });
    loadLayout();
}

GnomeShellKeySink::~GnomeShellKeySink()
{
    try {
        releaseAll();
    } catch (const Error &) {
        // The shell is gone, and our keys with it.
    }
}

void GnomeShellKeySink::loadLayout()
{
    m_layout.emplace(shellLayout(m_bus));
    m_vKey = m_layout->keysym(kKeysymV).value_or(47);
    m_identityOf.clear();
    m_layoutStale = false;
}

CharacterRoute GnomeShellKeySink::routeOf(char32_t ch)
{
    if (keyScan(ch).valid())
        return CharacterRoute::Key;
    return isScalarValue(ch) ? CharacterRoute::Pasted : CharacterRoute::None;
}

KeyScan GnomeShellKeySink::keyScan(char32_t ch)
{
    if (const KeyScan control = controlKeyScan(ch); control.valid())
        return control;
    if (m_layoutStale && m_keys.empty() && m_text.empty())
        loadLayout();
    if (const auto it = m_identityOf.find(ch); it != m_identityOf.end())
        return { it->second, 0 };
    const auto stroke = m_layout->character(ch);
    if (!stroke)
        return {};
    const KeyCode identity = CharacterKey + KeyCode(m_strokes.size());
    m_strokes.push_back(*stroke);
    m_identityOf.emplace(ch, identity);
    return { identity, 0 };
}

std::optional<unsigned> GnomeShellKeySink::evdevOf(KeyCode key)
{
    const std::uint32_t keysym = keysymOfVirtualKey(key);
    return keysym ? m_layout->keysym(keysym) : std::nullopt;
}

unsigned GnomeShellKeySink::scanCode(KeyCode key)
{
    return evdevOf(key).value_or(0);
}

void GnomeShellKeySink::keyEvent(KeyCode key, unsigned, bool, bool release)
{
    if (release) {
        const auto it = m_pressed.find(key);
        if (it == m_pressed.end())
            return;
        for (auto k = it->second.rbegin(); k != it->second.rend(); ++k)
            press(*k, false);
        m_pressed.erase(it);
        return;
    }
    std::vector<unsigned> keys;
    if (key >= CharacterKey && std::size_t(key - CharacterKey) < m_strokes.size()) {
        const xkb::KeyStroke &stroke = m_strokes[std::size_t(key - CharacterKey)];
        keys = stroke.modifiers;
        keys.push_back(stroke.key);
    } else if (const auto evdev = evdevOf(key)) {
        keys.push_back(*evdev);
    } else {
        return; // the layout has no such key
    }
    // A second press of a key still held releases the first, as a key cannot be down twice.
    if (m_pressed.count(key))
        keyEvent(key, 0, false, true);
    for (unsigned k : keys)
        press(k, true);
    m_pressed.emplace(key, std::move(keys));
}

void GnomeShellKeySink::press(unsigned evdev, bool down)
{
    // Lines and words of text go to the shell as one text: one call, and where the program
    // takes it, one commit instead of a wait for the keys between to be drawn before each.
    if (const char joined = joinedCharacter(evdev)) {
        if (down && !m_text.empty() && m_down.empty() && !m_heldKey) {
            m_heldKey = evdev;
            return;
        }
        if (!down && m_heldKey == evdev) {
            m_heldKey = 0;
            m_text += joined;
            return;
        }
    }
    pressHeldKey();
    // The text before goes first, with the keys held for it.
    if (!m_text.empty())
        sendText();
    int &count = m_down[evdev];
    if (down ? count++ > 0 : --count > 0)
        return;
    if (count <= 0)
        m_down.erase(evdev);
    m_keys.emplace_back(evdev, down);
    if (m_keys.size() >= kBatch)
        sendKeys();
    if (++m_unpaced >= kPaceEvery)
        pace();
}

void GnomeShellKeySink::pace()
{
    m_unpaced = 0;
    if (m_marks)
        mark();
    if (!m_mustWait || !m_mustWait())
        return;
    sendKeys();
    waitForReplies(0);
    while (m_mustWait())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void GnomeShellKeySink::mark()
{
    sendKeys();
    ++*m_marksOpen;
    m_bus.callAsyncDetached(
        m_bus.methodCall(kShellName, kShellPath, kShellInterface, "Delivered"),
        [open = m_marksOpen](sd_bus_message *) { --*open; }, kReplyWait);
    waitFor([this] { return *m_marksOpen <= kMarksAhead; });
}

// The character a key types as part of a text around it; none for a key that stays a key.
char GnomeShellKeySink::joinedCharacter(unsigned evdev) const
{
    if (evdev == kSpaceKey)
        return ' ';
    return evdev == kEnterKey && m_linesInText ? '\n' : 0;
}

// Something other than its release came after a key held back: it was a key after all.
void GnomeShellKeySink::pressHeldKey()
{
    const unsigned key = std::exchange(m_heldKey, 0);
    if (!key)
        return;
    sendText();
    m_down[key] = 1;
    m_keys.emplace_back(key, true);
}

void GnomeShellKeySink::typeCharacter(char32_t ch)
{
    if (!isScalarValue(ch))
        throw Error("Cannot type the character U+" + std::to_string(unsigned(ch)));
    pressHeldKey();
    if (!m_keys.empty())
        sendKeys();
    // Lines joined into one text go out as they fill a call, not all at the end.
    if (m_text.size() >= kTextChunk)
        sendText();
    const bool shift = m_down.count(xkb::LayoutKeys::LeftShift) || m_down.count(kRightShift);
    appendUtf8(m_text, shift ? shifted(ch) : ch);
}

void GnomeShellKeySink::sendKeys()
{
    if (m_keys.empty())
        return;
    auto call = keysCall(m_bus, m_keys);
    m_keys.clear();
    send(std::move(call), false);
}

void GnomeShellKeySink::sendText()
{
    // Modifiers of ours stay off while the text goes: the shell may paste it with Ctrl+V,
    // which Shift would turn into another command. The text has its capitals already.
    std::vector<unsigned> held;
    for (unsigned key : kModifierKeys)
        if (m_down.count(key))
            held.push_back(key);
    for (unsigned key : held)
        m_keys.emplace_back(key, false);
    sendKeys();
    for (std::string_view rest = m_text; !rest.empty();) {
        const std::string piece(rest.substr(0, text::wholeUtf8Length(rest.substr(0, kTextChunk))));
        auto call = m_bus.methodCall(kShellName, kShellPath, kShellInterface, "Text");
        dbus::check(
            sd_bus_message_append(call.get(), "su", piece.c_str(), m_vKey), "Cannot build a call");
        send(std::move(call), true);
        rest.remove_prefix(piece.size());
    }
    m_text.clear();
    for (unsigned key : held)
        m_keys.emplace_back(key, true);
}

void GnomeShellKeySink::send(dbus::Message call, bool text)
{
    waitForReplies(kInFlight - 1);
    ++m_inFlight;
    m_bus.callAsyncDetached(
        call,
        [this, text](sd_bus_message *reply) {
            --m_inFlight;
            if (sd_bus_message_is_method_error(reply, nullptr)) {
                if (m_failure.empty()) {
                    const sd_bus_error *error = sd_bus_message_get_error(reply);
                    m_failure = error && error->message ? error->message : "refused";
                }
                return;
            }
            const char *route = nullptr;
            if (text && sd_bus_message_read(reply, "s", &route) > 0)
                ++(std::strcmp(route, "commit") == 0 ? m_committed : m_pasted);
        },
        kReplyWait);
}

void GnomeShellKeySink::waitForReplies(int atMost)
{
    if (m_inFlight <= atMost)
        return;
    waitFor([this, atMost] { return m_inFlight <= atMost; });
}

void GnomeShellKeySink::waitFor(const std::function<bool()> &done)
{
    if (!m_bus.waitUntil(done, kReplyWait))
        throw Error("GNOME Shell did not take the keys in time");
}

void GnomeShellKeySink::flush()
{
    pressHeldKey();
    sendKeys();
    if (!m_text.empty())
        sendText();
    waitForReplies(0);
    if (!m_failure.empty())
        throw Error("GNOME Shell refused the keys: " + std::exchange(m_failure, {}));
}

void GnomeShellKeySink::deliverSoFar()
{
    pressHeldKey();
    sendKeys();
    m_bus.flush();
    if (!m_failure.empty())
        throw Error("GNOME Shell refused the keys: " + std::exchange(m_failure, {}));
}

void GnomeShellKeySink::releaseAll()
{
    m_heldKey = 0; // never sent
    m_pressed.clear();
    std::vector<unsigned> held;
    for (const auto &[key, count] : m_down)
        held.push_back(key);
    m_down.clear();
    if (!m_text.empty())
        sendText();
    for (unsigned key : held)
        m_keys.emplace_back(key, false);
    flush();
}

bool GnomeShellKeySink::isKeyDown(KeyCode key)
{
    const unsigned mask = modifierMaskOf(key);
    if (mask == 0)
        return false;
    // Ours would show too: a modifier we hold says nothing of the user's.
    if (const auto evdev = evdevOf(key); evdev && m_down.count(*evdev))
        return false;
    auto call = m_bus.methodCall(kShellName, kShellPath, kShellInterface, "Modifiers");
    flush();
    const auto reply = m_bus.call(call, std::chrono::seconds(5));
    std::uint32_t state = 0;
    dbus::check(sd_bus_message_read(reply.get(), "u", &state), "GNOME Shell sent a bad answer");
    return (state & mask) != 0;
}

} // namespace quorvel::gnome
