// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/SendKey.h"

#include "common/Error.h"
#include "common/Text.h"

#include <chrono>
#include <dlfcn.h>

namespace quorvel {

namespace {

constexpr KeyNameRow kKeyNames[] = {
    { "CTRL", vk::Control },
    { "ALT", vk::Menu },
    { "MENU", vk::Menu },
    { "SHIFT", vk::Shift },
    { "SPACE", vk::Space },
    { "F1", 0x70 },
    { "F2", 0x71 },
    { "F3", 0x72 },
    { "F4", 0x73 },
    { "F5", 0x74 },
    { "F6", 0x75 },
    { "F7", 0x76 },
    { "F8", 0x77 },
    { "F9", 0x78 },
    { "F10", 0x79 },
    { "F11", 0x7A },
    { "F12", 0x7B },
    { "INSERT", vk::Insert },
    { "DELETE", vk::Delete },
    { "DEL", vk::Delete },
    { "HOME", vk::Home },
    { "END", vk::End },
    { "PGUP", vk::Prior },
    { "PGDN", vk::Next },
    { "TAB", vk::Tab },
    { "ENTER", vk::Return },
    { "BKSP", vk::Back },
    { "PRTSC", vk::Snapshot },
    { "SHIFT", vk::Shift },
    { "ESCAPE", vk::Escape },
    { "ESC", vk::Escape },
    { "UP", vk::Up },
    { "DOWN", vk::Down },
    { "LEFT", vk::Left },
    { "RIGHT", vk::Right },
    { "DN", vk::Down },
    { "L", vk::Left },
    { "R", vk::Right },
};
static_assert(std::size(kKeyNames) == 38);

constexpr std::size_t kMaxKeyName = 7;

void *systemOpen(const char *name)
{
    // Every string asks for the sender again, and a failed lookup costs more than typing the
    // string; a library found missing is looked for again only a second later.
    using Clock = std::chrono::steady_clock;
    thread_local std::string missing;
    thread_local Clock::time_point missingSince;
    const auto now = Clock::now();
    if (missing == name && now - missingSince < std::chrono::seconds(1))
        return nullptr;
    void *library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library) {
        missing.clear();
    } else {
        missing = name;
        missingSince = now;
    }
    return library;
}
void *systemSymbol(void *library, const char *name)
{
    return dlsym(library, name);
}
void systemClose(void *library)
{
    dlclose(library);
}

const KeyNameRow *lookUpKeyName(std::u32string_view name)
{
    for (const auto &row : kKeyNames) {
        if (row.name.size() != name.size())
            continue;
        bool equal = true;
        for (std::size_t i = 0; i < name.size() && equal; ++i)
            equal = text::upperAscii(name[i]) == static_cast<char32_t>(row.name[i]);
        if (equal)
            return &row;
    }
    return nullptr;
}

bool contains(std::u32string_view haystack, std::u32string_view needle)
{
    return haystack.find(needle) != std::u32string_view::npos;
}

// The external entry takes at most 255 bytes; cut at a character boundary.
std::string libraryBytes(std::u32string_view s)
{
    std::string out;
    for (char32_t c : s) {
        std::string one;
        text::appendUtf8(one, c);
        if (out.size() + one.size() > TSendKey::MaxChars)
            break;
        out += one;
    }
    return out;
}

} // namespace

SenderLibraryApi SenderLibraryApi::system()
{
    return SenderLibraryApi { &systemOpen, &systemSymbol, &systemClose };
}

const KeyNameRow *keyNameTable(std::size_t &count)
{
    count = std::size(kKeyNames);
    return kKeyNames;
}

TSendKey::TSendKey(KeySink &sink, EventPump &pump, KeyboardState *keyboard)
    : m_sink(sink)
    , m_pump(pump)
    , m_keyboard(keyboard)
{
}

TSendKey::~TSendKey()
{
    if (m_library && m_api.close)
        m_api.close(m_library);
}

unsigned TSendKey::pendingModifiers() const
{
    return (m_alt ? 1u : 0u) | (m_ctrl ? 2u : 0u) | (m_shift ? 4u : 0u) | (m_ctrlAlt ? 8u : 0u);
}

int TSendKey::SendString(std::string_view utf8)
{
    const std::u32string s = text::decode(utf8);
    return SendString(std::u32string_view(s));
}

int TSendKey::SendString(std::u32string_view s)
{
    return send(s, false);
}

int TSendKey::sendStringDeferred(std::u32string_view s)
{
    return send(s, true);
}

void TSendKey::deliverPending()
{
    if (m_undelivered > 0)
        deliver(false);
}

void TSendKey::deliver(bool midText)
{
    m_undelivered = 0;
    if (midText)
        m_sink.deliverSoFar();
    else
        m_sink.flush();
    m_pump.processMessages();
}

int TSendKey::send(std::u32string_view s, bool deferDelivery)
{
    s = s.substr(0, MaxChars);
    if (m_useDll) {
        int result = 0;
        if (trySendThroughLibrary(s, result))
            return result;
    }
    if (s.empty())
        return -1;
    try {
        parseAndSend(s);
    } catch (...) {
        // What was sent before the fault is delivered; the pump does not run.
        m_undelivered = 0;
        m_sink.flush();
        throw;
    }
    if (deferDelivery && ++m_undelivered < DeliveryBatch)
        return 0;
    deliver(deferDelivery);
    return 0;
}

