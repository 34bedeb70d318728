// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/JournalFile.h"

#include <vector>

namespace quorvel {

// A desktop's virtual keyboard and pointer, as a replay drives them. Calls throw Error when
// the desktop refuses or is gone.
class ReplayInput
{
public:
    virtual ~ReplayInput() = default;

    // Readies the device for a replay of these events: keys bound, a session opened, the
    // pointer granted.
    virtual void prepare(const std::vector<JournalEvent> &events) = 0;
    virtual void send(const JournalEvent &event) = 0;
    // Whether a key event of the recording lands on the key that types Esc.
    virtual bool isEscape(const JournalEvent &event) = 0;
    // Sends what is buffered, without waiting.
    virtual void flush() = 0;
    // Returns once the desktop has taken everything sent.
    virtual void sync() = 0;
    // Returns once the desktop has also matched what was sent against its key bindings, so
    // that a binding made now cannot catch a key sent before.
    virtual void settle() { sync(); }
    // Whether a failure leaves the device usable for the next replay.
    virtual bool survivesFailure() const = 0;

    // The device's own events, read by processEvents; -1 when it has none.
    virtual int fileDescriptor() const { return -1; }
    virtual void processEvents() { }
};

// The evdev button of an X button; 0 for the wheel (4 to 7) and unknown buttons.
unsigned evdevButton(unsigned xButton);

} // namespace quorvel
