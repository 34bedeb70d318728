// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/JournalFile.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace quorvel {

// When each event of a recording is sent, and what the replay holds down meanwhile.
//
// At recorded speed event i is due at start + the sum of the delays up to i, so small
// lateness is caught up instead of piling up; an event that falls later than kSlipUs moves
// the rest of the schedule with it, keeping the recorded gaps after a stall. At high speed
// every event is due at once, in order.
//
// What is handed out is what the server should get: a release of something the replay does
// not hold is dropped, a button event is preceded by a motion to its position when the
// pointer is not there yet, and at recorded speed a press of a key already held (a recorded
// auto-repeat) is dropped, because holding the key for the recorded time makes the server
// repeat it again. At high speed the hold time shrinks to nothing, so the recorded repeats
// are sent.
class ReplayScheduler
{
public:
    static constexpr std::int64_t kSlipUs = 50'000;

    ReplayScheduler(std::vector<JournalEvent> events, bool highSpeed);

    void start(std::int64_t nowUs);
    bool atEnd() const { return m_next >= m_events.size(); }
    bool highSpeed() const { return m_highSpeed; }
    // The monotonic time the next event is due at; meaningful while !atEnd().
    std::int64_t nextDueUs() const { return m_nextDueUs; }

    // Appends the events due at nowUs, at most max of them, to out; returns how many.
    std::size_t takeDue(std::int64_t nowUs, std::size_t max, std::vector<JournalEvent> &out);
    // The events due at nowUs, as many as go out in one batch; at high speed the sender waits
    // for each batch to be taken before the next.
    std::vector<JournalEvent> takeBatch(std::int64_t nowUs);

    // Releases for every key and button the replay holds; afterwards it holds none.
    std::vector<JournalEvent> releaseHeld();
    // No more events; what is held stays held until releaseHeld().
    void cancel() { m_next = m_events.size(); }

    std::size_t position() const { return m_next; }
    std::size_t size() const { return m_events.size(); }

private:
    std::vector<JournalEvent> m_events;
    bool m_highSpeed;
    std::size_t m_next = 0;
    std::int64_t m_nextDueUs = 0;
    std::bitset<256> m_keysHeld;
    std::bitset<256> m_buttonsHeld;
    std::array<std::uint32_t, 256> m_heldKeysym {};
    bool m_pointerKnown = false;
    std::int16_t m_pointerX = 0;
    std::int16_t m_pointerY = 0;
};

} // namespace quorvel
