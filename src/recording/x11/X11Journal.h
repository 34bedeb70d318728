// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Journal.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace quorvel {

// The journal on X11: captures input with the RECORD extension and replays it with XTEST.
//
// It has no thread of its own. The owner watches fileDescriptor() for reading and calls
// processEvents() whenever it is readable; OnFinished and OnStopKey are raised only from
// there, on the owner's thread, never from inside the call that caused them.
//
// Recording captures the whole desktop (it does not depend on any window of ours) from the
// moment StartRecording returns; StopRecording returns once the file is complete. Input the
// program sends itself, by a replay or between suspendCapture() and resumeCapture(), is not
// recorded (nor is the user's input while a replay runs). StartRecording while a recording
// runs first completes that one; destroying the journal abandons a running recording.
//
// Replay sends what the file holds (a keys-only recording holds no mouse events, so
// KeyStrokesOnly plays no part in it). A StartPlayBack while a replay runs is queued: the
// replays run one after another, each ending with its own OnFinished(false). Esc pressed by
// the user cancels the running replay and drops the queued ones; each of them then gets
// OnFinished(true). An Esc that a replay sends, or that the program types while capture is
// suspended, does not cancel. A file that cannot be read or parsed, or a display that is not
// there, makes StartPlayBack throw; nothing is sent and no OnFinished follows. When a replay ends,
// however it ends, no key or button it pressed is left down.
class X11Journal : public Journal
{
public:
    // displayName empty: $DISPLAY. Never throws; see available().
    explicit X11Journal(const std::string &displayName = {});
    ~X11Journal() override;
    X11Journal(const X11Journal &) = delete;
    X11Journal &operator=(const X11Journal &) = delete;

    // False when the display or its RECORD or XTEST extension is missing; then
    // StartRecording and StartPlayBack throw.
    bool available() const;
    const std::string &unavailableReason() const;

    // Throws quorvel::Error when there is no display or the file cannot be written there.
    void StartRecording() override;
    // Throws quorvel::Error when the file cannot be written; the recording is then lost but
    // the earlier content of the file stays.
    void StopRecording() override;
    void discardRecording() override;
    void StartPlayBack() override;

    // Ends the running replay and drops the queued ones, as the user's Esc does.
    void cancelPlayBack();

    bool isRecording() const;
    bool isPlayingBack() const;
    std::size_t queuedPlayBacks() const;

    // Bracket input the program synthesises itself (the keystroke sender). Nested calls
    // count. Call resumeCapture only after that input has reached the server (XSync on the
    // sending connection), so it falls inside the bracket.
    void suspendCapture();
    void resumeCapture();

    // Readable whenever processEvents() has work: X traffic, a replay event falling due, a
    // callback to raise.
    int fileDescriptor() const;
    // Handles everything pending and returns; blocks only for round trips to the server.
    void processEvents();

    // Raised when the recording meets Ctrl+Shift+F12 (which it leaves out of the file); for
    // owners that have no global hot key of their own. The recording keeps running until
    // StopRecording.
    std::function<void()> OnStopKey;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
