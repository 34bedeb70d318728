// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeKeySink.h"

#include "common/Text.h"
#include "playback/UsKeyboardLayout.h"

#include <cstdio>

namespace quorvel::testing {

namespace {
std::string keyName(KeyCode key)
{
    switch (key) {
    case vk::Back:
        return "{BKSP}";
    case vk::Tab:
        return "{TAB}";
    case vk::Return:
        return "{ENTER}";
    case vk::Escape:
        return "{ESC}";
    case vk::Space:
        return "{SPACE}";
    case vk::Prior:
        return "{PGUP}";
    case vk::Next:
        return "{PGDN}";
    case vk::End:
        return "{END}";
    case vk::Home:
        return "{HOME}";
    case vk::Left:
        return "{LEFT}";
    case vk::Up:
        return "{UP}";
    case vk::Right:
        return "{RIGHT}";
    case vk::Down:
        return "{DOWN}";
    case vk::Snapshot:
        return "{PRTSC}";
    case vk::Insert:
        return "{INSERT}";
    case vk::Delete:
        return "{DELETE}";
    case vk::Shift:
        return "{SHIFT}";
    case vk::Control:
        return "{CTRL}";
    case vk::Menu:
        return "{ALT}";
    default:
        break;
    }
    if (key >= vk::F1 && key <= vk::F24)
        return "{F" + std::to_string(key - vk::F1 + 1) + "}";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "{%02X}", static_cast<unsigned>(key));
    return buffer;
}

// The printable character a key types with or without Shift, 0 when none.
char32_t usCharacter(KeyCode key, bool shift)
{
    for (char32_t c = 0x21; c < 0x7F; ++c) {
        const KeyScan s = usKeyScan(c);
        if (s.key == key && s.shiftState == (shift ? 1 : 0))
            return c;
    }
    return 0;
}
} // namespace

KeyScan FakeKeySink::keyScan(char32_t ch)
{
    const auto it = layoutOverrides.find(ch);
    if (it != layoutOverrides.end())
        return it->second;
    return usKeyScan(ch);
}

unsigned FakeKeySink::scanCode(KeyCode key)
{
    const auto it = scanCodes.find(key);
    return it == scanCodes.end() ? 0 : it->second;
}

void FakeKeySink::keyEvent(KeyCode key, unsigned scan, bool extended, bool release)
{
    if (!release && heldByUser && heldByUser->count(key))
        return;
    events.push_back(RecordedKeyEvent { key, scan, extended, release, false, 0 });
}

void FakeKeySink::typeCharacter(char32_t ch)
{
    RecordedKeyEvent e;
    e.isCharacter = true;
    e.ch = ch;
    events.push_back(e);
}

std::vector<std::string> FakeKeySink::lines() const
{
    std::vector<std::string> out;
    char buffer[32];
    for (const auto &e : events) {
        if (e.isCharacter)
            std::snprintf(buffer, sizeof buffer, "char U+%04X", static_cast<unsigned>(e.ch));
        else
            std::snprintf(buffer, sizeof buffer, "%s %02X", e.release ? "up" : "down",
                static_cast<unsigned>(e.key));
        out.emplace_back(buffer);
    }
    return out;
}

std::string FakeKeySink::trace() const
{
    std::string out;
    for (const auto &line : lines()) {
        if (!out.empty())
            out += ", ";
        out += line;
    }
    return out;
}

std::string FakeKeySink::typed() const
{
    int shift = 0, ctrl = 0, alt = 0;
    std::string out;
    auto prefix = [&] {
        if (ctrl > 0)
            out += '^';
        if (alt > 0)
            out += '@';
    };
    for (const auto &e : events) {
        if (e.isCharacter) {
            prefix();
            text::appendUtf8(out, e.ch);
            continue;
        }
        int *modifier = e.key == vk::Shift ? &shift
            : e.key == vk::Control         ? &ctrl
            : e.key == vk::Menu            ? &alt
                                           : nullptr;
        if (modifier) {
            *modifier += e.release ? -1 : 1;
            continue;
        }
        if (e.release)
            continue;
        prefix();
        const char32_t c = e.key == vk::Space ? U' ' : usCharacter(e.key, shift > 0);
        if (c != 0) {
            text::appendUtf8(out, c);
        } else {
            if (shift > 0)
                out += '~';
            out += keyName(e.key);
        }
    }
    return out;
}

void FakeKeySink::clear()
{
    events.clear();
    expected.clear();
    flushes = 0;
    eventsAtLastFlush = 0;
    releaseAllCalls = 0;
}

} // namespace quorvel::testing
