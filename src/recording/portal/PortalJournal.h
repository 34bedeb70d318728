// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Journal.h"
#include "platform/xkb/LayoutKeys.h"

#include <memory>
#include <string>

namespace quorvel {

namespace portal {
class RemoteDesktopSession;
}

// The journal on a desktop that offers the RemoteDesktop portal: replays recordings made on
// X11 through the portal's keyboard and pointer; recording needs an X server and says so.
//
// Works as WaylandJournal does: the owner watches fileDescriptor() and calls processEvents()
// when it is readable; OnFinished is raised only from there, once for each replay, after the
// desktop has taken all of it; whatever a replay holds down is released when it ends.
//
// A recorded key is replayed by its symbol, on the key that types it on the desktop's layout
// without a modifier; a symbol the layout lacks there keeps the recorded keycode (an evdev X
// server's keycode is the evdev code plus 8). Absolute motion needs a screen-cast stream,
// which a keyboard-and-pointer session has not: the pointer is pushed into the top left
// corner first (the desktop keeps it on the screen), and each recorded position is reached by
// a relative move from where it is, so positions are X screen coordinates from the layout's
// top left corner.
class PortalJournal : public Journal
{
public:
    static constexpr const char *kRecordingUnavailable =
        "Recording is not possible: this is a Wayland session; recording needs an X11 session";

    // The session must ask for the pointer as well as the keyboard; it must outlive the
    // journal. Never throws on a layout xkbcommon cannot build: see available().
    PortalJournal(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout);
    ~PortalJournal() override;
    PortalJournal(const PortalJournal &) = delete;
    PortalJournal &operator=(const PortalJournal &) = delete;

    bool available() const;
    const std::string &unavailableReason() const;

    // Throws kRecordingUnavailable.
    void StartRecording() override;
    void StopRecording() override { }
    void discardRecording() override { }
    // Throws Error when the file cannot be replayed or the desktop refuses the session.
    void StartPlayBack() override;

    // Ends the running replay and drops the queued ones; each gets OnFinished(true).
    void cancelPlayBack();
    bool isPlayingBack() const;

    int fileDescriptor() const;
    void processEvents();

    // The evdev button of an X button; 0 for the wheel (4 to 7) and unknown buttons.
    static unsigned evdevButton(unsigned xButton);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
