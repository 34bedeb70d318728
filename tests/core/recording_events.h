// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/JournalFile.h"

#include <string>
#include <vector>

namespace quorvel::testing {

// Compact text of events for comparisons: "K+38 K-38 M10,20 B+1@10,20", delays left out.
inline std::string describe(const std::vector<JournalEvent> &events)
{
    std::string out;
    for (const JournalEvent &e : events) {
        if (!out.empty())
            out += ' ';
        switch (e.type) {
        case JournalEventType::KeyPress:
            out += "K+" + std::to_string(e.code);
            break;
        case JournalEventType::KeyRelease:
            out += "K-" + std::to_string(e.code);
            break;
        case JournalEventType::ButtonPress:
        case JournalEventType::ButtonRelease:
            out += (e.type == JournalEventType::ButtonPress ? "B+" : "B-") + std::to_string(e.code)
                + "@" + std::to_string(e.x) + "," + std::to_string(e.y);
            break;
        case JournalEventType::Motion:
            out += "M" + std::to_string(e.x) + "," + std::to_string(e.y);
            break;
        }
    }
    return out;
}

inline std::vector<std::uint32_t> delays(const std::vector<JournalEvent> &events)
{
    std::vector<std::uint32_t> out;
    for (const JournalEvent &e : events)
        out.push_back(e.delayMs);
    return out;
}

inline JournalEvent key(bool press, int code, std::uint32_t delay = 0, std::uint32_t keysym = 0)
{
    JournalEvent e;
    e.type = press ? JournalEventType::KeyPress : JournalEventType::KeyRelease;
    e.code = std::uint8_t(code);
    e.delayMs = delay;
    e.keysym = keysym;
    return e;
}

inline JournalEvent button(bool press, int code, int x, int y, std::uint32_t delay = 0)
{
    JournalEvent e;
    e.type = press ? JournalEventType::ButtonPress : JournalEventType::ButtonRelease;
    e.code = std::uint8_t(code);
    e.x = std::int16_t(x);
    e.y = std::int16_t(y);
    e.delayMs = delay;
    return e;
}

inline JournalEvent motion(int x, int y, std::uint32_t delay = 0)
{
    JournalEvent e;
    e.type = JournalEventType::Motion;
    e.x = std::int16_t(x);
    e.y = std::int16_t(y);
    e.delayMs = delay;
    return e;
}

} // namespace quorvel::testing
