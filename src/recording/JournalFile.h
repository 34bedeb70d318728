// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recorded input files.
//
// Plain text, one item per line, each ended by LF (a CR before the LF is ignored):
//
//   QUORVEL-JOURNAL          magic line
//   version 1
//   keys-only 0|1            whether the mouse was left out when recording
//   <delay> <event>          one line per event, in order
//   end <count>              the number of event lines; without it the file is truncated
//
// <delay> is the time in milliseconds since the previous event (for the first event, since
// the recording started): decimal, 0 to 2147483647. <event> is one of
//   K+ <keycode> <keysym>    key pressed (keycode 8 to 255, keysym hexadecimal with 0x, 0x0 none)
//   K- <keycode> <keysym>    key released
//   B+ <button> <x> <y>      button pressed at an absolute screen position (button 1 to 255,
//   B- <button> <x> <y>      button released    4 to 7 being the wheel)
//   M <x> <y>                pointer moved to an absolute screen position
// Coordinates are -32768 to 32767. Fields are separated by blanks.
//
// A file is taken whole or not at all: any fault (missing, unreadable, too large, wrong
// magic, later version, a malformed line, a count that does not match) rejects all of it.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class JournalEventType : std::uint8_t {
    KeyPress,
    KeyRelease,
    ButtonPress,
    ButtonRelease,
    Motion
};

struct JournalEvent
{
    std::uint32_t delayMs = 0;
    JournalEventType type = JournalEventType::KeyPress;
    std::uint8_t code = 0; // keycode or button
    std::uint32_t keysym = 0; // the key's unshifted symbol when recorded; 0 if none
    std::int16_t x = 0;
    std::int16_t y = 0;

    bool isKey() const
    {
        return type == JournalEventType::KeyPress || type == JournalEventType::KeyRelease;
    }
    bool isButton() const
    {
        return type == JournalEventType::ButtonPress || type == JournalEventType::ButtonRelease;
    }
    bool isPress() const
    {
        return type == JournalEventType::KeyPress || type == JournalEventType::ButtonPress;
    }
    bool operator==(const JournalEvent &) const = default;
};

struct JournalRecording
{
    bool keysOnly = false;
    std::vector<JournalEvent> events;
    bool operator==(const JournalRecording &) const = default;
};

struct JournalParseResult
{
    std::optional<JournalRecording> recording;
    std::string error; // why there is no recording
};

constexpr std::uint32_t kMaxJournalDelayMs = 0x7fffffff;
constexpr std::size_t kMaxJournalFileBytes = std::size_t { 64 } * 1024 * 1024;

std::string formatJournal(const JournalRecording &recording);
JournalParseResult parseJournal(std::string_view text);

// Reads and parses a file; never throws.
JournalParseResult loadJournal(const std::string &path);

// Writes the whole file as writeDataFile does (private, in one step, its folder made when
// missing), so the name holds either the earlier content or the complete new one.
// Throws quorvel::Error when it cannot.
void saveJournal(const std::string &path, const JournalRecording &recording);

// Appends a release for every key and button still down: keys with their symbols, buttons
// at the pointer's position.
void appendReleases(const std::bitset<256> &keysDown, const std::array<std::uint32_t, 256> &keysyms,
    const std::bitset<256> &buttonsDown, std::int16_t x, std::int16_t y,
    std::vector<JournalEvent> &out);

} // namespace quorvel
