// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/ReplayScheduler.h"

namespace quorvel {

ReplayScheduler::ReplayScheduler(std::vector<JournalEvent> events, bool highSpeed)
    : m_events(std::move(events))
    , m_highSpeed(highSpeed)
{
}

void ReplayScheduler::start(std::int64_t nowUs)
{
    m_next = 0;
    m_nextDueUs = nowUs;
    if (!m_highSpeed && !m_events.empty())
        m_nextDueUs += std::int64_t(m_events.front().delayMs) * 1000;
}

std::size_t ReplayScheduler::takeDue(
    std::int64_t nowUs, std::size_t max, std::vector<JournalEvent> &out)
{
    std::size_t handed = 0;
    while (handed < max && m_next < m_events.size()) {
        if (!m_highSpeed) {
            if (m_nextDueUs > nowUs)
                break;
            if (nowUs - m_nextDueUs > kSlipUs)
                m_nextDueUs = nowUs;
        }
        JournalEvent e = m_events[m_next++];
        if (!m_highSpeed && m_next < m_events.size())
            m_nextDueUs += std::int64_t(m_events[m_next].delayMs) * 1000;

        const std::size_t code = e.code;
        switch (e.type) {
        case JournalEventType::KeyPress:
            if (m_keysHeld[code] && !m_highSpeed)
                continue;
            m_keysHeld.set(code);
            m_heldKeysym[code] = e.keysym;
            break;
        case JournalEventType::KeyRelease:
            if (!m_keysHeld[code])
                continue;
            m_keysHeld.reset(code);
            e.keysym = m_heldKeysym[code]; // release the key exactly as it was pressed
            break;
        case JournalEventType::ButtonPress:
        case JournalEventType::ButtonRelease: {
            const bool press = e.type == JournalEventType::ButtonPress;
            if (m_buttonsHeld[code] == press)
                continue;
            m_buttonsHeld.set(code, press);
            if (!m_pointerKnown || m_pointerX != e.x || m_pointerY != e.y) {
                JournalEvent move;
                move.type = JournalEventType::Motion;
                move.x = e.x;
                move.y = e.y;
                out.push_back(move);
                ++handed;
            }
            m_pointerKnown = true;
            m_pointerX = e.x;
            m_pointerY = e.y;
            break;
        }
        case JournalEventType::Motion:
            m_pointerKnown = true;
            m_pointerX = e.x;
            m_pointerY = e.y;
            break;
        }
        out.push_back(e);
        ++handed;
    }
    return handed;
}

std::vector<JournalEvent> ReplayScheduler::takeBatch(std::int64_t nowUs)
{
    constexpr std::size_t highSpeedBatch = 64, recordedSpeedBatch = 256;
    std::vector<JournalEvent> out;
    takeDue(nowUs, m_highSpeed ? highSpeedBatch : recordedSpeedBatch, out);
    return out;
}

std::vector<JournalEvent> ReplayScheduler::releaseHeld()
{
    std::vector<JournalEvent> out;
    appendReleases(m_keysHeld, m_heldKeysym, m_buttonsHeld, m_pointerX, m_pointerY, out);
    m_keysHeld.reset();
    m_buttonsHeld.reset();
    return out;
}

} // namespace quorvel
