// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventPump.h"
#include "platform/KeySink.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// The optional external sender: a shared library whose entry takes a length-prefixed
// string (length byte first, then up to 255 bytes of UTF-8) and returns a 32-bit result.
using SenderEntry = std::int32_t (*)(const unsigned char *lengthPrefixed);

// dlopen's role, replaceable so the loading rules can be exercised without a real library.
struct SenderLibraryApi
{
    void *(*open)(const char *name) = nullptr;
    void *(*symbol)(void *library, const char *name) = nullptr;
    void (*close)(void *library) = nullptr;

    static SenderLibraryApi system(); // dlopen, dlsym, dlclose
};

// Turns keystroke strings into key events: "^" Ctrl, "@" Alt, "~" Shift, "{NAME}" named keys.
// A modifier not yet followed by a key stays pending for the next key of a later call. The
// runner owns the one sender of real runs; a dry run or a tool has its own.
class TSendKey
{
public:
    static constexpr std::string_view DefaultLibraryName = "libfw32sndkey.so";
    static constexpr const char *EntryName = "fw32sndkey_entry1";
    static constexpr std::size_t MaxChars = 255;

    // How long a key the user holds may delay its press; then it is pressed all the same.
    static constexpr int HeldKeyWaitMs = 2000;

    // With a keyboard, a key the user still holds is waited for before it is pressed: the
    // server ignores a synthetic press of a key that is down, and the key would be lost.
    TSendKey(KeySink &sink, EventPump &pump, KeyboardState *keyboard = nullptr);
    ~TSendKey();
    TSendKey(const TSendKey &) = delete;
    TSendKey &operator=(const TSendKey &) = delete;

    void setUseDll(bool on) { m_useDll = on; }
    void setLibraryName(std::string name) { m_libraryName = std::move(name); }
    void setLibraryApi(const SenderLibraryApi &api) { m_api = api; }

    bool TokensOnly() const { return m_tokensOnly; }
    void setTokensOnly(bool on) { m_tokensOnly = on; }

    // 0 when a non-empty string was sent, -1 for an empty one, else the library's result.
    // Only the first 255 characters are taken. Throws Error("Invalid token") and
    // Error("No Closing brackets"); what was sent before the fault stays sent.
    int SendString(std::u32string_view s);
    int SendString(std::string_view utf8);

    // For text typed one character per string: what each string sends is delivered (the sink
    // flushed, the pump run) only every DeliveryBatch strings, since doing it per character
    // would bound the typing pace. deliverPending() must end such a run before anything waits.
    static constexpr int DeliveryBatch = 32;
    int sendStringDeferred(std::u32string_view s);
    void deliverPending();

    // Pending modifiers as a bit set (Alt 1, Ctrl 2, Shift 4, CtrlAlt 8), for tests and traces.
    unsigned pendingModifiers() const;

    // PressKey(w): w's low byte is the key, its high byte the shift state.
    void PressKey(KeyCode key, int shiftState);

private:
    void parseAndSend(std::u32string_view s);
    void typeCharacter(char32_t ch);
    // key -1: no key types the character; the sink types it.
    void pressKey(KeyCode key, int shiftState, char32_t unmapped);
    void KeyEvent(KeyCode key, bool release);
    // key is down now: pumps until it is up, for HeldKeyWaitMs at most.
    void waitUntilReleased(KeyCode key);
    bool trySendThroughLibrary(std::u32string_view s, int &result);
    int send(std::u32string_view s, bool deferDelivery);
    void deliver(bool midText);

    KeySink &m_sink;
    EventPump &m_pump;
    KeyboardState *m_keyboard;
    bool m_useDll = false;
    std::string m_libraryName { DefaultLibraryName };
    SenderLibraryApi m_api = SenderLibraryApi::system();
    void *m_library = nullptr;
    SenderEntry m_entry = nullptr;
    int m_undelivered = 0;
    bool m_tokensOnly = false;
    bool m_alt = false;
    bool m_ctrl = false;
    bool m_shift = false;
    bool m_ctrlAlt = false;
};

// One row of the key-name table; the first matching row wins.
struct KeyNameRow
{
    std::string_view name;
    KeyCode key;
};
// The 38 rows in their search order.
const KeyNameRow *keyNameTable(std::size_t &count);

} // namespace quorvel
