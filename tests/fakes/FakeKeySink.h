// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::testing {

struct RecordedKeyEvent
{
    KeyCode key = 0;
    unsigned scan = 0;
    bool extended = false;
    bool release = false;
    bool isCharacter = false; // typeCharacter: no key, ch holds the character
    char32_t ch = 0;
};

// Records every event. Types on Windows' US layout unless a character is overridden.
class FakeKeySink : public KeySink
{
public:
    std::vector<RecordedKeyEvent> events;
    std::map<char32_t, KeyScan> layoutOverrides;
    std::map<KeyCode, unsigned> scanCodes; // missing: 0
    // When set, a press of a key the user holds is lost, as the X server loses it.
    const std::set<KeyCode> *heldByUser = nullptr;
    std::vector<std::u32string> expected; // each text announced by expectText
    int flushes = 0;
    std::size_t eventsAtLastFlush = 0;
    int releaseAllCalls = 0;

    KeyScan keyScan(char32_t ch) override;
    // A desktop's routes; unset: the sink's own.
    std::function<CharacterRoute(char32_t)> routes;
    CharacterRoute routeOf(char32_t ch) override
    {
        return routes ? routes(ch) : KeySink::routeOf(ch);
    }
    unsigned scanCode(KeyCode key) override;
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;
    void expectText(std::u32string_view text) override { expected.emplace_back(text); }
    void flush() override
    {
        ++flushes;
        eventsAtLastFlush = events.size();
    }
    void releaseAll() override { ++releaseAllCalls; }

    // "down 41", "up 41", "char U+00E9": the tracing tool's lines.
    std::vector<std::string> lines() const;
    // The lines joined by ", ".
    std::string trace() const;
    // What the events type on the US layout: characters as typed; other keys as "{ENTER}",
    // "{F4}"; a key pressed under Ctrl or Alt prefixed "^" or "@" (and "~" for a named key
    // under Shift). Taps of modifier keys alone leave no trace here.
    std::string typed() const;
    void clear();
};

} // namespace quorvel::testing
