// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/RecordingBuilder.h"

#include <algorithm>

namespace quorvel {

RecordingBuilder::RecordingBuilder(bool keysOnly, const KeyTable &keys)
    : m_keys(keys)
{
    m_recording.keysOnly = keysOnly;
}

void RecordingBuilder::start(std::uint32_t serverTime)
{
    m_lastTime = serverTime;
    m_started = true;
}

bool RecordingBuilder::anyDown(KeyRole role) const
{
    for (std::size_t code = 0; code < 256; ++code)
        if (m_keysDown[code] && m_keys.roles[code] == role)
            return true;
    return false;
}

void RecordingBuilder::append(const CapturedEvent &event, std::uint32_t keysym)
{
    // The server clock is 32-bit milliseconds and wraps; a step backwards counts as no gap.
    std::uint32_t delay = event.time - m_lastTime;
    if (delay > kMaxJournalDelayMs)
        delay = 0;
    m_lastTime = event.time;
    JournalEvent out;
    out.delayMs = delay;
    out.type = event.type;
    out.code = event.code;
    out.keysym = keysym;
    out.x = event.x;
    out.y = event.y;
    m_recording.events.push_back(out);
}

bool RecordingBuilder::add(const CapturedEvent &event)
{
    if (!m_started || m_stopped)
        return false;
    const std::size_t code = event.code;
    switch (event.type) {
    case JournalEventType::KeyPress:
        if (m_keys.roles[code] == KeyRole::StopKey && anyDown(KeyRole::Control)
            && anyDown(KeyRole::Shift)) {
            m_stopped = true;
            return true;
        }
        m_keysDown.set(code);
        append(event, m_keys.keysyms[code]);
        return false;
    case JournalEventType::KeyRelease:
        if (!m_keysDown[code])
            return false;
        m_keysDown.reset(code);
        append(event, m_keys.keysyms[code]);
        return false;
    case JournalEventType::ButtonPress:
    case JournalEventType::ButtonRelease:
    case JournalEventType::Motion:
        if (m_recording.keysOnly)
            return false;
        if (event.type == JournalEventType::ButtonPress)
            m_buttonsDown.set(code);
        else if (event.type == JournalEventType::ButtonRelease) {
            if (!m_buttonsDown[code])
                return false;
            m_buttonsDown.reset(code);
        }
        m_pointerX = event.x;
        m_pointerY = event.y;
        append(event, 0);
        return false;
    }
    return false;
}

JournalRecording RecordingBuilder::finish()
{
    auto &events = m_recording.events;
    if (m_stopped) {
        // Ctrl and Shift pressed for the stop combination and not used for anything since:
        // the trailing presses of modifiers still held, with only pointer motion among them.
        std::size_t i = events.size();
        std::vector<std::size_t> drop;
        while (i > 0) {
            const JournalEvent &e = events[i - 1];
            if (e.type == JournalEventType::Motion) {
                --i;
                continue;
            }
            const KeyRole role = m_keys.roles[e.code];
            if (e.type != JournalEventType::KeyPress
                || (role != KeyRole::Control && role != KeyRole::Shift) || !m_keysDown[e.code])
                break;
            drop.push_back(i - 1);
            --i;
        }
        for (const std::size_t at : drop) {
            m_keysDown.reset(events[at].code);
            // Keep the time: the next event's gap absorbs the dropped one's.
            if (at + 1 < events.size())
                events[at + 1].delayMs = std::min<std::uint64_t>(
                    kMaxJournalDelayMs, std::uint64_t(events[at + 1].delayMs) + events[at].delayMs);
            events.erase(events.begin() + std::ptrdiff_t(at));
        }
    }
    appendReleases(m_keysDown, m_keys.keysyms, m_buttonsDown, m_pointerX, m_pointerY, events);
    m_keysDown.reset();
    m_buttonsDown.reset();
    return std::move(m_recording);
}

} // namespace quorvel
