// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/JournalFile.h"

#include <array>
#include <bitset>
#include <cstdint>

namespace quorvel {

// What a key means to the recorder.
enum class KeyRole : std::uint8_t { Other, Control, Shift, StopKey };

// The keyboard as the recorder sees it, indexed by keycode.
struct KeyTable
{
    std::array<std::uint32_t, 256> keysyms {}; // unshifted symbol, 0 if none
    std::array<KeyRole, 256> roles {};
};

// One input event as captured from the server, with the server's 32-bit millisecond time.
struct CapturedEvent
{
    JournalEventType type = JournalEventType::KeyPress;
    std::uint8_t code = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint32_t time = 0;
};

// Turns captured events into a recording: keeps only keys when asked to, stores the gaps
// between kept events, drops releases of keys and buttons pressed before the recording
// began, cuts the stream at the stop combination (Ctrl+Shift+ the stop key) so a replay does
// not press it, and closes with a release of everything still held.
class RecordingBuilder
{
public:
    RecordingBuilder(bool keysOnly, const KeyTable &keys);

    // The server time the recording started at; the first event's delay counts from it.
    void start(std::uint32_t serverTime);
    bool started() const { return m_started; }
    void setKeyTable(const KeyTable &keys) { m_keys = keys; }

    // Returns true for the event that completes the stop combination; the recording ends
    // there and every later event is ignored.
    bool add(const CapturedEvent &event);
    bool stopped() const { return m_stopped; }

    JournalRecording finish();

private:
    void append(const CapturedEvent &event, std::uint32_t keysym);
    bool anyDown(KeyRole role) const;

    JournalRecording m_recording;
    KeyTable m_keys;
    std::bitset<256> m_keysDown;
    std::bitset<256> m_buttonsDown;
    std::uint32_t m_lastTime = 0;
    std::int16_t m_pointerX = 0;
    std::int16_t m_pointerY = 0;
    bool m_started = false;
    bool m_stopped = false;
};

} // namespace quorvel