bool TSendKey::trySendThroughLibrary(std::u32string_view s, int &result)
{
    if (!m_entry && m_api.open) {
        void *library = m_api.open(m_libraryName.c_str());
        if (library) {
            void *entry = m_api.symbol ? m_api.symbol(library, EntryName) : nullptr;
            if (entry) {
                if (m_library && m_api.close)
                    m_api.close(m_library);
                m_library = library;
                m_entry = reinterpret_cast<SenderEntry>(entry);
            } else if (m_api.close) {
                // A library without the entry is no sender: fall back and try again next time.
                m_api.close(library);
            }
        }
    }
    if (!m_entry)
        return false;
    const std::string bytes = libraryBytes(s);
    std::basic_string<unsigned char> buffer;
    buffer.push_back(static_cast<unsigned char>(bytes.size()));
    buffer.append(bytes.begin(), bytes.end());
    result = m_entry(buffer.c_str());
    return true;
}

void TSendKey::parseAndSend(std::u32string_view s)
{
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t c = s[i];
        switch (c) {
        case U'{': {
            if (n == 1) {
                typeCharacter(c);
                break;
            }
            std::size_t j = i + 1;
            for (;;) {
                if (j >= n)
                    throw Error("No Closing brackets");
                if (s[j] == U'}')
                    break;
                ++j;
                if (j - (i + 1) >= kMaxKeyName && (j >= n || s[j] != U'}'))
                    throw Error("No Closing brackets");
            }
            const std::u32string_view name = s.substr(i + 1, j - (i + 1));
            i = j;
            const KeyNameRow *row = lookUpKeyName(name);
            if (!row)
                throw Error("Invalid token");
            // The modifier tests see the name as written: "{alt}" taps the Alt key.
            if (contains(name, U"ALT"))
                m_alt = true;
            else if (contains(name, U"CTRL"))
                m_ctrl = true;
            else if (contains(name, U"SHIFT"))
                m_shift = true;
            else
                PressKey(row->key, 0);
            break;
        }
        case U'}':
            if (n != 1)
                throw Error("Invalid token");
            typeCharacter(c);
            break;
        case U'@':
            if (m_tokensOnly)
                typeCharacter(c);
            else
                m_alt = true;
            break;
        case U'^':
            if (m_tokensOnly)
                typeCharacter(c);
            else
                m_ctrl = true;
            break;
        case U'~':
            if (m_tokensOnly)
                typeCharacter(c);
            else
                m_shift = true;
            break;
        default:
            typeCharacter(c);
            break;
        }
    }
}

void TSendKey::typeCharacter(char32_t ch)
{
    const KeyScan scan = m_sink.keyScan(ch);
    if (scan.valid())
        pressKey(scan.key, scan.shiftState, ch);
    else
        // No key of the layout types it: the sink types it, wrapped in the pending modifiers.
        pressKey(-1, 0, ch);
}

void TSendKey::PressKey(KeyCode key, int shiftState)
{
    pressKey(key, shiftState, 0);
}

void TSendKey::pressKey(KeyCode key, int shiftState, char32_t unmapped)
{
    // Before anything of this key goes out, so the wait cannot split a key from its
    // modifiers. Modifiers are left to the sink, which knows what is really down.
    if (m_keyboard && key >= 0 && m_keyboard->isKeyDown(key))
        waitUntilReleased(key);
    switch (shiftState) {
    case 2:
        m_ctrl = true;
        break;
    case 3:
        m_ctrl = true;
        m_shift = true;
        break;
    case 6:
        m_ctrlAlt = true;
        break;
    case 7:
        m_ctrlAlt = true;
        m_shift = true;
        break;
    default:
        break;
    }
    if (m_alt)
        KeyEvent(vk::Menu, false);
    if (m_ctrl)
        KeyEvent(vk::Control, false);
    if (m_shift)
        KeyEvent(vk::Shift, false);
    if (m_ctrlAlt) {
        KeyEvent(vk::Control, false);
        KeyEvent(vk::Menu, false);
    }
    const bool extraShift = ((shiftState & 1) && !m_ctrl) || m_shift;
    if (extraShift)
        KeyEvent(vk::Shift, false);
    if (key >= 0) {
        KeyEvent(key, false);
        KeyEvent(key, true);
    } else {
        m_sink.typeCharacter(unmapped);
    }
    if (extraShift)
        KeyEvent(vk::Shift, true);
    if (m_shift) {
        KeyEvent(vk::Shift, true);
        m_shift = false;
    }
    if (m_ctrl) {
        KeyEvent(vk::Control, true);
        m_ctrl = false;
    }
    if (m_alt) {
        KeyEvent(vk::Menu, true);
        m_alt = false;
    }
    if (m_ctrlAlt) {
        KeyEvent(vk::Control, true);
        KeyEvent(vk::Menu, true);
        m_ctrlAlt = false;
    }
}

void TSendKey::waitUntilReleased(KeyCode key)
{
    // What this string sent so far goes out first; the wait may be long for a typist.
    m_sink.flush();
    constexpr int pollMs = 10;
    for (int waited = 0; waited < HeldKeyWaitMs; waited += pollMs) {
        m_pump.processMessages();
        if (!m_keyboard->isKeyDown(key))
            return;
        m_pump.sleep(pollMs);
    }
}

void TSendKey::KeyEvent(KeyCode key, bool release)
{
    const unsigned scan = m_sink.scanCode(key);
    m_sink.keyEvent(key, scan & 0xFF, (scan & 0xE0) != 0, release);
}

} // namespace quorvel
