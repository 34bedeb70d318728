// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Journal.h"

#include <memory>
#include <string>

namespace quorvel {

class HotKeyRegistrar;
class ReplayInput;

// The journal of a desktop that replays through a virtual keyboard and pointer (ReplayInput)
// and cannot record: recordings made on X11 are replayed, recording says it needs an X server.
//
// It has no thread of its own and works as X11Journal does: the owner watches
// fileDescriptor() and calls processEvents() when it is readable; OnFinished is raised only
// from there. Replays queue, run at recorded or high speed, and end with exactly one
// OnFinished each, once the desktop has taken every event; whatever a replay holds down is
// released when it ends, however it ends. Esc pressed by the user cancels, as on X11, where
// the desktop lets us bind it (setCancelKeys).
class DeviceJournal : public Journal
{
public:
    static constexpr const char *kRecordingUnavailable =
        "Recording is not possible: this is a Wayland session; recording needs an X11 session";

    // input null: replay is not possible, for the reason given.
    DeviceJournal(std::unique_ptr<ReplayInput> input, std::string unavailable);
    ~DeviceJournal() override;
    DeviceJournal(const DeviceJournal &) = delete;
    DeviceJournal &operator=(const DeviceJournal &) = delete;

    // False when the desktop offers no device, or it was lost; then StartPlayBack throws.
    bool available() const;
    const std::string &unavailableReason() const;

    // Throws kRecordingUnavailable.
    void StartRecording() override;
    void StopRecording() override { }
    void discardRecording() override { }
    // Throws Error when the file cannot be replayed or the desktop refuses the replay.
    void StartPlayBack() override;

    // Ends the running replay and drops the queued ones; each gets OnFinished(true).
    void cancelPlayBack();
    // Binds Esc through registrar while a replay runs, so that the user's Esc cancels it as
    // cancelPlayBack does (and reaches nothing else); an Esc the replay sends does not.
    // Esc is bound with every combination of Shift, Ctrl and Alt too, as the replay may hold
    // any. Without a registrar no key cancels. The registrar must outlive the journal.
    void setCancelKeys(HotKeyRegistrar *registrar);
    bool isPlayingBack() const;

    // Readable whenever processEvents() has work: the device's events, a replay event falling
    // due, a callback to raise.
    int fileDescriptor() const;
    void processEvents();

protected:
    ReplayInput *input() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
